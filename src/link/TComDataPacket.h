// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QObject>

class TComPort;

// Packet framer: collects the chunks that the serial port delivers while
// the framer is attached to it and cuts out packets between a start and a
// stop string, or of a fixed size, handing each complete packet to the
// Packet signal (start and stop strings removed). Every complete packet in
// the buffer is delivered, in order, before Receive returns, even when a
// handler detaches the framer meanwhile. Data before the start string is
// dropped; a buffer that reaches the limit without completing a packet is
// dropped as a whole, so a peer that never sends the stop string cannot
// grow it.
class TComDataPacket : public QObject {
    Q_OBJECT
public:
    explicit TComDataPacket(QObject* parent = nullptr);
    ~TComDataPacket() override;

    // Each setter empties the buffer only when the value really changes.
    void SetStartString(const QByteArray& value);
    void SetStopString(const QByteArray& value);
    void SetSize(int value);
    void SetCaseInsensitive(bool value);
    void SetIncludeStrings(bool value) { m_includeStrings = value; }
    void SetMaxBufferSize(int value) { m_maxBufferSize = value; }

    QByteArray StartString() const { return m_start; }
    QByteArray StopString() const { return m_stop; }
    int Size() const { return m_size; }
    bool CaseInsensitive() const { return m_caseInsensitive; }
    int MaxBufferSize() const { return m_maxBufferSize; }
    QByteArray Buffer() const { return m_buffer; }
    bool InPacket() const { return m_inPacket; }

    // Empties the buffer: a packet begun so far is dropped.
    void Clear() { Discard(); }

    // Attaches to `port` (nullptr detaches); the buffer is kept.
    void SetComPort(TComPort* port);
    TComPort* ComPort() const { return m_port; }
    bool Attached() const { return m_port != nullptr; }

    // Called by the port with every received chunk while attached.
    void Receive(const QByteArray& chunk);

signals:
    void Packet(const QByteArray& packet);

private:
    void Discard();
    qsizetype Find(const QByteArray& what, qsizetype from) const;
    QByteArray StripStrings(QByteArray packet) const;

    TComPort* m_port = nullptr;
    QByteArray m_start;
    QByteArray m_stop;
    int m_size = 0;
    bool m_caseInsensitive = false;
    bool m_includeStrings = false;
    int m_maxBufferSize = 1024;
    QByteArray m_buffer;
    bool m_inPacket = false;
};
