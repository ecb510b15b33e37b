// SPDX-License-Identifier: MIT
// Start-up benchmark: starts orxterm (as orxterm_timed) several times (run it under Xvfb, e.g.
// `xvfb-run -a build/release/bin/startup_bench`), each time until its main
// window is exposed, and prints the time and resident memory of each run
// and their medians. Each run uses a fresh settings folder with a stored
// port, so no first-start dialog appears.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString exe = QCoreApplication::applicationDirPath() + QStringLiteral("/orxterm_timed");
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    std::vector<double> times, rss;
    for (int i = 0; i < runs; ++i) {
        QTemporaryDir home;
        QDir().mkpath(home.filePath(QStringLiteral("OrxTerm")));
        QFile conf(home.filePath(QStringLiteral("OrxTerm/OrxTerm.conf")));
        if (conf.open(QIODevice::WriteOnly)) conf.write("[ComPort]\nPort=/nonexistent/orx-bench\n");
        conf.close();
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        env.insert(QStringLiteral("ORXTERM_BENCH_T0"),
                   QString::number(qint64(now.tv_sec) * 1000000000LL + now.tv_nsec));
        p.setProcessEnvironment(env);
        p.start(exe, {});
        if (!p.waitForFinished(20000)) {
            std::fprintf(stderr, "run %d: orxterm did not finish\n", i);
            p.kill();
            return 1;
        }
        const QString err = QString::fromLocal8Bit(p.readAllStandardError());
        const auto m =
            QRegularExpression(QStringLiteral("startup-ms ([0-9.]+) rss ([0-9]+) kB")).match(err);
        if (!m.hasMatch()) {
            std::fprintf(stderr, "run %d: no figures (%s)\n", i, qPrintable(err));
            return 1;
        }
        times.push_back(m.captured(1).toDouble());
        rss.push_back(m.captured(2).toDouble() / 1024.0);
        std::printf("run %2d: %7.1f ms  %6.1f MiB\n", i, times.back(), rss.back());
    }
    std::sort(times.begin(), times.end());
    std::sort(rss.begin(), rss.end());
    std::printf("median start-up to exposed main window: %.1f ms, RSS %.1f MiB (%d runs)\n",
                times[times.size() / 2], rss[rss.size() / 2], runs);
    return 0;
}
