// SPDX-License-Identifier: MIT
// Line discipline, output queue, measurement output and trace of the
// simulated sensor. The command table is in TSimCommands.cpp.
#include "TSimSensor.h"

#include "TSimFormat.h"

#include <algorithm>
#include <utility>

namespace {

constexpr char kBackspace = '\x08';
constexpr char kLf = '\n';
constexpr char kCr = '\r';
constexpr char kXon = '\x11';
constexpr char kXoff = '\x13';
constexpr char kEsc = '\x1b';
constexpr char kDel = '\x7f';
constexpr qint64 kMs = 1000000;
constexpr qsizetype kMaxQueueBytes = 1024 * 1024;
constexpr qsizetype kMaxRecord = 600; // longest HEX record is 521 characters
constexpr qint64 kTypingHoldNs = 1000 * kMs;
constexpr qint64 kMaxLateNs = 250 * kMs;
constexpr int kVideoPeriodMs = 100;

bool IsPrintable(char c) {
    const auto u = quint8(c);
    return (u >= 0x20 && u < 0x7f) || u >= 0xa0;
}

} // namespace

TSimSensor::TSimSensor(const TSimOptions& options, QObject* parent)
    : QObject(parent), m_options(options), m_model(SimModelByName(options.Model)),
      m_serial(options.Serial.isEmpty() ? QString::number(40000 + options.Seed % 10000)
                                        : options.Serial),
      m_params(m_model.Firmware32), m_profile(options.Seed), m_lineRate(options.LineRate) {
    m_options.Sid = options.Sid == 2 ? 2 : 1;
    m_options.MaxLineLength = std::clamp(options.MaxLineLength, 16, 4096);
    m_clock.start();
    m_outTimer.setSingleShot(true);
    m_outTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_outTimer, &QTimer::timeout, this, &TSimSensor::FlushQueue);
    m_measureTimer.setSingleShot(true);
    m_measureTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_measureTimer, &QTimer::timeout, this, &TSimSensor::OnMeasureTimer);
    m_videoTimer.setInterval(kVideoPeriodMs);
    connect(&m_videoTimer, &QTimer::timeout, this, &TSimSensor::OnVideoTimer);
    ConfigureOutput();
}

TSimSensor::~TSimSensor() = default;

bool TSimSensor::UpdateMode() const {
    return m_mode == TMode::Update || m_mode == TMode::Transfer;
}

bool TSimSensor::Transferring() const {
    return m_mode == TMode::Transfer;
}

bool TSimSensor::VideoRunning() const {
    return m_mode == TMode::Video;
}

// --- Receiving ------------------------------------------------------------

void TSimSensor::Receive(const QByteArray& bytes) {
    if (bytes.isEmpty()) return;
    AddTrace(true, bytes);
    m_lastRxNs = NowNs();
    if (m_faults.Mute) return;
    for (char c : bytes) {
        switch (m_mode) {
        case TMode::Transfer:
            HandleTransferByte(c);
            break;
        case TMode::Video:
            HandleVideoByte(c);
            break;
        case TMode::Command:
        case TMode::Update:
            HandleLineByte(c);
            break;
        }
    }
    if (!m_echo.isEmpty()) EmitEcho();
}

bool TSimSensor::HandleFlowControl(char c) {
    if (c == kXoff) {
        m_paused = true;
        return true;
    }
    if (c == kXon) {
        if (m_paused) {
            m_paused = false;
            FlushQueue();
        }
        return true;
    }
    return false;
}

void TSimSensor::HandleLineByte(char c) {
    if (HandleFlowControl(c) || c == kLf) return;
    if (c == kCr) {
        m_echo += "\r\n";
        RunLine();
        return;
    }
    if (c == kEsc) {
        const bool cancelled = !m_line.isEmpty() || m_pending != TPending::None;
        m_line.clear();
        m_pending = TPending::None;
        if (cancelled) m_echo += "\r\n->";
        return;
    }
    if (c == kBackspace || c == kDel) {
        if (!m_line.isEmpty()) {
            m_line.chop(1);
            m_echo += "\b \b";
        }
        return;
    }
    if (!IsPrintable(c) || m_line.size() >= m_options.MaxLineLength) return;
    // "Q" alone leaves the update mode at once (the way out after a failed transfer).
    if (m_mode == TMode::Update && m_line.isEmpty() && (c == 'Q' || c == 'q')) {
        m_echo += c;
        m_echo += "\r\n";
        LeaveUpdateMode();
        EmitEcho();
        Answer({{QStringLiteral("UPDATE MODE OFF")}, true});
        return;
    }
    if (m_line.isEmpty() && !m_faults.NoiseBeforeEcho.isEmpty()) m_echo += m_faults.NoiseBeforeEcho;
    m_line += c;
    m_echo += c;
}

// What the host typed goes back to it, unless "ECHO 0" switched that off.
void TSimSensor::EmitEcho() {
    QByteArray echo = std::exchange(m_echo, {});
    if (!m_echoOff) Out(echo);
}

void TSimSensor::RunLine() {
    const QString line = QString::fromLatin1(m_line).trimmed();
    m_line.clear();
    EmitEcho();
    Answer(m_mode == TMode::Update ? ExecuteUpdate(line) : Execute(line));
}

void TSimSensor::HandleVideoByte(char c) {
    if (HandleFlowControl(c) || c != kEsc) return;
    m_videoTimer.stop();
    m_mode = TMode::Command;
    Out("\r\n->");
    ConfigureOutput();
}

void TSimSensor::HandleTransferByte(char c) {
    if (HandleFlowControl(c) || c == kLf) return;
    if (c == kEsc) {
        m_record.clear();
        m_mode = TMode::Update;
        Answer({{QStringLiteral(""), QStringLiteral("TRANSFER CANCELLED")}, true});
        return;
    }
    if (c == kCr) {
        CheckRecord();
        return;
    }
    if (m_record.size() < kMaxRecord) m_record += c;
}

// --- Output ----------------------------------------------------------------

void TSimSensor::Answer(const TAnswer& answer) {
    QByteArray bytes;
    for (const QString& line : answer.Lines)
        bytes += line.toLatin1() + "\r\n";
    if (answer.Prompt) bytes += "->";
    if (bytes.isEmpty()) return;
    const int pieces = std::clamp(m_faults.SplitPieces, 1, int(bytes.size()));
    if (pieces <= 1) {
        Out(bytes, m_faults.AnswerDelayMs);
        return;
    }
    const qsizetype size = bytes.size() / pieces;
    for (int i = 0; i < pieces; ++i) {
        const qsizetype from = i * size;
        const qsizetype length = i == pieces - 1 ? bytes.size() - from : size;
        const qint64 delay = m_faults.SplitPauseMs + (i == 0 ? m_faults.AnswerDelayMs : 0);
        Out(bytes.mid(from, length), delay);
    }
}

void TSimSensor::Out(const QByteArray& bytes, qint64 delayMs) {
    if (bytes.isEmpty() || m_faults.Mute || m_faults.Silent) return;
    if (m_queue.empty() && delayMs <= 0 && !m_paused) {
        Emit(bytes);
        return;
    }
    if (m_queueBytes + bytes.size() > kMaxQueueBytes)
        return; // a host that never reads (or a DC3 without DC1) loses output, not memory
    const qint64 now = NowNs();
    const qint64 base = m_queue.empty() ? now : std::max(now, m_queue.back().DueNs);
    m_queue.push_back({bytes, base + std::max<qint64>(delayMs, 0) * kMs});
    m_queueBytes += bytes.size();
    ArmOutTimer();
}

void TSimSensor::FlushQueue() {
    const qint64 now = NowNs();
    while (!m_paused && !m_queue.empty() && m_queue.front().DueNs <= now) {
        TChunk chunk = std::move(m_queue.front());
        m_queue.pop_front();
        m_queueBytes -= chunk.Bytes.size();
        Emit(chunk.Bytes);
    }
    ArmOutTimer();
    if (m_queue.empty() && m_outputActive && !m_measureTimer.isActive()) m_measureTimer.start(0);
}

void TSimSensor::ArmOutTimer() {
    if (m_paused || m_queue.empty()) {
        m_outTimer.stop();
        return;
    }
    const qint64 wait = m_queue.front().DueNs - NowNs();
    m_outTimer.start(int(std::clamp<qint64>((wait + kMs - 1) / kMs, 0, 3600 * 1000)));
}

void TSimSensor::HoldHost(bool hold) {
    m_holdingHost = hold;
    Emit(QByteArray(1, hold ? kXoff : kXon));
}

void TSimSensor::Emit(const QByteArray& bytes) {
    AddTrace(false, bytes);
    emit Send(bytes);
}

// --- Measurement -------------------------------------------------------------

void TSimSensor::ConfigureOutput() {
    const QString n = QString::number(m_options.Sid);
    const bool on = m_mode == TMode::Command &&
                    Value(QStringLiteral("S%1ON").arg(n)) == QLatin1String("1") &&
                    Value(QStringLiteral("S%1OUTPUT").arg(n)) == QLatin1String("0");
    if (!on) {
        m_outputActive = false;
        m_measureTimer.stop();
        return;
    }
    const qint64 period = std::max(1, Value(QStringLiteral("S%1TIME").arg(n)).toInt()) * kMs;
    m_outputFormat = Value(QStringLiteral("S%1FORMAT").arg(n));
    if (!m_outputActive || period != m_periodNs) {
        m_periodNs = period;
        m_t0Ns = NowNs();
        m_lineIndex = 0;
    }
    m_outputActive = true;
    // Never from here: the command that switched the output on has not
    // finished its answer yet.
    m_measureTimer.start(0);
}

bool TSimSensor::MeasurementBlocked() const {
    if (m_paused || !m_queue.empty()) return true;
    return !m_line.isEmpty() && NowNs() - m_lastRxNs < kTypingHoldNs;
}

void TSimSensor::OnMeasureTimer() {
    if (!m_outputActive) return;
    const qint64 now = NowNs();
    const qint64 due = (now - m_t0Ns) / m_periodNs; // lines 1..due are due
    if (due > m_lineIndex) {
        if (MeasurementBlocked()) {
            m_measureTimer.start(1);
            return;
        }
        const qint64 maxLate = std::max<qint64>(1, kMaxLateNs / m_periodNs);
        m_lineIndex = std::max(m_lineIndex, due - maxLate);
        QByteArray lines;
        while (m_lineIndex < due) {
            ++m_lineIndex;
            const qint64 ms = (m_t0Ns + m_lineIndex * m_periodNs) / kMs;
            AdvanceLength(ms);
            const TSimSample s = m_profile.At(ms);
            lines += FormatSimLine(m_outputFormat, s.Velocity, s.Rate, m_length) + "\r\n";
            ++m_linesSent;
        }
        Out(lines);
    }
    const qint64 next = m_t0Ns + (m_lineIndex + 1) * m_periodNs;
    m_measureTimer.start(int(std::max<qint64>(1, (next - NowNs() + kMs - 1) / kMs)));
}

void TSimSensor::AdvanceLength(qint64 ms) {
    constexpr qint64 kStepMs = 10;
    if (!m_lengthRunning) {
        m_lengthMs = std::max(m_lengthMs, ms);
        return;
    }
    while (m_lengthMs + kStepMs <= ms) {
        m_length += m_profile.At(m_lengthMs).Velocity * (kStepMs / 1000.0);
        m_lengthMs += kStepMs;
    }
}

TSimSample TSimSensor::SampleNow() {
    return m_profile.At(NowNs() / kMs);
}

double TSimSensor::Length() {
    AdvanceLength(NowNs() / kMs);
    return m_length;
}

void TSimSensor::OnVideoTimer() {
    if (m_paused || !m_queue.empty()) return;
    // One line of the CCD picture: 16 brightness values that wander.
    QByteArray line = "VIDEO";
    for (int i = 0; i < 16; ++i) {
        m_videoCounter = m_videoCounter * 1103515245u + 12345u;
        line +=
            ' ' + QByteArray::number(60 + int((m_videoCounter >> 16) % 140)).rightJustified(3, ' ');
    }
    Out(line + "\r\n");
}

// --- Parameters, faults, life cycle --------------------------------------------

bool TSimSensor::SetValue(const QString& key, const QString& value) {
    const TSimParamDef* def = m_params.Find(key);
    if (!def || !m_params.Set(*def, value)) return false;
    ConfigureOutput();
    return true;
}

void TSimSensor::HangUp() {
    emit HangUpRequested();
}

void TSimSensor::Restart() {
    m_params.Restore();
    m_mode = TMode::Command;
    m_pending = TPending::None;
    m_systemMode = false;
    m_paused = false;
    m_echoOff = false;
    m_line.clear();
    m_echo.clear();
    m_record.clear();
    m_queue.clear();
    m_queueBytes = 0;
    m_outTimer.stop();
    m_videoTimer.stop();
    m_profile.SetFixed(false, 0);
    m_lengthRunning = false;
    m_length = 0;
    m_outputActive = false;
    if (m_lineRate != m_options.LineRate) {
        m_lineRate = m_options.LineRate;
        emit LineRateChanged(m_lineRate);
    }
    ConfigureOutput();
}

// --- Trace ------------------------------------------------------------------------

void TSimSensor::AddTrace(bool fromHost, const QByteArray& bytes) {
    TSimTraceEntry entry{NowNs() / 1000, fromHost, bytes};
    m_trace.push_back(entry);
    m_traceBytes += bytes.size();
    while (m_traceBytes > m_traceLimit && m_trace.size() > 1) {
        m_traceBytes -= m_trace.front().Bytes.size();
        m_trace.pop_front();
    }
    emit Traced(entry);
}

QList<TSimTraceEntry> TSimSensor::Trace() const {
    return QList<TSimTraceEntry>(m_trace.begin(), m_trace.end());
}

QByteArray TSimSensor::ReceivedBytes() const {
    QByteArray all;
    for (const TSimTraceEntry& e : m_trace)
        if (e.FromHost) all += e.Bytes;
    return all;
}

QByteArray TSimSensor::SentBytes() const {
    QByteArray all;
    for (const TSimTraceEntry& e : m_trace)
        if (!e.FromHost) all += e.Bytes;
    return all;
}

void TSimSensor::ClearTrace() {
    m_trace.clear();
    m_traceBytes = 0;
}

void TSimSensor::SetTraceLimit(qsizetype bytes) {
    m_traceLimit = std::max<qsizetype>(bytes, 1);
    while (m_traceBytes > m_traceLimit && m_trace.size() > 1) {
        m_traceBytes -= m_trace.front().Bytes.size();
        m_trace.pop_front();
    }
}
