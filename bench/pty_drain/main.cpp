// SPDX-License-Identifier: MIT
// Drain benchmark: starts orxterm on one end of a pseudo-terminal (run it
// under Xvfb: `xvfb-run -a build/release/bin/pty_drain`), writes 8 MiB of
// sensor-like text into the other end as fast as ORXTERM takes it, and
// prints the rate and ORXTERM's peak resident memory.
//
// Then the same inside this process (offscreen): with the terminal's
// scrollback off and at its default of 10,000 lines, side by side, and with
// capture to a file: the clock stops when the main window has received
// every byte, and the capture file is checked to hold what was received.
#include "BenchWait.h"
#include "FileDialogs.h"
#include "MsgBox.h"
#include "TComPort.h"
#include "TMainForm.h"
#include "Windows.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

static QByteArray SensorText(qsizetype size) {
    QRandomGenerator rng(42);
    QByteArray out;
    out.reserve(size + 64);
    while (out.size() < size) {
        switch (rng.bounded(10)) {
        case 0:
            out += "AVERAGE       100 ms\r\nS1FORMAT      V*60:6:3' m/min'\r\n";
            break;
        case 1:
            out += "\033[2;1H\033[K\033[1mSTATUS\033[0m OK\r\n";
            break;
        default:
            out += QByteArray::number(rng.bounded(0x1000000), 16).rightJustified(7, '0') + ' ' +
                   QByteArray::number(rng.bounded(0x3E8), 16).rightJustified(3, '0') + "\r\n";
        }
    }
    out.truncate(size);
    return out;
}

static QByteArray PeakRss(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:")) return line.mid(6).trimmed();
    return "?";
}

// A raw pseudo-terminal: its master, and the slave's path in `slave`.
static int OpenPty(QString* slave) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("pty");
        return -1;
    }
    termios tio{};
    tcgetattr(master, &tio);
    cfmakeraw(&tio);
    tcsetattr(master, TCSANOW, &tio);
    *slave = QString::fromLocal8Bit(ptsname(master));
    return master;
}

static qsizetype WriteAll(int fd, const QByteArray& data) {
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done,
                                  size_t(std::min<qsizetype>(65536, data.size() - done)));
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            std::perror("write");
            break;
        }
        done += n;
    }
    return done;
}

// What the capture file holds for `data`: CR as CR LF, LF and BEL dropped,
// the escape sequences of the terminal left out.
static qsizetype CapturedSize(const QByteArray& data) {
    qsizetype size = 0;
    bool escape = false;
    for (char c : data) {
        if (escape) {
            escape = !(c >= '@' && c <= '~' && c != '[');
            continue;
        }
        if (c == '\033')
            escape = true;
        else if (c == '\r')
            size += 2;
        else if (c != '\n' && c != '\a')
            ++size;
    }
    return size;
}

// The main window in this process on a fresh pty; 8 MiB written from a
// thread of its own; the clock stops when the window has received it all.
static int InProcess(const QByteArray& data, bool capture, int scrollback, const QString& folder) {
    QString slave;
    const int master = OpenPty(&slave);
    if (master < 0) return 1;
    {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("OrxTerm"),
                           QStringLiteral("OrxTerm"));
        settings.clear();
        settings.setValue(QStringLiteral("ComPort/Port"), slave);
        settings.setValue(QStringLiteral("ComPort/BaudRate"), QStringLiteral("921600"));
        settings.setValue(QStringLiteral("Option/ScrollbackLines"), QString::number(scrollback));
    }
    // Nobody answers the greeting; the complaint about that is taken as read.
    TFormMsgBox::SetResponder([](const TMsgBoxRequest&) { return mrOk; });
    const TAppWindows w = CreateWindows({});
    std::unique_ptr<TMainForm> main(w.MainForm);
    main->FormShow();
    // Wait until the identification gave up.
    std::atomic<bool> stop{false};
    std::thread drain([master, &stop] {
        char buffer[4096];
        while (!stop) {
            pollfd p{master, POLLIN, 0};
            // Without the slave open the master reports a hang-up: look again shortly.
            if (::poll(&p, 1, 50) > 0 && ::read(master, buffer, sizeof buffer) <= 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    auto finish = [&] {
        main->ComPort()->Close();
        stop = true;
        drain.join();
        ::close(master);
    };
    const bool ready = WaitFor([&] { return main->ComPort()->Connected(); }, 5000) &&
                       WaitFor([&] { return !main->SensorBusy(); }, 60000);
    const QString file = folder + QStringLiteral("/capture.txt");
    if (capture) {
        TFileDialogs::SetResponder([file](const TFileDialogRequest&) { return file; });
        main->Ui().Datei_Mitschnitt->trigger();
    }
    if (!ready || main->CaptureActive() != capture) {
        std::fprintf(stderr, "pty_drain: the port did not open or capture did not start\n");
        finish();
        return 1;
    }
    qsizetype received = 0;
    QObject::connect(main->ComPort(), &TComPort::DataReceived,
                     [&received](const QByteArray& chunk) { received += chunk.size(); });
    QElapsedTimer t;
    t.start();
    std::thread writer([master, &data] { WriteAll(master, data); });
    const bool all = WaitFor([&] { return received >= data.size(); }, 120000);
    const double seconds = double(t.nsecsElapsed()) / 1e9;
    writer.join();
    qint64 captured = -1;
    if (capture) {
        main->Ui().Datei_Mitschnitt->trigger();
        captured = QFileInfo(file).size();
    }
    finish();
    if (!all) {
        std::fprintf(stderr, "pty_drain: only %lld of %lld bytes arrived\n",
                     static_cast<long long>(received), static_cast<long long>(data.size()));
        return 1;
    }
    std::printf("in-process, scrollback %5d lines, capture %s: %.1f MiB in %.2f s: %.1f MiB/s",
                scrollback, capture ? "on " : "off", double(received) / 1048576.0, seconds,
                double(received) / 1048576.0 / seconds);
    if (capture)
        std::printf("; capture file %lld bytes (expected %lld)", static_cast<long long>(captured),
                    static_cast<long long>(CapturedSize(data)));
    std::printf("\n");
    return 0;
}

int main(int argc, char** argv) {
    QTemporaryDir home;
    // The program under test keeps the environment this benchmark had;
    // the window inside this process draws offscreen.
    const QProcessEnvironment outer = QProcessEnvironment::systemEnvironment();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    QApplication app(argc, argv);
    QString slave;
    const int master = OpenPty(&slave);
    if (master < 0) return 1;

    QDir().mkpath(home.filePath(QStringLiteral("OrxTerm")));
    QFile conf(home.filePath(QStringLiteral("OrxTerm/OrxTerm.conf")));
    if (conf.open(QIODevice::WriteOnly))
        conf.write("[ComPort]\nPort=" + slave.toLocal8Bit() + "\nBaudRate=921600\n");
    conf.close();
    QProcess orx;
    QProcessEnvironment env = outer;
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
    orx.setProcessEnvironment(env);
    orx.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    orx.start(QCoreApplication::applicationDirPath() + QStringLiteral("/orxterm"),
              {QStringLiteral("local")});
    if (!orx.waitForStarted(10000)) return 1;
    QThread::msleep(3000); // the program opens the port 500 ms after its window shows

    const QByteArray data = SensorText(8 * 1024 * 1024);
    QElapsedTimer t;
    t.start();
    const qsizetype done = WriteAll(master, data);
    const double seconds = double(t.nsecsElapsed()) / 1e9;
    std::printf("wrote %.1f MiB in %.2f s: %.1f MiB/s; orxterm peak RSS %s\n",
                double(done) / 1048576.0, seconds, double(done) / 1048576.0 / seconds,
                PeakRss(orx.processId()).constData());
    orx.kill();
    orx.waitForFinished(5000);
    ::close(master);

    const QString folder = home.path();
    // Off and on twice each, alternating, so that a noisy moment shows.
    for (int round = 0; round < 2; ++round)
        for (const int lines : {0, 10000})
            if (InProcess(data, false, lines, folder) != 0) return 1;
    if (InProcess(data, true, 10000, folder) != 0) return 1;
    return 0;
}
