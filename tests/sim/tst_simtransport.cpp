// SPDX-License-Identifier: MIT
// The simulated sensor's transports, driven the way the program drives a
// sensor: a real QSerialPort on the pseudo-terminal, real TCP sockets on
// 127.0.0.1, and the orxsim program started as a process.
#include "TSimPty.h"
#include "TSimTcpServer.h"

#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

constexpr int kTimeout = 20000;

bool OpenPort(QSerialPort& port, const QString& path) {
    port.setPortName(path);
    if (!port.open(QIODevice::ReadWrite)) return false;
    port.setBaudRate(9600);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::SoftwareControl);
    return true;
}

// Reads from `device` until `expected` has arrived or the time is up;
// true when it arrived. Everything read is appended to `received`.
template <typename Device>
bool ReadUntil(Device& device, const QByteArray& expected, QByteArray* received = nullptr) {
    QByteArray all;
    const bool arrived = QTest::qWaitFor(
        [&] {
            all += device.readAll();
            return all.contains(expected);
        },
        kTimeout);
    if (received) *received = all;
    return arrived;
}

} // namespace

class TstSimTransport : public QObject {
    Q_OBJECT
private slots:
    void ptyTalksWithSerialPort();
    void ptyHostReopens();
    void ptyWithoutLink();
    void unplugAndReplug();
    void tcpServer();
    void program();
};

void TstSimTransport::ptyTalksWithSerialPort() {
    TSimPty pty;
    QVERIFY2(pty.Start(), qPrintable(pty.ErrorString()));
    QVERIFY(QFileInfo(pty.DevicePath()).isSymLink());
    QCOMPARE(QFileInfo(pty.DevicePath()).symLinkTarget(), pty.SlavePath());
    QSerialPort port;
    QVERIFY2(OpenPort(port, pty.DevicePath()), qPrintable(port.errorString()));
    QTRY_VERIFY_WITH_TIMEOUT(pty.HostConnected(), kTimeout);

    port.write("\r\x11\x1b");
    port.write(" SID\r\n");
    QByteArray received;
    QVERIFY(ReadUntil(port, "SID\r\n1\r\n->", &received));
    QVERIFY(received.endsWith("SID\r\n1\r\n->"));
    port.write("S1FORMAT s\r\nS1TIME 20\r\nS1ON 1\r\n");
    QVERIFY(ReadUntil(port, "S1ON 1\r\n->", &received));
    QByteArray lines = received.mid(received.indexOf("S1ON 1\r\n->") + 10);
    QVERIFY(
        QTest::qWaitFor([&] { return (lines += port.readAll()).count("\r\n") >= 3; }, kTimeout));
    const QByteArray first = lines.left(lines.indexOf("\r\n"));
    QCOMPARE(first.size(), 11);
    QCOMPARE(first.at(7), ' ');
    QVERIFY(pty.Sensor().ReceivedBytes().startsWith("\r\x11\x1b SID\r\n"));
}

// The host closes the port and opens it again; the sensor keeps its state
// and what it sent meanwhile is not delivered late.
void TstSimTransport::ptyHostReopens() {
    TSimPty pty;
    QVERIFY(pty.Start());
    {
        QSerialPort port;
        QVERIFY(OpenPort(port, pty.DevicePath()));
        port.write("AVERAGE 300\r\n");
        QVERIFY(ReadUntil(port, "AVERAGE 300\r\n->"));
    }
    QTRY_VERIFY_WITH_TIMEOUT(!pty.HostConnected(), kTimeout);
    pty.Sensor().Receive("INFO\r\n"); // answered while nobody listens
    QSerialPort port;
    QVERIFY(OpenPort(port, pty.DevicePath()));
    QTRY_VERIFY_WITH_TIMEOUT(pty.HostConnected(), kTimeout);
    port.write("AVERAGE\r\n");
    QByteArray received;
    QVERIFY(ReadUntil(port, "AVERAGE\r\n300 ms\r\n->", &received));
    QVERIFY(!received.contains("ORX"));
}

void TstSimTransport::ptyWithoutLink() {
    TSimPty pty;
    pty.SetLinkPath(QString());
    QVERIFY(pty.Start());
    QCOMPARE(pty.DevicePath(), pty.SlavePath());
    QVERIFY(pty.SlavePath().startsWith("/dev/pts/"));
}

void TstSimTransport::unplugAndReplug() {
    TSimPty pty;
    QVERIFY(pty.Start());
    const QString path = pty.DevicePath();
    QSerialPort port;
    QVERIFY(OpenPort(port, path));
    port.write("AVERAGE 400\r\n");
    QVERIFY(ReadUntil(port, "AVERAGE 400\r\n->"));

    pty.Sensor().HangUp();
    QVERIFY(!pty.IsPlugged());
    QVERIFY(!QFileInfo::exists(path));
    QTRY_VERIFY_WITH_TIMEOUT(port.error() != QSerialPort::NoError, kTimeout);
    port.close();

    QVERIFY(pty.Replug());
    QVERIFY(QFileInfo(path).isSymLink());
    QCOMPARE(QFileInfo(path).symLinkTarget(), pty.SlavePath());
    port.clearError();
    QVERIFY2(OpenPort(port, path), qPrintable(port.errorString()));
    port.write("AVERAGE\r\n");
    QVERIFY(ReadUntil(port, "AVERAGE\r\n400 ms\r\n->")); // the same sensor came back
}

void TstSimTransport::tcpServer() {
    TSimTcpServer server;
    QVERIFY(server.Listen());
    QVERIFY(server.Port() != 0);
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server.Port());
    QVERIFY(client.waitForConnected(kTimeout));
    QTRY_COMPARE_WITH_TIMEOUT(server.ClientCount(), 1, kTimeout);
    client.write("\r\x11\x1bSID\r\n");
    QVERIFY(ReadUntil(client, "SID\r\n1\r\n->"));

    QSignalSpy gone(&client, &QTcpSocket::disconnected);
    server.Sensor().HangUp();
    QTRY_COMPARE_WITH_TIMEOUT(gone.size(), 1, kTimeout);
    QCOMPARE(server.ClientCount(), 0);

    QTcpSocket again;
    again.connectToHost(QHostAddress::LocalHost, server.Port());
    QVERIFY(again.waitForConnected(kTimeout));
    again.write("INFO\r\n");
    QVERIFY(ReadUntil(again, "S/N 40001\r\n"));
}

// The program as a demo runs it: device path on stdout, link kept until
// SIGTERM, then removed.
void TstSimTransport::program() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString link = dir.filePath(QStringLiteral("orx"));
    QProcess process;
    process.start(QStringLiteral(ORX_BINARY_DIR "/bin/orxsim"),
                  {QStringLiteral("--pty"), QStringLiteral("--link"), link,
                   QStringLiteral("--model"), QStringLiteral("7"), QStringLiteral("--sid"),
                   QStringLiteral("2")});
    QVERIFY(process.waitForStarted(kTimeout));
    QTRY_VERIFY_WITH_TIMEOUT(process.canReadLine(), kTimeout);
    QCOMPARE(process.readLine().trimmed(), link.toLocal8Bit());
    QVERIFY(QFileInfo(link).isSymLink());

    QSerialPort port;
    QVERIFY(OpenPort(port, link));
    port.write("SID\r\nINFO\r\n");
    QByteArray received;
    QVERIFY(ReadUntil(port, "S/N ", &received));
    QVERIFY(received.startsWith("SID\r\n2\r\n->INFO\r\nORX 7 "));
    port.close();

    ::kill(pid_t(process.processId()), SIGTERM);
    QVERIFY(process.waitForFinished(kTimeout));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());

    // --version answers as orxterm's does, without serving anything.
    process.start(QStringLiteral(ORX_BINARY_DIR "/bin/orxsim"), {QStringLiteral("--version")});
    QVERIFY(process.waitForFinished(kTimeout));
    QCOMPARE(process.exitCode(), 0);
    QVERIFY(process.readAllStandardOutput().startsWith("orxsim "));
}

QTEST_GUILESS_MAIN(TstSimTransport)
#include "tst_simtransport.moc"
