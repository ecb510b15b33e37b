// SPDX-License-Identifier: MIT
#include "LineTransfer.h"

#include "FileKind.h"
#include "Labels.h"
#include "TComDataPacket.h"
#include "TComPort.h"
#include "TCommandEngine.h"
#include "TLink.h"
#include "TextUtil.h"

#include <QEventLoop>
#include <QFile>

#include <algorithm>

namespace {
constexpr qint64 LineIntervalNs = 1'000'000; // one line a millisecond at the most
constexpr int WaitTickMs = 100;
const QByteArray CompletionStop = QByteArrayLiteral("update successful");
} // namespace

TLineTransfer::TLineTransfer(TFlowHost& host, QObject* parent) : QObject(parent), m_host(host) {
    m_timer.setObjectName(QStringLiteral("Timer1"));
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &TLineTransfer::Tick);
}

void TLineTransfer::StartSend(const QList<QByteArray>& lines) {
    m_mode = SendMode;
    m_finished = false;
    m_stop = TTransferStop::Done;
    m_lines = lines;
    m_total = int(lines.size());
    m_sent = 0;
    m_lineOnWire = 0;
    m_serialLink = m_host.Engine().Port().Connected();
    m_host.ClearBellReceived();
    m_clock.start();
    m_nextDueNs = 0;
    m_timer.start(1);
}

void TLineTransfer::StartWait(int limitMs) {
    m_mode = WaitMode;
    m_finished = false;
    m_stop = TTransferStop::Done;
    m_limitMs = limitMs;
    m_position = 0;
    m_serialLink = m_host.Engine().Port().Connected();
    // The sensor's completion message is cut by the command framer, from
    // the serial line or TCP alike.
    TCommandEngine& engine = m_host.Engine();
    engine.ClearReply();
    TComDataPacket& framer = engine.Framer();
    framer.SetSize(0);
    framer.SetStartString(QByteArray());
    framer.SetStopString(CompletionStop);
    framer.SetComPort(&engine.Port());
    m_timer.start(WaitTickMs);
}

void TLineTransfer::Abort() {
    if (m_finished || m_mode != SendMode) return;
    Finish(TTransferStop::Aborted);
}

TTransferStop TLineTransfer::RunToEnd() {
    QEventLoop loop;
    connect(this, &TLineTransfer::Ended, &loop, &QEventLoop::quit);
    if (!m_finished) loop.exec();
    return m_stop;
}

TTransferStop TLineTransfer::RunSend(const QList<QByteArray>& lines) {
    StartSend(lines);
    return RunToEnd();
}

TTransferStop TLineTransfer::RunWait(int limitMs) {
    StartWait(limitMs);
    return RunToEnd();
}

void TLineTransfer::Finish(TTransferStop stop) {
    m_timer.stop();
    m_finished = true;
    m_stop = stop;
    if (m_mode == SendMode) m_lines.clear();
    emit Ended();
}

void TLineTransfer::Tick() {
    m_timer.stop();
    if (m_finished) return;
    if (m_mode == SendMode)
        SendTick();
    else
        WaitTick();
}

// True when the next line must wait. It goes to the driver as soon as the
// line before is all the line still has to carry, so the line never idles
// between two lines and at most one line waits behind the one on the wire.
// What is on the wire is the larger of what the driver reports and what
// the line's rate cannot have carried yet (a pseudo-terminal or a USB
// adapter may report nothing). While the port's own queue holds bytes (the
// sensor holds the line with XOFF, the driver is full) nothing more goes.
bool TLineTransfer::WaitForLine() {
    TComPort& port = m_host.Engine().Port();
    if (!port.Connected()) return false;
    const qint64 queued = port.PendingOutput();
    const qint64 onWire = std::max(port.OutputBacklog(), port.WireBacklog());
    const qint64 ahead = queued > 0 ? onWire : onWire - m_lineOnWire;
    if (ahead <= 0) return false;
    // The next tick comes when the excess should have gone at the port's rate.
    const qint64 bitsPerSecond = std::max(1, m_host.BaudRate());
    m_timer.start(
        int(std::clamp<qint64>((ahead * 10 * 1000 + bitsPerSecond - 1) / bitsPerSecond, 1, 20)));
    return true;
}

void TLineTransfer::SendTick() {
    if (!m_lines.isEmpty()) {
        TCommandEngine& engine = m_host.Engine();
        // A BEL means the sensor refused a line; a serial link that went
        // away takes nothing more. Either way nothing else is sent. An
        // interrupted flow stops it like the operator's stop.
        if (const std::optional<TTransferStop> stop = Interruption()) return Finish(*stop);
        if (WaitForLine()) return;
        const QByteArray line = m_lines.first() + "\r\n";
        m_lineOnWire = line.size();
        if (m_lines.size() == m_total)
            engine.SetUpdate2(line);
        else if (m_serialLink)
            engine.SetUpdate(line);
        else
            engine.Link().Send(line); // over TCP every line takes the link's way
        // The line is out: it counts even when the operator stopped the
        // transfer while it was being sent (the transfer has then ended and
        // let go of the lines).
        ++m_sent;
        emit Progressed();
        if (m_finished) return;
        m_lines.removeFirst();
    }
    if (!m_lines.isEmpty())
        ScheduleNextLine();
    else
        Finish(TTransferStop::Done);
}

// One line a tick, a millisecond apart on average; after a longer pause
// (the first line's 100 ms, a held line) the pace starts afresh instead
// of making up for it in a burst.
void TLineTransfer::ScheduleNextLine() {
    const qint64 now = m_clock.nsecsElapsed();
    m_nextDueNs = std::max(m_nextDueNs + LineIntervalNs, now - LineIntervalNs);
    m_timer.start(int(std::max<qint64>(0, (m_nextDueNs - now) / 1'000'000)));
}

void TLineTransfer::WaitTick() {
    m_position += WaitTickMs;
    emit Progressed();
    TCommandEngine& engine = m_host.Engine();
    const QByteArray packet = engine.TakeReply();
    engine.DebugLine(
        QStringLiteral("Timer[%1] Packet=>%2<").arg(m_position).arg(DebugText(packet)));
    if (packet.contains("Flash")) {
        Finish(TTransferStop::Done);
    } else if (const std::optional<TTransferStop> stop = Interruption();
               stop && *stop != TTransferStop::Cancelled) {
        // A BEL after the last line (the sensor refused the file's end) or
        // a port gone. A flow asked to end still waits for the flashing,
        // which must not be cut short.
        Finish(*stop);
    } else if (m_position >= m_limitMs) {
        Finish(TTransferStop::TimedOut);
    } else {
        m_timer.start(WaitTickMs);
    }
}

// What ends a transfer before its end: a BEL (the sensor refuses a line),
// a serial link that went away, or a flow asked to end.
std::optional<TTransferStop> TLineTransfer::Interruption() const {
    TCommandEngine& engine = m_host.Engine();
    if (m_host.BellReceived()) return TTransferStop::Refused;
    if (m_serialLink && !engine.Port().Connected()) return TTransferStop::LinkLost;
    if (engine.CancelRequested()) return TTransferStop::Cancelled;
    return std::nullopt;
}

bool TLineTransfer::ReadLines(const QString& file, QList<QByteArray>* lines, QString* error) {
    auto fail = [&](const QString& reason) {
        if (error) *error = QStringLiteral("%1: %2").arg(file, reason);
        return false;
    };
    // A pipe or a device would block the window or never end.
    QFile f;
    if (!OpenRegularFile(f, file, error)) return false;
    const QString tooLarge =
        LabelTextOr(266, QStringLiteral("is too large (over %1 MB)")).arg(MaxFileSize >> 20);
    if (f.size() > MaxFileSize) return fail(tooLarge);
    const QByteArray text = f.read(MaxFileSize + 1);
    if (f.error() != QFileDevice::NoError) return fail(f.errorString());
    if (text.size() > MaxFileSize) return fail(tooLarge);
    lines->clear();
    qsizetype from = 0;
    while (from < text.size()) {
        qsizetype end = from;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        lines->append(text.mid(from, end - from));
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() &&
            text[end + 1] == '\n')
            ++end;
        from = end + 1;
    }
    return true;
}

// Its meta-object code in this object file, so that a program using
// this class alone does not pull the library's windows with it.
#include "moc_LineTransfer.cpp"
