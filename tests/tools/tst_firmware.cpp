// SPDX-License-Identifier: MIT
// The firmware update through the whole main window against the simulated
// sensor on a pseudo-terminal: every row of the rate plan (what the sensor
// receives and the rate the host's line runs at meanwhile), a sensor that
// refuses the update, a transfer stopped by a BEL, the Abort button or Esc,
// updates the sensor never confirmed, a sensor gone mid-transfer, a file that cannot be
// read and a TCP link that cannot carry the update.
#include "FileDialogs.h"
#include "Labels.h"
#include "LinkView.h"
#include "MsgBox.h"
#include "SimulatedMainForm.h"
#include "TComPort.h"
#include "TFirmwareUpdate.h"
#include "TFlashDlg.h"
#include "TMainForm.h"
#include "TSimHex.h"
#include "TSimPty.h"
#include "TSimSensor.h"
#include "WhenReady.h"
#include "Windows.h"

#include <QAction>
#include <QFile>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <memory>

class TestFirmware : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<TSimPty> m_sim;
    std::unique_ptr<TMainForm> m_main;
    TAppWindows m_w;
    QStringList m_boxes;
    // Everything the sensor received, and the rate of the host's line as
    // each byte arrived.
    QByteArray m_received;
    QList<int> m_rates;

    TSimSensor& Sensor() { return m_sim->Sensor(); }
    TFlashDlg& Dialog() { return *m_w.FlashDlg; }

    bool Start(const QString& model, int rate, int mode = 0) {
        TSimOptions options;
        options.Model = model;
        options.LineRate = rate;
        options.FlashStepMs = 10;
        if (!StartOnSimulatedSensor(m_dir.filePath(QStringLiteral("sim")), options, m_sim, m_main,
                                    m_w,
                                    {{QStringLiteral("ComPort/BaudRate"), QString::number(rate)},
                                     {QStringLiteral("Option/Mode"), QString::number(mode)}}))
            return false;
        connect(&Sensor(), &TSimSensor::Traced, this, [this](const TSimTraceEntry& e) {
            if (!e.FromHost) return;
            m_received += e.Bytes;
            for (qsizetype i = 0; i < e.Bytes.size(); ++i)
                m_rates.append(m_sim->HostLineRate());
        });
        return true;
    }
    bool Ready() { return Identified(*m_main, m_w, *m_sim); }
    // A firmware file of `records` data records, offered by the file dialog.
    void OfferFirmware(int records) {
        const QString path = m_dir.filePath(QStringLiteral("fw.hex"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(MakeHexFile(records));
        f.close();
        // Only the dialog titled as the menu entry gets the file.
        TFileDialogs::SetResponder([path](const TFileDialogRequest& r) {
            return r.caption == LabelText(18) ? path : QString();
        });
    }
    // The position of `text` in what the sensor received, from `from` on.
    qsizetype Find(const QByteArray& text, qsizetype from = 0) const {
        return m_received.indexOf(text, from);
    }

private slots:
    void init() {
        SetLabelFilePath(QStringLiteral(ORX_SOURCE_DIR "/labels/orxterm.lab"));
        m_received.clear();
        m_rates.clear();
        RecordMessageBoxes(m_boxes);
    }
    void cleanup() { StopSimulatedMainForm(m_main, m_sim); }

    // Each row of the plan: the rate the sensor's rate command arrives at
    // (none for a 16-bit sensor already at 38400), the transfer rate of the
    // HEX lines and EXIT, and the rate the port is left at.
    void ratePlan_data() {
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("before");
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<int>("commandRate");
        QTest::addColumn<int>("transferRate");
        QTest::addColumn<int>("after");
        QTest::newRow("32-bit at 9600")
            << "9" << 9600 << QByteArray("B115K2\r\n") << 9600 << 115200 << 9600;
        QTest::newRow("32-bit at 115200")
            << "9" << 115200 << QByteArray("B115K2\r\n") << 9600 << 115200 << 115200;
        QTest::newRow("32-bit at 38400")
            << "9" << 38400 << QByteArray("B115K2\r\n") << 9600 << 115200 << 38400;
        QTest::newRow("16-bit at 38400") << "7" << 38400 << QByteArray() << 0 << 38400 << 38400;
        QTest::newRow("16-bit at 9600")
            << "7" << 9600 << QByteArray("B38K4\r\n") << 9600 << 38400 << 9600;
    }
    void ratePlan() {
        QFETCH(QString, model);
        QFETCH(int, before);
        QFETCH(QByteArray, command);
        QFETCH(int, commandRate);
        QFETCH(int, transferRate);
        QFETCH(int, after);
        QVERIFY(Start(model, before));
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 10000);
        QCOMPARE(m_sim->HostLineRate(), before);
        OfferFirmware(3);
        m_received.clear();
        m_rates.clear();
        m_main->Ui().Datei_UpdateFirmware->trigger();
        QCOMPARE(m_boxes, QStringList());

        const qsizetype update = Find("*UPDATE\r\n");
        QVERIFY(update >= 0);
        QCOMPARE(m_rates.at(update), before);
        qsizetype next = update + 9;
        if (!command.isEmpty()) {
            const qsizetype at = Find(command, next);
            QVERIFY(at > update);
            QCOMPARE(m_rates.at(at), commandRate);
            next = at + command.size();
        } else {
            QCOMPARE(Find("B115K2"), -1);
            QCOMPARE(Find("B38K4"), -1);
        }
        const qsizetype transfer = Find("UPDATE\r\n", next);
        QVERIFY(transfer >= next);
        QCOMPARE(m_rates.at(transfer), transferRate);
        const QByteArray firmware = MakeHexFile(3);
        const qsizetype hex = Find(firmware.mid(1), transfer); // the first ':' left 100 ms earlier
        QVERIFY(hex > transfer);
        QCOMPARE(m_rates.at(hex), transferRate);
        const qsizetype exit = Find("EXIT\r\n", hex);
        QVERIFY(exit > hex);
        QCOMPARE(m_rates.at(exit), transferRate);
        QCOMPARE(Sensor().UpdateRecords(), 5);
        QVERIFY(!Sensor().UpdateMode());
        // The wait ended on the sensor's "Flash" report, not on the limit.
        QVERIFY(Dialog().Position() < m_main->FirmwareUpdate()->FlashLimitMs);

        // The port comes back at the rate the plan leaves it at, and the
        // sensor is greeted there.
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 10000);
        QCOMPARE(BaudRateValue(m_main->ComPort()->BaudRate()), after);
        QCOMPARE(m_sim->HostLineRate(), after);
        QCOMPARE(Sensor().LineRate(), after);
        QVERIFY(
            m_main->PanelText(TStatusPanel::ComPort).contains(QStringLiteral(":%1-").arg(after)));
        QCOMPARE(m_rates.last(), after);
        QVERIFY(m_main->Ui().Datei_UpdateFirmware->isEnabled());
    }

    // On a line that carries bytes at its rate, the next line is handed
    // over while the one before is still being carried, so the line does
    // not idle between two lines, yet never more than that one line waits
    // behind it: what is on its way grows beyond one line and never beyond
    // two, and every record arrives.
    void transferKeepsOneLineBehindTheWire() {
        QVERIFY(Start(QStringLiteral("7"), 38400));
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 10000);
        m_sim->SetPacedInput(true);
        OfferFirmware(150);
        const qint64 line = MakeHexFile(1).split('\n').at(1).size() + 1; // a data record's line
        qint64 most = 0;
        QMetaObject::Connection sampler;
        WhenReady(
            this, [&] { return Dialog().isVisible(); },
            [&] {
                sampler = connect(&Dialog().Timer1(), &QTimer::timeout, this, [&] {
                    if (Dialog().Mode() != TFlashDlg::SendMode) return;
                    const TComPort& port = *m_main->ComPort();
                    most = std::max({most, port.OutputBacklog(), port.WireBacklog()});
                });
            });
        m_main->Ui().Datei_UpdateFirmware->trigger();
        disconnect(sampler);
        QCOMPARE(m_boxes, QStringList());
        QCOMPARE(Sensor().UpdateRecords(), 152);
        QCOMPARE(m_main->FirmwareUpdate()->LastResult(), TFlowResult::Done);
        QVERIFY2(
            most > line && most <= 2 * line,
            qPrintable(QStringLiteral("%1 bytes on their way, lines of %2").arg(most).arg(line)));
    }

    // A sensor that answers E03 stays as it was: no rate command, no
    // transfer, no message, the port untouched.
    void refusedUpdate() {
        QVERIFY(Start(QStringLiteral("5"), 9600));
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 10000);
        OfferFirmware(3);
        m_received.clear();
        m_main->Ui().Datei_UpdateFirmware->trigger();
        QVERIFY(Find("*UPDATE\r\n") >= 0);
        QCOMPARE(Find("B38K4"), -1);
        QCOMPARE(Find("UPDATE\r\n", Find("*UPDATE\r\n") + 9), -1);
        QCOMPARE(m_boxes, QStringList());
        QVERIFY(m_main->ComPort()->Connected());
        QCOMPARE(m_main->ComPort()->BaudRate(), TBaudRate::br9600);
        QVERIFY(m_main->Ui().Datei_UpdateFirmware->isEnabled());
    }

    // A transfer stopped half-way: nothing after the stop, the error box,
    // ESC and "Q" take the sensor out of its update mode, then the normal
    // end (EXIT, the port back at its rate). For the BEL the line is held
    // with XOFF, so that the BEL is known to have arrived while a line
    // waits: that one line leaves after XON, no other.
    void stoppedTransfer_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("BEL") << "bel";
        QTest::newRow("Abort button") << "button";
        QTest::newRow("Esc") << "esc";
    }
    void stoppedTransfer() {
        QFETCH(QString, how);
        QVERIFY(Start(QStringLiteral("9"), 9600));
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 10000);
        OfferFirmware(400);
        int stoppedAt = -1;
        QProgressBar* progress = Dialog().ProgressBar1;
        WhenReady(
            this, [&] { return Dialog().isVisible() && progress->value() >= 20; },
            [&] {
                if (how == QLatin1String("button")) {
                    stoppedAt = progress->value();
                    Dialog().AbortBtn->click();
                } else if (how == QLatin1String("esc")) {
                    stoppedAt = progress->value();
                    QTest::keyClick(&Dialog(), Qt::Key_Escape);
                } else {
                    Sensor().HoldHost(true);
                    WhenReady(
                        this, [&] { return m_main->ComPort()->OutputBacklog() > 0; },
                        [&] {
                            stoppedAt = progress->value();
                            Sensor().SendMarker("\a");
                            WhenReady(
                                this, [&] { return m_main->BellReceived(); },
                                [&] { Sensor().HoldHost(false); });
                        });
                }
            });
        m_received.clear();
        m_main->Ui().Datei_UpdateFirmware->trigger();
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY(m_boxes.first().startsWith(LabelText(513)));
        QCOMPARE(m_main->FirmwareUpdate()->LastResult(),
                 how == QLatin1String("bel") ? TFlowResult::SensorError : TFlowResult::Cancelled);
        QVERIFY(stoppedAt >= 20);
        // The bar counts what went out: a line on its way when the operator
        // stopped it still counts, and the sensor has exactly those lines.
        QVERIFY2(progress->value() == stoppedAt || progress->value() == stoppedAt + 1,
                 qPrintable(QStringLiteral("%1 after %2").arg(progress->value()).arg(stoppedAt)));
        QCOMPARE(Sensor().UpdateRecords(), progress->value());
        QVERIFY(stoppedAt < 402);
        const qsizetype esc = Find("\033Q");
        QVERIFY(esc > Find("UPDATE\r\n"));
        QCOMPARE(Find("\r\n:", esc), -1);
        QVERIFY(Find("EXIT\r\n", esc) > esc);
        QVERIFY(!Sensor().UpdateMode());
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 10000);
        QCOMPARE(m_main->ComPort()->BaudRate(), TBaudRate::br9600);
        QCOMPARE(m_sim->HostLineRate(), 9600);
    }

    // An update the sensor never confirmed is a failed one: the completion
    // without "Flash" (the wait runs to its limit), a file without its end
    // record (the sensor keeps waiting for records), a BEL after the last
    // line. The operator is told, ESC and "Q" release the sensor before
    // EXIT, so it leaves its update mode and answers again.
    void unconfirmedUpdate_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("reason");
        QTest::newRow("completion without Flash") << "terse" << 147;
        QTest::newRow("file without end record") << "no end" << 147;
        QTest::newRow("BEL after the last line") << "bel" << 146;
    }
    void unconfirmedUpdate() {
        QFETCH(QString, how);
        QFETCH(int, reason);
        QVERIFY(Start(QStringLiteral("9"), 9600));
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 10000);
        OfferFirmware(3);
        if (how == QLatin1String("terse")) {
            TSimFaults faults;
            faults.TerseFlash = true;
            Sensor().SetFaults(faults);
        } else if (how == QLatin1String("no end")) {
            QByteArray image = MakeHexFile(3);
            image.chop(image.size() - image.lastIndexOf(":00000001FF"));
            QFile f(m_dir.filePath(QStringLiteral("fw.hex")));
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(image);
        } else {
            // The sensor refuses the end record: the BEL comes once the
            // transfer dialog has handed over every line.
            TSimFaults faults;
            faults.BellAfterRecords = 4;
            Sensor().SetFaults(faults);
        }
        m_main->FirmwareUpdate()->FlashLimitMs = 1500;
        m_received.clear();
        m_main->Ui().Datei_UpdateFirmware->trigger();
        QCOMPARE(m_boxes, QStringList{LabelText(513) + u'\n' + LabelText(reason)});
        QCOMPARE(m_main->FirmwareUpdate()->LastResult(), TFlowResult::SensorError);
        const qsizetype escape = Find("\033Q");
        QVERIFY(escape > Find("UPDATE\r\n"));
        QVERIFY(Find("EXIT\r\n", escape) > escape);
        QVERIFY(!Sensor().UpdateMode());
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 10000); // it answers again
    }

    // The sensor goes away in the middle of the transfer: the rest of the
    // file is not sent into nothing, and the update ends as a lost link.
    void sensorGoneDuringTransfer() {
        QVERIFY(Start(QStringLiteral("9"), 9600));
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 10000);
        OfferFirmware(400);
        QProgressBar* progress = Dialog().ProgressBar1;
        int unpluggedAt = -1;
        WhenReady(
            this, [&] { return Dialog().isVisible() && progress->value() >= 20; },
            [&] {
                unpluggedAt = progress->value();
                m_sim->Unplug();
            });
        m_main->Ui().Datei_UpdateFirmware->trigger();
        QVERIFY(unpluggedAt >= 20);
        QVERIFY2(progress->value() < 300, qPrintable(QString::number(progress->value())));
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes.first(), LabelText(513) + u'\n' + LabelText(144));
        QCOMPARE(m_main->FirmwareUpdate()->LastResult(), TFlowResult::NoLink);
        QVERIFY(!m_main->SensorBusy());
    }

    // A file that cannot be read is reported with its reason before the
    // sensor is put into its update mode.
    void unreadableFile() {
        QVERIFY(Start(QStringLiteral("9"), 9600));
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 10000);
        const QString missing = m_dir.filePath(QStringLiteral("missing.hex"));
        TFileDialogs::SetResponder([missing](const TFileDialogRequest&) { return missing; });
        m_received.clear();
        m_main->Ui().Datei_UpdateFirmware->trigger();
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY(m_boxes.first().startsWith(LabelText(515)));
        QVERIFY(m_boxes.first().contains(missing));
        QCOMPARE(Find("UPDATE"), -1);
        QVERIFY(!Sensor().UpdateMode());
        QVERIFY(m_main->Ui().Datei_UpdateFirmware->isEnabled());
    }

    // Over TCP the update is refused with a message; nothing is sent.
    void refusedOverTcp() {
        QVERIFY(Start(QStringLiteral("9"), 9600, /*Telnet*/ 1));
        QTRY_VERIFY_WITH_TIMEOUT(
            !m_main->StartUpTimer().isActive() && !m_main->LinkView().Connecting(), 10000);
        bool asked = false;
        TFileDialogs::SetResponder([&asked](const TFileDialogRequest&) {
            asked = true;
            return QString();
        });
        m_boxes.clear();
        m_main->Datei_UpdateFirmwareExecute();
        QCOMPARE(m_boxes, QStringList{LabelText(514)});
        QVERIFY(!asked);
    }
};

QTEST_MAIN(TestFirmware)
#include "tst_firmware.moc"
