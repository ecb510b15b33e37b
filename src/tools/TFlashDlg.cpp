// SPDX-License-Identifier: MIT
#include "TFlashDlg.h"

#include "FileKind.h"
#include "Labels.h"
#include "MsgBox.h"
#include "TComDataPacket.h"
#include "TComPort.h"
#include "TCommandEngine.h"
#include "Tag.h"
#include "TextUtil.h"

#include <QCloseEvent>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

namespace {
constexpr qint64 LineIntervalNs = 1'000'000; // one line a millisecond at the most
constexpr int WaitTickMs = 100;
const QByteArray CompletionStop = QByteArrayLiteral("update successful");
} // namespace

TFlashDlg::TFlashDlg(THost& host, QWidget* parent) : QDialog(parent), m_host(host) {
    setObjectName(QStringLiteral("FlashDlg"));
    SetTag(this, 0); // the caller sets the caption
    setModal(true);
    // No close box: the transfer ends by itself, or by the Abort button.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    lb_msg = new QLabel(this);
    lb_msg->setObjectName(QStringLiteral("lb_msg"));
    lb_msg->setAlignment(Qt::AlignCenter);
    lb_msg->setWordWrap(true);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    AbortBtn = new QPushButton(QStringLiteral("Abbruch"), this);
    AbortBtn->setObjectName(QStringLiteral("AbortBtn"));
    SetTag(AbortBtn, 2);
    AbortBtn->setAutoDefault(false);
    connect(AbortBtn, &QPushButton::clicked, this, [this] {
        m_stop = TStop::Aborted;
        done(ResultAbort);
    });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(AbortBtn);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lb_msg, 1);
    layout->addWidget(ProgressBar1);
    layout->addLayout(buttons);
    resize(440, 160);

    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setSingleShot(true);
    Timer1.setTimerType(Qt::PreciseTimer);
    connect(&Timer1, &QTimer::timeout, this, &TFlashDlg::Timer1Timer);
}

bool TFlashDlg::ReadLines(const QString& file, QList<QByteArray>* lines, QString* error) {
    auto fail = [&](const QString& reason) {
        if (error) *error = QStringLiteral("%1: %2").arg(file, reason);
        return false;
    };
    // A pipe or a device would block the window or never end.
    QFile f;
    if (!OpenRegularFile(f, file, error)) return false;
    if (f.size() > MaxFileSize) return fail(QStringLiteral("File too large"));
    const QByteArray text = f.read(MaxFileSize + 1);
    if (f.error() != QFileDevice::NoError) return fail(f.errorString());
    if (text.size() > MaxFileSize) return fail(QStringLiteral("File too large"));
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

void TFlashDlg::Prepare(const QString& caption, const QString& message) {
    setWindowTitle(caption);
    lb_msg->setText(message);
    AbortBtn->setVisible(m_mode == SendMode);
    m_finished = false;
    m_stop = TStop::Done;
}

int TFlashDlg::Send(const QString& caption, const QString& message, const QString& file) {
    QList<QByteArray> lines;
    QString error;
    if (!ReadLines(file, &lines, &error)) {
        m_stop = TStop::FileError;
        m_host.ShowMsgBox(LabelText(515) + u'\r' + error, mtError, mbOK);
        return ResultAbort;
    }
    return SendLines(caption, message, lines);
}

int TFlashDlg::SendLines(const QString& caption, const QString& message,
                         const QList<QByteArray>& lines) {
    m_mode = SendMode;
    Prepare(caption, message);
    m_lines = lines;
    m_total = int(lines.size());
    m_sent = 0;
    m_lineOnWire = 0;
    m_serialLink = m_host.Engine().Port().Connected();
    ProgressBar1->setRange(0, std::max(m_total, 1));
    ProgressBar1->setValue(0);
    m_host.ClearBellReceived();
    m_clock.start();
    m_nextDueNs = 0;
    Timer1.start(1);
    return exec();
}

int TFlashDlg::Wait(const QString& caption, const QString& message, int limitMs) {
    m_mode = WaitMode;
    Prepare(caption, message);
    m_limitMs = limitMs;
    m_position = 0;
    m_serialLink = m_host.Engine().Port().Connected();
    ProgressBar1->setRange(0, std::max(limitMs, 1));
    ProgressBar1->setValue(0);
    // The sensor's completion message is cut by the command framer, from
    // the serial line or TCP alike.
    TCommandEngine& engine = m_host.Engine();
    engine.ClearReply();
    TComDataPacket& framer = engine.Framer();
    framer.SetSize(0);
    framer.SetStartString(QByteArray());
    framer.SetStopString(CompletionStop);
    framer.SetComPort(&engine.Port());
    Timer1.start(WaitTickMs);
    return exec();
}

void TFlashDlg::Timer1Timer() {
    Timer1.stop();
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
bool TFlashDlg::WaitForLine() {
    TComPort& port = m_host.Engine().Port();
    if (!port.Connected()) return false;
    const qint64 queued = port.PendingOutput();
    const qint64 onWire = std::max(port.OutputBacklog(), port.WireBacklog());
    const qint64 ahead = queued > 0 ? onWire : onWire - m_lineOnWire;
    if (ahead <= 0) return false;
    // The next tick comes when the excess should have gone at the port's rate.
    const qint64 bitsPerSecond = std::max(1, m_host.BaudRate());
    Timer1.start(
        int(std::clamp<qint64>((ahead * 10 * 1000 + bitsPerSecond - 1) / bitsPerSecond, 1, 20)));
    return true;
}

void TFlashDlg::SendTick() {
    qsizetype n = m_lines.size();
    if (n > 0) {
        TCommandEngine& engine = m_host.Engine();
        // A BEL means the sensor refused a line; a serial link that went
        // away takes nothing more. Either way nothing else is sent.
        // An interrupted service command stops it like the Abort button.
        if (const std::optional<TStop> stop = Interruption()) {
            m_stop = *stop;
            n = -1;
        } else {
            if (WaitForLine()) return;
            const QByteArray line = m_lines.first() + "\r\n";
            m_lineOnWire = line.size();
            if (m_lines.size() == m_total)
                engine.SetUpdate2(line);
            else if (m_serialLink)
                engine.SetUpdate(line);
            else if (engine.SendTcp)
                engine.SendTcp(line); // over TCP every line takes the link's way
            // The line is out: the progress counts it even when the
            // operator stopped the transfer while it was being sent (the
            // dialog has then ended and let go of the lines).
            ProgressBar1->setValue(++m_sent);
            if (m_finished) return;
            m_lines.removeFirst();
            n = m_lines.size();
        }
    }
    if (n > 0)
        ScheduleNextLine();
    else
        done(n == 0 ? ResultOk : ResultAbort);
}

// One line a tick, a millisecond apart on average; after a longer pause
// (the first line's 100 ms, a held line) the pace starts afresh instead
// of making up for it in a burst.
void TFlashDlg::ScheduleNextLine() {
    const qint64 now = m_clock.nsecsElapsed();
    m_nextDueNs = std::max(m_nextDueNs + LineIntervalNs, now - LineIntervalNs);
    Timer1.start(int(std::max<qint64>(0, (m_nextDueNs - now) / 1'000'000)));
}

void TFlashDlg::WaitTick() {
    m_position += WaitTickMs;
    ProgressBar1->setValue(std::min(m_position, m_limitMs));
    TCommandEngine& engine = m_host.Engine();
    const QByteArray packet = engine.TakeReply();
    engine.DebugLine(
        QStringLiteral("Timer[%1] Packet=>%2<").arg(m_position).arg(DebugText(packet)));
    if (packet.contains("Flash")) {
        done(ResultOk);
    } else if (const std::optional<TStop> stop = Interruption();
               stop && *stop != TStop::Cancelled) {
        // A BEL after the last line (the sensor refused the file's end) or
        // a port gone. A flow asked to end still waits for the flashing,
        // which must not be cut short.
        m_stop = *stop;
        done(ResultAbort);
    } else if (m_position >= m_limitMs) {
        m_stop = TStop::TimedOut;
        done(ResultAbort);
    } else {
        Timer1.start(WaitTickMs);
    }
}

// What ends a transfer before its end: a BEL (the sensor refuses a line),
// a serial link that went away, or a flow asked to end.
std::optional<TFlashDlg::TStop> TFlashDlg::Interruption() const {
    TCommandEngine& engine = m_host.Engine();
    if (m_host.BellReceived()) return TStop::Refused;
    if (m_serialLink && !engine.Port().Connected()) return TStop::LinkLost;
    if (engine.CancelRequested()) return TStop::Cancelled;
    return std::nullopt;
}

void TFlashDlg::reject() {
    // Esc answers the Abort button, which only the send mode has.
    if (m_mode == SendMode) {
        m_stop = TStop::Aborted;
        done(ResultAbort);
    }
}

void TFlashDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
}

void TFlashDlg::done(int result) {
    Timer1.stop();
    m_finished = true;
    if (m_mode == SendMode) m_lines.clear();
    QDialog::done(result);
}
