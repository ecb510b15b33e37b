// SPDX-License-Identifier: MIT
#include "TCommandEngine.h"

#include "TComDataPacket.h"
#include "TComPort.h"
#include "TLink.h"
#include "TextUtil.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <utility>

TCommandEngine::TCommandEngine(TLink& link, TComDataPacket& framer, QObject* parent)
    : QObject(parent), m_link(link), m_framer(framer) {
    m_framer.SetMaxBufferSize(4096);
    connect(&m_link, &TLink::Received, this, &TCommandEngine::Received);
    connect(&m_framer, &TComDataPacket::Packet, this, &TCommandEngine::ComDataPacketPacket);
}

void TCommandEngine::DebugLine(const QString& line) const {
    if (DebugMode && Log) Log(line);
}

void TCommandEngine::Delay(int ms) {
    if (ms <= 0) return;
    QEventLoop loop;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(ms);
    loop.exec();
}

bool TCommandEngine::WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    QDeadlineTimer deadline(std::max(0, timeoutMs), Qt::PreciseTimer);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        Delay(int(std::min<qint64>(10, std::max<qint64>(1, deadline.remainingTime()))));
    }
    return true;
}

TComPort& TCommandEngine::Port() {
    return m_link.Port();
}

bool TCommandEngine::LinkUp() const {
    return m_link.Up();
}

bool TCommandEngine::SetCmd(const QByteArray& cmd) {
    if (cmd.isEmpty()) return true;
    if (m_link.SerialOpen()) {
        m_framer.SetComPort(nullptr);
        DebugLine(QStringLiteral("SetCmd(%1=%2)").arg(cmd.size()).arg(DebugText(cmd)));
        if (!m_link.Send(cmd.left(1))) return false;
        Delay(100);
        // The port may have gone away during the pause.
        return cmd.size() == 1 || m_link.Send(cmd.mid(1));
    }
    // Over TCP the command goes whole: the network carries no pause.
    return m_link.Send(cmd);
}

QByteArray TCommandEngine::GetCmd(const QByteArray& cmd, const QByteArray& start,
                                  const QByteArray& stop, int size, int timeoutMs) {
    const bool serial = m_link.SerialOpen();
    if (serial) {
        if (!cmd.isEmpty()) m_link.Send(QByteArray(" "));
        Delay(100);
    }
    m_reply.clear();
    m_framer.SetSize(size);
    m_framer.SetStartString(start);
    m_framer.SetStopString(stop);
    // What an earlier, timed-out exchange left in the framer is no part of
    // this answer.
    m_framer.Clear();
    m_framer.SetComPort(&m_link.Port());
    DebugLine(QStringLiteral("GetCmd[%1,%2,%3,%4](%5=%6)")
                  .arg(DebugText(start), DebugText(stop))
                  .arg(size)
                  .arg(timeoutMs)
                  .arg(cmd.size())
                  .arg(DebugText(cmd)));
    QElapsedTimer waited;
    waited.start();
    m_link.Send(cmd);
    if (WaitForReply(timeoutMs))
        DebugLine(QStringLiteral("Receive after %1 ms").arg(waited.elapsed()));
    else
        DebugLine(QStringLiteral("No reply within %1 ms").arg(timeoutMs));
    return std::exchange(m_reply, QByteArray());
}

// Waits while the event loop runs until the framer delivers or `timeoutMs`
// have passed; whether a reply came.
bool TCommandEngine::WaitForReply(int timeoutMs) {
    if (!m_reply.isEmpty()) return true;
    QEventLoop loop;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    // An empty packet is no answer: the wait goes on, as for none at all.
    connect(this, &TCommandEngine::ReplyArrived, &loop, [this, &loop] {
        if (!m_reply.isEmpty()) loop.quit();
    });
    timer.start(std::max(0, timeoutMs));
    loop.exec();
    return !m_reply.isEmpty();
}

void TCommandEngine::WritePort(const QByteArray& text) {
    if (m_link.SerialOpen()) m_link.Send(text);
}

bool TCommandEngine::SetUpdate(const QByteArray& text) {
    if (!m_link.SerialOpen()) return false;
    DebugLine(QStringLiteral("SetUpdate(%1=%2)").arg(text.size()).arg(DebugText(text)));
    const bool written = m_link.Send(text);
    QCoreApplication::processEvents();
    return written;
}

bool TCommandEngine::SetUpdate2(const QByteArray& text) {
    if (text.size() < 2) return false;
    if (!m_link.SerialOpen()) {
        m_link.Send(text);
        return false;
    }
    DebugLine(QStringLiteral("SetUpdate2(%1=%2)").arg(text.size()).arg(DebugText(text)));
    const bool written = m_link.Send(text.left(1));
    Delay(100);
    m_link.Send(text.mid(1));
    QCoreApplication::processEvents();
    return written;
}

void TCommandEngine::ComDataPacketPacket(const QByteArray& packet) {
    m_framer.SetComPort(nullptr);
    m_reply = packet;
    DebugLine(QStringLiteral("Data Packet(%1=%2)").arg(packet.size()).arg(DebugText(packet)));
    emit ReplyArrived();
}

void TCommandEngine::Received(const QByteArray& data) {
    if (!m_recording || data.isEmpty()) return;
    const qsizetype room = MaxRecording - m_recorded.size();
    if (data.size() > room) m_recordingOverflow = true;
    if (room > 0) m_recorded.append(data.constData(), std::min(room, data.size()));
}

void TCommandEngine::StartRecording() {
    m_recorded.clear();
    m_recordingOverflow = false;
    m_recording = true;
}

QByteArray TCommandEngine::StopRecording() {
    m_recording = false;
    return std::exchange(m_recorded, QByteArray());
}

// Its meta-object code in this object file, so that a program using
// this class alone does not pull the library's windows with it.
#include "moc_TCommandEngine.cpp"
