// SPDX-License-Identifier: MIT
#pragma once

#include "PortProblem.h"
#include "TSensorState.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

// A port to look for a sensor on: the device as it is opened, and its
// stable name under /dev/serial/by-id where it has one.
struct TScanPort {
    QString Device;
    QString ById;
};

// A sensor that answered a probe.
struct TFoundSensor {
    QString Device;
    QString ById;
    int Rate = 0;             // bit/s
    TSensorIdentity Identity; // serial number, model, software version, interface (SID)
};

// A port the scan could not look at: busy (with the process that holds
// it), forbidden, or failing otherwise.
struct TSkippedPort {
    QString Device;
    TPortProblem Problem;
};

// What a scan found, and what it tried.
struct TScanResult {
    QList<TFoundSensor> Found; // in the order of the ports
    QList<TSkippedPort> Skipped;
    QStringList Silent;  // opened, but no sensor answered at any rate
    QStringList Missing; // no such device
    QStringList Ports;   // every port tried
    QList<int> Rates;    // the rates tried, in order
};

class TPortProbe;

// Looks for ORX sensors on serial ports: every port is probed at each rate
// in turn until a sensor answers, with the program's own identification
// (port opened 8N1 with XON/XOFF and DTR and RTS off, the attention
// sequence, SID, INFO) and a short time-out. The sensor's output state is
// not touched, and each port is closed again, as it was found.
//
// All ports are probed side by side, each with its own port object, on the
// calling thread and driven by its events, so a scan takes about as long
// as the rates' time-outs of one port, however many ports there are.
//
// It tells its progress through plain callbacks rather than signals, so
// that the service program, which loads no window library, links it
// without the windows' meta objects.
class TSensorFinder : public QObject {
public:
    explicit TSensorFinder(QObject* parent = nullptr);
    ~TSensorFinder() override;

    // The serial ports of the system, with their by-id names.
    static QList<TScanPort> SystemPorts();
    // The connection dialog's rates from 1200 bit/s up, the stored one
    // first, then the usual ones before the rare ones.
    static QList<int> DefaultRates(int stored);
    // Whether the connection dialog offers `rate`.
    static bool KnownRate(int rate);
    // How long a probe at `rate` waits for the sensor: a fixed part and the
    // time the exchange itself takes on the line.
    static int ProbeTimeoutMs(int rate);
    // The longest a scan of these rates can take.
    static int ScanTimeoutMs(const QList<int>& rates);

    // Starts probing; Finished comes when every port is done (at once
    // when there is none). Not to be called from SensorFound or
    // Progressed, which are called from inside a probe.
    void Start(const QList<TScanPort>& ports, const QList<int>& rates);
    // Ends every probe and closes the ports; Finished follows.
    void Cancel();
    bool Running() const { return m_running > 0; }
    const TScanResult& Result() const { return m_result; }
    int ProbesDone() const { return m_probesDone; }
    int ProbesTotal() const { return m_probesTotal; }

    // Probes done of all; a sensor as it is found; the end of the scan
    // (always after Start has returned).
    std::function<void(int done, int total)> Progressed;
    std::function<void(const TFoundSensor& sensor)> SensorFound;
    std::function<void()> Finished;

private:
    void Finish();
    friend class TPortProbe;
    void ProbeStepped();
    void ProbeEnded(TPortProbe* probe);
    void Collect();

    std::vector<std::unique_ptr<TPortProbe>> m_probes;
    TScanResult m_result;
    int m_running = 0;
    int m_probesDone = 0;
    int m_probesTotal = 0;
};
