// SPDX-License-Identifier: MIT
// The relay while the simulated sensor holds the line with XOFF: what TCP
// clients and other programs send waits in their own transports (the
// relay stops reading them) instead of being dropped, the program's own
// output (the terminal's answers, typed keys) keeps its room and leaves
// first, and after XON every byte reaches the sensor once and in order.
// The relay lane of the port's queue stays under its bound throughout.
#include "CopyDataChannel.h"
#include "Labels.h"
#include "MsgBox.h"
#include "TComPort.h"
#include "TCustomComTerminal.h"
#include "TLink.h"
#include "TMainForm.h"
#include "TSimPty.h"
#include "TSimSensor.h"
#include "TSimTagged.h"
#include "TTcpLink.h"
#include "Windows.h"

#include <QLocalSocket>
#include <QSettings>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <memory>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <vector>

namespace {
const QByteArray kStatusRequest = QByteArrayLiteral("\033[5n");
const QByteArray kStatusAnswer = QByteArrayLiteral("\033[0n");

// Bytes the system holds for the socket that its peer has not taken yet.
int Unsent(const QTcpSocket& socket) {
    int unsent = -1;
    ::ioctl(int(socket.socketDescriptor()), TIOCOUTQ, &unsent);
    return unsent;
}
} // namespace

class TestRelayHold : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<TSimPty> m_pty;
    std::unique_ptr<TMainForm> m_form;
    QByteArray m_fromSensor;  // what the relay has read from the sensor
    qint64 m_mostRelayed = 0; // the most the relay lane held
    QStringList m_lineErrors;

    TSimSensor& Sensor() { return m_pty->Sensor(); }

    // The main window relaying a simulated sensor's pty on 127.0.0.1,
    // started and done with greeting the sensor.
    bool StartRelay() {
        m_pty = std::make_unique<TSimPty>();
        m_pty->SetLinkPath(m_dir.filePath(QStringLiteral("sim")));
        if (!m_pty->Start()) return false;
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("OrxTerm"),
                           QStringLiteral("OrxTerm"));
        settings.clear();
        settings.setValue(QStringLiteral("ComPort/Port"), m_pty->DevicePath());
        settings.setValue(QStringLiteral("Option/LocalServer"), QStringLiteral("1"));
        settings.setValue(QStringLiteral("Option/TCPServerIP"), QStringLiteral("127.0.0.1"));
        settings.setValue(QStringLiteral("Option/TCPServerPort"), QStringLiteral("0"));
        settings.sync();
        m_form.reset(CreateWindows({}).MainForm);
        m_form->FormShow();
        TComPort* port = m_form->ComPort();
        connect(port, &TComPort::DataReceived, this,
                [this](const QByteArray& d) { m_fromSensor += d; });
        connect(port, &TComPort::LineErrors, this,
                [this](const QStringList& texts) { m_lineErrors += texts; });
        // Connected after the window's own handler: seen after each write.
        connect(m_form->TcpLink(), &TTcpLink::Received, this, [this] { NoteQueue(); });
        return QTest::qWaitFor(
            [this] {
                return m_form->ComPort()->Connected() && !m_form->StartUpTimer().isActive() &&
                       Sensor().ReceivedBytes().endsWith(" INFO\r\n") && !m_form->SensorBusy();
            },
            20000);
    }
    void NoteQueue() { m_mostRelayed = std::max(m_mostRelayed, m_form->ComPort()->PendingRelay()); }
    qint64 OwnPending() const {
        return m_form->ComPort()->PendingOutput() - m_form->ComPort()->PendingRelay();
    }

    std::unique_ptr<QTcpSocket> Connect() {
        auto s = std::make_unique<QTcpSocket>();
        QTcpSocket* raw = s.get();
        connect(raw, &QTcpSocket::readyRead, raw, [raw] { raw->readAll(); });
        const int before = m_form->TcpLink()->ClientCount();
        s->connectToHost(QHostAddress::LocalHost, m_form->TcpLink()->ServerPort());
        if (!QTest::qWaitFor([&] { return m_form->TcpLink()->ClientCount() == before + 1; }, 10000))
            return nullptr;
        return s;
    }

    // The sensor holds the line; once the relay has read the byte sent
    // after the XOFF, the XOFF has taken effect. The trace starts afresh.
    bool HoldLine() {
        Sensor().HoldHost(true);
        Sensor().SendMarker("\x01");
        const bool held = QTest::qWaitFor([this] { return m_fromSensor.contains('\x01'); }, 10000);
        Sensor().ClearTrace();
        return held;
    }

    // The sensor asks for the terminal's status; the answer waits in the
    // port's own lane.
    bool AskStatus() {
        const qint64 before = OwnPending();
        Sensor().SendMarker(kStatusRequest);
        return QTest::qWaitFor([&] { return OwnPending() == before + kStatusAnswer.size(); },
                               10000);
    }

private slots:
    void init() {
        SetLabelFilePath(QStringLiteral(ORX_SOURCE_DIR "/labels/orxterm.lab"));
        TFormMsgBox::SetResponder([](const TMsgBoxRequest&) { return mrOk; });
        m_fromSensor.clear();
        m_mostRelayed = 0;
        m_lineErrors.clear();
        QVERIFY(StartRelay());
        Sensor().SetTraceLimit(16 << 20);
    }
    void cleanup() {
        if (m_form) m_form->StartUpTimer().stop();
        m_form.reset();
        m_pty.reset();
        TFormMsgBox::SetResponder(nullptr);
    }

    // A client sends 300 KB of numbered lines into the held line: the relay
    // stops reading it at the relay lane's high mark (TCP holds the rest),
    // the terminal's answer to a status request keeps its room, and after
    // XON the answer leaves first, then every line of the client, once and
    // in order.
    void clientStreamWaitsForTheLine() {
        auto client = Connect();
        QVERIFY(client);
        QTcpSocket* served = m_form->TcpLink()->ClientSockets().at(0);
        QVERIFY(HoldLine());
        const QByteArray stream = SimTaggedStream(0, 300 * 1024);
        client->write(stream);
        // The relay reads no further: its socket's buffer is full and the
        // rest waits in the system's buffers and the client's.
        QTRY_VERIFY_WITH_TIMEOUT(!m_form->ReadyForRelayData() &&
                                     served->bytesAvailable() >= TTcpLink::ReadBufferSize,
                                 30000);
        QVERIFY(AskStatus());
        QVERIFY(Sensor().ReceivedBytes().isEmpty());

        Sensor().HoldHost(false);
        QTRY_VERIFY_WITH_TIMEOUT(
            Sensor().ReceivedBytes().size() >= stream.size() + kStatusAnswer.size(), 60000);
        const QByteArray received = Sensor().ReceivedBytes();
        QVERIFY(received.startsWith(kStatusAnswer));
        QVERIFY(received.mid(kStatusAnswer.size()) == stream);
        QVERIFY(m_mostRelayed < TComPort::RelayHighMark + TTcpLink::ReadChunk);
        QCOMPARE(m_lineErrors, QStringList());
    }

    // Twenty clients each send their lines and end their side while the
    // line is held (as a script that sends a file and waits for the
    // answers): each gives up its slot at once, but its data waits for the
    // line like everybody else's, so the lane keeps its bound, the
    // terminal's answer is not crowded out, and after XON every client's
    // lines arrive whole and in order. The sockets go once read.
    void leavingClientsWaitTheirTurn() {
        constexpr int kClients = 20;
        std::vector<std::unique_ptr<QTcpSocket>> clients;
        std::vector<QByteArray> streams;
        for (int k = 0; k < kClients; ++k) {
            clients.push_back(Connect());
            QVERIFY(clients.back());
            streams.push_back(SimTaggedStream(k, 60 * 1024));
        }
        QVERIFY(HoldLine());
        for (int k = 0; k < kClients; ++k)
            clients[size_t(k)]->write(streams[size_t(k)]);
        for (auto& c : clients) {
            QTRY_COMPARE_WITH_TIMEOUT(c->bytesToWrite(), qint64(0), 30000);
            ::shutdown(int(c->socketDescriptor()), SHUT_WR);
        }
        QTRY_COMPARE_WITH_TIMEOUT(m_form->TcpLink()->ClientCount(), 0, 30000);
        QVERIFY(AskStatus());
        QVERIFY(m_form->ComPort()->PendingRelay() < TComPort::RelayHighMark + TTcpLink::ReadChunk);
        QVERIFY(Sensor().ReceivedBytes().isEmpty());

        Sensor().HoldHost(false);
        const qsizetype total = kClients * streams[0].size() + kStatusAnswer.size();
        QTRY_VERIFY_WITH_TIMEOUT(Sensor().ReceivedBytes().size() >= total, 60000);
        QByteArray received = Sensor().ReceivedBytes();
        QCOMPARE(received.count(kStatusAnswer), qsizetype(1));
        received.replace(kStatusAnswer, QByteArray());
        for (int k = 0; k < kClients; ++k) {
            const TSimTaggedCheck check = CheckSimTaggedStream(received, k, streams[size_t(k)]);
            QVERIFY2(check.Whole(), qPrintable(QStringLiteral("client %1: %2 of %3 in order")
                                                   .arg(k)
                                                   .arg(check.InOrder)
                                                   .arg(check.Expected)));
        }
        QCOMPARE(received.size(), total - kStatusAnswer.size());
        QVERIFY(m_mostRelayed < TComPort::RelayHighMark + TTcpLink::ReadChunk);
        QCOMPARE(m_lineErrors, QStringList());
        QTRY_VERIFY_WITH_TIMEOUT(m_form->TcpLink()->findChildren<QTcpSocket*>().isEmpty(), 10000);
    }

    // A client whose data has reached the relay resets its connection while
    // the line is held, and the sensor's output goes on to the clients
    // meanwhile: the relay writes nothing to the reset peer (a failed write
    // would throw away what it had received), and after XON all of the
    // client's data reaches the sensor.
    void resetClientKeepsWhatItSent() {
        auto client = Connect();
        QVERIFY(client);
        QVERIFY(HoldLine());
        const QByteArray stream = SimTaggedStream(0, 150 * 1024);
        client->write(stream);
        // Everything has left the client: the relay's side holds it now.
        QTRY_VERIFY_WITH_TIMEOUT(client->bytesToWrite() == 0 && Unsent(*client) == 0, 30000);
        const linger hard{1, 0};
        QCOMPARE(::setsockopt(int(client->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard,
                              sizeof hard),
                 0);
        client->abort();
        // Something for the clients: the relay sends it to its clients
        // after the batching delay.
        m_fromSensor.clear();
        Sensor().SendMarker("!");
        QTRY_VERIFY_WITH_TIMEOUT(m_fromSensor.contains('!') &&
                                     !m_form->Link().TcpBatch().isActive() &&
                                     m_form->Link().TcpPending().isEmpty(),
                                 10000);

        Sensor().HoldHost(false);
        QTRY_VERIFY_WITH_TIMEOUT(Sensor().ReceivedBytes().size() >= stream.size(), 60000);
        QVERIFY(Sensor().ReceivedBytes() == stream);
        QTRY_COMPARE_WITH_TIMEOUT(m_form->TcpLink()->ClientCount(), 0, 10000);
        QVERIFY(m_mostRelayed < TComPort::RelayHighMark + TTcpLink::ReadChunk);
    }

    // Another program passes 2 MiB of lines in one copy-data message, and a
    // short one after it, while the line is held: the channel hands it on in
    // pieces as the lane has room and otherwise reads nothing, so the sender
    // waits; a typed key and a status answer keep their room. After XON the
    // program's own bytes leave first, then both messages whole, in order.
    void copyDataSenderIsHeldBack() {
        TCopyDataServer channel([this](quint32 kind, const QByteArray& bytes) {
            m_form->CopyData(kind, bytes);
            NoteQueue();
        });
        channel.ReadyForData = [this] { return m_form->ReadyForRelayData(); };
        QVERIFY(channel.Listen(m_dir.filePath(QStringLiteral("copydata"))));
        QLocalSocket sender;
        sender.connectToServer(channel.Path());
        QVERIFY(sender.waitForConnected(5000));
        auto message = [](const QByteArray& bytes) {
            QByteArray m(8, '\0');
            qToLittleEndian<quint32>(9, m.data());
            qToLittleEndian<quint32>(quint32(bytes.size()), m.data() + 4);
            return m + bytes;
        };
        const QByteArray first = SimTaggedStream(0, 2 << 20);
        const QByteArray second = SimTaggedStream(1, 1000);

        QVERIFY(HoldLine());
        sender.write(message(first) + message(second));
        QTRY_VERIFY_WITH_TIMEOUT(!m_form->ReadyForRelayData(), 30000);
        QVERIFY(AskStatus());
        m_form->Ui().ComTerminal->setFocus();
        QTest::keyClicks(m_form->Ui().ComTerminal, QStringLiteral("x"));
        QTRY_COMPARE_WITH_TIMEOUT(OwnPending(), qint64(kStatusAnswer.size() + 1), 10000);
        // The sender is held back: most of its message has not left it.
        QVERIFY(sender.bytesToWrite() > first.size() / 2);
        QVERIFY(channel.BufferedBytes() <= 8 + TCopyDataServer::DataPiece);
        QVERIFY(Sensor().ReceivedBytes().isEmpty());

        Sensor().HoldHost(false);
        const QByteArray own = kStatusAnswer + "x";
        QTRY_VERIFY_WITH_TIMEOUT(
            Sensor().ReceivedBytes().size() >= own.size() + first.size() + second.size(), 60000);
        const QByteArray received = Sensor().ReceivedBytes();
        QVERIFY(received.startsWith(own));
        QVERIFY(received.mid(own.size()) == first + second);
        QVERIFY(m_mostRelayed < TComPort::RelayHighMark + TCopyDataServer::DataPiece);
        QCOMPARE(m_lineErrors, QStringList());
    }
};

QTEST_MAIN(TestRelayHold)
#include "tst_relayhold.moc"
