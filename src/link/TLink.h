// SPDX-License-Identifier: MIT
#pragma once

#include "TComPort.h"
#include "TTcpLink.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <optional>

class QIODevice;
class QSettings;

// The link to the sensor, whichever way it is reached: the serial port, or
// the TCP connection of Telnet and Remote mode, with the relay's clients
// beside the serial port in Local mode. It owns both transports, sends
// what the program says to the sensor the way that is open, and hands
// what the sensor sends, from either, to Received and then to the framers
// attached to the port, so that replies and measurement lines are cut the
// same way on both.
//
// TCP output is collected for a batch delay (the relay's "TCPServerDelay";
// 0 sends at once). While the serial port is open and the relay is on,
// TCP output goes to every client instead of the link socket, and what the
// clients send waits in the port's relay lane; beyond its high mark the
// clients are held back (TCP holds them) and read on once it has drained.
class TLink : public QObject {
    Q_OBJECT
public:
    explicit TLink(QObject* parent = nullptr);
    ~TLink() override;

    TComPort& Port() { return m_port; }
    const TComPort& Port() const { return m_port; }
    TTcpLink& Tcp() { return m_tcp; }
    const TTcpLink& Tcp() const { return m_tcp; }

    // The open transport: the serial port while it is open, else the TCP
    // link socket while connected; null when neither is.
    QIODevice* Device();

    // Loads the port's stored settings (port name and rate) and sets the
    // line as the sensor has it: 8 data bits, 1 stop bit, no parity,
    // XON/XOFF. `port`, when given, names the device instead.
    void LoadPortSettings(QSettings& settings, const std::optional<QString>& port = {});

    bool SerialOpen() const { return m_port.Connected(); }
    bool TcpUp() const { return m_tcp.LinkConnected(); }
    // A link to the sensor stands: the serial port is open or the TCP link up.
    bool Up() const { return SerialOpen() || TcpUp(); }

    // What the program itself says to the sensor (commands, typed keys,
    // transfer lines): to the serial port's own lane while it is open,
    // else over the TCP link socket. False when neither can take it.
    bool Send(const QByteArray& bytes);

    // --- TCP output ----------------------------------------------------------
    // Collected for TcpDelay() ms, or sent at once when it is 0. A running
    // batch is not restarted: its first text waits one period. A batch
    // that grows to MaxTcpPending leaves at once.
    void SendTcp(const QByteArray& text);
    void SetTcpDelay(int ms);
    int TcpDelay() const { return m_tcpDelayMs; }
    // Sends the batch now.
    void FlushTcp();
    const QByteArray& TcpPending() const { return m_tcpPending; }
    const QTimer& TcpBatch() const { return m_tcpBatch; }
    static constexpr int MaxTcpPending = 1 << 20;
    // Closes the relay's clients and the link socket; a batch waiting is
    // dropped with them.
    void CloseSockets();

    // --- Relay ---------------------------------------------------------------
    // While on and the serial port is open, what the sensor sends goes on
    // to the clients byte for byte, and what they send goes to the sensor.
    void SetRelay(bool on) { m_relay = on; }
    bool Relay() const { return m_relay; }
    // False while so much relayed data waits for the serial line that
    // reading more from clients (or other programs) should pause.
    bool ReadyForRelayData() const { return !m_port.Connected() || m_port.RelayReady(); }
    // Data from a client or another program, for the sensor: queued in the
    // port's relay lane while it is open (false when it is closed).
    bool Relayed(const QByteArray& bytes);
    // Data that stands for what the sensor sent (a client link's data, or
    // another program's with the serial port closed): to Received, then
    // to the framers.
    void DeliverReceived(const QByteArray& data);

    // --- A device that goes away and comes back --------------------------------
    // Looks once a second whether the lost serial device is back, and
    // opens it again when it is. Opening greets the sensor, which waits
    // while events run; the device may go away again meanwhile (a flapping
    // adapter). Only a port that is still open with no new loss counts as
    // reopened; otherwise the new loss keeps the watch going.
    void WatchForReturn();
    void CancelReopen();
    bool ReopenPending() const { return m_reopenPending; }
    QTimer& ReopenTimer() { return m_reopenTimer; }
    // The device file of the port ("/dev/" before a system port name).
    QString DevicePath() const;

signals:
    // The lost device is back and its port open again.
    void Reopened();
    // What the sensor sent, over the serial line or over TCP, before the
    // framers see it.
    void Received(const QByteArray& data);

private:
    void SerialReceived(const QByteArray& data);
    void TcpReceived(const QByteArray& data);
    void SendTcpNow(const QByteArray& text);
    void LookForReturn();

    TComPort m_port;
    TTcpLink m_tcp;
    QTimer m_tcpBatch;
    QByteArray m_tcpPending;
    int m_tcpDelayMs = 0;
    bool m_relay = false;
    QTimer m_reopenTimer;
    bool m_reopenPending = false;
    bool m_reopening = false;
    int m_deviceLosses = 0; // counts losses, so a reopen notices one during its own greeting
};
