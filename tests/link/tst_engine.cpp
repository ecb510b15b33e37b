// SPDX-License-Identifier: MIT
// The command engine over a real serial port on a pseudo-terminal, with
// the simulated sensor at the other end: replies, pieces, noise, silence,
// the blank and the pauses on the wire, debug lines, and a device that
// goes away.
#include "TComDataPacket.h"
#include "TComPort.h"
#include "TCommandEngine.h"
#include "TLink.h"
#include "TSimPty.h"
#include "TSimSensor.h"
#include "TSimTcpServer.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

class TestEngine : public QObject {
    Q_OBJECT
    std::unique_ptr<TSimPty> m_sim;
    std::unique_ptr<TLink> m_link;
    TComPort* m_port = nullptr;
    std::unique_ptr<TComDataPacket> m_framer;
    std::unique_ptr<TCommandEngine> m_engine;
    QStringList m_log;

private slots:
    void init() {
        m_sim = std::make_unique<TSimPty>();
        QVERIFY(m_sim->Start());
        m_link = std::make_unique<TLink>();
        m_port = &m_link->Port();
        m_port->SetPort(m_sim->DevicePath());
        m_framer = std::make_unique<TComDataPacket>();
        m_engine = std::make_unique<TCommandEngine>(*m_link, *m_framer);
        m_log.clear();
        m_engine->DebugMode = true;
        m_engine->Log = [this](const QString& line) { m_log << line; };
        QVERIFY(m_port->Open());
        QTRY_VERIFY_WITH_TIMEOUT(m_sim->HostConnected(), 5000);
    }
    void cleanup() {
        m_engine.reset();
        m_framer.reset();
        m_link.reset();
        m_sim.reset();
    }

    void sidAndInfo() {
        m_engine->SetCmd(QByteArray("\r\021\033"));
        QCOMPARE(m_engine->GetCmd(QByteArray("SID\r\n"), "SID\r\n", "\r\n", 0, 500).trimmed(),
                 QByteArray("1"));
        const QByteArray info = m_engine->GetCmd(QByteArray("INFO\r\n"), "INFO\r\n", "->", 0, 1000);
        QVERIFY2(info.startsWith("ORX 9 "), info.constData());
        QVERIFY(info.contains("S/N "));
        QVERIFY(!info.contains("->"));
        QVERIFY(!m_framer->Attached()); // the packet detached it
    }

    void replyInPiecesAndNoise() {
        TSimFaults f;
        f.SplitPieces = 3;
        f.SplitPauseMs = 60;
        f.NoiseBeforeEcho = "#?~";
        m_sim->Sensor().SetFaults(f);
        const QByteArray info = m_engine->GetCmd(QByteArray("INFO\r\n"), "INFO\r\n", "->", 0, 2500);
        QVERIFY2(info.startsWith("ORX 9 "), info.constData());
        QCOMPARE(m_engine->GetCmd(QByteArray("SID\r\n"), "SID\r\n", "\r\n", 0, 2500).trimmed(),
                 QByteArray("1"));
    }

    // A silent sensor: empty after the time-out plus the 100 ms lead;
    // the framer stays attached until the next SetCmd.
    void silentSensorTimesOut() {
        TSimFaults f;
        f.Mute = true;
        m_sim->Sensor().SetFaults(f);
        QCOMPARE(m_engine->GetCmd(QByteArray("SID\r\n"), "SID\r\n", "\r\n", 0, 500), QByteArray());
        QVERIFY(m_log.contains(QStringLiteral("No reply within 500 ms")));
        QVERIFY(m_framer->Attached());
        m_engine->SetCmd(QByteArray("\033"));
        QVERIFY(!m_framer->Attached());
        m_log.clear();
        QCOMPARE(m_engine->GetCmd(QByteArray("SID\r\n"), "SID\r\n", "\r\n", 0, 5), QByteArray());
        QVERIFY(m_log.contains(QStringLiteral("No reply within 5 ms")));
    }

    // On the wire: a blank, a pause of about 100 ms, then the command; and
    // SetCmd's first byte, a pause, then the rest.
    void blankAndPausesOnTheWire() {
        m_sim->Sensor().ClearTrace();
        m_engine->GetCmd(QByteArray("SID\r\n"), "SID\r\n", "\r\n", 0, 500);
        m_engine->SetCmd(QByteArray("TEST\r\n"));
        QTRY_VERIFY_WITH_TIMEOUT(m_sim->Sensor().ReceivedBytes().endsWith("TEST\r\n"), 5000);
        QCOMPARE(m_sim->Sensor().ReceivedBytes(), QByteArray(" SID\r\nTEST\r\n"));
        qint64 blankAt = -1, sidAt = -1, tAt = -1, estAt = -1;
        for (const TSimTraceEntry& e : m_sim->Sensor().Trace()) {
            if (!e.FromHost) continue;
            if (e.Bytes.startsWith(' ') && blankAt < 0) blankAt = e.TimeUs;
            if (e.Bytes.contains("SID") && sidAt < 0) sidAt = e.TimeUs;
            if (e.Bytes.startsWith('T') && tAt < 0) tAt = e.TimeUs;
            if (e.Bytes.contains("EST") && estAt < 0) estAt = e.TimeUs;
        }
        QVERIFY(blankAt >= 0 && sidAt >= 0 && tAt >= 0 && estAt >= 0);
        QVERIFY2(sidAt - blankAt >= 90000, qPrintable(QString::number(sidAt - blankAt)));
        QVERIFY2(estAt - tAt >= 90000, qPrintable(QString::number(estAt - tAt)));
    }

    void debugLines() {
        m_engine->SetCmd(QByteArray("V\r\n"));
        m_engine->GetCmd(QByteArray("SID\r\n"), "SID\r\n", "\r\n", 0, 500);
        QCOMPARE(m_log.value(0), QStringLiteral("SetCmd(3=V") + QChar(0xAB) + QChar(0xAC) + u')');
        QVERIFY(m_log.value(1).startsWith(QStringLiteral("GetCmd[SID") + QChar(0xAB) + QChar(0xAC) +
                                          u','));
        QVERIFY(m_log.value(1).endsWith(QStringLiteral(",0,500](5=SID") + QChar(0xAB) +
                                        QChar(0xAC) + u')'));
        QVERIFY(m_log.contains(QStringLiteral("Data Packet(1=1)")));
    }

    // The device goes away while open: the port closes and says so; the
    // same device can be opened again once it is back.
    void unplugWhileOpen() {
        QSignalSpy closed(m_port, &TComPort::AfterClose);
        QSignalSpy lost(m_port, &TComPort::DeviceLost);
        m_sim->Unplug();
        QTRY_VERIFY_WITH_TIMEOUT(!m_port->Connected(), 5000);
        QCOMPARE(closed.count(), 1);
        QCOMPARE(lost.count(), 1);
        QVERIFY(!m_port->Open());
        QVERIFY(m_sim->Replug());
        QVERIFY(m_port->Open());
        QCOMPARE(m_engine->GetCmd(QByteArray("SID\r\n"), "SID\r\n", "\r\n", 0, 1000).trimmed(),
                 QByteArray("1"));
    }

    // Over TCP the same engine and framer: the command goes whole (no
    // pause and no blank on the network), the reply is cut by the port's
    // framer from what the link socket delivers, and a link that has gone
    // takes no more commands.
    void overTcp() {
        TSimTcpServer server;
        QVERIFY(server.Listen());
        TLink link;
        TComDataPacket framer;
        TCommandEngine engine(link, framer);
        QVERIFY(!engine.LinkUp());
        QVERIFY(!engine.SetCmd(QByteArray("SID\r\n")));
        QCOMPARE(link.Tcp().Connect(QStringLiteral("127.0.0.1"), server.Port()),
                 TTcpLink::TConnectResult::Connected);
        QVERIFY(engine.LinkUp());
        QCOMPARE(link.Device(), static_cast<QIODevice*>(link.Tcp().LinkSocket()));
        QVERIFY(engine.SetCmd(QByteArray("\r\021\033")));
        QCOMPARE(engine.GetCmd(QByteArray("SID\r\n"), "SID\r\n", "\r\n", 0, 2000).trimmed(),
                 QByteArray("1"));
        QVERIFY(!server.Sensor().ReceivedBytes().contains(" SID"));
        engine.StartRecording();
        QVERIFY(!engine.GetCmd(QByteArray("INFO\r\n"), "INFO\r\n", "->", 0, 2000).isEmpty());
        QVERIFY(engine.StopRecording().contains("S/N "));
        link.CloseSockets();
        QVERIFY(!engine.LinkUp());
        QVERIFY(link.Device() == nullptr);
        QVERIFY(!engine.SetCmd(QByteArray("SID\r\n")));
    }

    void openErrors() {
        TComPort p;
        p.SetPort(QStringLiteral("/nonexistent/tty"));
        QVERIFY(!p.Open());
        QVERIFY(!p.ErrorText().isEmpty());
        p.SetPort(QString());
        QVERIFY(!p.Open());
    }
};

QTEST_MAIN(TestEngine)
#include "tst_engine.moc"
