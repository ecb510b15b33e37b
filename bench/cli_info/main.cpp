// SPDX-License-Identifier: MIT
// Service command benchmark: "orxterm info" as a process of its own
// against a simulated sensor on a pty, from start to exit. For each run
// it prints the wall time, the pauses the identification demands (100 ms
// per command and per query, 500 ms before the identification; counted
// from the program's debug lines), the largest resident memory the run
// reached, and the goals: within 0.1 s of those pauses, under 20 MB.
//
// The display the program is given names one that is not there, as in an
// ssh session from a Wayland desktop: the command must not need it.
//
//   cli_info [RUNS]      (default 5)
#include "BenchWait.h"
#include "TSimPty.h"
#include "TSimSensor.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
// Runs the program, waits for it with wait4 so that its own peak memory
// is known. Returns the exit code (-1 when it did not end normally).
int RunTimed(const QStringList& arguments, const QString& config, QByteArray* errors, double* ms,
             long* maxRssKb) {
    // Everything the child needs is made before the fork: after it, only
    // what is safe in a copy of a threaded process runs.
    QList<QByteArray> args{QByteArray(ORXTERM_EXE)};
    for (const QString& a : arguments)
        args << a.toLocal8Bit();
    std::vector<char*> argv;
    for (QByteArray& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    QList<QByteArray> env;
    for (char** e = environ; *e; ++e) {
        const QByteArray entry(*e);
        if (!entry.startsWith("XDG_CONFIG_HOME=") && !entry.startsWith("QT_QPA_PLATFORM=") &&
            !entry.startsWith("WAYLAND_DISPLAY=") && !entry.startsWith("DISPLAY="))
            env << entry;
    }
    env << "XDG_CONFIG_HOME=" + config.toLocal8Bit() << "QT_QPA_PLATFORM=wayland"
        << "WAYLAND_DISPLAY=wayland-that-is-not-there";
    std::vector<char*> envp;
    for (QByteArray& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    const int devNull = ::open("/dev/null", O_WRONLY);
    int pipeFd[2];
    if (devNull < 0 || pipe(pipeFd) != 0) return -1;
    QElapsedTimer clock;
    clock.start();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFd[1], STDERR_FILENO);
        dup2(devNull, STDOUT_FILENO);
        close(pipeFd[0]);
        close(pipeFd[1]);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(devNull);
    close(pipeFd[1]);
    char buffer[4096];
    ssize_t got = 0;
    while ((got = read(pipeFd[0], buffer, sizeof buffer)) > 0)
        errors->append(buffer, got);
    close(pipeFd[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    *ms = double(clock.nsecsElapsed()) / 1e6;
    *maxRssKb = usage.ru_maxrss;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    QTemporaryDir home;
    TSimPty sim{TSimOptions()};
    sim.SetLinkPath(home.filePath(QStringLiteral("sim")));
    if (!sim.Start()) {
        std::fprintf(stderr, "cli_info: no simulated sensor: %s\n", qPrintable(sim.ErrorString()));
        return 1;
    }
    int failures = 0;
    for (int run = 0; run < runs; ++run) {
        QByteArray errors;
        double ms = 0;
        long rssKb = 0;
        int code = -1;
        // The simulated sensor answers from this process's event loop, so
        // the program runs in a thread of its own meanwhile.
        std::atomic<bool> finished{false};
        std::thread runner([&] {
            code = RunTimed({QStringLiteral("info"), QStringLiteral("--port=") + sim.DevicePath(),
                             QStringLiteral("debug")},
                            home.filePath(QStringLiteral("config")), &errors, &ms, &rssKb);
            finished = true;
        });
        WaitFor([&] { return finished.load(); }, 60000);
        runner.join();
        int commands = 0, queries = 0, identifications = 0;
        for (const QByteArray& line : errors.split('\n')) {
            if (line.startsWith("SetCmd(")) ++commands;
            if (line.startsWith("GetCmd[")) {
                ++queries;
                if (line.startsWith("GetCmd[SID")) ++identifications;
            }
        }
        if (code != 0) {
            std::fprintf(stderr, "cli_info: run %d failed (exit %d)\n%s", run, code,
                         errors.constData());
            ++failures;
            continue;
        }
        const double pauses = 100.0 * (commands + queries) + 500.0 * identifications;
        const double goal = pauses + 100.0;
        const double mb = double(rssKb) / 1024.0;
        std::printf("run %d: %6.1f ms from start to exit, demanded pauses %5.0f ms (%d commands, "
                    "%d queries), goal %5.0f ms: %s; peak memory %5.1f MB, goal 20 MB: %s\n",
                    run, ms, pauses, commands, queries, goal, ms <= goal ? "met" : "missed", mb,
                    mb < 20.0 ? "met" : "missed");
    }
    return failures ? 1 : 0;
}
