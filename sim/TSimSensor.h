// SPDX-License-Identifier: MIT
#pragma once

#include "TSimOptions.h"
#include "TSimParameters.h"
#include "TSimProfile.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <deque>

// One record of the traffic: what the host sent (FromHost) or what the
// sensor sent, with the time in microseconds since the sensor started.
struct TSimTraceEntry {
    qint64 TimeUs = 0;
    bool FromHost = false;
    QByteArray Bytes;
};

// Faults the sensor shows on demand, for tests of the host's failure
// handling. A default-constructed value means "behave".
struct TSimFaults {
    bool Mute = false;                 // sends nothing at all and acts on nothing it receives
    bool Silent = false;               // obeys every command, but its output is lost on the way
    int AnswerDelayMs = 0;             // answers leave this long after the echo
    int SplitPieces = 0;               // >1: answers leave in this many pieces ...
    int SplitPauseMs = 0;              // ... with this pause before each piece
    QByteArray NoiseBeforeEcho;        // sent before the echo of each new line
    QHash<QString, QString> ErrorKeys; // upper-case KEY -> error answer (e.g. "E05")
    int BellAfterRecords = -1;         // >=0: BEL and transfer dropped after this many HEX records
    bool TerseFlash = false;           // the progress after an upload never says "Flash"
};

// The simulated ORX sensor, without any I/O of its own.
//
// Data flow: the transport hands every received chunk to Receive(); the
// sensor answers through the Send signal (in order, never reordered), in
// the same call or later from its own timers (measurement output, video,
// delayed or split answers, flash progress). HangUpRequested asks the
// transport to close the line.
//
// Line discipline: printable characters are echoed (until "ECHO 0"; "ECHO 1"
// switches it on again) and collected; CR is
// echoed as CR LF and runs the line (blanks trimmed); LF is ignored;
// DC1/DC3 resume/pause the sensor's output; ESC cancels the line and ends
// the video stream or a HEX transfer; backspace removes a character.
// Each executed line gives its answer lines, each ended by CR LF, then the
// prompt "->". Lines longer than Options().MaxLineLength are cut.
//
// Measurement output: while S<n>ON is 1 and S<n>OUTPUT is 0 for the
// interface n = SID (the host's), one line in S<n>FORMAT is sent every
// S<n>TIME ms, line k at t0 + k * period on the monotonic clock. Lines are
// sent only between whole outputs: never while an answer is pending, the
// output is paused by DC3, or a command line is being typed (for at most
// one second after its last character). Lines more than 250 ms late are
// dropped rather than sent in a burst.
//
// All state lives in the object; it can be inspected between steps.
class TSimSensor : public QObject {
    Q_OBJECT
public:
    explicit TSimSensor(const TSimOptions& options = {}, QObject* parent = nullptr);
    ~TSimSensor() override;

    // Bytes from the host.
    void Receive(const QByteArray& bytes);

    // --- Identity and state ----------------------------------------------
    const TSimOptions& Options() const { return m_options; }
    const TSimModel& Model() const { return m_model; }
    QString Serial() const { return m_serial; }
    // Another unit of the same model on the line (a swapped sensor).
    void SetSerial(const QString& serial) { m_serial = serial; }
    bool SystemMode() const { return m_systemMode; }
    bool UpdateMode() const;   // after "*UPDATE", until EXIT
    bool Transferring() const; // HEX records expected
    bool VideoRunning() const;
    bool OutputPaused() const { return m_paused; } // DC3 received
    int LineRate() const { return m_lineRate; }
    int UpdateRecords() const { return m_records; } // records accepted in the last transfer
    qint64 MeasurementLines() const { return m_linesSent; }

    // --- Parameters --------------------------------------------------------
    // Working value (in effect) and permanent value (stored), without unit.
    QString Value(const QString& key) const { return m_params.Value(key); }
    QString StoredValue(const QString& key) const { return m_params.StoredValue(key); }
    // Sets a working value as "KEY value" would, without the system-mode
    // check; false when the key is unknown or the value refused.
    bool SetValue(const QString& key, const QString& value);
    const TSimParameters& Parameters() const { return m_params; }

    // --- Measurement ---------------------------------------------------------
    TSimSample SampleNow();
    double Length(); // m, as the length counter stands
    bool LengthRunning() const { return m_lengthRunning; }

    // --- Faults and life cycle ------------------------------------------------
    void SetFaults(const TSimFaults& faults) { m_faults = faults; }
    const TSimFaults& Faults() const { return m_faults; }
    void ClearFaults() { m_faults = {}; }
    void HangUp(); // emits HangUpRequested (line closed)
    // Flow control towards the host, as a sensor whose input buffer is
    // full does it: true sends XOFF (DC3) at once, ahead of any queued
    // output; false sends XON (DC1). A host with XON/XOFF must hold its
    // output in between.
    void HoldHost(bool hold);
    bool HoldingHost() const { return m_holdingHost; }
    // Sends bytes to the host at once, outside the protocol and the trace:
    // a marker a test waits for to know the host has read what came first.
    void SendMarker(const QByteArray& bytes) { emit Send(bytes); }
    void Restart(); // power cycle: permanent set back, modes off

    // --- Trace ------------------------------------------------------------------
    // Kept up to a byte limit (default 4 MiB); the oldest records go first.
    QList<TSimTraceEntry> Trace() const;
    QByteArray ReceivedBytes() const;
    QByteArray SentBytes() const;
    void ClearTrace();
    void SetTraceLimit(qsizetype bytes);

signals:
    void Send(const QByteArray& bytes);
    void Traced(const TSimTraceEntry& entry);
    void HangUpRequested();
    void LineRateChanged(int bitsPerSecond);

private:
    enum class TMode { Command, Video, Update, Transfer };
    enum class TPending { None, SystemPassword, StorePassword };
    struct TAnswer {
        QStringList Lines;
        bool Prompt = true;
    };
    struct TChunk {
        QByteArray Bytes;
        qint64 DueNs;
    };

    // Line discipline (TSimSensor.cpp)
    void HandleLineByte(char c);
    void HandleTransferByte(char c);
    void HandleVideoByte(char c);
    bool HandleFlowControl(char c);
    void RunLine();
    void EmitEcho();

    // Commands (TSimCommands.cpp)
    TAnswer Execute(const QString& line);
    TAnswer ExecuteUpdate(const QString& line);
    TAnswer ExecuteParameter(const TSimParamDef& def, const QString& value);
    TAnswer ExecuteService(const QString& word, const QString& rest, bool* known);
    TAnswer ListKeys(const QList<const TSimParamDef*>& defs) const;
    QStringList InfoLines() const;
    void LeaveUpdateMode();
    void CheckRecord();
    void StartFlashing();

    // Output queue
    void Answer(const TAnswer& answer);
    void Out(const QByteArray& bytes, qint64 delayMs = 0);
    void FlushQueue();
    void ArmOutTimer();
    void Emit(const QByteArray& bytes);
    void AddTrace(bool fromHost, const QByteArray& bytes);

    // Measurement and video
    void ConfigureOutput();
    void OnMeasureTimer();
    bool MeasurementBlocked() const;
    void AdvanceLength(qint64 ms);
    void OnVideoTimer();
    qint64 NowNs() const { return m_clock.nsecsElapsed(); }

    TSimOptions m_options;
    TSimModel m_model;
    QString m_serial;
    TSimParameters m_params;
    TSimProfile m_profile;
    TSimFaults m_faults;
    QElapsedTimer m_clock;

    TMode m_mode = TMode::Command;
    TPending m_pending = TPending::None;
    bool m_systemMode = false;
    bool m_paused = false;
    bool m_holdingHost = false;
    bool m_echoOff = false; // "ECHO 0": typed lines are not echoed
    QByteArray m_line;
    QByteArray m_echo;
    qint64 m_lastRxNs = 0;
    int m_lineRate = 9600;
    int m_rateBeforeUpdate = 9600;
    QByteArray m_record;
    int m_records = 0;
    qint64 m_flashBytes = 0;

    std::deque<TChunk> m_queue;
    qsizetype m_queueBytes = 0;
    QTimer m_outTimer;

    bool m_outputActive = false;
    QString m_outputFormat;
    qint64 m_periodNs = 0;
    qint64 m_t0Ns = 0;
    qint64 m_lineIndex = 0;
    qint64 m_linesSent = 0;
    QTimer m_measureTimer;

    double m_length = 0;
    qint64 m_lengthMs = 0;
    bool m_lengthRunning = false;

    QTimer m_videoTimer;
    quint32 m_videoCounter = 0;

    std::deque<TSimTraceEntry> m_trace;
    qsizetype m_traceBytes = 0;
    qsizetype m_traceLimit = 4 * 1024 * 1024;
};
