// SPDX-License-Identifier: MIT
// Parameter read benchmark: a main window on a simulated sensor's pty reads
// the whole parameter set into the editor (Alt+A) several times. For each
// read it prints the time from the action to the sensor having taken the
// last command with the editor filled, the sum of the pauses that the
// exchange demands (100 ms per command, the first 10 ms poll of each
// query, 500 ms per identification) and their ratio; then how long the
// editor takes to apply a whole READ reply.
//
//   param_read [RUNS [MODEL]]      (defaults 5 9)
//
// Runs on the offscreen platform with a settings folder of its own.
#include "BenchWait.h"
#include "Labels.h"
#include "TComPort.h"
#include "TCommandEngine.h"
#include "TMainForm.h"
#include "TParameterForm.h"
#include "TSimPty.h"
#include "TSimSensor.h"
#include "Windows.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

namespace {

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    TSimOptions options;
    options.Model = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("9");
    SetLabelFilePath(QStringLiteral(ORX_SOURCE_DIR "/labels/orxterm.lab"));

    TSimPty sim(options);
    sim.SetLinkPath(home.filePath(QStringLiteral("sim")));
    if (!sim.Start()) {
        std::fprintf(stderr, "param_read: no simulated sensor: %s\n",
                     qPrintable(sim.ErrorString()));
        return 1;
    }
    {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("OrxTerm"),
                           QStringLiteral("OrxTerm"));
        settings.setValue(QStringLiteral("ComPort/Port"), sim.DevicePath());
    }
    const TAppWindows w = CreateWindows({});
    std::unique_ptr<TMainForm> main(w.MainForm);
    TParameterForm& editor = *w.ParameterForm;
    main->FormShow();
    TSimSensor& sensor = sim.Sensor();
    if (!WaitFor([&] { return main->ComPort()->Connected(); }, 5000) ||
        !WaitFor(
            [&] { return editor.SerialNumberText() == sensor.Serial() && !main->SensorBusy(); },
            10000)) {
        std::fprintf(stderr,
                     "param_read: the port did not open or the sensor was not identified\n");
        return 1;
    }

    // Counts the commands and queries of each read through the engine's log.
    int commands = 0, queries = 0, identifications = 0;
    TCommandEngine& engine = main->Engine();
    engine.DebugMode = true;
    engine.Log = [&](const QString& line) {
        if (line.startsWith(QLatin1String("SetCmd("))) ++commands;
        if (line.startsWith(QLatin1String("GetCmd["))) {
            ++queries;
            if (line.contains(QLatin1String("SID"))) ++identifications;
        }
    };

    std::vector<double> times, demanded;
    for (int run = 0; run < runs; ++run) {
        sensor.SetValue(QStringLiteral("S1ON"), QStringLiteral("1")); // the output is put back
        commands = queries = identifications = 0;
        sensor.ClearTrace();
        QElapsedTimer clock;
        clock.start();
        main->Ui().Parameter_auslesen->trigger();
        const bool done = WaitFor(
            [&] {
                return !main->SensorBusy() && sensor.ReceivedBytes().endsWith("S1ON 1\r\n") &&
                       !editor.Value(101).isEmpty();
            },
            30000);
        const double ms = double(clock.nsecsElapsed()) / 1e6;
        if (!done) {
            std::fprintf(stderr, "param_read: run %d did not finish\n", run);
            return 1;
        }
        // The read's own handshake asks SID once; every other SID is an
        // identification with its 500 ms pause.
        const double pauses =
            100.0 * (commands + queries) + 10.0 * queries + 500.0 * (identifications - 1);
        times.push_back(ms);
        demanded.push_back(pauses);
        std::printf("run %d: %7.1f ms, demanded pauses %6.0f ms (%d commands, %d queries), "
                    "ratio %.3f\n",
                    run, ms, pauses, commands, queries, ms / pauses);
    }
    std::printf("median read: %.1f ms, demanded %.0f ms, ratio %.3f (goal <= 1.100)\n",
                Median(times), Median(demanded), Median(times) / Median(demanded));

    // Applying a whole READ reply to the editor.
    const QStringList lines = main->Ui().Memo_Rec->toPlainText().split(u'\n');
    std::vector<double> apply;
    for (int i = 0; i < 20; ++i) {
        QElapsedTimer clock;
        clock.start();
        for (const QString& line : lines) {
            const qsizetype blank = line.indexOf(u' ');
            editor.SetParameterValue(blank < 0 ? line : line.left(blank),
                                     blank < 0 ? QString() : line.mid(blank + 1));
        }
        editor.ResetChangeMarks();
        apply.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    std::printf("applying a READ reply (%lld lines) to the editor: median %.2f ms (goal < 20)\n",
                qlonglong(lines.size()), Median(apply));
    return 0;
}
