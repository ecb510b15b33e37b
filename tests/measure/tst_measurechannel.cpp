// SPDX-License-Identifier: MIT
// Measurement lines decoded, and the output channel borrowed by the chart
// and the number window: the exact commands of prepare, start, stop and
// restore on the wire against the simulated sensor, and the lines that
// reach the window's framer in between; a link lost while the channel is
// borrowed, and lines that stop coming.
#include "Labels.h"
#include "MeasurementLine.h"
#include "MsgBox.h"
#include "SimulatedMainForm.h"
#include "TComDataPacket.h"
#include "TComPort.h"
#include "TGrafikDlg.h"
#include "TGraphicSetupDlg.h"
#include "TMainForm.h"
#include "TMeasurementChannel.h"
#include "TNumberDlg.h"
#include "TParameterForm.h"
#include "TSimPty.h"
#include "TSimSensor.h"
#include "Windows.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TestMeasureChannel : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<TSimPty> m_sim;
    std::unique_ptr<TMainForm> m_main;

    bool Start(const QString& model, int sid) {
        TSimOptions options;
        options.Model = model;
        options.Sid = sid;
        TAppWindows w;
        return StartOnSimulatedSensor(m_dir.filePath(QStringLiteral("sim")), options, m_sim, m_main,
                                      w);
    }
    bool Ready() { return Identified(*m_main, m_main->Windows(), *m_sim); }

private slots:
    void init() { SetLabelFilePath(QStringLiteral(ORX_SOURCE_DIR "/labels/orxterm.lab")); }
    void cleanup() {
        if (m_main) m_main->StartUpTimer().stop();
        m_main.reset();
        m_sim.reset();
    }

    void decoding_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("withLength");
        QTest::addColumn<int>("kind");
        QTest::addColumn<double>("velocity");
        QTest::addColumn<double>("rate");
        QTest::addColumn<int>("length"); // -1 none, 0 invalid, 1 valid
        QTest::addColumn<double>("metres");
        using K = TMeasurement::TKind;
        QTest::newRow("minus") << QByteArray("-0186A0x3E8") << false << int(K::Valid) << -1.0
                               << 100.0 << -1 << 0.0;
        QTest::newRow("plus") << QByteArray("+0186a0 3e8") << false << int(K::Valid) << 1.0 << 100.0
                              << -1 << 0.0;
        QTest::newRow("blank sign")
            << QByteArray(" 0186A0:3E8") << false << int(K::Valid) << 1.0 << 100.0 << -1 << 0.0;
        QTest::newRow("10 characters") << QByteArray("-0186A0x3E") << false << int(K::NoMeasurement)
                                       << 0.0 << 0.0 << -1 << 0.0;
        QTest::newRow("blank in a field")
            << QByteArray("-01 6A0x3E8") << false << int(K::Invalid) << 0.0 << 0.0 << -1 << 0.0;
        QTest::newRow("length") << QByteArray("+0186A0 3E8-000186A0") << true << int(K::Valid)
                                << 1.0 << 100.0 << 1 << -10.0;
        QTest::newRow("bad length") << QByteArray("+0186A0 3E8 0001X6A0") << true << int(K::Valid)
                                    << 1.0 << 100.0 << 0 << 0.0;
        QTest::newRow("length not asked") << QByteArray("+0186A0 3E8-000186A0") << false
                                          << int(K::Valid) << 1.0 << 100.0 << -1 << 0.0;
    }
    void decoding() {
        QFETCH(QByteArray, line);
        QFETCH(bool, withLength);
        QFETCH(int, kind);
        QFETCH(double, velocity);
        QFETCH(double, rate);
        QFETCH(int, length);
        QFETCH(double, metres);
        const TMeasurement m = DecodeMeasurementLine(line, withLength);
        QCOMPARE(int(m.Kind), kind);
        QCOMPARE(m.Velocity, velocity);
        QCOMPARE(m.Rate, rate);
        QCOMPARE(m.HasLength ? int(m.LengthValid) : -1, length);
        QCOMPARE(m.Length, metres);
    }

    // Prepare, start, stop and restore on the wire, and the lines that
    // reach the framer between start and stop only.
    void borrowing_data() {
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("sid");
        QTest::addColumn<bool>("number");
        QTest::addColumn<bool>("length");
        QTest::newRow("chart, ORX 9") << "9" << 1 << false << false;
        QTest::newRow("chart, ORX 7 on S2") << "7" << 2 << false << false;
        QTest::newRow("numbers with length, ORX 9") << "9" << 1 << true << true;
        QTest::newRow("numbers without length, ORX 5") << "5" << 1 << true << false;
    }
    void borrowing() {
        QFETCH(QString, model);
        QFETCH(int, sid);
        QFETCH(bool, number);
        QFETCH(bool, length);
        QVERIFY(Start(model, sid));
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 10000);
        TSimSensor& sensor = m_sim->Sensor();
        const QString time = sensor.Value(QStringLiteral("S%1TIME").arg(sid));
        const QString format = sensor.Value(QStringLiteral("S%1FORMAT").arg(sid));
        auto s = [sid](const char* text) { return QString::fromLatin1(text).arg(sid).toLatin1(); };
        TMeasurementChannel channel(*m_main, number ? TMeasurementChannel::TWindow::Number
                                                    : TMeasurementChannel::TWindow::Chart);
        sensor.ClearTrace();
        QVERIFY(channel.PrepareChannel());
        QByteArray expected = "\r\021\033 SID\r\n" + s(" S%1ON\r\nS%1ON 0\r\n") + s(" PS%1\r\n");
        if (number) expected += s(" S%1FORMAT sl:h\r\n");
        QTRY_COMPARE_WITH_TIMEOUT(sensor.ReceivedBytes(), expected, 5000);
        QCOMPARE(channel.LengthAvailable(), length);
        QCOMPARE(channel.SavedTime(), time);
        QCOMPARE(channel.SavedFormat(), format);

        TComDataPacket& framer = channel.Framer();
        QSignalSpy packets(&framer, &TComDataPacket::Packet);
        sensor.ClearTrace();
        channel.Start(50);
        expected = (number && length ? QByteArray() : s("S%1FORMAT s\r\n")) + s("S%1OUTPUT 0\r\n") +
                   (number ? s("S%1TIME 100\r\n") : s("S%1TIME 50\r\n")) + s("S%1ON 1\r\n");
        QTRY_COMPARE_WITH_TIMEOUT(sensor.ReceivedBytes(), expected, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(packets.count() >= 3, 10000);
        const TMeasurement m = DecodeMeasurementLine(packets.last().at(0).toByteArray(), length);
        QCOMPARE(int(m.Kind), int(TMeasurement::TKind::Valid));
        QCOMPARE(m.HasLength && m.LengthValid, length);

        sensor.ClearTrace();
        channel.Stop();
        QTRY_COMPARE_WITH_TIMEOUT(sensor.ReceivedBytes(), s("S%1ON 0\r\n"), 5000);
        QVERIFY(!framer.Attached());
        sensor.ClearTrace();
        channel.RestoreChannel();
        QTRY_COMPARE_WITH_TIMEOUT(sensor.ReceivedBytes(),
                                  s("S%1FORMAT ") + format.toLatin1() + "\r\n" +
                                      s("S%1OUTPUT 0\r\n") + s("S%1TIME ") + time.toLatin1() +
                                      "\r\n" + s("S%1ON 0\r\n"),
                                  5000);
        QCOMPARE(sensor.Value(QStringLiteral("S%1FORMAT").arg(sid)), format);
    }

    // The number window: figures from lines (units, "-" for bad fields, the
    // length only from long lines), its buttons, the length commands, and
    // the channel restored when it closes.
    void numberWindow() {
        QVERIFY(Start(QStringLiteral("9"), 1));
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 10000);
        TNumberDlg& w = *m_main->Windows().NumberDlg;
        w.FormShow();
        QVERIFY(w.btnStart->isEnabled() && !w.btnStop->isEnabled());
        QVERIFY(w.btnStartLength->isEnabled() && !w.gb_length->isHidden());
        QCOMPARE(w.gb_velocity->title(), LabelText(831) + QStringLiteral(" in m/s"));
        const QLocale l;
        w.ShowPacket("-0186A0x3E8");
        QCOMPARE(w.lb_v->text(), l.toString(-1.0, 'f', 3));
        QCOMPARE(w.lb_r->text(), QStringLiteral("100"));
        w.rb_mmin->click();
        QCOMPARE(w.gb_velocity->title(), LabelText(831) + QStringLiteral(" in m/min"));
        w.ShowPacket("-0186A0x3E7");
        QCOMPARE(w.lb_v->text(), l.toString(-60.0, 'f', 3));
        QCOMPARE(w.lb_r->text(), QStringLiteral("100")); // 99.9 %
        w.ShowPacket("+000000 000+000186A0");
        QCOMPARE(w.lb_r->text(), QStringLiteral("0"));
        QCOMPARE(w.lb_l->text(), l.toString(10.0, 'f', 3));
        w.rb_km->click();
        w.ShowPacket("+000000 000+00");
        QCOMPARE(w.lb_l->text(), l.toString(10.0, 'f', 3)); // a short line leaves it
        w.ShowPacket("+00X000 000+000186A0");
        QCOMPARE(w.lb_v->text(), QStringLiteral("-"));
        QCOMPARE(w.lb_l->text(), l.toString(0.01, 'f', 3));
        // Big figures: the language's decimal sign, never a thousands separator.
        w.ShowPacket("-FFFFFFx3E8");
        QCOMPARE(w.lb_v->text(), QStringLiteral("-10066") + l.decimalPoint() + "329");
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        w.ShowPacket("-FFFFFFx3E8");
        QLocale::setDefault(l);
        QCOMPARE(w.lb_v->text(), QStringLiteral("-10066,329"));

        TSimSensor& sensor = m_sim->Sensor();
        w.btnStartClick();
        QVERIFY(w.btnStop->isEnabled() && !w.btnStart->isEnabled());
        w.lb_v->clear();
        QTRY_VERIFY_WITH_TIMEOUT(!w.lb_v->text().isEmpty(), 10000); // lines arrive
        w.btnStopClick();
        QTRY_VERIFY_WITH_TIMEOUT(sensor.ReceivedBytes().endsWith("S1ON 0\r\n"), 5000);
        sensor.ClearTrace();
        w.btnStartLength->click();
        QTRY_COMPARE_WITH_TIMEOUT(sensor.ReceivedBytes(), QByteArray("START\r\n"), 5000);
        QVERIFY(sensor.LengthRunning());
        sensor.ClearTrace();
        w.done(QDialog::Rejected);
        QTRY_VERIFY_WITH_TIMEOUT(sensor.ReceivedBytes().endsWith("S1ON 0\r\n"), 5000);
        QVERIFY(sensor.ReceivedBytes().startsWith("S1FORMAT "));
    }

    // The chart setup: the least update for the line's rate, the buffer's
    // capacity from Update and Period, the record name, axes the chart
    // cannot show, and what is stored.
    void chartSetup_data() {
        QTest::addColumn<int>("baud"); // TBaudRate
        QTest::addColumn<QString>("update");
        QTest::addColumn<QString>("period");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("xNumber");
        QTest::newRow("9600: 15 refused") << int(TBaudRate::br9600) << "15"
                                          << "60" << false << 2400;
        QTest::newRow("9600: 16") << int(TBaudRate::br9600) << "16"
                                  << "60" << true << 3750;
        QTest::newRow("defaults") << int(TBaudRate::br9600) << "100"
                                  << "60" << true << 600;
        QTest::newRow("115200: 3") << int(TBaudRate::br115200) << "3"
                                   << "60" << true << 20000;
        QTest::newRow("115200: 2, 1000 s") << int(TBaudRate::br115200) << "2"
                                           << "1000" << true << 500000;
        QTest::newRow("beyond capacity") << int(TBaudRate::br115200) << "100"
                                         << "200000" << true << 2400;
        QTest::newRow("Update 0 keeps 100") << int(TBaudRate::br9600) << "0"
                                            << "60" << true << 600;
    }
    void chartSetup() {
        QFETCH(int, baud);
        QFETCH(QString, update);
        QFETCH(QString, period);
        QFETCH(bool, accepted);
        QFETCH(int, xNumber);
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("OrxTerm"),
                           QStringLiteral("OrxTerm"));
        settings.clear();
        settings.sync();
        std::unique_ptr<TMainForm> main(CreateWindows({}).MainForm);
        main->ComPort()->SetBaudRate(TBaudRate(baud));
        TGraphicSetupDlg& dlg = *main->Windows().GraphicSetupDlg;
        QCOMPARE(dlg.XNumber(), 2400);
        QStringList boxes;
        TFormMsgBox::SetResponder([&boxes](const TMsgBoxRequest& r) {
            boxes << r.text;
            return mrOk;
        });
        dlg.ed_update->setText(update);
        dlg.ed_period->setText(period);
        dlg.ed_record->setText(QString::fromUtf8("Test 1/ä"));
        QCOMPARE(dlg.SaveSettings(), accepted);
        QCOMPARE(dlg.XNumber(), xNumber);
        if (!accepted) {
            QCOMPARE(boxes, QStringList{QStringLiteral("Update must be bigger than 15")});
        } else {
            QCOMPARE(dlg.ed_record->text(), QStringLiteral("Test_1__"));
            QSettings stored(main->Settings().fileName(), QSettings::IniFormat);
            QCOMPARE(stored.value(QStringLiteral("Option/XNumber")).toString(),
                     QString::number(xNumber));
            QCOMPARE(stored.value(QStringLiteral("Option/DataLogName")).toString(),
                     QStringLiteral("Test_1__"));
        }
        boxes.clear();
        dlg.ed_update->setText(QStringLiteral("100"));
        dlg.ed_min_2->setText(QStringLiteral("50"));
        dlg.ed_max_2->setText(QStringLiteral("10"));
        QVERIFY(!dlg.SaveSettings()); // the rate axis cannot be shown
        QVERIFY(boxes.value(0).startsWith(LabelText(855)));
        dlg.cb_scale_1->setChecked(true);
        QVERIFY(!dlg.ed_min_1->isEnabled() && !dlg.ed_max_1->isEnabled());
        dlg.cb_scale_2->setChecked(true);
        QVERIFY(dlg.ed_min_2->isEnabled());
        TFormMsgBox::SetResponder(nullptr);
    }

    // The sensor's device goes away while a window has borrowed the channel
    // and a run goes on: the run ends and the window says so. When the
    // device comes back, the sensor gets the channel's own settings again
    // (the window was still open: it borrows the channel afresh; the window
    // was closed meanwhile: the settings were owed to it).
    void linkLostWhileBorrowed_data() {
        QTest::addColumn<bool>("number");
        QTest::addColumn<bool>("closeWhileLost");
        QTest::newRow("chart stays open") << false << false;
        QTest::newRow("chart closed meanwhile") << false << true;
        QTest::newRow("numbers stay open") << true << false;
        QTest::newRow("numbers closed meanwhile") << true << true;
    }
    void linkLostWhileBorrowed() {
        QFETCH(bool, number);
        QFETCH(bool, closeWhileLost);
        QVERIFY(Start(QStringLiteral("7"), 1));
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 10000);
        TSimSensor& sensor = m_sim->Sensor();
        // The user's own output: long lines every 250 ms, switched on.
        QVERIFY(sensor.SetValue(QStringLiteral("S1TIME"), QStringLiteral("250")));
        QVERIFY(sensor.SetValue(QStringLiteral("S1ON"), QStringLiteral("1")));
        const QString format = sensor.Value(QStringLiteral("S1FORMAT"));
        TGrafikDlg& chart = *m_main->Windows().GrafikDlg;
        TNumberDlg& numbers = *m_main->Windows().NumberDlg;
        QDialog& window = number ? static_cast<QDialog&>(numbers) : chart;
        QPushButton* start = number ? numbers.btnStart : chart.btnStart;
        QPushButton* stop = number ? numbers.btnStop : chart.btnStop;
        QLabel* state = number ? numbers.lb_status : chart.PanelLink;
        sensor.ClearTrace();
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(sensor.ReceivedBytes().contains(" PS1\r\n"), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(start->isEnabled() && !m_main->SensorBusy(), 10000);
        QCOMPARE(sensor.Value(QStringLiteral("S1ON")), QStringLiteral("0")); // borrowed
        start->click();
        QTRY_VERIFY_WITH_TIMEOUT(stop->isEnabled(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(sensor.MeasurementLines() > 3, 10000);
        QCOMPARE(sensor.Value(QStringLiteral("S1FORMAT")),
                 number ? QStringLiteral("sl:h") : QStringLiteral("s"));

        m_sim->Unplug();
        QTRY_COMPARE_WITH_TIMEOUT(state->text(), LabelText(130), 10000);
        QVERIFY(!stop->isEnabled() && !start->isEnabled());
        if (!number) QCOMPARE(chart.MeasureState(), TGrafikDlg::TMeasureState::Stopped);
        if (closeWhileLost) {
            window.reject();
            QVERIFY(!m_main->OwedCommands().isEmpty());
        }
        QVERIFY(m_sim->Replug());
        if (closeWhileLost) {
            QTRY_COMPARE_WITH_TIMEOUT(sensor.Value(QStringLiteral("S1ON")), QStringLiteral("1"),
                                      20000);
            QTRY_VERIFY_WITH_TIMEOUT(m_main->OwedCommands().isEmpty(), 10000);
        } else {
            // Given back, then borrowed again: the window can start anew.
            QTRY_VERIFY_WITH_TIMEOUT(start->isEnabled(), 20000);
            QVERIFY(state->text().isEmpty());
            QCOMPARE(sensor.Value(QStringLiteral("S1ON")), QStringLiteral("0"));
            window.reject();
            QTRY_COMPARE_WITH_TIMEOUT(sensor.Value(QStringLiteral("S1ON")), QStringLiteral("1"),
                                      10000);
        }
        QCOMPARE(sensor.Value(QStringLiteral("S1FORMAT")), format);
        QCOMPARE(sensor.Value(QStringLiteral("S1TIME")), QStringLiteral("250"));
    }

    // Lines that stop coming while the link stands (the sensor's output
    // was changed behind the program's back) are told, and the telling
    // goes when they come again.
    void missingLinesTold() {
        QVERIFY(Start(QStringLiteral("9"), 1));
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 10000);
        TNumberDlg& w = *m_main->Windows().NumberDlg;
        w.FormShow();
        QVERIFY(w.btnStart->isEnabled());
        w.btnStartClick();
        QTRY_VERIFY_WITH_TIMEOUT(w.LineWatch().Lines() > 2, 10000);
        QVERIFY(w.lb_status->isHidden());
        QVERIFY(m_sim->Sensor().SetValue(QStringLiteral("S1ON"), QStringLiteral("0")));
        QTRY_VERIFY_WITH_TIMEOUT(w.LineWatch().LinesMissing(), 10000);
        QVERIFY(!w.lb_status->isHidden());
        QVERIFY(w.lb_status->text().startsWith(LabelText(133).section(u'%', 0, 0)));
        QVERIFY(m_sim->Sensor().SetValue(QStringLiteral("S1ON"), QStringLiteral("1")));
        QTRY_VERIFY_WITH_TIMEOUT(!w.LineWatch().LinesMissing(), 10000);
        QVERIFY(w.lb_status->isHidden());
        QCOMPARE(w.LineWatch().Gaps(), 1);
        w.done(QDialog::Rejected);
    }

    // Without a link nothing is sent and Start stays off.
    void noLink() {
        QVERIFY(Start(QStringLiteral("7"), 1));
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 10000);
        m_main->Ui().Datei_Open->trigger();
        m_sim->Sensor().ClearTrace();
        TMeasurementChannel channel(*m_main, TMeasurementChannel::TWindow::Chart);
        QVERIFY(!channel.PrepareChannel());
        QCOMPARE(m_sim->Sensor().ReceivedBytes(), QByteArray());
    }
};

QTEST_MAIN(TestMeasureChannel)
#include "tst_measurechannel.moc"
