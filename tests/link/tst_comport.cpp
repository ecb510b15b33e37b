// SPDX-License-Identifier: MIT
// The serial port's output on a pseudo-terminal with the simulated sensor
// holding the line with XOFF: nothing leaves until XON (any other byte
// does not release it), the port stays open, writes return at once, the
// output queue is bounded, and relayed output neither takes the program's
// own room nor goes ahead of it. What is on its way follows the line rate.
#include "TComPort.h"
#include "TSimPty.h"
#include "TSimSensor.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <termios.h>

class TestComPort : public QObject {
    Q_OBJECT
    std::unique_ptr<TSimPty> m_sim;
    std::unique_ptr<TComPort> m_port;
    QByteArray m_received;

    // The sensor holds the host's output, then sends a plain byte: once the
    // host has read that byte, the XOFF before it has taken effect.
    void HoldLine() {
        m_sim->Sensor().HoldHost(true);
        m_sim->Sensor().SendMarker("#");
        QTRY_VERIFY_WITH_TIMEOUT(m_received.endsWith('#'), 5000);
    }
    // A round trip from the sensor: whatever the host had written before
    // this has had every chance to reach the sensor.
    void RoundTrip(char marker) {
        m_sim->Sensor().SendMarker(QByteArray(1, marker));
        QTRY_VERIFY_WITH_TIMEOUT(m_received.endsWith(marker), 5000);
    }

private slots:
    void init() {
        m_sim = std::make_unique<TSimPty>();
        QVERIFY(m_sim->Start());
        m_port = std::make_unique<TComPort>();
        m_port->SetPort(m_sim->DevicePath());
        m_port->SetFlowControl(TFlowControl::Software);
        m_received.clear();
        connect(m_port.get(), &TComPort::DataReceived, this,
                [this](const QByteArray& data) { m_received += data; });
        QVERIFY(m_port->Open());
        QTRY_VERIFY_WITH_TIMEOUT(m_sim->HostConnected(), 5000);
    }
    void cleanup() {
        m_port.reset();
        m_sim.reset();
    }

    // XON/XOFF as the sensor means it: only XON releases held output.
    void onlyXonReleases() {
        termios tio{};
        QCOMPARE(::tcgetattr(int(m_port->Serial().handle()), &tio), 0);
        QVERIFY(tio.c_iflag & IXON);
        QVERIFY(!(tio.c_iflag & IXANY));

        HoldLine();
        TSimSensor& sensor = m_sim->Sensor();
        sensor.ClearTrace();
        QByteArray block;
        for (int i = 0; block.size() < 200 * 1024; ++i)
            block += QByteArray::number(i) + ' ';
        QSignalSpy lost(m_port.get(), &TComPort::DeviceLost);
        // Returns although the line takes nothing: a write that waited for
        // the line would never return here, since XON comes only below.
        QCOMPARE(m_port->WriteStr(block), qint64(block.size()));
        QCOMPARE(m_port->PendingOutput(), qint64(block.size()));

        RoundTrip('a'); // a plain byte from the sensor does not release it
        RoundTrip('b');
        QCOMPARE(sensor.ReceivedBytes(), QByteArray());
        QVERIFY(m_port->Connected()); // a held line is no lost device
        QCOMPARE(lost.count(), 0);

        QSignalSpy drained(m_port.get(), &TComPort::OutputDrained);
        sensor.HoldHost(false);
        QTRY_COMPARE_WITH_TIMEOUT(sensor.ReceivedBytes().size(), block.size(), 10000);
        QVERIFY(sensor.ReceivedBytes() == block);
        QTRY_VERIFY_WITH_TIMEOUT(drained.count() > 0, 5000);
        QCOMPARE(m_port->PendingOutput(), qint64(0));
    }

    // A queue that the held line cannot drain stops at its bound: what does
    // not fit is dropped with one "TxFull error", and after XON the queue
    // arrives whole and accepts data again.
    void fullQueueIsBounded() {
        HoldLine();
        QSignalSpy errors(m_port.get(), &TComPort::LineErrors);
        const QByteArray chunk(64 * 1024, 'x');
        qint64 accepted = 0;
        for (int i = 0; i < 20; ++i)
            accepted += m_port->WriteStr(chunk);
        QCOMPARE(accepted, TComPort::MaxOutputQueue);
        QCOMPARE(m_port->PendingOutput(), TComPort::MaxOutputQueue);
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.at(0).at(0).toStringList(), QStringList{QStringLiteral("TxFull error")});

        m_sim->Sensor().ClearTrace();
        m_sim->Sensor().HoldHost(false);
        QTRY_COMPARE_WITH_TIMEOUT(m_port->PendingOutput(), qint64(0), 30000);
        QTRY_COMPARE_WITH_TIMEOUT(m_sim->Sensor().ReceivedBytes().size(),
                                  qsizetype(TComPort::MaxOutputQueue), 10000);
        QCOMPARE(m_port->WriteStr("SID\r\n"), qint64(5));
        QTRY_VERIFY_WITH_TIMEOUT(m_sim->Sensor().ReceivedBytes().endsWith("SID\r\n"), 5000);
    }

    // Relayed output waits in a lane of its own: its writers see when to
    // stop, the program's own output still has all its room and leaves
    // first after XON, and the writers hear once when to go on. A writer
    // that does not ask cannot grow the lane beyond its bound.
    void relayLaneWaitsBehindOwnOutput() {
        HoldLine();
        TSimSensor& sensor = m_sim->Sensor();
        sensor.ClearTrace();
        QSignalSpy errors(m_port.get(), &TComPort::LineErrors);
        QSignalSpy room(m_port.get(), &TComPort::RelayRoom);
        QByteArray relayed;
        for (int i = 0; m_port->RelayReady(); ++i) {
            const QByteArray piece = QByteArray::number(i).rightJustified(127, 'r') + '\n';
            QCOMPARE(m_port->WriteRelay(piece), qint64(piece.size()));
            relayed += piece;
        }
        QCOMPARE(m_port->PendingRelay(), TComPort::RelayHighMark);
        const QByteArray own(TComPort::MaxOutputQueue, 'o');
        QCOMPARE(m_port->WriteStr(own), qint64(own.size()));
        QCOMPARE(m_port->PendingOutput(), TComPort::MaxOutputQueue + TComPort::RelayHighMark);
        QCOMPARE(errors.count(), 0);
        QCOMPARE(room.count(), 0);

        sensor.HoldHost(false);
        QTRY_COMPARE_WITH_TIMEOUT(sensor.ReceivedBytes().size(), own.size() + relayed.size(),
                                  30000);
        QVERIFY(sensor.ReceivedBytes() == own + relayed);
        QCOMPARE(room.count(), 1);
        QCOMPARE(errors.count(), 0);

        HoldLine();
        const QByteArray flood(2 * TComPort::MaxRelayQueue, 'f');
        QCOMPARE(m_port->WriteRelay(flood), TComPort::MaxRelayQueue);
        QCOMPARE(errors.count(), 1);
        QCOMPARE(m_port->WriteStr("SID\r\n"), qint64(5)); // the own lane keeps its room
        m_sim->Sensor().HoldHost(false);
        QTRY_COMPARE_WITH_TIMEOUT(m_port->PendingOutput(), qint64(0), 30000);
        QCOMPARE(room.count(), 2);
    }

    // What the line cannot have carried yet, at its rate, counts as on its
    // way although a pseudo-terminal's driver reports nothing: 600 bytes
    // at 1200 baud take five seconds, and the count runs down to none. A
    // closed port has nothing on its way.
    void wireBacklogFollowsTheLineRate() {
        m_port->SetBaudRate(TBaudRate::br1200);
        QCOMPARE(m_port->WireBacklog(), qint64(0));
        QCOMPARE(m_port->WriteStr(QByteArray(600, 'w')), qint64(600));
        QTRY_COMPARE_WITH_TIMEOUT(m_port->PendingOutput(), qint64(0), 5000);
        const qint64 first = m_port->WireBacklog();
        QVERIFY2(first > 300 && first <= 600, qPrintable(QString::number(first)));
        QTRY_VERIFY_WITH_TIMEOUT(m_port->WireBacklog() < first, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(m_port->WireBacklog(), qint64(0), 20000);

        QCOMPARE(m_port->WriteStr(QByteArray(600, 'w')), qint64(600));
        QTRY_COMPARE_WITH_TIMEOUT(m_port->PendingOutput(), qint64(0), 5000);
        m_port->Close();
        QCOMPARE(m_port->WireBacklog(), qint64(0));
    }

    // Closing a held port drops what is queued; the next open starts empty.
    void closeDropsQueue() {
        HoldLine();
        m_port->WriteStr(QByteArray(1000, 'q'));
        m_port->WriteRelay(QByteArray(TComPort::RelayHighMark, 'r'));
        QVERIFY(!m_port->RelayReady());
        QSignalSpy room(m_port.get(), &TComPort::RelayRoom);
        m_port->Close();
        QCOMPARE(m_port->PendingOutput(), qint64(0));
        QCOMPARE(room.count(), 1); // held-back readers go on (the port is gone)
        QCOMPARE(m_port->WriteStr("x"), qint64(-1));
    }
};

QTEST_MAIN(TestComPort)
#include "tst_comport.moc"
