// SPDX-License-Identifier: MIT
// Service command benchmark: "orxterm read FILE.par" as a process of its
// own against a simulated sensor on a pty, from start to exit (start-up,
// port, identification, the read, the file, the exit). For each run it
// prints the wall time, the pauses the exchange demands (100 ms per
// command and query, the first 10 ms poll of each query, 500 ms per
// identification besides the read's own handshake; counted from the
// program's debug lines) and the goal: within 10 % of those pauses plus
// 0.2 s.
//
//   cli_read [RUNS]      (default 3)
#include "BenchWait.h"
#include "TSimPty.h"
#include "TSimSensor.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    QTemporaryDir home;
    TSimPty sim{TSimOptions()};
    sim.SetLinkPath(home.filePath(QStringLiteral("sim")));
    if (!sim.Start()) {
        std::fprintf(stderr, "cli_read: no simulated sensor: %s\n", qPrintable(sim.ErrorString()));
        return 1;
    }
    int failures = 0;
    for (int run = 0; run < runs; ++run) {
        const QString file = home.filePath(QStringLiteral("run%1.par").arg(run));
        QProcess orxterm;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        orxterm.setProcessEnvironment(env);
        QElapsedTimer clock;
        clock.start();
        orxterm.start(QStringLiteral(ORXTERM_EXE),
                      {QStringLiteral("read"), file, QStringLiteral("--port=") + sim.DevicePath(),
                       QStringLiteral("debug")});
        // The sensor answers while this loop runs.
        WaitFor([&] { return orxterm.state() == QProcess::NotRunning; }, 60000);
        const double ms = double(clock.nsecsElapsed()) / 1e6;
        const QList<QByteArray> lines = orxterm.readAllStandardError().split('\n');
        int commands = 0, queries = 0, identifications = 0;
        for (const QByteArray& line : lines) {
            if (line.startsWith("SetCmd(")) ++commands;
            if (line.startsWith("GetCmd[")) {
                ++queries;
                if (line.startsWith("GetCmd[SID")) ++identifications;
            }
        }
        if (orxterm.exitCode() != 0 || !QFile::exists(file)) {
            std::fprintf(stderr, "cli_read: run %d failed (exit %d)\n", run, orxterm.exitCode());
            ++failures;
            continue;
        }
        const double pauses =
            100.0 * (commands + queries) + 10.0 * queries + 500.0 * (identifications - 1);
        const double goal = pauses * 1.1 + 200.0;
        std::printf("run %d: %7.1f ms from start to exit, demanded pauses %6.0f ms (%d commands, "
                    "%d queries, %d identifications), goal %6.0f ms: %s\n",
                    run, ms, pauses, commands, queries, identifications - 1, goal,
                    ms <= goal ? "met" : "missed");
    }
    return failures ? 1 : 0;
}
