// SPDX-License-Identifier: MIT
// The program ended by a signal (logout, shutdown, Ctrl+C) while it works
// with the simulated sensor: a chart run and a parameter send end as the
// window's own closing ends them - the channel given back, system mode
// left - before the window closes; and the real program on SIGTERM.
#include "Labels.h"
#include "MsgBox.h"
#include "SimulatedMainForm.h"
#include "TComPort.h"
#include "TGrafikDlg.h"
#include "TMainForm.h"
#include "TParameterWriter.h"
#include "TSimPty.h"
#include "TSimSensor.h"
#include "WhenReady.h"
#include "Windows.h"

#include <QAction>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

class TestSignalEnd : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<TSimPty> m_sim;
    std::unique_ptr<TMainForm> m_main;
    TAppWindows m_w;
    QStringList m_boxes;
    bool m_quit = false;

    TSimSensor& Sensor() { return m_sim->Sensor(); }
    bool Start(const QString& model) {
        TSimOptions options;
        options.Model = model;
        if (!StartOnSimulatedSensor(m_dir.filePath(QStringLiteral("sim")), options, m_sim, m_main,
                                    m_w))
            return false;
        m_quit = false;
        m_main->SetQuitProgram([this] { m_quit = true; });
        return true;
    }
    bool Ready() { return Identified(*m_main, m_w, *m_sim); }

private slots:
    void init() {
        SetLabelFilePath(QStringLiteral(ORX_SOURCE_DIR "/labels/orxterm.lab"));
        RecordMessageBoxes(m_boxes);
    }
    void cleanup() { StopSimulatedMainForm(m_main, m_sim); }

    // A chart run: the window closes as its Cancel closes it, so the
    // sensor gets its own output settings back; then the program ends.
    void chartRun() {
        QVERIFY(Start(QStringLiteral("9")));
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 10000);
        QVERIFY(Sensor().SetValue(QStringLiteral("S1TIME"), QStringLiteral("250")));
        QVERIFY(Sensor().SetValue(QStringLiteral("S1ON"), QStringLiteral("1")));
        const QString format = Sensor().Value(QStringLiteral("S1FORMAT"));
        TGrafikDlg& chart = *m_w.GrafikDlg;
        WhenReady(
            this,
            [&] {
                return chart.isVisible() && chart.btnStart->isEnabled() && !m_main->SensorBusy();
            },
            [&] { chart.btnStart->click(); });
        WhenReady(
            this, [&] { return chart.Rohdaten().Count() >= 3; }, [&] { m_main->EndBySignal(); });
        m_main->Ui().Fenster_Grafik->trigger(); // returns when the chart has closed
        QVERIFY(!chart.isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(m_quit, 10000);
        QCOMPARE(Sensor().Value(QStringLiteral("S1FORMAT")), format);
        QCOMPARE(Sensor().Value(QStringLiteral("S1TIME")), QStringLiteral("250"));
        QCOMPARE(Sensor().Value(QStringLiteral("S1ON")), QStringLiteral("1"));
        QVERIFY(!m_main->ComPort()->Connected());
    }

    // A parameter send: it stops before its next line and takes the sensor
    // out of system mode; the program ends after it.
    void sendInterrupted() {
        QVERIFY(Start(QStringLiteral("7")));
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 10000);
        m_main->Ui().Parameter_auslesen->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(
            !m_main->SensorBusy() && m_main->Ui().Parameter_testen->isEnabled(), 20000);
        Sensor().ClearTrace();
        WhenReady(
            this, [&] { return Sensor().ReceivedBytes().count("\r\n") >= 12; },
            [&] { m_main->EndBySignal(); });
        m_main->Ui().Parameter_testen->trigger();
        QCOMPARE(m_main->ParameterWriter()->LastResult(), TFlowResult::Cancelled);
        QTRY_VERIFY_WITH_TIMEOUT(m_quit, 10000);
        QVERIFY(!Sensor().SystemMode());
        QVERIFY(Sensor().ReceivedBytes().contains("*EXIT\r\n"));
        QVERIFY(!Sensor().ReceivedBytes().contains("S2TIME")); // the set's last lines never went
    }

    // The real program: SIGTERM ends it promptly with the port closed.
    void realProgram() {
        TSimOptions options;
        m_sim = std::make_unique<TSimPty>(options);
        m_sim->SetLinkPath(m_dir.filePath(QStringLiteral("sim2")));
        QVERIFY(m_sim->Start());
        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        run.setProcessEnvironment(env);
        run.start(QStringLiteral(ORXTERM_EXE),
                  {QStringLiteral("local"), QStringLiteral("--port=") + m_sim->DevicePath()});
        QTRY_VERIFY_WITH_TIMEOUT(Sensor().ReceivedBytes().contains("INFO\r\n"), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(Sensor().ReceivedBytes().endsWith("INFO\r\n"), 20000);
        ::kill(pid_t(run.processId()), SIGTERM);
        QTRY_VERIFY_WITH_TIMEOUT(run.state() == QProcess::NotRunning, 20000);
        QCOMPARE(run.exitStatus(), QProcess::NormalExit);
        QTRY_VERIFY_WITH_TIMEOUT(!m_sim->HostConnected(), 10000);
        QVERIFY(!Sensor().SystemMode());
    }
};

QTEST_MAIN(TestSignalEnd)
#include "tst_signalend.moc"
