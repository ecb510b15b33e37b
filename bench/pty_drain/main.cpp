// SPDX-License-Identifier: MIT
// Drain benchmark: starts orxterm on one end of a pseudo-terminal (run it
// under Xvfb: `xvfb-run -a build/release/bin/pty_drain`), writes 8 MiB of
// sensor-like text into the other end as fast as ORXTERM takes it, and
// prints the rate and ORXTERM's peak resident memory.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
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

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("pty");
        return 1;
    }
    termios tio{};
    tcgetattr(master, &tio);
    cfmakeraw(&tio);
    tcsetattr(master, TCSANOW, &tio);
    const QString slave = QString::fromLocal8Bit(ptsname(master));

    QTemporaryDir home;
    QDir().mkpath(home.filePath(QStringLiteral("OrxTerm")));
    QFile conf(home.filePath(QStringLiteral("OrxTerm/OrxTerm.conf")));
    if (conf.open(QIODevice::WriteOnly))
        conf.write("[ComPort]\nPort=" + slave.toLocal8Bit() + "\nBaudRate=921600\n");
    conf.close();
    QProcess orx;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
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
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(master, data.constData() + done,
                                  size_t(std::min<qsizetype>(65536, data.size() - done)));
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            std::perror("write");
            break;
        }
        done += n;
    }
    const double seconds = double(t.nsecsElapsed()) / 1e9;
    std::printf("wrote %.1f MiB in %.2f s: %.1f MiB/s; orxterm peak RSS %s\n",
                double(done) / 1048576.0, seconds, double(done) / 1048576.0 / seconds,
                PeakRss(orx.processId()).constData());
    orx.kill();
    orx.waitForFinished(5000);
    ::close(master);
    return 0;
}
