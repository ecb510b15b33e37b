// SPDX-License-Identifier: MIT
// The TCP link on real sockets on 127.0.0.1: reads of at most 128 bytes cut
// at a zero byte, connect outcomes and their bounded wait, the own address,
// and a stalled client that cannot make the program grow. (Slots and
// descriptors are covered by the relay tests of the main window.)
#include "TTcpLink.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <vector>

namespace {
std::unique_ptr<QTcpSocket> ConnectClient(quint16 port) {
    auto s = std::make_unique<QTcpSocket>();
    s->connectToHost(QHostAddress::LocalHost, port);
    return s;
}
} // namespace

class TestTcpLink : public QObject {
    Q_OBJECT
private slots:
    void readsAreChunkedAndCutAtZero() {
        TTcpLink link;
        QString error;
        QVERIFY2(link.Listen(QStringLiteral("127.0.0.1"), 0, &error), qPrintable(error));
        QVERIFY(link.Listening());
        QCOMPARE(link.OwnAddress(), QStringLiteral("127.0.0.1:%1").arg(link.ServerPort()));
        QSignalSpy accepted(&link, &TTcpLink::Accepted);
        QList<QByteArray> reads;
        connect(&link, &TTcpLink::Received, this,
                [&reads](const QByteArray& b) { reads.append(b); });

        auto client = ConnectClient(link.ServerPort());
        QTRY_COMPARE_WITH_TIMEOUT(accepted.size(), 1, 5000);
        QCOMPARE(accepted.at(0).at(0).toString(),
                 QStringLiteral("127.0.0.1:%1").arg(client->localPort()));

        client->write(QByteArray(300, 'A'));
        QTRY_COMPARE_WITH_TIMEOUT(reads.size(), 3, 5000);
        QCOMPARE(reads.at(0).size(), 128);
        QCOMPARE(reads.at(1).size(), 128);
        QCOMPARE(reads.at(2).size(), 44);

        // Each read ends at its first zero byte; the rest of that read is gone.
        reads.clear();
        client->write(QByteArray("AB\0CD", 5));
        QTRY_COMPARE_WITH_TIMEOUT(reads.size(), 1, 5000);
        QCOMPARE(reads.at(0), QByteArray("AB"));

        // What a peer sends just before it closes is still read.
        reads.clear();
        client->write("last words");
        client->disconnectFromHost();
        QTRY_COMPARE_WITH_TIMEOUT(link.ClientCount(), 0, 5000);
        QCOMPARE(reads.join(), QByteArray("last words"));
    }

    // While the line is behind, reading pauses; a client that sends and
    // leaves meanwhile gives up its slot at once, and everything it sent is
    // delivered, in order, once reading resumes (not before: a client that
    // leaves must not push its data past the line's pace). Then it goes.
    void heldBackClientLeaves() {
        TTcpLink link;
        bool ready = false;
        link.ReadyForData = [&ready] { return ready; };
        QVERIFY(link.Listen(QStringLiteral("127.0.0.1"), 0, nullptr));
        QByteArray got;
        connect(&link, &TTcpLink::Received, this, [&got](const QByteArray& b) { got += b; });
        auto client = ConnectClient(link.ServerPort());
        QTRY_COMPARE_WITH_TIMEOUT(link.ClientCount(), 1, 5000);
        client->write(QByteArray(1000, 'a') + "end");
        QTRY_VERIFY_WITH_TIMEOUT(link.ClientSockets().at(0)->bytesAvailable() == 1003, 5000);
        QVERIFY(got.isEmpty());
        QPointer<QTcpSocket> served = link.ClientSockets().at(0);
        client->disconnectFromHost();
        QTRY_COMPARE_WITH_TIMEOUT(link.ClientCount(), 0, 5000);
        QVERIFY(got.isEmpty());
        QVERIFY(served);
        ready = true;
        link.ResumeReading();
        QTRY_COMPARE_WITH_TIMEOUT(got, QByteArray(1000, 'a') + "end", 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!served, 5000); // released once read
    }

    void clientConnects() {
        QTcpServer peer;
        QVERIFY(peer.listen(QHostAddress::LocalHost));
        TTcpLink link;
        QCOMPARE(link.Connect(QStringLiteral("127.1"), peer.serverPort()),
                 TTcpLink::TConnectResult::Connected);
        QVERIFY(link.LinkConnected());
        QTRY_VERIFY_WITH_TIMEOUT(peer.hasPendingConnections(), 5000);
        std::unique_ptr<QTcpSocket> other(peer.nextPendingConnection());
        QCOMPARE(link.OwnAddress(), QStringLiteral("127.0.0.1:%1").arg(other->peerPort()));

        QList<QByteArray> reads;
        connect(&link, &TTcpLink::Received, this,
                [&reads](const QByteArray& b) { reads.append(b); });
        other->write("hello\r\n");
        QTRY_COMPARE_WITH_TIMEOUT(reads.join(), QByteArray("hello\r\n"), 5000);
        link.SendNow("INFO\r\n", false);
        link.SendNow("ignored", true); // no clients: nothing happens
        QTRY_COMPARE_WITH_TIMEOUT(other->bytesAvailable(), qint64(6), 5000);
        QCOMPARE(other->readAll(), QByteArray("INFO\r\n"));

        QSignalSpy linkClosed(&link, &TTcpLink::LinkClosed);
        other->disconnectFromHost();
        QTRY_COMPARE_WITH_TIMEOUT(linkClosed.size(), 1, 5000);
        link.SendNow("after close", false); // not an error
    }

    void connectFailsOnClosedPort() {
        quint16 port = 0;
        {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost));
            port = probe.serverPort();
        }
        TTcpLink link;
        QSignalSpy failed(&link, &TTcpLink::Failed);
        QCOMPARE(link.Connect(QStringLiteral("127.0.0.1"), port), TTcpLink::TConnectResult::Failed);
        QVERIFY(!link.LinkConnected());
        QVERIFY(!link.HasLinkSocket());
        QCOMPARE(failed.size(), 0); // a failed connect is no error box
    }

    // A peer that never answers the connect: the wait ends at its limit,
    // and events go on meanwhile; a newer start ends the wait at once.
    void connectWaitIsBoundedAndAlive() {
        QTcpServer blackhole;
        blackhole.setListenBacklogSize(1);
        QVERIFY(blackhole.listen(QHostAddress::LocalHost));
        blackhole.pauseAccepting();
        std::vector<std::unique_ptr<QTcpSocket>> fill;
        for (int i = 0; i < 4; ++i)
            fill.push_back(ConnectClient(blackhole.serverPort()));
        // The kernel's accept queue is full once two of them stand.
        QTRY_VERIFY_WITH_TIMEOUT(std::count_if(fill.begin(), fill.end(),
                                               [](const auto& s) {
                                                   return s->state() ==
                                                          QAbstractSocket::ConnectedState;
                                               }) >= 2,
                                 5000);

        TTcpLink link;
        bool ticked = false;
        QTimer::singleShot(20, this, [&ticked] { ticked = true; });
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(link.Connect(QStringLiteral("127.0.0.1"), blackhole.serverPort(), 400),
                 TTcpLink::TConnectResult::Failed);
        QVERIFY(ticked);
        QVERIFY(clock.elapsed() < 30000); // the system alone would retry for minutes

        QTimer::singleShot(20, this, [&link] { link.CloseSockets(); });
        QCOMPARE(link.Connect(QStringLiteral("127.0.0.1"), blackhole.serverPort(), 20000),
                 TTcpLink::TConnectResult::Superseded);
        QVERIFY(!link.HasLinkSocket());
    }

    void listenFailsWithSystemText() {
        QTcpServer taken;
        QVERIFY(taken.listen(QHostAddress::LocalHost));
        TTcpLink link;
        QString error;
        QVERIFY(!link.Listen(QStringLiteral("127.0.0.1"), taken.serverPort(), &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!link.Listen(QStringLiteral("not an address"), 0, &error));
        QVERIFY(error.contains(QStringLiteral("not an address")));
    }

    // A client that never reads cannot make the relay hold more than its
    // backlog limit (plus one piece).
    void stalledClientIsBounded() {
        TTcpLink link;
        QVERIFY(link.Listen(QStringLiteral("127.0.0.1"), 0, nullptr));
        auto client = ConnectClient(link.ServerPort());
        client->setReadBufferSize(1); // reads almost nothing: the kernel buffers fill up
        QTRY_COMPARE_WITH_TIMEOUT(link.ClientCount(), 1, 5000);
        const QByteArray piece(64 * 1024, 'x');
        for (int i = 0; i < 400; ++i) { // 25 MiB
            link.SendNow(piece, true);
            QCoreApplication::processEvents();
        }
        QVERIFY(link.ClientSockets().at(0)->bytesToWrite() <=
                TTcpLink::MaxClientBacklog + piece.size());
    }

    void ipv4Forms() {
        QHostAddress a;
        QVERIFY(TTcpLink::ParseIPv4(QStringLiteral("127.1"), &a));
        QCOMPARE(a.toString(), QStringLiteral("127.0.0.1"));
        QVERIFY(TTcpLink::ParseIPv4(QStringLiteral(" 0x7f.0.0.2 "), &a));
        QCOMPARE(a.toString(), QStringLiteral("127.0.0.2"));
        QVERIFY(!TTcpLink::ParseIPv4(QStringLiteral("300.0.0.1"), &a));
        QVERIFY(!TTcpLink::ParseIPv4(QString(), &a));
        QVERIFY(!TTcpLink::FirstOwnIPv4().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestTcpLink)
#include "tst_tcplink.moc"
