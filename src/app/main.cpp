// SPDX-License-Identifier: MIT
// ORXTERM: terminal and configuration program for ORX optical sensors.
#include "CommandLine.h"
#include "CopyDataChannel.h"
#include "OrxVersion.h"
#include "TMainForm.h"
#include "Windows.h"

#include <QApplication>
#include <QFile>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include <memory>

// For the start-up benchmark: with ORXTERM_BENCH_T0 set (CLOCK_MONOTONIC
// nanoseconds taken just before the program was started), the program
// prints the time to an exposed main window and its resident memory to
// standard error and quits.
static void ReportStartupWhenExposed(QWidget* window) {
    const QByteArray t0 = qgetenv("ORXTERM_BENCH_T0");
    if (t0.isEmpty()) return;
    auto* poll = new QTimer(window);
    QObject::connect(poll, &QTimer::timeout, window, [window, t0, poll] {
        if (!window->windowHandle() || !window->windowHandle()->isExposed()) return;
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

int main(int argc, char** argv) {
    const int sent = RunCopyDataCommand(argc, argv);
    if (sent >= 0) return sent;
    if (HandleInfoOptions(argc, argv)) return 0;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("OrxTerm"));
    QApplication::setApplicationVersion(QLatin1String(OrxVersion::ProductVersion));

    const TAppWindows windows = CreateWindows(QApplication::arguments().mid(1));
    std::unique_ptr<TMainForm> mainForm(windows.MainForm);
    // Other programs of this user reach the main window's copy-data handler
    // here; a second instance takes a path of its own.
    TCopyDataServer copyData([form = mainForm.get()](quint32 kind, const QByteArray& bytes) {
        form->CopyData(kind, bytes);
    });
    copyData.ReadyForData = [form = mainForm.get()] { return form->ReadyForRelayData(); };
    QString error;
    const QString path = TCopyDataServer::DefaultPath();
    if (!copyData.Listen(path, &error)) {
        const QString own =
            QStringLiteral("%1-%2").arg(path).arg(QCoreApplication::applicationPid());
        if (copyData.Listen(own, &error))
            std::fprintf(stderr, "orxterm: copy-data endpoint %s (ORXTERM_COPYDATA selects it)\n",
                         own.toLocal8Bit().constData());
        else
            std::fprintf(stderr, "orxterm: no copy-data endpoint: %s\n",
                         error.toLocal8Bit().constData());
    }
    mainForm->show();
    ReportStartupWhenExposed(mainForm.get());
    return QApplication::exec();
}
