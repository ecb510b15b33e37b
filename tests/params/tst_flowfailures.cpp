// SPDX-License-Identifier: MIT
// Sending and reading parameter sets through the whole main window when
// the sensor fails half-way: its device removed, a line refused, the
// sensor gone mute, no set in the READ reply. Each flow must say what
// happened, keep the user's data (marks, file, editor) and ask nothing it
// cannot stand behind; what the sensor is owed reaches it when it comes
// back, and only then, and only that sensor.
#include "FileDialogs.h"
#include "Labels.h"
#include "MsgBox.h"
#include "ParameterFile.h"
#include "SetWatch.h"
#include "SimulatedMainForm.h"
#include "TComPort.h"
#include "TCommandEngine.h"
#include "TMainForm.h"
#include "TParameterForm.h"
#include "TParameterReader.h"
#include "TParameterWriter.h"
#include "TSimPty.h"
#include "TSimSensor.h"
#include "Windows.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <utility>

namespace {
// The ways a set goes to the sensor.
enum class TWay { EditorStore, EditorTest, File, Clipboard };

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

Q_DECLARE_METATYPE(TWay)
Q_DECLARE_METATYPE(TFlowResult)

class TestFlowFailures : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<TSimPty> m_sim;
    std::unique_ptr<TSimPty> m_away; // a sensor taken off the port, kept for later
    std::unique_ptr<TMainForm> m_main;
    TAppWindows m_w;
    QStringList m_boxes;

    TSimSensor& Sensor() { return m_sim->Sensor(); }
    TParameterForm& Editor() { return *m_w.ParameterForm; }
    TParameterWriter& Writer() { return *m_main->ParameterWriter(); }
    QString LinkPath() const { return m_dir.filePath(QStringLiteral("sim")); }
    QString SetFile() const { return m_dir.filePath(QStringLiteral("set.par")); }

    // The main window on a simulated ORX 9 whose output runs, the set read
    // into the editor and AVERAGE changed there (marked).
    bool StartWithEditedSet(const QString& serial = {}) {
        TSimOptions options;
        options.Serial = serial;
        if (!StartOnSimulatedSensor(LinkPath(), options, m_sim, m_main, m_w)) return false;
        if (!QTest::qWaitFor([this] { return Ready(); }, 20000)) return false;
        if (!Sensor().SetValue(QStringLiteral("S1ON"), QStringLiteral("1"))) return false;
        m_main->Ui().Parameter_auslesen->trigger();
        if (!QTest::qWaitFor([this] { return !m_main->SensorBusy() && !Sensor().SystemMode(); },
                             20000))
            return false;
        Editor().Slot(101)->setText(QStringLiteral("250"));
        return Editor().IsMarked(101);
    }
    bool Ready() { return Identified(*m_main, m_w, *m_sim); }
    // The lines of the last send, as the writer put them out.
    QStringList SentLines() const { return m_main->Ui().Memo_Par->toPlainText().split(u'\n'); }

    // Sends the editor's set one of the ways: the editor itself, or a file
    // the program saved from it, or the same text on the clipboard.
    void SendBy(TWay way) {
        switch (way) {
        case TWay::EditorStore:
            m_main->Ui().Parameter_programmieren->trigger();
            break;
        case TWay::EditorTest:
            m_main->Ui().Parameter_testen->trigger();
            break;
        case TWay::File: {
            QVERIFY(SaveParameterLines(SetFile(), Writer().FileLines(), nullptr));
            const QString file = SetFile();
            TFileDialogs::SetResponder([file](const TFileDialogRequest& r) {
                return r.kind == TFileDialogRequest::Open ? file : QString();
            });
            m_main->Ui().Datei_Parameter_schreiben->trigger();
            break;
        }
        case TWay::Clipboard:
            QGuiApplication::clipboard()->setText(
                Writer().FileLines().join(QStringLiteral("\r\n")));
            QVERIFY(m_main->SpecialKey(Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier));
            break;
        }
        QTRY_VERIFY_WITH_TIMEOUT(!m_main->SensorBusy(), 60000);
    }
    // A marker sent now arrives after anything the program put on the
    // line before: once it is there, the sensor has all of it.
    void WaitAllArrived() {
        QVERIFY(m_main->Engine().SetCmd(QByteArray("\r")));
        QTRY_VERIFY_WITH_TIMEOUT(Sensor().ReceivedBytes().endsWith('\r'), 10000);
    }
    static bool FromEditor(TWay way) { return way == TWay::EditorStore || way == TWay::EditorTest; }

    // The device goes away as soon as what the sensor has of the set
    // satisfies `reached`; with `lastLost`, the bytes that got it there are
    // lost with the device.
    void UnplugWhen(std::function<bool(const QByteArray&)> reached, bool lastLost) {
        WhenSetReceived(Sensor(), this, std::move(reached), [this, lastLost] {
            if (lastLost) {
                TSimFaults mute;
                mute.Mute = true;
                Sensor().SetFaults(mute);
            }
            QTimer::singleShot(0, m_sim.get(), [this] { m_sim->Unplug(); });
        });
    }
    static std::function<bool(const QByteArray&)> FiveLines() {
        return [](const QByteArray& set) { return set.count("\r\n") >= 5; };
    }
    // The device comes back: once it is open and the sensor identified,
    // the sensor is out of system mode with its output on again.
    void ReplugAndWaitPutBack() {
        Sensor().ClearFaults();
        QVERIFY(m_sim->Replug());
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!Sensor().SystemMode(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(Sensor().Value(QStringLiteral("S1ON")), QStringLiteral("1"),
                                  10000);
        QVERIFY(m_main->OwedCommands().isEmpty());
    }

private slots:
    void init() {
        SetLabelFilePath(QStringLiteral(ORX_SOURCE_DIR "/labels/orxterm.lab"));
        RecordMessageBoxes(m_boxes);
        QFile::remove(SetFile());
    }
    void cleanup() {
        StopSimulatedMainForm(m_main, m_sim);
        m_away.reset();
    }

    // The device removed while the set goes out: the send says how much
    // went out, stores nothing and asks nothing, the editor keeps its
    // marks; the sensor, left in system mode with its output off, is put
    // back once it is there again. The line "*EXIT" may be lost on its way
    // as well: it is owed all the same, though the link took it.
    void linkLostWhileSending_data() {
        QTest::addColumn<TWay>("way");
        QTest::addColumn<bool>("exitLost");
        QTest::newRow("Alt+P") << TWay::EditorStore << false;
        QTest::newRow("Alt+T") << TWay::EditorTest << false;
        QTest::newRow("F3") << TWay::File << false;
        QTest::newRow("Ctrl+Shift+C") << TWay::Clipboard << false;
        QTest::newRow("Alt+P, *EXIT lost on its way") << TWay::EditorStore << true;
        QTest::newRow("F3, *EXIT lost on its way") << TWay::File << true;
    }
    void linkLostWhileSending() {
        QFETCH(TWay, way);
        QFETCH(bool, exitLost);
        QVERIFY(StartWithEditedSet());
        m_boxes.clear();
        if (exitLost)
            UnplugWhen([](const QByteArray& set) { return set.contains("*EXIT\r\n"); }, true);
        else
            UnplugWhen(FiveLines(), false);
        SendBy(way);

        QCOMPARE(Writer().LastResult(), TFlowResult::NoLink);
        const QStringList lines = SentLines();
        qsizetype told = -1;
        for (qsizetype sent = 0; sent < lines.size(); ++sent)
            if (m_boxes.contains(LabelText(134).arg(sent).arg(lines.size()))) told = sent;
        QVERIFY2(told >= (exitLost ? lines.indexOf(QStringLiteral("*EXIT")) : 5),
                 qPrintable(m_boxes.join(u'|')));
        QVERIFY(!m_boxes.contains(LabelText(104)));
        if (FromEditor(way)) QVERIFY(Editor().IsMarked(101));
        QVERIFY(Sensor().SystemMode());
        ReplugAndWaitPutBack();
        QVERIFY(!Sensor().ReceivedBytes().contains("*STORE"));
    }

    // A line the sensor refuses: the send lists it (and only it: the
    // sensor's errors to a file's header lines say nothing about the set),
    // asks no store question and keeps the marks; the sensor has left
    // system mode as the set does it. A remark may hold the prompt's
    // characters "->", which come back in its echo: the answers still go
    // with their own lines.
    void refusedLine_data() {
        QTest::addColumn<TWay>("way");
        QTest::addColumn<QString>("remark");
        QTest::newRow("Alt+P") << TWay::EditorStore << QString();
        QTest::newRow("F3, a remark with an arrow") << TWay::File << "Lager alt->neu";
    }
    void refusedLine() {
        QFETCH(TWay, way);
        QFETCH(QString, remark);
        QVERIFY(StartWithEditedSet());
        if (!remark.isEmpty()) Editor().Memo_bemerkung->appendPlainText(remark);
        const QString stored = Sensor().StoredValue(QStringLiteral("AVERAGE"));
        TSimFaults refusing;
        refusing.ErrorKeys.insert(QStringLiteral("AVERAGE"), QStringLiteral("E05"));
        Sensor().SetFaults(refusing);
        m_boxes.clear();
        SendBy(way);

        QCOMPARE(Writer().LastResult(), TFlowResult::SensorError);
        const QStringList lines = SentLines();
        QString average;
        for (const QString& line : lines)
            if (line.startsWith(QLatin1String("AVERAGE "))) average = line;
        QVERIFY(!average.isEmpty());
        QCOMPARE(m_boxes, QStringList{LabelText(136).arg(1).arg(lines.size()) + u'\n' + average +
                                      QStringLiteral("  (E05)")});
        if (FromEditor(way)) QVERIFY(Editor().IsMarked(101));
        QVERIFY(!Sensor().SystemMode());
        QVERIFY(!Sensor().ReceivedBytes().contains("*STORE"));
        QCOMPARE(Sensor().StoredValue(QStringLiteral("AVERAGE")), stored);
    }

    // The sensor stops answering half-way: the send counts the lines it
    // did not confirm, asks nothing and keeps the marks.
    void muteHalfWay() {
        QVERIFY(StartWithEditedSet());
        // Mute from the sixth line on: five lines are answered.
        WhenSetLinesReceived(Sensor(), this, 6, [this] {
            TSimFaults mute;
            mute.Mute = true;
            Sensor().SetFaults(mute);
        });
        m_boxes.clear();
        SendBy(TWay::EditorStore);

        QCOMPARE(Writer().LastResult(), TFlowResult::NoAnswer);
        const QStringList lines = SentLines();
        QCOMPARE(m_boxes, QStringList{LabelText(135).arg(lines.size() - 5).arg(lines.size())});
        QVERIFY(Editor().IsMarked(101));
    }

    // READ brings no set: F2 leaves the file the user chose as it was, Alt+A
    // the editor's values; the message tells a silent sensor from a lost
    // link, and the sensor is put back now or, when the link is gone,
    // once it is reached again.
    void readBringsNoSet_data() {
        QTest::addColumn<bool>("intoFile");
        QTest::addColumn<bool>("linkLost");
        QTest::addColumn<TFlowResult>("result");
        QTest::newRow("F2, READ unanswered") << true << false << TFlowResult::NoAnswer;
        QTest::newRow("F2, device removed at READ") << true << true << TFlowResult::NoLink;
        QTest::newRow("Alt+A, device removed at READ") << false << true << TFlowResult::NoLink;
    }
    void readBringsNoSet() {
        QFETCH(bool, intoFile);
        QFETCH(bool, linkLost);
        QVERIFY(StartWithEditedSet());
        const QString file = m_dir.filePath(QStringLiteral("read.par"));
        TFileDialogs::SetResponder([file](const TFileDialogRequest& r) {
            return r.kind == TFileDialogRequest::Save ? file : QString();
        });
        QFile::remove(file);
        m_main->Ui().Datei_Parameter_lesen->trigger(); // a good set in the file first
        QTRY_VERIFY_WITH_TIMEOUT(!m_main->SensorBusy() && !Sensor().SystemMode(), 20000);
        const QByteArray good = FileBytes(file);
        QVERIFY(good.contains("\r\nAVERAGE "));
        const QString memo = m_main->Ui().Memo_Rec->toPlainText();

        connect(&Sensor(), &TSimSensor::Traced, this, [this, linkLost](const TSimTraceEntry& e) {
            if (!e.FromHost || !e.Bytes.contains("READ")) return;
            TSimFaults faults;
            faults.Silent = !linkLost;
            faults.Mute = linkLost;
            Sensor().SetFaults(faults);
            if (linkLost) QTimer::singleShot(0, m_sim.get(), [this] { m_sim->Unplug(); });
        });
        m_boxes.clear();
        (intoFile ? m_main->Ui().Datei_Parameter_lesen : m_main->Ui().Parameter_auslesen)
            ->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!m_main->SensorBusy(), 30000);

        QFETCH(TFlowResult, result);
        QCOMPARE(Editor().Reader().LastResult(), result);
        const QString kept =
            intoFile ? LabelText(139).arg(QDir::toNativeSeparators(file)) : LabelText(140);
        QCOMPARE(m_boxes, QStringList{LabelText(linkLost ? 144 : 138) + u'\n' + kept});
        QCOMPARE(FileBytes(file), good);
        QCOMPARE(Editor().Value(101), QStringLiteral("250"));
        QVERIFY(Editor().IsMarked(101));
        QCOMPARE(m_main->Ui().Memo_Rec->toPlainText(), memo);
        if (linkLost) {
            QVERIFY(Sensor().SystemMode());
            ReplugAndWaitPutBack();
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(!Sensor().SystemMode(), 10000);
            QTRY_COMPARE_WITH_TIMEOUT(Sensor().Value(QStringLiteral("S1ON")), QStringLiteral("1"),
                                      10000);
        }
    }

    // What was owed to one sensor is not sent to another one that answers
    // on the same port, and is not kept for the first one either.
    void owedToThatSensorOnly() {
        QVERIFY(StartWithEditedSet(QStringLiteral("41001")));
        UnplugWhen(FiveLines(), false);
        SendBy(TWay::EditorTest);
        QCOMPARE(Writer().LastResult(), TFlowResult::NoLink);
        QVERIFY(Sensor().SystemMode());
        QVERIFY(!m_main->OwedCommands().isEmpty());

        // Another sensor on the same port.
        m_away = std::move(m_sim);
        TSimOptions other;
        other.Serial = QStringLiteral("41002");
        m_sim = std::make_unique<TSimPty>(other);
        m_sim->SetLinkPath(LinkPath());
        QVERIFY(m_sim->Start());
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 20000);
        QVERIFY(m_main->OwedCommands().isEmpty());
        WaitAllArrived();
        QVERIFY(!Sensor().ReceivedBytes().contains("*EXIT"));

        // The first sensor back: what it was owed is gone with the other one.
        m_sim->Unplug();
        std::swap(m_sim, m_away);
        m_away.reset();
        Sensor().ClearTrace();
        QVERIFY(m_sim->Replug());
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 20000);
        WaitAllArrived();
        QVERIFY(!Sensor().ReceivedBytes().contains("*EXIT"));
    }
};

QTEST_MAIN(TestFlowFailures)
#include "tst_flowfailures.moc"
