// SPDX-License-Identifier: MIT
// Capture, send file and the history through the whole main window against
// the simulated sensor on a pseudo-terminal.
#include "FileDialogs.h"
#include "FullFileSystem.h"
#include "Labels.h"
#include "MsgBox.h"
#include "SimulatedMainForm.h"
#include "TComPort.h"
#include "TFlashDlg.h"
#include "THistoryForm.h"
#include "TMainForm.h"
#include "TSimPty.h"
#include "TSimSensor.h"
#include "TSimTcpServer.h"
#include "VersionInfo.h"
#include "WhenReady.h"
#include "Windows.h"

#include <QAction>
#include <QFile>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <utility>

#include <sys/stat.h>

class TestCapture : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<TSimPty> m_sim;
    std::unique_ptr<TMainForm> m_main;
    TAppWindows m_w;
    QStringList m_boxes;

    TSimSensor& Sensor() { return m_sim->Sensor(); }
    bool Start() {
        return StartOnSimulatedSensor(m_dir.filePath(QStringLiteral("sim")), TSimOptions(), m_sim,
                                      m_main, m_w,
                                      {{QStringLiteral("Option/TextDir"), m_dir.path()}});
    }
    bool Ready() { return Identified(*m_main, m_w, *m_sim); }
    static void Offer(const QString& path) {
        TFileDialogs::SetResponder([path](const TFileDialogRequest&) { return path; });
    }
    static QByteArray Contents(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    }
    QString Write(const QString& name, const QByteArray& bytes) {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(bytes);
        return path;
    }
    bool ParameterFileActionsEnabled() const {
        return m_main->Ui().Datei_Parameter_lesen->isEnabled() &&
               m_main->Ui().Datei_Parameter_schreiben->isEnabled();
    }
    bool ParameterFileActionsDisabled() const {
        return !m_main->Ui().Datei_Parameter_lesen->isEnabled() &&
               !m_main->Ui().Datei_Parameter_schreiben->isEnabled();
    }

private slots:
    void init() {
        SetLabelFilePath(QStringLiteral(ORX_SOURCE_DIR "/labels/orxterm.lab"));
        RecordMessageBoxes(m_boxes);
    }
    void cleanup() { StopSimulatedMainForm(m_main, m_sim); }

    // An operator captures a service visit: the file holds what the sensor
    // sent, CR as CR LF, LF and BEL dropped, escape sequences left out,
    // other controls as they came; it is on disk after each receive while
    // capture still runs. Meanwhile the window's caption names the file,
    // the check mark shows, and the parameter file actions wait. Ending it,
    // or a cancelled dialog, brings everything back; so does closing the
    // program, which closes the file.
    void captureServiceVisit() {
        QVERIFY(Start());
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 10000);
        const QString file = m_dir.filePath(QStringLiteral("visit.txt"));
        Offer(file);
        m_main->Ui().Datei_Mitschnitt->trigger();
        QVERIFY(m_main->CaptureActive());
        QCOMPARE(m_main->windowTitle(), ProductTitle() + QStringLiteral(" - VISIT.TXT"));
        QVERIFY(m_main->Ui().Datei_Mitschnitt->isChecked());
        QVERIFY(ParameterFileActionsDisabled());
        m_main->EnableDeviceActions(true); // a link event meanwhile keeps them waiting
        QVERIFY(ParameterFileActionsDisabled());

        Sensor().SendMarker("ab\r\ncd\n\a\t\b\033[1mX\r");
        QTRY_COMPARE_WITH_TIMEOUT(Contents(file), QByteArray("ab\r\ncd\t\bX\r\n"), 10000);
        Sensor().SendMarker("\r\n");
        QTRY_COMPARE_WITH_TIMEOUT(Contents(file), QByteArray("ab\r\ncd\t\bX\r\n\r\n"), 10000);
        QVERIFY(m_main->BellReceived());

        m_main->Ui().Datei_Mitschnitt->trigger();
        QVERIFY(!m_main->CaptureActive());
        QCOMPARE(m_main->windowTitle(), ProductTitle());
        QVERIFY(!m_main->Ui().Datei_Mitschnitt->isChecked());
        QVERIFY(ParameterFileActionsEnabled());
        Sensor().SendMarker("more\r");
        QTRY_VERIFY_WITH_TIMEOUT(m_main->HistoryLines().contains(QStringLiteral("more")), 10000);
        QCOMPARE(Contents(file), QByteArray("ab\r\ncd\t\bX\r\n\r\n"));

        Offer(QString()); // cancelled
        m_main->Ui().Datei_Mitschnitt->trigger();
        QVERIFY(!m_main->CaptureActive());
        QVERIFY(!m_main->Ui().Datei_Mitschnitt->isChecked());
        QVERIFY(ParameterFileActionsEnabled());

        Offer(file); // an existing capture is started afresh
        m_main->Ui().Datei_Mitschnitt->trigger();
        QVERIFY(m_main->CaptureActive());
        QCOMPARE(Contents(file), QByteArray());
        QVERIFY(m_main->FormCloseQuery());
        QVERIFY(!m_main->CaptureActive());
        QCOMPARE(m_boxes, QStringList());
    }

    // A file on a disk that has become full: the first write ends the
    // capture with label 110 in the status bar; one that cannot be created
    // is reported and capture stays off; a device or a pipe (which would
    // block the window at its opening) is refused with what it is.
    void captureFailures() {
        TFullFileSystem disk;
        QVERIFY2(disk.Mounted(), qPrintable(disk.Error()));
        QVERIFY(Start());
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 10000);
        Offer(disk.FilePath(QStringLiteral("capture.txt")));
        m_main->Ui().Datei_Mitschnitt->trigger();
        QVERIFY(m_main->CaptureActive());
        QVERIFY(disk.Fill());
        Sensor().SendMarker("lost\r");
        QTRY_VERIFY_WITH_TIMEOUT(!m_main->CaptureActive(), 10000);
        QCOMPARE(m_main->PanelText(TStatusPanel::ComStatus), LabelText(110));
        QCOMPARE(m_main->windowTitle(), ProductTitle());
        QVERIFY(!m_main->Ui().Datei_Mitschnitt->isChecked());
        QVERIFY(ParameterFileActionsEnabled());
        // Hard to miss: a box names the file and the full disk.
        QTRY_COMPARE_WITH_TIMEOUT(m_boxes.size(), 1, 10000);
        QVERIFY(m_boxes.first().startsWith(LabelText(110)));
        QVERIFY2(m_boxes.first().contains(QStringLiteral("capture.txt")),
                 qPrintable(QString(m_boxes.first()).replace(u'\n', u'|')));
        m_boxes.clear();

        const QString nowhere = m_dir.filePath(QStringLiteral("no/such/folder/c.txt"));
        Offer(nowhere);
        m_main->Ui().Datei_Mitschnitt->trigger();
        QVERIFY(!m_main->CaptureActive());
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY(m_boxes.first().contains(nowhere));
        QVERIFY(ParameterFileActionsEnabled());

        const QString pipe = m_dir.filePath(QStringLiteral("capture.fifo"));
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        for (const auto& [path, label] :
             {std::pair{QStringLiteral("/dev/full"), 262}, std::pair{pipe, 261}}) {
            m_boxes.clear();
            Offer(path);
            m_main->Ui().Datei_Mitschnitt->trigger();
            QVERIFY(!m_main->CaptureActive());
            QCOMPARE(m_boxes, QStringList{path + QStringLiteral(": ") + LabelText(label)});
            QVERIFY(ParameterFileActionsEnabled());
        }
    }

    // Send file: every line with CR LF, empty lines included; the first
    // line's first character alone, 100 ms ahead of the rest; the others
    // each in one piece.
    void sendFile_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArrayList>("lines");
        QTest::newRow("one line") << QByteArray("INFO") << QByteArrayList{"INFO"};
        QTest::newRow("three lines, LF ends, an empty one")
            << QByteArray("SID\n\nINFO\n") << QByteArrayList{"SID", "", "INFO"};
        QTest::newRow("CR LF ends")
            << QByteArray("SID\r\nINFO\r\n") << QByteArrayList{"SID", "INFO"};
        QTest::newRow("empty file") << QByteArray() << QByteArrayList{};
    }
    void sendFile() {
        QFETCH(QByteArray, file);
        QFETCH(QByteArrayList, lines);
        QVERIFY(Start());
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 10000);
        Offer(Write(QStringLiteral("cmds.txt"), file));
        QList<TSimTraceEntry> received;
        connect(&Sensor(), &TSimSensor::Traced, this, [&received](const TSimTraceEntry& e) {
            if (e.FromHost) received.append(e);
        });
        m_main->Ui().Datei_senden->trigger();
        QCOMPARE(m_boxes, QStringList());
        QByteArray expected;
        for (const QByteArray& line : lines)
            expected += line + "\r\n";
        QByteArray all;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                all.clear();
                for (const TSimTraceEntry& e : received)
                    all += e.Bytes;
                return all == expected;
            }(),
            10000);
        if (lines.isEmpty()) return;
        // The first character came alone, the rest of the line 100 ms later.
        QCOMPARE(received.first().Bytes, expected.left(1));
        QVERIFY(received.at(1).TimeUs - received.first().TimeUs >= 90000);
        QVERIFY(received.at(1).Bytes.startsWith(expected.mid(1, lines.first().size() + 1)));
    }

    // While the sensor holds the line with XOFF the transfer waits with at
    // most one line on its way, however long; after XON it goes on to the
    // end. A file that cannot be read sends nothing.
    void sendFileHeldAndUnreadable() {
        QVERIFY(Start());
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 10000);
        QByteArray text;
        for (int i = 0; i < 300; ++i)
            text += "SID\r\n";
        Offer(Write(QStringLiteral("long.txt"), text));
        TFlashDlg& dialog = *m_w.FlashDlg;
        QSignalSpy ticks(&dialog.Timer1(), &QTimer::timeout);
        int heldAt = -1;
        int afterTicks = -1;
        int afterMoreTicks = -1;
        // Seen held, the line the driver holds may still have one line
        // behind it handed over (the transfer keeps one waiting); after
        // that nothing moves until XON, however many ticks pass.
        WhenReady(
            this, [&] { return dialog.isVisible() && dialog.ProgressBar1->value() >= 10; },
            [&] {
                Sensor().HoldHost(true);
                WhenReady(
                    this, [&] { return m_main->ComPort()->OutputBacklog() > 0; },
                    [&] {
                        heldAt = dialog.ProgressBar1->value();
                        const qsizetype from = ticks.size();
                        WhenReady(
                            this, [&ticks, from] { return ticks.size() >= from + 30; },
                            [&] {
                                afterTicks = dialog.ProgressBar1->value();
                                const qsizetype more = ticks.size();
                                WhenReady(
                                    this, [&ticks, more] { return ticks.size() >= more + 30; },
                                    [&] {
                                        afterMoreTicks = dialog.ProgressBar1->value();
                                        Sensor().HoldHost(false);
                                    });
                            });
                    });
            });
        const qsizetype sidsBefore = Sensor().ReceivedBytes().count("SID\r\n");
        m_main->Ui().Datei_senden->trigger();
        QVERIFY(heldAt >= 10);
        QVERIFY2(afterTicks == heldAt || afterTicks == heldAt + 1,
                 qPrintable(QStringLiteral("%1 after %2").arg(afterTicks).arg(heldAt)));
        QCOMPARE(afterMoreTicks, afterTicks);
        QCOMPARE(dialog.ProgressBar1->value(), 300);
        QTRY_COMPARE_WITH_TIMEOUT(Sensor().ReceivedBytes().count("SID\r\n"), sidsBefore + 300,
                                  20000);

        Offer(m_dir.path()); // a folder
        const QByteArray before = Sensor().ReceivedBytes();
        m_main->Ui().Datei_senden->trigger();
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY(m_boxes.first().startsWith(LabelText(515)));
        QVERIFY(m_boxes.first().endsWith(m_dir.path() + QStringLiteral(": ") + LabelText(260)));
        // A pipe would block the window until something wrote to it.
        const QString pipe = m_dir.filePath(QStringLiteral("send.fifo"));
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        Offer(pipe);
        m_main->Ui().Datei_senden->trigger();
        QCOMPARE(m_boxes.size(), 2);
        QVERIFY(m_boxes.last().startsWith(LabelText(515)));
        QVERIFY(m_boxes.last().endsWith(pipe + QStringLiteral(": ") + LabelText(261)));
        QCOMPARE(Sensor().ReceivedBytes(), before);
    }

    // A file that does not go out whole is told: the sensor gone half-way
    // (nothing more is sent into nothing), or a line it refused with BEL.
    void sendFileCutShort_data() {
        QTest::addColumn<bool>("unplug");
        QTest::addColumn<int>("reason");
        QTest::newRow("sensor gone") << true << 144;
        QTest::newRow("line refused") << false << 146;
    }
    void sendFileCutShort() {
        QFETCH(bool, unplug);
        QFETCH(int, reason);
        QVERIFY(Start());
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 10000);
        QByteArray text;
        for (int i = 0; i < 300; ++i)
            text += "SID\r\n";
        Offer(Write(QStringLiteral("cut.txt"), text));
        TFlashDlg& dialog = *m_w.FlashDlg;
        WhenReady(
            this, [&] { return dialog.isVisible() && dialog.ProgressBar1->value() >= 10; },
            [&] {
                if (unplug)
                    m_sim->Unplug();
                else
                    Sensor().SendMarker("\a");
            });
        m_main->Ui().Datei_senden->trigger();
        const int sent = dialog.LinesSent();
        QVERIFY2(sent >= 10 && sent < 300, qPrintable(QString::number(sent)));
        QCOMPARE(m_boxes,
                 QStringList{LabelText(reason) + u'\n' + LabelText(148).arg(sent).arg(300)});
    }

    // Over a TCP link (Remote) every line of the file takes the link's
    // way, not only the first.
    void sendFileOverTcp() {
        TSimTcpServer sensor;
        QVERIFY(sensor.Listen());
        QVERIFY(StartOnSimulatedSensor(
            m_dir.filePath(QStringLiteral("sim")), TSimOptions(), m_sim, m_main, m_w,
            {{QStringLiteral("Option/Mode"), QStringLiteral("2")},
             {QStringLiteral("Option/TCPClientIP"), QStringLiteral("127.0.0.1")},
             {QStringLiteral("Option/TCPClientPort"), QString::number(sensor.Port())}}));
        QTRY_VERIFY_WITH_TIMEOUT(!m_main->StartUpTimer().isActive() && !m_main->SensorBusy() &&
                                     m_main->Ui().Datei_senden->isEnabled(),
                                 10000);
        Offer(Write(QStringLiteral("tcp.txt"), "SID\n\nINFO\n"));
        m_main->Ui().Datei_senden->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(sensor.Sensor().ReceivedBytes().endsWith("SID\r\n\r\nINFO\r\n"),
                                 10000);
        QCOMPARE(m_boxes, QStringList());
    }

    // The history keeps the last 1000 lines (and the one being received),
    // ignores controls other than CR, freezes while its window is shown,
    // and the window clears it and saves it with CR LF line ends.
    void history() {
        QVERIFY(Start());
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 10000);
        for (int i = 0; i < 1005; ++i)
            for (char ch : QByteArray("L" + QByteArray::number(i) + "\t\n\r"))
                m_main->ReceiveChar(ch);
        const QStringList& lines = m_main->HistoryLines();
        QCOMPARE(lines.size(), 1001);
        QCOMPARE(lines.at(999), QStringLiteral("L1004"));
        QCOMPARE(lines.last(), QString());
        Sensor().SendMarker("last words\r");
        QTRY_COMPARE_WITH_TIMEOUT(lines.at(lines.size() - 2), QStringLiteral("last words"), 10000);
        QCOMPARE(lines.size(), 1001);

        THistoryForm& form = *m_w.HistoryForm;
        m_main->Ui().Extras_Histogramm->trigger();
        QVERIFY(form.isVisible());
        QVERIFY(m_main->Ui().Extras_Histogramm->isChecked());
        const QString shown = form.Memo1->toPlainText();
        QVERIFY(shown.endsWith(QStringLiteral("L1004\nlast words\n\n")));
        QEvent activate(QEvent::WindowActivate);
        QCoreApplication::sendEvent(&form, &activate);
        QVERIFY(form.Memo1->textCursor().atEnd());
        QVERIFY(!form.Memo1->textCursor().hasSelection());

        Sensor().SendMarker("unseen\r");
        Sensor().SendMarker("\033[5n"); // answered by the terminal: the earlier bytes are in
        QTRY_VERIFY_WITH_TIMEOUT(Sensor().ReceivedBytes().endsWith("\033[0n"), 10000);
        QVERIFY(!m_main->HistoryLines().contains(QStringLiteral("unseen")));
        QCOMPARE(form.Memo1->toPlainText(), shown);

        const QString saved = m_dir.filePath(QStringLiteral("history.txt"));
        Offer(saved);
        form.acSave->trigger();
        const QByteArray bytes = Contents(saved);
        QVERIFY(bytes.startsWith("L6\r\n"));
        QVERIFY(bytes.endsWith("L1004\r\nlast words\r\n\r\n"));
        QCOMPARE(bytes.count("\r\n"), 1001);
        QCOMPARE(form.windowTitle(), ProductTitle() + QStringLiteral(" - history.txt"));

        // On a full disk the saved history stays as it was and the message
        // says why; the history in memory is unchanged.
        {
            TFullFileSystem disk;
            QVERIFY2(disk.Mounted(), qPrintable(disk.Error()));
            const QString onDisk = disk.FilePath(QStringLiteral("history.txt"));
            QVERIFY(QFile::copy(saved, onDisk));
            QVERIFY(disk.Fill(bytes.size() / 2)); // room for half of it
            Offer(onDisk);
            form.acSave->trigger();
            QCOMPARE(m_boxes, QStringList{onDisk + QStringLiteral(": ") + qt_error_string(ENOSPC)});
            QCOMPARE(Contents(onDisk), bytes);
            QCOMPARE(disk.Files(), QStringList{QStringLiteral("history.txt")});
            QCOMPARE(form.Memo1->toPlainText(), shown);
            m_boxes.clear();
        }

        form.acClose->trigger();
        QVERIFY(!form.isVisible());
        QVERIFY(!m_main->Ui().Extras_Histogramm->isChecked());
        Sensor().SendMarker("seen\r");
        QTRY_VERIFY_WITH_TIMEOUT(m_main->HistoryLines().contains(QStringLiteral("seen")), 10000);

        m_main->Ui().Extras_Histogramm->trigger();
        form.acClear->trigger();
        QVERIFY(form.Memo1->toPlainText().isEmpty());
        QVERIFY(m_main->HistoryLines().isEmpty());
        QCOMPARE(m_boxes, QStringList());
    }
};

QTEST_MAIN(TestCapture)
#include "tst_capture.moc"
