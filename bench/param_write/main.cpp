// SPDX-License-Identifier: MIT
// Parameter write benchmark: a main window on a simulated sensor's pty reads
// the set, then sends it back with "Testen" several times. For each send it
// prints the time from the action until the sensor has taken the last
// line, the 100 ms a line (and a query) that the engine demands, their
// ratio, and the longest the window waited for a 10 ms timer meanwhile.
//
//   param_write [RUNS [MODEL]]      (defaults 3 7)
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
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>

namespace {} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    TSimOptions options;
    options.Model = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("7");
    SetLabelFilePath(QStringLiteral(ORX_SOURCE_DIR "/labels/orxterm.lab"));
    TSimPty sim(options);
    sim.SetLinkPath(home.filePath(QStringLiteral("sim")));
    if (!sim.Start()) return 1;
    {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("OrxTerm"),
                           QStringLiteral("OrxTerm"));
        settings.setValue(QStringLiteral("ComPort/Port"), sim.DevicePath());
    }
    const TAppWindows w = CreateWindows({});
    std::unique_ptr<TMainForm> main(w.MainForm);
    main->FormShow();
    TSimSensor& sensor = sim.Sensor();
    if (!WaitFor([&] { return main->ComPort()->Connected(); }, 5000) ||
        !WaitFor([&] { return w.ParameterForm->SerialNumberText() == sensor.Serial(); }, 10000) ||
        !WaitFor([&] { return !main->SensorBusy(); }, 10000)) {
        std::fprintf(stderr,
                     "param_write: the port did not open or the sensor was not identified\n");
        return 1;
    }
    main->Ui().Parameter_auslesen->trigger();
    WaitFor([&] { return !main->SensorBusy() && !sensor.SystemMode(); }, 20000);

    int commands = 0, queries = 0;
    TCommandEngine& engine = main->Engine();
    engine.DebugMode = true;
    engine.Log = [&](const QString& line) {
        commands += line.startsWith(QLatin1String("SetCmd(")) ? 1 : 0;
        queries += line.startsWith(QLatin1String("GetCmd[")) ? 1 : 0;
    };
    for (int run = 0; run < runs; ++run) {
        commands = queries = 0;
        sensor.ClearTrace();
        TGapProbe probe;
        QElapsedTimer clock;
        clock.start();
        main->Ui().Parameter_testen->trigger();
        const bool done = WaitFor(
            [&] { return !main->SensorBusy() && sensor.ReceivedBytes().endsWith("*EXIT\r\n"); },
            60000);
        const double ms = double(clock.nsecsElapsed()) / 1e6;
        probe.Stop();
        if (!done) {
            std::fprintf(stderr, "param_write: run %d did not finish\n", run);
            return 1;
        }
        const double demanded = 100.0 * (commands + queries) + 10.0 * queries;
        std::printf("run %d: %7.1f ms for %d lines and %d query, demanded %6.0f ms, ratio %.3f "
                    "(goal <= 1.050), longest wait of the window %lld ms\n",
                    run, ms, commands, queries, demanded, ms / demanded, probe.LongestMs());
    }
    return 0;
}
