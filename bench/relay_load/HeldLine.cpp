// SPDX-License-Identifier: MIT
// The held-line phase of relay_load. Senders, each with a tagged stream of
// its own (TSimTagged.h), all started while the line is held:
//   - a client that stays connected and reads what comes back;
//   - 20 clients that send a little each and end their side (half close),
//     as a script that sends a file and waits for the answers does;
//   - a client that is reset once its data has reached the relay;
//   - another program with one large copy-data message.
#include "HeldLine.h"

#include "BenchWait.h"
#include "CopyDataChannel.h"
#include "TComPort.h"
#include "TMainForm.h"
#include "TSimPty.h"
#include "TSimSensor.h"
#include "TSimTagged.h"
#include "TTcpLink.h"

#include <QElapsedTimer>
#include <QLocalSocket>
#include <QTcpSocket>
#include <QTimer>
#include <QtEndian>

#include <cstdio>
#include <memory>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <vector>

namespace {
constexpr int kStaying = 0;
constexpr int kLeaving = 20;
constexpr int kReset = kStaying + kLeaving + 1;
constexpr int kCopyData = kReset + 1;
const QByteArray kStatusAnswer = QByteArrayLiteral("\033[0n");

struct TSender {
    QByteArray Stream;
    std::unique_ptr<QTcpSocket> Socket;
    bool Ended = false;
};

std::unique_ptr<QTcpSocket> Connect(TMainForm& relay) {
    auto s = std::make_unique<QTcpSocket>();
    auto* raw = s.get();
    QObject::connect(raw, &QTcpSocket::readyRead, raw, [raw] { raw->readAll(); });
    s->connectToHost(QHostAddress::LocalHost, relay.TcpLink()->ServerPort());
    const int before = relay.TcpLink()->ClientCount();
    WaitFor([&] { return relay.TcpLink()->ClientCount() > before; }, 10000);
    return s;
}

// Bytes the kernel holds for the socket that the peer has not taken yet.
int Unsent(const QTcpSocket& socket) {
    int queued = 0;
    return ::ioctl(int(socket.socketDescriptor()), TIOCOUTQ, &queued) == 0 ? queued : -1;
}

void Print(const char* name, const QByteArray& received, int first, int count,
           const std::vector<TSender>& senders, long long* lost) {
    long long sent = 0, arrived = 0, missing = 0;
    bool inOrder = true;
    for (int k = first; k < first + count; ++k) {
        const TSimTaggedCheck c = CheckSimTaggedStream(received, k, senders[size_t(k)].Stream);
        // Digits, counted as whole lines with their line ends.
        sent += c.Expected * SimTaggedLine / (SimTaggedLine - 1);
        arrived += c.Received * SimTaggedLine / (SimTaggedLine - 1);
        missing += c.Lost() * SimTaggedLine / (SimTaggedLine - 1);
        inOrder = inOrder && c.InOrder == c.Received;
    }
    std::printf("  %-22s %10lld %10lld %10lld   %s\n", name, sent, arrived, missing,
                inOrder ? "yes" : "no");
    *lost += missing;
}
} // namespace

long long RunHeldLine(TMainForm& relay, TSimPty& pty, int holdMs, const QString& copyDataPath) {
    TSimSensor& sensor = pty.Sensor();
    sensor.SetTraceLimit(64 << 20);
    QObject scope; // the connections below end with this phase
    QByteArray received;
    QObject::connect(&sensor, &TSimSensor::Traced, &scope, [&received](const TSimTraceEntry& e) {
        if (e.FromHost) received += e.Bytes;
    });
    QByteArray fromSensor;
    QObject::connect(relay.ComPort(), &TComPort::DataReceived, &scope,
                     [&fromSensor](const QByteArray& d) { fromSensor += d; });
    int txFull = 0;
    QObject::connect(relay.ComPort(), &TComPort::LineErrors, &scope,
                     [&txFull](const QStringList& t) {
                         txFull += int(t.count(QStringLiteral("TxFull error")));
                     });

    qint64 mostRelayed = 0;
    qint64 mostOwn = 0;
    auto note = [&] {
        const qint64 relayed = relay.ComPort()->PendingRelay();
        mostRelayed = std::max(mostRelayed, relayed);
        mostOwn = std::max(mostOwn, relay.ComPort()->PendingOutput() - relayed);
    };
    QObject::connect(relay.TcpLink(), &TTcpLink::Received, &scope, note);

    // Another program's end of the copy-data channel, wired as the
    // program wires its own.
    TCopyDataServer copyData([&](quint32 kind, const QByteArray& bytes) {
        relay.CopyData(kind, bytes);
        note();
    });
    copyData.ReadyForData = [&relay] { return relay.ReadyForRelayData(); };
    copyData.Listen(copyDataPath);

    std::vector<TSender> senders(size_t(kCopyData + 1));
    senders[kStaying].Stream = SimTaggedStream(kStaying, 300 * 1024);
    for (int k = kStaying + 1; k <= kLeaving; ++k)
        senders[size_t(k)].Stream = SimTaggedStream(k, 60 * 1024);
    senders[kReset].Stream = SimTaggedStream(kReset, 150 * 1024);
    senders[kCopyData].Stream = SimTaggedStream(kCopyData, 2 << 20);
    for (int k = 0; k <= kReset; ++k)
        senders[size_t(k)].Socket = Connect(relay);

    sensor.HoldHost(true);
    sensor.SendMarker("\x01"); // the line is held once the relay has read this
    WaitFor([&] { return fromSensor.contains('\x01'); }, 5000);
    received.clear();

    for (int k = 0; k <= kReset; ++k)
        senders[size_t(k)].Socket->write(senders[size_t(k)].Stream);
    QLocalSocket other;
    other.connectToServer(copyData.Path());
    other.waitForConnected(5000);
    QByteArray header(8, '\0');
    qToLittleEndian<quint32>(9, header.data());
    qToLittleEndian<quint32>(quint32(senders[kCopyData].Stream.size()), header.data() + 4);
    other.write(header + senders[kCopyData].Stream);

    int requests = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &scope, [&] {
        sensor.SendMarker("\033[5n");
        ++requests;
        note();
        for (int k = 0; k <= kReset; ++k) {
            TSender& s = senders[size_t(k)];
            if (s.Ended || k == kStaying || s.Socket->bytesToWrite() > 0) continue;
            if (k == kReset) {
                if (Unsent(*s.Socket) != 0) continue;
                const linger hard{1, 0};
                ::setsockopt(int(s.Socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard,
                             sizeof hard);
                s.Socket->abort();
            } else {
                ::shutdown(int(s.Socket->socketDescriptor()), SHUT_WR);
            }
            s.Ended = true;
        }
    });
    tick.start(20);
    QElapsedTimer clock;
    clock.start();
    WaitFor([&] { return clock.elapsed() >= holdMs; }, holdMs + 1000, 5);
    tick.stop();
    const qint64 duringHold = received.size();
    sensor.HoldHost(false);

    // Done when nothing more arrives for two seconds with the queue empty.
    qsizetype last = -1;
    QElapsedTimer quiet;
    WaitFor(
        [&] {
            note();
            if (received.size() != last || relay.ComPort()->PendingOutput() > 0) {
                last = received.size();
                quiet.start();
            }
            return quiet.elapsed() >= 2000;
        },
        120000, 10);

    const qsizetype answers = received.count(kStatusAnswer);
    QByteArray tagged = received;
    tagged.replace(kStatusAnswer, QByteArray());
    std::printf("held line           %d ms under XOFF; %lld bytes reached the sensor meanwhile\n",
                holdMs, static_cast<long long>(duringHold));
    std::printf("  %-22s %10s %10s %10s   %s\n", "sender", "sent", "arrived", "lost", "in order");
    long long lost = 0;
    Print("client that stays", tagged, kStaying, 1, senders, &lost);
    Print("20 clients that leave", tagged, kStaying + 1, kLeaving, senders, &lost);
    Print("client reset", tagged, kReset, 1, senders, &lost);
    Print("copy-data message", tagged, kCopyData, 1, senders, &lost);
    std::printf("  %-22s %10d %10lld %10lld\n", "status answers", requests * 4,
                static_cast<long long>(answers * 4),
                static_cast<long long>(requests - answers) * 4);
    lost += (requests - answers) * 4;
    std::printf("most queued         relayed %lld bytes (bound %lld), own %lld; TxFull errors %d\n",
                static_cast<long long>(mostRelayed),
                static_cast<long long>(TComPort::MaxRelayQueue), static_cast<long long>(mostOwn),
                txFull);
    return lost;
}
