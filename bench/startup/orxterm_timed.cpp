// SPDX-License-Identifier: MIT
// The program as startup_bench measures it: orxterm itself, which prints,
// once its main window is exposed, the time since ORXTERM_BENCH_T0
// (CLOCK_MONOTONIC nanoseconds taken just before it was started) and its
// resident memory to standard error, then quits.
#include "AppMain.h"
#include "TMainForm.h"

#include <QFile>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {
void ReportWhenExposed(TMainForm& window) {
    const QByteArray t0 = qgetenv("ORXTERM_BENCH_T0");
    auto* poll = new QTimer(&window);
    QObject::connect(poll, &QTimer::timeout, &window, [&window, t0, poll] {
        if (!window.windowHandle() || !window.windowHandle()->isExposed()) return;
        poll->stop();
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const double ms = (double(now.tv_sec) * 1e9 + double(now.tv_nsec) - t0.toDouble()) / 1e6;
        QFile status(QStringLiteral("/proc/self/status"));
        QByteArray rss;
        if (status.open(QIODevice::ReadOnly))
            for (const QByteArray& line : status.readAll().split('\n'))
                if (line.startsWith("VmRSS:")) rss = line.mid(6).trimmed();
        std::fprintf(stderr, "startup-ms %.1f rss %s\n", ms, rss.constData());
        std::fflush(stderr);
        std::_Exit(0); // measured; the start-up timer would refuse a normal close
    });
    poll->start(1);
}
} // namespace

int main(int argc, char** argv) {
    return RunOrxTerm(argc, argv, ReportWhenExposed);
}
