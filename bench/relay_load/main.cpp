// SPDX-License-Identifier: MIT
// Relay load: a main window in Local server mode on a simulated sensor's
// pty, 50 TCP clients while the sensor sends a measurement line every
// 10 ms for 30 s, then 1000 connect/disconnect cycles. Prints the clients,
// the bytes each received, the bytes lost (against what the sensor sent),
// the TCP Counter and the process's open descriptors before and after.
// Then the other direction under a held line (HeldLine.cpp): clients and
// another program send while the sensor holds XOFF for HOLD ms; prints
// what each sent, what reached the sensor and what was lost.
//
//   relay_load [SECONDS [CLIENTS [CYCLES [HOLD]]]]   (defaults 30 50 1000 2500)
//
// Runs on the offscreen platform with a settings folder of its own.
#include "BenchWait.h"
#include "HeldLine.h"
#include "Labels.h"
#include "TComPort.h"
#include "TMainForm.h"
#include "TSimPty.h"
#include "TSimSensor.h"
#include "TTcpLink.h"
#include "Windows.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSettings>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

namespace {
int OpenDescriptors() {
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

QByteArray Rss() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:")) return line.mid(6).trimmed();
    return "?";
}

struct TClient {
    std::unique_ptr<QTcpSocket> Socket;
    QByteArray Received;
};
} // namespace

int main(int argc, char** argv) {
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        QDir(home.path()).mkdir(QStringLiteral("run"));
        QFile::setPermissions(home.filePath(QStringLiteral("run")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home.filePath(QStringLiteral("run"))));
    }
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 30;
    const int clientCount = argc > 2 ? std::max(1, atoi(argv[2])) : 50;
    const int cycles = argc > 3 ? std::max(0, atoi(argv[3])) : 1000;
    const int holdMs = argc > 4 ? std::max(0, atoi(argv[4])) : 2500;
    SetLabelFilePath(QStringLiteral(ORX_SOURCE_DIR "/labels/orxterm.lab"));

    TSimPty pty;
    pty.SetLinkPath(home.filePath(QStringLiteral("orxsim")));
    if (!pty.Start()) {
        std::fputs("relay_load: cannot start the simulated sensor\n", stderr);
        return 1;
    }
    {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("OrxTerm"),
                           QStringLiteral("OrxTerm"));
        settings.setValue(QStringLiteral("ComPort/Port"), pty.DevicePath());
        settings.setValue(QStringLiteral("Option/LocalServer"), QStringLiteral("1"));
        settings.setValue(QStringLiteral("Option/TCPServerIP"), QStringLiteral("127.0.0.1"));
        settings.setValue(QStringLiteral("Option/TCPServerPort"), QStringLiteral("0"));
    }
    std::unique_ptr<TMainForm> relay(CreateWindows({}).MainForm);
    relay->FormShow();
    const quint16 port = relay->TcpLink()->ServerPort();
    if (port == 0 ||
        !WaitFor([&] { return relay->ComPort()->Connected() && !relay->StartUpTimer().isActive(); },
                 10000)) {
        std::fputs("relay_load: the relay did not start\n", stderr);
        return 1;
    }
    const int fdsBefore = OpenDescriptors();

    std::vector<TClient> clients(static_cast<size_t>(clientCount));
    for (TClient& c : clients) {
        c.Socket = std::make_unique<QTcpSocket>();
        QObject::connect(c.Socket.get(), &QTcpSocket::readyRead, c.Socket.get(),
                         [&c] { c.Received += c.Socket->readAll(); });
        c.Socket->connectToHost(QHostAddress::LocalHost, port);
        // One at a time keeps within the listen backlog of 5.
        const int expected = int(&c - clients.data()) + 1;
        WaitFor([&] { return relay->TcpLink()->ClientCount() == expected; }, 10000);
    }
    std::printf("clients connected   %d (TCP Counter %s)\n", relay->TcpLink()->ClientCount(),
                qPrintable(relay->PanelText(TStatusPanel::TcpCounter)));

    QByteArray sent;
    QObject::connect(&pty.Sensor(), &TSimSensor::Send, &app,
                     [&sent](const QByteArray& b) { sent += b; });
    pty.Sensor().Receive("S1FORMAT s\rS1OUTPUT 0\rS1TIME 10\rS1ON 1\r");
    QElapsedTimer clock;
    clock.start();
    WaitFor([&] { return clock.elapsed() >= seconds * 1000; }, seconds * 1000 + 1000);
    pty.Sensor().Receive("S1ON 0\r");
    WaitFor([&] { return sent.endsWith("->"); }, 5000);
    WaitFor(
        [&] {
            for (const TClient& c : clients)
                if (!c.Received.endsWith(sent)) return false;
            return true;
        },
        10000);

    qint64 lost = 0;
    qint64 minBytes = -1;
    qint64 maxBytes = 0;
    int whole = 0;
    for (const TClient& c : clients) {
        minBytes = minBytes < 0 ? c.Received.size() : std::min<qint64>(minBytes, c.Received.size());
        maxBytes = std::max<qint64>(maxBytes, c.Received.size());
        // A client may also hold the tail of what came before it connected;
        // everything the sensor sent since must end its stream unchanged.
        if (c.Received.endsWith(sent)) {
            ++whole;
            continue;
        }
        qsizetype same = 0;
        while (same < sent.size() && same < c.Received.size() &&
               sent.at(sent.size() - 1 - same) == c.Received.at(c.Received.size() - 1 - same))
            ++same;
        lost += sent.size() - same;
    }
    std::printf("streamed            %d s, %lld lines, %lld bytes from the sensor\n", seconds,
                static_cast<long long>(sent.count("\r\n")), static_cast<long long>(sent.size()));
    std::printf(
        "bytes per client    min %lld, max %lld; whole stream in order at %d of %d clients\n",
        static_cast<long long>(minBytes), static_cast<long long>(maxBytes), whole, clientCount);
    std::printf("lost bytes          %lld\n", static_cast<long long>(lost));

    QElapsedTimer cycleClock;
    cycleClock.start();
    for (int i = 0; i < cycles; ++i) {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, port);
        WaitFor([&] { return relay->TcpLink()->ClientCount() == clientCount + 1; }, 10000);
        s.abort();
        WaitFor([&] { return relay->TcpLink()->ClientCount() == clientCount; }, 10000);
    }
    std::printf(
        "cycles              %d connect/disconnect in %.2f s; TCP Counter %s (expected %d)\n",
        cycles, double(cycleClock.elapsed()) / 1000.0,
        qPrintable(relay->PanelText(TStatusPanel::TcpCounter)), clientCount);
    clients.clear();
    WaitFor([&] { return relay->TcpLink()->ClientCount() == 0; }, 10000);
    WaitFor([&] { return OpenDescriptors() == fdsBefore; }, 5000);
    std::printf("TCP Counter at end  %s\n", qPrintable(relay->PanelText(TStatusPanel::TcpCounter)));
    std::printf("descriptors         before %d, after %d\n", fdsBefore, OpenDescriptors());
    const bool descriptorsBack = OpenDescriptors() == fdsBefore;
    const long long heldLost =
        RunHeldLine(*relay, pty, holdMs, home.filePath(QStringLiteral("copydata")));
    std::printf("peak RSS            %s\n", Rss().constData());
    relay->StartUpTimer().stop();
    return lost == 0 && descriptorsBack && heldLost == 0 ? 0 : 1;
}
