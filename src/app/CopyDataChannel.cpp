// SPDX-License-Identifier: MIT
#include "CopyDataChannel.h"

#include "HostTypes.h"
#include "TReadPacer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <QtEndian>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace {

// The user id of the process at the other end of a local socket, or -1.
long PeerUid(QLocalSocket* socket) {
    ucred cred{};
    socklen_t length = sizeof cred;
    if (getsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &cred, &length) != 0)
        return -1;
    return long(cred.uid);
}
} // namespace

bool ReadToEnd(int fd, qint64 limit, QByteArray* bytes, QString* error) {
    bytes->clear();
    char chunk[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n == 0) return true;
        if (n < 0) {
            if (errno == EINTR) continue;
            *error = QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
        if (bytes->size() + n > limit) {
            *error = QStringLiteral("more than %1 bytes; nothing was sent").arg(limit);
            return false;
        }
        bytes->append(chunk, qsizetype(n));
    }
}

TCopyDataServer::TCopyDataServer(THandler handler, QObject* parent)
    : QObject(parent), m_handler(std::move(handler)) {}

TCopyDataServer::~TCopyDataServer() {
    if (m_server) m_server->close(); // removes the socket file
}

QString TCopyDataServer::DefaultPath() {
    const QString configured = qEnvironmentVariable("ORXTERM_COPYDATA");
    if (!configured.isEmpty()) return configured;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return QDir(runtime).filePath(QStringLiteral("orxterm-copydata"));
    return QDir(QDir::tempPath()).filePath(QStringLiteral("orxterm-%1/copydata").arg(getuid()));
}

bool TCopyDataServer::Listen(const QString& path, QString* error) {
    const QFileInfo info(path);
    QDir folder = info.absoluteDir();
    if (!folder.exists()) {
        // A folder of our own: nobody else may even see the socket.
        if (!folder.mkpath(QStringLiteral("."))) {
            if (error) *error = QStringLiteral("Cannot create %1").arg(folder.path());
            return false;
        }
        ::chmod(QFile::encodeName(folder.path()).constData(), S_IRWXU);
    }
    // The folder must be this user's and closed to others, or another user
    // could put a socket of theirs in its place.
    struct stat st {};
    if (::lstat(QFile::encodeName(folder.path()).constData(), &st) != 0 || !S_ISDIR(st.st_mode) ||
        st.st_uid != getuid() || (st.st_mode & (S_IWGRP | S_IWOTH))) {
        if (error)
            *error = QStringLiteral("%1 is not a folder of this user's own").arg(folder.path());
        return false;
    }
    if (QFileInfo::exists(path)) {
        QLocalSocket probe;
        probe.connectToServer(path);
        if (probe.waitForConnected(500)) {
            if (error) *error = QStringLiteral("Another ORXTERM is listening at %1").arg(path);
            return false;
        }
        QLocalServer::removeServer(path); // left behind by an instance that has gone
    }
    auto* server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(path)) {
        if (error) *error = server->errorString();
        delete server;
        return false;
    }
    m_server = server;
    m_path = path;
    connect(m_server, &QLocalServer::newConnection, this, &TCopyDataServer::AcceptPending);
    return true;
}

void TCopyDataServer::AcceptPending() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        if (m_connections.size() >= MaxConnections || PeerUid(socket) != long(getuid())) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        TConnection connection;
        connection.Pacer = new TReadPacer([this, socket] { ReadMessages(socket); }, socket);
        m_connections.insert(socket, connection);
        socket->setReadBufferSize(64 * 1024);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { ReadMessages(socket); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
            auto entry = m_connections.find(socket);
            if (entry == m_connections.end()) return;
            entry->Closed = true;
            ReadMessages(socket);
        });
        if (socket->bytesAvailable() > 0) ReadMessages(socket);
    }
}

void TCopyDataServer::Drop(QLocalSocket* socket) {
    m_connections.remove(socket);
    socket->disconnect(this);
    socket->deleteLater();
}

qint64 TCopyDataServer::BufferedBytes() const {
    qint64 sum = 0;
    for (const TConnection& c : m_connections)
        sum += c.Header.size() + c.Body.size();
    return sum;
}

void TCopyDataServer::ReadMessages(QLocalSocket* socket) {
    for (int handled = 0; handled < MessagesPerStep; ++handled)
        if (!ReadStep(socket)) break;
    auto entry = m_connections.find(socket);
    if (entry == m_connections.end() || entry->Pacer->Pending()) return;
    if (socket->bytesAvailable() > 0) {
        // More is waiting: the next step comes from the event loop.
        entry->Pacer->Schedule(0);
        return;
    }
    if (entry->Closed) Drop(socket);
}

bool TCopyDataServer::ReadStep(QLocalSocket* socket) {
    auto entry = m_connections.find(socket);
    if (entry == m_connections.end()) return false; // dropped
    TConnection& c = *entry;
    if (c.Header.size() < 8) {
        c.Header += socket->read(8 - c.Header.size());
        if (c.Header.size() < 8) return false;
        c.Left = qFromLittleEndian<quint32>(c.Header.constData() + 4);
        if (c.Left > qint64(MaxMessage)) {
            // Not a message this program sends: the connection ends (after
            // this handler, so the socket is not pulled from under Qt).
            m_connections.remove(socket);
            QMetaObject::invokeMethod(socket, &QLocalSocket::abort, Qt::QueuedConnection);
            socket->deleteLater();
            return false;
        }
    }
    const quint32 kind = qFromLittleEndian<quint32>(c.Header.constData());
    const bool panel = IsPanelKind(kind);
    if (!panel && c.Left > 0 && ReadyForData && !ReadyForData()) {
        // The link is behind: read nothing more until it has caught up.
        c.Pacer->Schedule(TReadPacer::RetryMs);
        return false;
    }
    // A panel text is handed on whole, data in pieces.
    const qint64 want = panel ? c.Left : std::min(c.Left, DataPiece);
    if (c.Body.size() < want) c.Body += socket->read(want - c.Body.size());
    if (c.Body.size() < want) return false;
    c.Left -= want;
    if (c.Left == 0) c.Header.clear();
    const QByteArray bytes = std::exchange(c.Body, QByteArray());
    if (m_handler) m_handler(kind, bytes);
    return true;
}

// --- Sending side -----------------------------------------------------------------

bool SendCopyData(const QString& path, quint32 kind, const QByteArray& bytes, QString* error) {
    if (quint64(bytes.size()) > TCopyDataServer::MaxMessage) {
        if (error) *error = QStringLiteral("Message too long (%1 bytes)").arg(bytes.size());
        return false;
    }
    if (!QFileInfo::exists(path)) {
        if (error) *error = QStringLiteral("No ORXTERM is running (no endpoint at %1)").arg(path);
        return false;
    }
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(3000)) {
        if (error)
            *error = QStringLiteral("No ORXTERM answers at %1: %2").arg(path, socket.errorString());
        return false;
    }
    if (PeerUid(&socket) != long(getuid())) {
        if (error) *error = QStringLiteral("%1 belongs to another user").arg(path);
        return false;
    }
    QByteArray message(8, '\0');
    qToLittleEndian<quint32>(kind, message.data());
    qToLittleEndian<quint32>(quint32(bytes.size()), message.data() + 4);
    message += bytes;
    socket.write(message);
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(5000)) {
            if (error) *error = socket.errorString();
            return false;
        }
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(1000);
    return true;
}

QByteArray DecodeCopyDataText(const QString& text) {
    const QByteArray in = text.toUtf8();
    QByteArray out;
    out.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (c != '\\' || i + 1 >= in.size()) {
            out += c;
            continue;
        }
        const char e = in[++i];
        switch (e) {
        case 'r':
            out += '\r';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case '0':
            out += '\0';
            break;
        case '\\':
            out += '\\';
            break;
        case 'x': {
            bool ok = false;
            const int value = in.mid(i + 1, 2).toInt(&ok, 16);
            if (ok && i + 2 < in.size()) {
                out += char(value);
                i += 2;
            } else {
                out += "\\x";
            }
            break;
        }
        default:
            out += '\\';
            out += e;
        }
    }
    return out;
}

int RunCopyDataCommand(int argc, char** argv) {
    // "--copydata KIND TEXT" may follow switches, which it has no use for.
    int at = 1;
    while (at < argc && std::strcmp(argv[at], "--copydata") != 0)
        ++at;
    if (at == argc) return -1;
    if (argc - at != 3) {
        std::fputs("Usage: orxterm --copydata KIND TEXT   (TEXT - reads standard input)\n", stderr);
        return 2;
    }
    bool ok = false;
    const char* const kindText = argv[at + 1];
    const char* const text = argv[at + 2];
    const quint32 kind = QString::fromLocal8Bit(kindText).toUInt(&ok);
    if (!ok) {
        std::fprintf(stderr, "orxterm: KIND must be a number from 0 to 4294967295, not \"%s\"\n",
                     kindText);
        return 2;
    }
    QCoreApplication app(argc, argv);
    QByteArray bytes;
    if (std::strcmp(text, "-") == 0) {
        QString error;
        if (!ReadToEnd(STDIN_FILENO, qint64(TCopyDataServer::MaxMessage), &bytes, &error)) {
            std::fprintf(stderr, "orxterm: standard input: %s\n", error.toLocal8Bit().constData());
            return 1;
        }
    } else {
        bytes = DecodeCopyDataText(QString::fromLocal8Bit(text));
    }
    QString error;
    if (!SendCopyData(TCopyDataServer::DefaultPath(), kind, bytes, &error)) {
        std::fprintf(stderr, "orxterm: %s\n", error.toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
