// SPDX-License-Identifier: MIT
#pragma once

#include "TSimSensor.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class QSocketNotifier;

// A simulated sensor behind a pseudo-terminal: the host opens DevicePath()
// as a serial port (QSerialPort, 9600 8N1 or anything else: the line rate
// of a pty is only recorded) and talks to Sensor().
//
// Data flow: bytes the host writes to the slave side are read from the
// master in the event loop and passed to Sensor().Receive(); the sensor's
// Send signal is written to the master. The pair is switched to raw mode
// as soon as it exists, so nothing is echoed or translated by the system.
//
// Device path: a symbolic link (by default a fresh one in the temporary
// folder, or SetLinkPath() before Start(); an empty path means no link and
// DevicePath() is the /dev/pts name). The link is replaced atomically and
// removed by Unplug() and by the destructor.
//
// Host presence: the master reports a hang-up while no process has the
// slave open. Output produced meanwhile is dropped, so a host that opens
// the port never reads stale bytes; a 50 ms check notices the next open.
//
// Faults: Unplug() closes the master and removes the link, so the host's
// open port fails (read error / end of file). Replug() creates a new pty
// and points the link to it: the same device coming back, same sensor
// state. Sensor().HangUp() unplugs as well.
class TSimPty : public QObject {
    Q_OBJECT
public:
    explicit TSimPty(const TSimOptions& options = {}, QObject* parent = nullptr);
    ~TSimPty() override;

    void SetLinkPath(const QString& path); // before Start(); "" = no link
    bool Start();                          // false: see ErrorString()
    QString DevicePath() const;            // the link, or the slave when there is none
    QString SlavePath() const { return m_slavePath; }
    QString ErrorString() const { return m_error; }
    bool IsPlugged() const { return m_master >= 0; }
    bool HostConnected() const { return m_hostConnected; }
    // The line rate the host has set on its side of the line, in bit/s
    // (0 when unknown or unplugged). A pseudo-terminal carries bytes at
    // any rate; this is what a real line would run at.
    int HostLineRate() const;
    // On: the host's bytes are taken at the line rate the host has set
    // (ten bits a byte), as a real line would carry them, instead of as
    // fast as they come; what waits stays in the pseudo-terminal. Off by
    // default. For measuring transfers against the wire time.
    void SetPacedInput(bool on);
    // The rate the sensor insists on (0: any), see TSimOptions::RequiredRate.
    void SetRequiredRate(int rate) { m_requiredRate = rate; }

    TSimSensor& Sensor() { return m_sensor; }

    void Unplug();
    bool Replug();

signals:
    void HostConnectedChanged(bool connected);

private:
    bool OpenPair();
    void ClosePair();
    bool PointLink();
    void OnReadable();
    void OnWritable();
    void CheckHost();
    void SetHostConnected(bool connected);
    void Write(const QByteArray& bytes);

    TSimSensor m_sensor;
    QString m_linkPath;
    int m_requiredRate = 0; // TSimOptions::RequiredRate
    QString m_slavePath;
    QString m_error;
    int m_master = -1;
    bool m_hostConnected = false;
    std::unique_ptr<QSocketNotifier> m_readNotifier;
    std::unique_ptr<QSocketNotifier> m_writeNotifier;
    QByteArray m_pending;
    QTimer m_hostCheck;
    bool m_paced = false;
    QElapsedTimer m_paceClock;
    qint64 m_carriedNs = 0; // paced: when the bytes taken so far have crossed the line
    bool m_lineIdle = true; // paced: the last read emptied what was waiting
    QTimer m_paceTimer;     // paced: the line can carry the next piece
};
