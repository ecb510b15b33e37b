// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QObject>
#include <QString>

#include <functional>

class TComDataPacket;
class TComPort;

// Fixed command texts of the sensor protocol, declared once.
namespace SensorCommand {
// Sent before a block of commands: CR, DC1 (XON) and ESC end whatever the
// sensor was doing and let it listen.
inline const QByteArray Attention = QByteArrayLiteral("\r\021\033");
// Entering system mode takes the command and its password, in this order.
inline const QByteArrayList SystemModeEntry = {QByteArrayLiteral("*SYSTEM\r\n"),
                                               QByteArrayLiteral("TARVEK\r\n")};
inline const QByteArray SystemModeExit = QByteArrayLiteral("*EXIT\r\n");
} // namespace SensorCommand

// The command engine: every exchange with the sensor passes through here.
// SetCmd sends a command and does not wait; GetCmd sends one and waits,
// up to a time-out, for the part of the answer between a start and a stop
// string. Both use the serial port when it is open and the TCP link
// otherwise. Waiting always goes through Delay, which keeps the window
// alive (received data, timers, sockets and user input are handled) and
// does not spin the processor.
//
// Serial path: the command framer is attached for the duration of a
// GetCmd; its first packet lands in ReplyText and detaches it again. On a
// time-out the framer stays attached until the next SetCmd or packet.
// TCP path: the caller's SendTcp hook sends; replies are searched in
// TcpReceiveText, which the owner fills with what arrives over TCP.
class TCommandEngine : public QObject {
    Q_OBJECT
public:
    TCommandEngine(TComPort& port, TComDataPacket& framer, QObject* parent = nullptr);

    // Sends `cmd` (first byte, 100 ms pause, the rest on the serial link).
    bool SetCmd(const QByteArray& cmd);
    bool SetCmd(const QString& cmd) { return SetCmd(cmd.toLatin1()); }

    // Sends `cmd` and returns the first reply between `start` and `stop`
    // (both removed), or empty after `timeoutMs`. `size` is a fixed packet
    // length (0 = none).
    QByteArray GetCmd(const QByteArray& cmd, const QByteArray& start, const QByteArray& stop,
                      int size, int timeoutMs);
    QString GetCmd(const QString& cmd, const QString& start, const QString& stop, int size,
                   int timeoutMs) {
        return QString::fromLatin1(
            GetCmd(cmd.toLatin1(), start.toLatin1(), stop.toLatin1(), size, timeoutMs));
    }

    // Waits `ms` milliseconds while the event loop runs.
    static void Delay(int ms);

    // Asks a running flow to end early: a long send stops before its next
    // line and then takes the sensor out of system mode as always.
    void RequestCancel() { m_cancelRequested = true; }
    bool CancelRequested() const { return m_cancelRequested; }

    // Writes to the serial port if it is open, else does nothing.
    void WritePort(const QByteArray& text);

    // One line of a file transfer, written to the serial port in one
    // piece; false when the port is closed (nothing is sent then).
    bool SetUpdate(const QByteArray& text);
    // The first line of a transfer: its first character, 100 ms, the
    // rest. With the port closed the whole text goes over TCP and the
    // result is false; a text shorter than two characters is not sent.
    bool SetUpdate2(const QByteArray& text);

    // The command framer's packet handler.
    void ComDataPacketPacket(const QByteArray& packet);

    // Text received over TCP while the serial port is closed; bounded:
    // beyond 2000 characters its first 500 are dropped (once per append).
    void AppendTcpReceived(const QByteArray& text);
    QByteArray TcpReceiveText;

    QByteArray ReplyText; // the last packet of the command framer

    // Sends text over the TCP link (set by the owner).
    std::function<void(const QByteArray&)> SendTcp;
    // Writes one debug line (set by the owner; called only in debug mode).
    std::function<void(const QString&)> Log;
    bool DebugMode = false;

    TComPort& Port() { return m_port; }
    TComDataPacket& Framer() { return m_framer; }

    // Writes `line` through Log in debug mode.
    void DebugLine(const QString& line) const;

private:
    TComPort& m_port;
    TComDataPacket& m_framer;
    bool m_cancelRequested = false;
};
