// SPDX-License-Identifier: MIT
// The copy-data endpoint: message framing in any split, bad messages that
// end only their own connection, a stale socket file, and another process
// ("orxterm --copydata") setting a status panel of a running main window.
#include "CopyDataChannel.h"
#include "Labels.h"
#include "TCommandEngine.h"
#include "TMainForm.h"
#include "Windows.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QtEndian>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <memory>
#include <vector>

namespace {
QByteArray Message(quint32 kind, const QByteArray& bytes, quint32 length) {
    QByteArray m(8, '\0');
    qToLittleEndian<quint32>(kind, m.data());
    qToLittleEndian<quint32>(length, m.data() + 4);
    return m + bytes;
}
QByteArray Message(quint32 kind, const QByteArray& bytes) {
    return Message(kind, bytes, quint32(bytes.size()));
}
} // namespace

class TestCopyData : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QList<QPair<quint32, QByteArray>> m_received;

    std::unique_ptr<TCopyDataServer> Server(const QString& name) {
        auto server =
            std::make_unique<TCopyDataServer>([this](quint32 kind, const QByteArray& bytes) {
                m_received.append({kind, bytes});
            });
        QString error;
        if (!server->Listen(m_dir.filePath(name), &error)) qWarning("%s", qPrintable(error));
        return server;
    }

private slots:
    void init() { m_received.clear(); }

    void framingInAnySplit() {
        auto server = Server(QStringLiteral("framing"));
        QLocalSocket client;
        client.connectToServer(server->Path());
        QVERIFY(client.waitForConnected(5000));
        const QByteArray stream =
            Message(3, "10.0.0.1:23") + Message(9, QByteArray("a\0b", 3)) + Message(1, "");
        for (const QByteArray& piece : {stream.left(5), stream.mid(5, 12), stream.mid(17)}) {
            client.write(piece);
            client.waitForBytesWritten(5000);
        }
        QTRY_COMPARE_WITH_TIMEOUT(m_received.size(), 3, 5000);
        QCOMPARE(m_received.at(0), (QPair<quint32, QByteArray>(3, "10.0.0.1:23")));
        QCOMPARE(m_received.at(1), (QPair<quint32, QByteArray>(9, QByteArray("a\0b", 3))));
        QCOMPARE(m_received.at(2), (QPair<quint32, QByteArray>(1, QByteArray())));
    }

    // A length beyond the limit ends that connection; the endpoint serves on.
    void oversizeMessageEndsItsConnection() {
        auto server = Server(QStringLiteral("oversize"));
        QLocalSocket bad;
        bad.connectToServer(server->Path());
        QVERIFY(bad.waitForConnected(5000));
        bad.write(Message(9, "x", TCopyDataServer::MaxMessage + 1));
        QTRY_COMPARE_WITH_TIMEOUT(bad.state(), QLocalSocket::UnconnectedState, 5000);
        QVERIFY(m_received.isEmpty());

        QVERIFY(SendCopyData(server->Path(), 4, "still here"));
        QTRY_COMPARE_WITH_TIMEOUT(m_received.size(), 1, 5000);
        QCOMPARE(m_received.at(0).second, QByteArray("still here"));
    }

    // Connections beyond the limit are turned away; the others go on.
    void connectionLimit() {
        auto server = Server(QStringLiteral("limit"));
        std::vector<std::unique_ptr<QLocalSocket>> clients;
        for (int i = 0; i < TCopyDataServer::MaxConnections + 1; ++i) {
            clients.push_back(std::make_unique<QLocalSocket>());
            clients.back()->connectToServer(server->Path());
            QVERIFY(clients.back()->waitForConnected(5000));
        }
        QTRY_COMPARE_WITH_TIMEOUT(clients.back()->state(), QLocalSocket::UnconnectedState, 5000);
        clients.front()->write(Message(2, "7"));
        QTRY_COMPARE_WITH_TIMEOUT(m_received.size(), 1, 5000);
        clients.clear();
        QTRY_COMPARE_WITH_TIMEOUT(server->ConnectionCount(), 0, 5000);
        QVERIFY(SendCopyData(server->Path(), 2, "8")); // freed places are taken again
        QTRY_COMPARE_WITH_TIMEOUT(m_received.size(), 2, 5000);
    }

    // While the link is behind, nothing more is read: the connection holds
    // at most the header of the next message, the sender is held back by
    // the socket, and one retry is pending however long it lasts. Once the
    // link catches up, every message arrives whole and in order.
    void slowLinkHoldsSenderBack() {
        auto server = Server(QStringLiteral("paced"));
        bool ready = false;
        int asked = 0;
        server->ReadyForData = [&] {
            ++asked;
            return ready;
        };
        QLocalSocket client;
        client.connectToServer(server->Path());
        QVERIFY(client.waitForConnected(5000));
        QByteArray stream;
        for (int i = 0; i < 128; ++i)
            stream += Message(9, QByteArray(64 * 1024, char('a' + i % 26)));
        client.write(stream);
        QTRY_VERIFY_WITH_TIMEOUT(asked >= 30, 10000); // some 300 ms of retries
        QVERIFY(server->BufferedBytes() <= 8);
        QVERIFY(m_received.isEmpty());
        QVERIFY(client.bytesToWrite() > stream.size() / 2);

        ready = true;
        QTRY_COMPARE_WITH_TIMEOUT(m_received.size(), 128, 30000);
        for (int i = 0; i < 128; ++i)
            QVERIFY(m_received.at(i).second == QByteArray(64 * 1024, char('a' + i % 26)));
        QCOMPARE(server->BufferedBytes(), qint64(0));
    }

    // A folder that others may write to is not trusted with the socket.
    void openFolderRefused() {
        const QString folder = m_dir.filePath(QStringLiteral("open"));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner |
                                                  QFile::ExeOwner | QFile::WriteOther |
                                                  QFile::ExeOther));
        TCopyDataServer server(nullptr);
        QString error;
        QVERIFY(!server.Listen(folder + QStringLiteral("/copydata"), &error));
        QVERIFY(error.contains(folder));
    }

    void staleAndLiveEndpoints() {
        const QString path = m_dir.filePath(QStringLiteral("stale"));
        {
            // A socket file left behind, as by an instance that crashed.
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            qstrncpy(address.sun_path, QFile::encodeName(path).constData(),
                     sizeof address.sun_path);
            QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
            ::close(fd);
            QVERIFY(QFile::exists(path));
        }
        auto server = Server(QStringLiteral("stale"));
        QCOMPARE(server->Path(), path);
        TCopyDataServer second(nullptr);
        QString error;
        QVERIFY(!second.Listen(path, &error));
        QVERIFY(error.contains(path));

        QString sendError;
        QVERIFY(!SendCopyData(m_dir.filePath(QStringLiteral("nobody")), 3, "x", &sendError));
        QVERIFY(!sendError.isEmpty());
    }

    void escapesOfTheCommandLine() {
        QCOMPARE(DecodeCopyDataText(QStringLiteral("SID\\r\\n")), QByteArray("SID\r\n"));
        QCOMPARE(DecodeCopyDataText(QStringLiteral("a\\0b\\x41\\\\\\t")),
                 QByteArray("a\0bA\\\t", 6));
        QCOMPARE(DecodeCopyDataText(QStringLiteral("\\q\\x4\\")), QByteArray("\\q\\x4\\"));
        QCOMPARE(DecodeCopyDataText(QStringLiteral("Grüße")), QStringLiteral("Grüße").toUtf8());
    }

    // Another program sets the IP:Port panel and passes data to the link.
    void anotherProcessReachesTheMainWindow() {
        SetLabelFilePath(QStringLiteral(ORX_SOURCE_DIR "/labels/orxterm.lab"));
        std::unique_ptr<TMainForm> form(CreateWindows({}).MainForm);
        TCopyDataServer endpoint(
            [&form](quint32 kind, const QByteArray& bytes) { form->CopyData(kind, bytes); });
        QVERIFY(endpoint.Listen(m_dir.filePath(QStringLiteral("main"))));

        auto run = [&](const QStringList& args,
                       const QString& program = QStringLiteral(ORXTERM_EXE)) {
            QProcess p;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("ORXTERM_COPYDATA"), endpoint.Path());
            p.setProcessEnvironment(env);
            // The endpoint lives in this process's event loop: keep it running.
            QEventLoop loop;
            connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
            connect(&p, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
            QTimer::singleShot(60000, &loop, &QEventLoop::quit);
            p.start(program, args);
            loop.exec();
            return p.state() == QProcess::NotRunning && p.exitStatus() == QProcess::NormalExit
                       ? p.exitCode()
                       : -1;
        };
        QCOMPARE(run({QStringLiteral("--copydata"), QStringLiteral("3"),
                      QStringLiteral("192.168.7.7:10001")}),
                 0);
        QTRY_COMPARE_WITH_TIMEOUT(form->PanelText(TStatusPanel::IpPort),
                                  QStringLiteral("192.168.7.7:10001"), 5000);

        // Data (kind 9) is what the sensor sent: it reaches the engine.
        form->Engine().StartRecording();
        QCOMPARE(
            run({QStringLiteral("--copydata"), QStringLiteral("9"), QStringLiteral("12.5\\r\\n")}),
            0);
        QTRY_COMPARE_WITH_TIMEOUT(form->Engine().Recorded(), QByteArray("12.5\r\n"), 5000);

        // TEXT "-" reads standard input to its end, however it arrives.
        const QString exe = QStringLiteral(ORXTERM_EXE);
        QCOMPARE(run({QStringLiteral("-c"),
                      QStringLiteral("(printf abc; sleep 0.3; printf def) | '%1' --copydata 9 -")
                          .arg(exe)},
                     QStringLiteral("/bin/sh")),
                 0);
        QTRY_COMPARE_WITH_TIMEOUT(form->Engine().Recorded(), QByteArray("12.5\r\nabcdef"), 5000);
        // More than a message may hold: nothing is sent, and it says so.
        QCOMPARE(
            run({QStringLiteral("-c"), QStringLiteral("head -c %1 /dev/zero | '%2' --copydata 9 -")
                                           .arg(TCopyDataServer::MaxMessage + 1)
                                           .arg(exe)},
                QStringLiteral("/bin/sh")),
            1);
        QCOMPARE(form->Engine().Recorded(), QByteArray("12.5\r\nabcdef"));

        QCOMPARE(run({QStringLiteral("--copydata"), QStringLiteral("x"), QStringLiteral("y")}), 2);
        QCOMPARE(run({QStringLiteral("--copydata"), QStringLiteral("3")}), 2);
        // After switches it is still the copy-data sender, not a window.
        QCOMPARE(run({QStringLiteral("debug"), QStringLiteral("--copydata"), QStringLiteral("9"),
                      QStringLiteral("g")}),
                 0);
        QTRY_COMPARE_WITH_TIMEOUT(form->Engine().Recorded(), QByteArray("12.5\r\nabcdefg"), 5000);
    }
};

QTEST_MAIN(TestCopyData)
#include "tst_copydata.moc"
