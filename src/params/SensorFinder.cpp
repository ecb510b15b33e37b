// SPDX-License-Identifier: MIT
#include "SensorFinder.h"

#include "ReadFlow.h"
#include "TComDataPacket.h"
#include "TComPort.h"
#include "TCommandEngine.h"

#include <QTimer>

#include <algorithm>

namespace {
// The bytes of one probe on the line: the commands and the INFO answer.
constexpr int kProbeBytes = 300;
// What every probe waits at least, for a sensor that is busy sending.
constexpr int kProbeBaseMs = 500;

TBaudRate RateEnum(int rate) {
    return StrToBaudRate(QString::number(rate));
}
} // namespace

// One port of a scan: opens it once, tries the rates in turn, and closes
// it again when a sensor answered or every rate was tried.
class TPortProbe : public QObject {
public:
    enum class TStep { Idle, Sid, Info, Ended };
    enum class TEnd { Found, Silent, Missing, Skipped };

    TPortProbe(TSensorFinder& finder, TScanPort port, QList<int> rates)
        : m_finder(finder), m_scanPort(std::move(port)), m_rates(std::move(rates)) {
        m_framer.SetMaxBufferSize(4096);
        m_framer.SetComPort(&m_port);
        connect(&m_framer, &TComDataPacket::Packet, this, &TPortProbe::Answered);
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, &TPortProbe::TimedOut);
        // A device that goes away during its probe is simply not there.
        connect(&m_port, &TComPort::DeviceLost, this, [this] { End(TEnd::Missing); });
    }
    ~TPortProbe() override { m_port.Close(); }

    void Start() {
        TComPortSettings settings;
        settings.Port = m_scanPort.Device;
        settings.BaudRate = RateEnum(m_rates.value(0, 9600));
        m_port.SetSettings(settings); // 8N1, XON/XOFF
        if (!m_port.Open()) {
            m_problem = DescribeOpenFailure(m_port);
            End(m_port.OpenFailure() == TComPort::TOpenFailure::NotFound ? TEnd::Missing
                                                                         : TEnd::Skipped);
            return;
        }
        TryRate(0);
    }
    void Cancel() { End(TEnd::Silent); }

    const TScanPort& Port() const { return m_scanPort; }
    TEnd Ending() const { return m_end; }
    const TPortProblem& Problem() const { return m_problem; }
    const TFoundSensor& Found() const { return m_found; }
    bool Ended() const { return m_step == TStep::Ended; }
    int RatesLeft() const { return std::max(0, int(m_rates.size()) - m_rateIndex); }

private:
    void TryRate(int index) {
        m_rateIndex = index;
        const int rate = m_rates.at(index);
        m_port.SetBaudRate(RateEnum(rate));
        m_port.ClearBuffer();
        m_identity = {};
        Ask(TStep::Sid, "SID\r\n", "\r\n", SensorCommand::Attention + "SID\r\n",
            ProbeTimeout() * 2 / 5);
    }
    int ProbeTimeout() const { return TSensorFinder::ProbeTimeoutMs(m_rates.at(m_rateIndex)); }

    void Ask(TStep step, const QByteArray& start, const QByteArray& stop, const QByteArray& sent,
             int timeoutMs) {
        m_step = step;
        m_framer.SetStartString(start);
        m_framer.SetStopString(stop);
        m_port.WriteStr(sent);
        m_timer.start(timeoutMs);
    }

    void AskInfo() {
        Ask(TStep::Info, "INFO\r\n", "->", "INFO\r\n", ProbeTimeout() - ProbeTimeout() * 2 / 5);
    }

    void Answered(const QByteArray& packet) {
        if (m_step == TStep::Sid) {
            bool ok = false;
            const int sid = packet.trimmed().toInt(&ok);
            m_identity.SensorPort = ok ? sid : -1;
            AskInfo();
        } else if (m_step == TStep::Info) {
            TReadFlow::ParseInfo(TReadFlow::ReplyLines(packet), m_identity);
            if (m_identity.SerialNumber.isEmpty()) {
                NextRate(); // something answers, but not a sensor
                return;
            }
            m_found = {m_scanPort.Device, m_scanPort.ById, m_rates.at(m_rateIndex), m_identity};
            End(TEnd::Found);
        }
    }

    void TimedOut() {
        if (m_step == TStep::Sid) {
            // No SID: perhaps a sensor that does not know it, perhaps the
            // wrong rate. INFO tells.
            m_identity.SensorPort = -1;
            AskInfo();
        } else if (m_step == TStep::Info) {
            NextRate();
        }
    }

    // The last rate counts as done when the probe ends.
    void NextRate() {
        if (m_rateIndex + 1 >= m_rates.size()) {
            End(TEnd::Silent);
            return;
        }
        m_finder.ProbeStepped();
        TryRate(m_rateIndex + 1);
    }

    void End(TEnd end) {
        if (m_step == TStep::Ended) return;
        m_step = TStep::Ended;
        m_end = end;
        m_timer.stop();
        m_port.Close();
        m_finder.ProbeEnded(this);
    }

    TSensorFinder& m_finder;
    TScanPort m_scanPort;
    QList<int> m_rates;
    TComPort m_port;
    TComDataPacket m_framer;
    QTimer m_timer;
    TStep m_step = TStep::Idle;
    TEnd m_end = TEnd::Silent;
    int m_rateIndex = 0;
    TSensorIdentity m_identity;
    TFoundSensor m_found;
    TPortProblem m_problem;
};

TSensorFinder::TSensorFinder(QObject* parent) : QObject(parent) {}

TSensorFinder::~TSensorFinder() = default;

QList<TScanPort> TSensorFinder::SystemPorts() {
    QList<TScanPort> ports;
    for (const TSerialPortEntry& entry : SerialPortEntries())
        ports.append({entry.Location.isEmpty() ? entry.Name : entry.Location, entry.ById});
    return ports;
}

QList<int> TSensorFinder::DefaultRates(int stored) {
    QList<int> rates{9600, 115200, 38400, 19200, 57600, 4800, 2400, 1200, 230400, 460800, 921600};
    if (KnownRate(stored) && stored >= 1200) {
        rates.removeAll(stored);
        rates.prepend(stored);
    }
    return rates;
}

bool TSensorFinder::KnownRate(int rate) {
    return rate > 0 && BaudRateValue(RateEnum(rate)) == rate && RateEnum(rate) != TBaudRate::Custom;
}

int TSensorFinder::ProbeTimeoutMs(int rate) {
    return kProbeBaseMs + int(qint64(kProbeBytes) * 10 * 1000 / std::max(1, rate));
}

int TSensorFinder::ScanTimeoutMs(const QList<int>& rates) {
    int total = 0;
    for (const int rate : rates)
        total += ProbeTimeoutMs(rate);
    return total;
}

void TSensorFinder::Start(const QList<TScanPort>& ports, const QList<int>& rates) {
    Cancel();
    m_probes.clear();
    m_result = {};
    m_result.Rates = rates;
    m_probesDone = 0;
    m_probesTotal = int(ports.size() * rates.size());
    for (const TScanPort& port : ports) {
        m_result.Ports << port.Device;
        m_probes.push_back(std::make_unique<TPortProbe>(*this, port, rates));
    }
    m_running = int(m_probes.size());
    if (m_probes.empty() || rates.isEmpty()) {
        m_running = 0;
        QTimer::singleShot(0, this, &TSensorFinder::Finish);
        return;
    }
    // Each probe opens its port now; the answers come through the events.
    for (const auto& probe : m_probes)
        if (!probe->Ended()) probe->Start();
}

void TSensorFinder::Cancel() {
    for (const auto& probe : m_probes)
        if (!probe->Ended()) probe->Cancel();
}

void TSensorFinder::ProbeStepped() {
    ++m_probesDone;
    if (Progressed) Progressed(m_probesDone, m_probesTotal);
}

void TSensorFinder::ProbeEnded(TPortProbe* probe) {
    // The rates a probe no longer needs count as done.
    m_probesDone += probe->RatesLeft();
    if (probe->Ending() == TPortProbe::TEnd::Found && SensorFound) SensorFound(probe->Found());
    if (Progressed) Progressed(m_probesDone, m_probesTotal);
    if (--m_running > 0) return;
    Collect();
    // Told after the probe's own call has returned.
    QTimer::singleShot(0, this, &TSensorFinder::Finish);
}

void TSensorFinder::Finish() {
    if (Finished) Finished();
}

void TSensorFinder::Collect() {
    for (const auto& probe : m_probes) {
        switch (probe->Ending()) {
        case TPortProbe::TEnd::Found:
            m_result.Found << probe->Found();
            break;
        case TPortProbe::TEnd::Silent:
            m_result.Silent << probe->Port().Device;
            break;
        case TPortProbe::TEnd::Missing:
            m_result.Missing << probe->Port().Device;
            break;
        case TPortProbe::TEnd::Skipped:
            m_result.Skipped.append({probe->Port().Device, probe->Problem()});
            break;
        }
    }
}
