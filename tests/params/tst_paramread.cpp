// SPDX-License-Identifier: MIT
// Identification, reading the parameter set and Auto Update through the
// whole main window, against the simulated sensor on a pseudo-terminal:
// the exact bytes on the wire, what the editor and the file show, and a
// sensor that stops answering half-way.
#include "FileDialogs.h"
#include "Labels.h"
#include "MsgBox.h"
#include "ParameterCatalogue.h"
#include "SimulatedMainForm.h"
#include "TComPort.h"
#include "TMainForm.h"
#include "TParameterCompareDlg.h"
#include "TParameterForm.h"
#include "TParameterReader.h"
#include "TParameterWriter.h"
#include "TSimPty.h"
#include "TSimSensor.h"
#include "Windows.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

// The value of a data column inside an expression.
#define FETCHED(Type, name) (*static_cast<Type*>(QTest::qData(#name, ::qMetaTypeId<Type>())))

namespace {
// The blank and pause that every query begins with, then the command.
QByteArray Query(const QByteArray& command) {
    return ' ' + command;
}
QByteArray Handshake(int n) {
    return Query("SID\r\n") + Query(QStringLiteral("S%1ON\r\nS%1ON 0\r\n").arg(n).toLatin1());
}
} // namespace

class TestParamRead : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<TSimPty> m_sim;
    std::unique_ptr<TMainForm> m_main;
    TParameterForm* m_editor = nullptr;
    QStringList m_boxes;

    TSimSensor& Sensor() { return m_sim->Sensor(); }

    // The main window on a simulated sensor of `model`.
    bool Start(const QString& model, int sid) {
        TSimOptions options;
        options.Model = model;
        options.Sid = sid;
        TAppWindows w;
        if (!StartOnSimulatedSensor(m_dir.filePath(QStringLiteral("sim")), options, m_sim, m_main,
                                    w))
            return false;
        m_editor = w.ParameterForm;
        return true;
    }
    void WaitIdentified() {
        QTRY_VERIFY_WITH_TIMEOUT(Identified(*m_main, m_main->Windows(), *m_sim), 10000);
    }
    // Reads the set; returns once the sensor has taken the last command.
    void Read(const QByteArray& last = "*EXIT\r\n") {
        m_main->Ui().Parameter_auslesen->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!m_main->SensorBusy(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(Sensor().ReceivedBytes().endsWith(last), 5000);
    }

private slots:
    void init() {
        SetLabelFilePath(QStringLiteral(ORX_SOURCE_DIR "/labels/orxterm.lab"));
        RecordMessageBoxes(m_boxes);
    }
    void cleanup() { StopSimulatedMainForm(m_main, m_sim); }

    // Opening the port greets and identifies the sensor, output off and
    // back; closing it forgets serial number and version.
    void identification_data() {
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("sid");
        QTest::addColumn<bool>("firmware32");
        QTest::addColumn<QString>("version");
        QTest::newRow("ORX 9") << "9" << 1 << true << "V4.07 32bit 2023-11-20";
        QTest::newRow("ORX 7") << "7" << 1 << false << "V2.31 2004-06-15";
        QTest::newRow("ORX 5 on S2") << "5" << 2 << false << "V1.52 1998-04-02";
    }
    void identification() {
        QFETCH(int, sid);
        QVERIFY(Start(FETCHED(QString, model), sid));
        WaitIdentified();
        QCOMPARE(m_editor->SoftwareVersionText(), FETCHED(QString, version));
        QCOMPARE(m_main->Sensor().Firmware32Bit(), FETCHED(bool, firmware32));
        QCOMPARE(m_main->Sensor().SensorPort(), sid);
        QCOMPARE(Sensor().ReceivedBytes(),
                 QByteArray("\r\021\033") + Handshake(sid) + Query("INFO\r\n"));
        QVERIFY(m_boxes.isEmpty());

        m_main->Ui().Datei_Open->trigger();
        QCOMPARE(m_editor->SerialNumberText(), QStringLiteral("?"));
        QCOMPARE(m_editor->SoftwareVersionText(), QStringLiteral("?"));
    }

    // A whole read with the output on before it: every slot of the model
    // filled, all marks normal, the exact commands in their order, system
    // mode left and the output put back.
    void fullRead_data() {
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("sid");
        QTest::newRow("ORX 9") << "9" << 1;
        QTest::newRow("ORX 7 on S2") << "7" << 2;
    }
    void fullRead() {
        QFETCH(int, sid);
        QVERIFY(Start(FETCHED(QString, model), sid));
        WaitIdentified();
        const QString onKey = QStringLiteral("S%1ON").arg(sid);
        QVERIFY(Sensor().SetValue(onKey, QStringLiteral("1")));
        const bool fw32 = m_main->Sensor().Firmware32Bit();
        Sensor().ClearTrace();
        Read(onKey.toLatin1() + " 1\r\n");

        const QByteArray attention("\r\021\033");
        QByteArray expected = attention + Handshake(sid) + attention + Handshake(sid) +
                              Query("INFO\r\n") + Query("INFO\r\n");
        if (fw32) expected += Query("POST\r\n");
        expected +=
            "*SYSTEM\r\nTARVEK\r\n" + Query("READ\r\n") + "*EXIT\r\n" + onKey.toLatin1() + " 1\r\n";
        QTRY_COMPARE_WITH_TIMEOUT(Sensor().ReceivedBytes(), expected, 5000);
        QVERIFY(!Sensor().SystemMode());
        QCOMPARE(Sensor().Value(onKey), QStringLiteral("1"));

        for (const TParameterDef& def : ParameterCatalogue()) {
            QVERIFY2(!m_editor->IsMarked(def.Code), def.Key);
            const QString key = QString::fromLatin1(def.Key);
            const bool present = def.Sensors == TSensorVariant::All ||
                                 (def.Sensors == TSensorVariant::Other) != fw32;
            if (key.isEmpty() || !present) continue;
            // As READ shows it (value and unit), of which some slots keep the
            // first word.
            QString value = Sensor().Parameters().Display(*Sensor().Parameters().Find(key));
            if (def.Shape != TValueShape::Whole) value = value.section(u' ', 0, 0);
            QVERIFY2(!value.isEmpty(), def.Key);
            QCOMPARE(m_editor->Value(def.Code), value);
        }
        for (const THeadingDef& h : ParameterHeadings())
            QVERIFY(!m_editor->HeadingMarked(h.Label));
        QVERIFY(m_editor->OutputActive(QStringLiteral("lb_SerielleSchnittstelle%1").arg(sid)));

        const QString memo = m_main->Ui().Memo_Rec->toPlainText();
        QVERIFY(memo.startsWith(QStringLiteral("REM PARAMETER FILE\nREM DATE ")));
        QVERIFY(memo.contains(QStringLiteral("\n%1         1\n").arg(onKey)));
        QCOMPARE(QGuiApplication::clipboard()->text(), memo);
        QCOMPARE(m_main->PanelText(TStatusPanel::ComStatus), QStringLiteral("Copy to clipboard"));
        const QString remarks = m_editor->Memo_bemerkung->toPlainText();
        QVERIFY(remarks.contains(QStringLiteral("S/N ") + Sensor().Serial()));
        QCOMPARE(remarks.contains(QStringLiteral("POST RAM OK")), fw32);
        QVERIFY(m_main->Ui().Parameter_auslesen->isEnabled());
    }

    // Auto Update: the exact exchange on the Parameter tab and, wrapped in
    // system mode, on the System tab; the sensor's answer lands in the
    // slot, an error answer empties it; a slot left while another one's
    // exchange waits is sent after it, never in the middle.
    void autoUpdate() {
        QVERIFY(Start(QStringLiteral("7"), 1));
        WaitIdentified();
        Read();
        m_editor->cb_AutoUpdate->setChecked(true);
        auto edit = [this](int code, const QString& text) {
            QLineEdit* slot = m_editor->Slot(code);
            slot->selectAll();
            QTest::keyClicks(slot, text);
            return m_editor->IsMarked(code) ? slot : nullptr;
        };

        Sensor().ClearTrace();
        m_editor->SlotExit(edit(102, QStringLiteral("1.0021")));
        QTRY_COMPARE_WITH_TIMEOUT(Sensor().ReceivedBytes(),
                                  QByteArray("CALFACTOR 1.0021\r") + Query("CALFACTOR\r"), 5000);
        QCOMPARE(m_editor->Value(102), QStringLiteral("1.0021"));
        QVERIFY(!m_editor->IsMarked(102) && !m_editor->HeadingMarked(712));

        m_editor->pc_parameter->setCurrentIndex(1);
        m_editor->SystemHeadingDoubleClicked();
        Sensor().ClearTrace();
        m_editor->SlotExit(edit(201, QStringLiteral("30")));
        QTRY_COMPARE_WITH_TIMEOUT(Sensor().ReceivedBytes(),
                                  QByteArray("*SYSTEM\r\nTARVEK\r\nAMPLIFIER 30\r") +
                                      Query("AMPLIFIER\r") + "*EXIT\r\n",
                                  5000);
        QCOMPARE(m_editor->Value(201), QStringLiteral("30"));
        QCOMPARE(Sensor().Value(QStringLiteral("AMPLIFIER")), QStringLiteral("30"));
        QVERIFY(!Sensor().SystemMode());

        m_editor->pc_parameter->setCurrentIndex(0);
        TSimFaults faults;
        faults.ErrorKeys.insert(QStringLiteral("WINDOW"), QStringLiteral("E05"));
        Sensor().SetFaults(faults);
        m_editor->SlotExit(edit(110, QStringLiteral("9")));
        QCOMPARE(m_editor->Value(110), QString());
        Sensor().ClearFaults();

        // A second slot left during the first exchange waits its turn.
        TSimFaults slow;
        slow.AnswerDelayMs = 120;
        Sensor().SetFaults(slow);
        QLineEdit* average = edit(101, QStringLiteral("200"));
        QLineEdit* hold = edit(106, QStringLiteral("300"));
        QTimer::singleShot(50, this, [this, hold] {
            QVERIFY(m_editor->Exchanging());
            m_editor->SlotExit(hold);
        });
        Sensor().ClearTrace();
        m_editor->SlotExit(average);
        QTRY_COMPARE_WITH_TIMEOUT(Sensor().ReceivedBytes(),
                                  QByteArray("AVERAGE 200\r") + Query("AVERAGE\r") +
                                      "HOLDTIME 300\r" + Query("HOLDTIME\r"),
                                  5000);
        QCOMPARE(m_editor->Value(101), QStringLiteral("200"));
        QCOMPARE(m_editor->Value(106), QStringLiteral("300"));
    }

    // The sensor's device goes away during an Auto Update: the value the
    // user typed is not emptied as a refusal would be; it stays, marked as
    // not sent.
    void autoUpdateLinkLost() {
        QVERIFY(Start(QStringLiteral("7"), 1));
        WaitIdentified();
        Read();
        m_editor->cb_AutoUpdate->setChecked(true);
        QLineEdit* slot = m_editor->Slot(102);
        slot->selectAll();
        QTest::keyClicks(slot, QStringLiteral("1.0033"));
        connect(&Sensor(), &TSimSensor::Traced, this, [this](const TSimTraceEntry& e) {
            if (e.FromHost && e.Bytes.contains("1.0033")) m_sim->Unplug();
        });
        m_editor->SlotExit(slot);
        QVERIFY(!m_main->ComPort()->Connected());
        QCOMPARE(slot->text(), QStringLiteral("1.0033"));
        QVERIFY(m_editor->IsMarked(102));
        QVERIFY(!m_editor->Exchanging());
    }

    // Ticking Auto Update sends what was changed while it was off.
    void tickingSendsPending() {
        QVERIFY(Start(QStringLiteral("7"), 1));
        WaitIdentified();
        Read();
        m_editor->Slot(102)->selectAll();
        QTest::keyClicks(m_editor->Slot(102), QStringLiteral("0.999"));
        Sensor().ClearTrace();
        m_editor->SlotExit(m_editor->Slot(102)); // off: nothing is sent
        QCOMPARE(Sensor().ReceivedBytes(), QByteArray());
        QVERIFY(m_editor->IsMarked(102));
        m_editor->cb_AutoUpdate->click();
        QCOMPARE(Sensor().ReceivedBytes(), QByteArray("CALFACTOR 0.999\r") + Query("CALFACTOR\r"));
        QVERIFY(!m_editor->IsMarked(102));
    }

    // F2: straight into a file, CR LF and Latin-1, with the INFO lines as
    // remarks and the output state from before; the editor stays as it was.
    void readIntoFile() {
        QVERIFY(Start(QStringLiteral("9"), 1));
        WaitIdentified();
        QVERIFY(Sensor().SetValue(QStringLiteral("S1ON"), QStringLiteral("1")));
        const QString file = m_dir.filePath(QStringLiteral("sensor.par"));
        TFileDialogs::SetResponder([&file](const TFileDialogRequest& r) {
            return r.kind == TFileDialogRequest::Save && r.defaultSuffix == u"par" ? file
                                                                                   : QString();
        });
        Sensor().ClearTrace();
        m_main->Ui().Datei_Parameter_lesen->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!m_main->SensorBusy() && QFile::exists(file), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(Sensor().ReceivedBytes().endsWith("*EXIT\r\nS1ON 1\r\n"), 5000);
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QVERIFY(bytes.startsWith("REM PARAMETER FILE\r\nREM DATE "));
        QVERIFY(bytes.contains("\r\nREM ORX 9 V4.07 32bit 2023-11-20\r\n"));
        QVERIFY(bytes.contains("\r\nREM POST RAM OK\r\n"));
        QVERIFY(bytes.contains("\r\nS1ON         1\r\n"));
        QVERIFY(bytes.contains("\r\nAVERAGE       100 ms\r\n"));
        QVERIFY(bytes.endsWith("\r\n"));
        QVERIFY(!QByteArray(bytes).replace("\r\n", "").contains('\n'));
        QCOMPARE(m_editor->Value(101), QString()); // the editor is not touched
    }

    // Compare: the sensor's set read without touching the editor, and the
    // editor's set against it with the differing keys listed.
    void compareWithSensor() {
        QVERIFY(Start(QStringLiteral("9"), 1));
        WaitIdentified();
        QVERIFY(Sensor().SetValue(QStringLiteral("S1ON"), QStringLiteral("1")));
        Read("S1ON 1\r\n");
        QVERIFY(Sensor().SetValue(QStringLiteral("AVERAGE"), QStringLiteral("300")));
        QVERIFY(Sensor().SetValue(QStringLiteral("MINRATE"), QStringLiteral("9")));
        const QString average = m_editor->Value(101);
        QStringList sensor;
        Sensor().ClearTrace();
        QVERIFY(m_editor->Reader().ReadSensorSet(&sensor));
        QTRY_VERIFY_WITH_TIMEOUT(Sensor().ReceivedBytes().endsWith("*EXIT\r\nS1ON 1\r\n"), 5000);
        QVERIFY(!Sensor().SystemMode());
        QCOMPARE(m_editor->Value(101), average); // the editor is not touched

        TParameterCompareDlg dialog;
        dialog.SetSets(m_main->ParameterWriter()->SendLines(), sensor, QStringLiteral("Editor"));
        QCOMPARE(dialog.DifferingCount(), 2);
        QCOMPARE(dialog.Table->rowCount(), 2);
        QCOMPARE(dialog.Table->item(0, 0)->text(), QStringLiteral("AVERAGE"));
        QCOMPARE(dialog.Table->item(0, 2)->text(), QStringLiteral("300 ms"));
        QCOMPARE(dialog.Table->item(1, 0)->text(), QStringLiteral("MINRATE"));
        dialog.cb_all->setChecked(true);
        QVERIFY(dialog.Table->rowCount() > 40);
        QCOMPARE(dialog.DifferingCount(), 2);
    }

    // The sensor stops answering once asked for its list: the read still
    // takes it out of system mode and puts its output back, says that no
    // set came, and the editor and the read buffer keep what they had.
    void silentSensorLeftClean() {
        QVERIFY(Start(QStringLiteral("7"), 1));
        WaitIdentified();
        QVERIFY(Sensor().SetValue(QStringLiteral("S1ON"), QStringLiteral("1")));
        m_editor->Slot(101)->setText(QStringLiteral("4321"));
        const QString before = m_main->Ui().Memo_Rec->toPlainText();
        connect(&Sensor(), &TSimSensor::Traced, this, [this](const TSimTraceEntry& e) {
            if (e.FromHost && e.Bytes.contains("READ")) {
                TSimFaults silent;
                silent.Silent = true;
                Sensor().SetFaults(silent);
            }
        });
        m_main->Ui().Parameter_auslesen->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!m_main->SensorBusy(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(Sensor().ReceivedBytes().endsWith("*EXIT\r\nS1ON 1\r\n"), 5000);
        QVERIFY(!Sensor().SystemMode());
        QCOMPARE(Sensor().Value(QStringLiteral("S1ON")), QStringLiteral("1"));
        QCOMPARE(m_main->Ui().Memo_Rec->toPlainText(), before);
        QCOMPARE(m_editor->Value(101), QStringLiteral("4321"));
        QCOMPARE(m_boxes.value(0), LabelText(138) + u'\n' + LabelText(140));
        QCOMPARE(m_editor->Reader().LastResult(), TFlowResult::NoAnswer);
        QVERIFY(m_main->Ui().Parameter_auslesen->isEnabled());
    }

    // The editor window identifies the sensor when it is shown; without an
    // answer it says so and leaves the identity as it was.
    void showingIdentifies() {
        QVERIFY(Start(QStringLiteral("9"), 1));
        WaitIdentified();
        Sensor().ClearTrace();
        m_main->Ui().Fenster_Parameter->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(Sensor().ReceivedBytes().contains(Query("INFO\r\n")), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!m_main->SensorBusy(), 10000);
        QCOMPARE(m_editor->pc_parameter->currentIndex(), 0);
        QVERIFY(m_editor->pc_parameter->isTabVisible(4)); // the 32-bit pulse tab

        TSimFaults mute;
        mute.Mute = true;
        Sensor().SetFaults(mute);
        m_editor->hide();
        m_main->Ui().Fenster_Parameter->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(m_boxes, QStringList{LabelText(105)}, 10000);
        QCOMPARE(m_editor->SerialNumberText(), Sensor().Serial());
        QTRY_VERIFY_WITH_TIMEOUT(!m_main->SensorBusy(), 10000);
    }
};

QTEST_MAIN(TestParamRead)
#include "tst_paramread.moc"
