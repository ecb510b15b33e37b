// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QObject>
#include <QString>

#include <functional>
#include <utility>

class TComDataPacket;
class TComPort;
class TLink;

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
// string. Both send through the link: the serial port when it is open and
// the TCP link otherwise. Waiting always goes through Delay, which keeps the window
// alive (received data, timers, sockets and user input are handled) and
// does not spin the processor.
//
// The command framer is attached to the port for the duration of a
// GetCmd, whichever way the sensor is reached: the link hands the port's
// framers what the serial line delivers and what arrives over TCP alike.
// The engine records what the link receives while a flow watches the
// answers (StartRecording). The framer's first
// packet ends the wait and detaches it again. On a time-out the framer
// stays attached until the next SetCmd or packet.
class TCommandEngine : public QObject {
    Q_OBJECT
public:
    TCommandEngine(TLink& link, TComDataPacket& framer, QObject* parent = nullptr);

    // Sends `cmd` (first byte, 100 ms pause, the rest on the serial link).
    // False when the link could not take it: no port open and no TCP
    // link up, or the port went away before the whole command was handed
    // to it. An empty command sends nothing and counts as sent.
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
    // Waits while the event loop runs until `done` holds (looked at every
    // 10 ms and after each event) or `timeoutMs` have passed; whether it held.
    static bool WaitUntil(const std::function<bool()>& done, int timeoutMs);

    // Asks a running flow to end early: a long send stops before its next
    // line and then takes the sensor out of system mode as always.
    void RequestCancel() { m_cancelRequested = true; }
    bool CancelRequested() const { return m_cancelRequested; }

    // Writes to the serial port if it is open, else does nothing.
    void WritePort(const QByteArray& text);

    // One line of a file transfer, written to the serial port in one
    // piece; false when the port is closed (nothing is sent then).
    // Over TCP a transfer's lines take the link's own way (TLink::Send).
    bool SetUpdate(const QByteArray& text);
    // The first line of a transfer: its first character, 100 ms, the
    // rest. With the port closed the whole text goes over TCP and the
    // result is false; a text shorter than two characters is not sent.
    bool SetUpdate2(const QByteArray& text);

    // The command framer's packet handler.
    void ComDataPacketPacket(const QByteArray& packet);

    // The last packet of the command framer, taken (emptied) or dropped
    // by a flow that waits for the sensor's own message.
    QByteArray TakeReply() { return std::exchange(m_reply, QByteArray()); }
    void ClearReply() { m_reply.clear(); }

    // A link to the sensor stands: the serial port is open or the TCP link up.
    bool LinkUp() const;

    // What the sensor sends, recorded while a flow watches the answers to
    // the lines it sends (a parameter set: each line is echoed and answered,
    // ending in the prompt). Every chunk the link receives comes to
    // Received, from the serial port and from TCP alike. The record is
    // bounded; beyond MaxRecording its newest bytes are dropped and
    // RecordingOverflow says so.
    void Received(const QByteArray& data);
    void StartRecording();
    QByteArray StopRecording();
    const QByteArray& Recorded() const { return m_recorded; }
    bool Recording() const { return m_recording; }
    bool RecordingOverflow() const { return m_recordingOverflow; }
    static constexpr qsizetype MaxRecording = 1 << 20;
    // Writes one debug line (set by the owner; called only in debug mode).
    std::function<void(const QString&)> Log;
    bool DebugMode = false;

    TLink& Link() { return m_link; }
    TComPort& Port();
    TComDataPacket& Framer() { return m_framer; }

    // Writes `line` through Log in debug mode.
    void DebugLine(const QString& line) const;

signals:
    // The command framer delivered a packet (now in the reply).
    void ReplyArrived();

private:
    bool WaitForReply(int timeoutMs);

    TLink& m_link;
    TComDataPacket& m_framer;
    QByteArray m_reply;
    bool m_cancelRequested = false;
    bool m_recording = false;
    bool m_recordingOverflow = false;
    QByteArray m_recorded;
};
