// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;
class TReadPacer;
class QLocalSocket;

// The copy-data endpoint: other programs of the same user set a status
// panel of the running ORXTERM or pass data to its link through a local
// socket. A message is a little-endian uint32 kind, a little-endian uint32
// length and that many bytes; a connection may carry several messages.
// Kinds 0-4 set status panels 0-4; any other kind is data, handled as if
// received over TCP. Connections from another user are refused, messages
// over MaxMessage bytes end their connection, and at most MaxConnections
// are served at once.
//
// Reading is paced: the body of a data message is read only while
// ReadyForData says the link can take it, and handed on in pieces of at
// most DataPiece bytes, so a large message never lands on the link at
// once. Meanwhile the socket's read buffer fills and the sender is held
// back.
class TCopyDataServer : public QObject {
    Q_OBJECT
public:
    using THandler = std::function<void(quint32 kind, const QByteArray& bytes)>;
    static constexpr quint32 MaxMessage = 16u << 20;
    static constexpr int MaxConnections = 32;

    explicit TCopyDataServer(THandler handler, QObject* parent = nullptr);
    ~TCopyDataServer() override;

    // Listens at `path`. A socket file left by an instance that has gone is
    // replaced; one that a running instance answers on is not.
    bool Listen(const QString& path, QString* error = nullptr);
    QString Path() const { return m_path; }
    int ConnectionCount() const { return int(m_connections.size()); }
    // Bytes read from the connections that are not handled yet (per
    // connection a header and at most a panel message or a piece of data).
    qint64 BufferedBytes() const;

    // Asked before data messages (kinds above 4) are handled; while it says
    // no, reading pauses, so the link's queue does not grow without end.
    std::function<bool()> ReadyForData;

    // $ORXTERM_COPYDATA, else orxterm-copydata in $XDG_RUNTIME_DIR, else
    // in a folder of this user's own under the temporary folder.
    static QString DefaultPath();

    // Messages (or pieces) handled in one go before other work gets its turn.
    static constexpr int MessagesPerStep = 64;
    // A data message is handed on in pieces of at most this many bytes.
    static constexpr qint64 DataPiece = 64 * 1024;

private:
    struct TConnection {
        QByteArray Header; // the header of the message being read
        QByteArray Body;   // a panel message's body, or the piece of data being read
        qint64 Left = 0;   // body bytes of the message not handed on yet
        TReadPacer* Pacer = nullptr;
        bool Closed = false; // the sender has gone; what it left is still handled
    };
    void AcceptPending();
    void ReadMessages(QLocalSocket* socket);
    // One step: false when the connection must wait (for more bytes or
    // for the link) or is gone.
    bool ReadStep(QLocalSocket* socket);
    void Drop(QLocalSocket* socket);

    THandler m_handler;
    QLocalServer* m_server = nullptr;
    QString m_path;
    QHash<QLocalSocket*, TConnection> m_connections;
};

// Sends one message to the endpoint at `path` and waits until it is
// written (at most a few seconds); only to an endpoint of this user. False
// with a reason in `error`.
bool SendCopyData(const QString& path, quint32 kind, const QByteArray& bytes,
                  QString* error = nullptr);

// Decodes the TEXT of "--copydata KIND TEXT": \r \n \t \0 \\ and \xHH
// stand for those bytes; any other character is taken as it is (UTF-8).
QByteArray DecodeCopyDataText(const QString& text);

// Reads `fd` to its end (a pipe: until the writer closes it). False with
// a reason in `error` when reading fails or more than `limit` bytes come.
bool ReadToEnd(int fd, qint64 limit, QByteArray* bytes, QString* error);

// Runs "orxterm --copydata KIND TEXT" (TEXT "-" reads standard input) when
// argv asks for it; returns the exit code, or -1 when argv does not ask.
int RunCopyDataCommand(int argc, char** argv);
