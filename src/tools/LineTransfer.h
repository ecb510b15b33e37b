// SPDX-License-Identifier: MIT
#pragma once

#include "TFlowHost.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>

#include <optional>

// Why a transfer's send or wait ended.
enum class TTransferStop {
    Done,      // every line sent; the sensor reported the end of its flashing
    Refused,   // the sensor sent BEL: it refused a line
    Aborted,   // the operator stopped it (the Abort button, Esc)
    Cancelled, // the flow was asked to end (the program is being ended)
    LinkLost,  // the serial port went away
    TimedOut,  // the wait ran to its limit without the completion message
    FileError, // the file could not be read
};

// The steps of a file transfer, without a window: sending a text file's
// lines to the sensor (send mode), or waiting for the sensor to report
// the end of its flashing (wait mode).
//
// Send mode: every line goes out followed by CR LF, the first through the
// engine's SetUpdate2 (first character, 100 ms, the rest), the others
// through SetUpdate, one line per timer tick. The pace follows the serial
// line: a line is handed over while the one before is being carried, so
// the line never idles, but never more than that one line waits behind
// it, and never faster than one line a millisecond. So the count of lines
// sent is what the sensor has been given or is being given, and a BEL
// from the sensor - it refuses a line - stops the transfer with at most
// the line after the refused one on its way.
//
// Wait mode: the command framer collects what the sensor sends up to
// "update successful"; every 100 ms the transfer looks at what it framed
// and ends when that mentions "Flash" or when the limit has passed.
class TLineTransfer : public QObject {
    Q_OBJECT
public:
    enum TMode { SendMode, WaitMode };

    explicit TLineTransfer(TFlowHost& host, QObject* parent = nullptr);

    // Transfer files larger than this are refused (a sensor's firmware is
    // a fraction of it).
    static constexpr qint64 MaxFileSize = 16 * 1024 * 1024;
    // Reads `file` as lines without their line ends (CR LF, LF or CR);
    // false with the file's name and the reason in `error`: what it is
    // when it is no regular file, "is too large" beyond MaxFileSize.
    static bool ReadLines(const QString& file, QList<QByteArray>* lines, QString* error);

    // Begin a send or a wait; Ended tells the end.
    void StartSend(const QList<QByteArray>& lines);
    void StartWait(int limitMs);
    // The operator's stop (send mode only: the flashing must not be cut).
    void Abort();
    // Runs a send or a wait to its end while events run; how it ended.
    TTransferStop RunSend(const QList<QByteArray>& lines);
    TTransferStop RunWait(int limitMs);

    bool Running() const { return !m_finished; }
    TTransferStop LastStop() const { return m_stop; }
    TMode Mode() const { return m_mode; }
    int Total() const { return m_total; }
    int LinesLeft() const { return int(m_lines.size()); }
    // Send mode: the lines handed to the link so far.
    int LinesSent() const { return m_mode == SendMode ? m_sent : 0; }
    // Wait mode: milliseconds waited, and the limit.
    int Position() const { return m_position; }
    int Limit() const { return m_limitMs; }
    // The timer whose ticks drive the transfer.
    QTimer& Timer() { return m_timer; }

signals:
    // A line was handed to the link (send mode) or a tick waited (wait mode).
    void Progressed();
    // The send or wait ended; LastStop says how.
    void Ended();

private:
    void Tick();
    void SendTick();
    void WaitTick();
    bool WaitForLine();
    std::optional<TTransferStop> Interruption() const;
    void ScheduleNextLine();
    void Finish(TTransferStop stop);
    TTransferStop RunToEnd();

    TFlowHost& m_host;
    QTimer m_timer;
    TMode m_mode = SendMode;
    QList<QByteArray> m_lines; // still to send
    int m_total = 0;
    int m_sent = 0;          // send mode: lines handed to the link
    qint64 m_lineOnWire = 0; // send mode: bytes of the line handed to the link last
    int m_limitMs = 0;
    int m_position = 0; // wait mode: milliseconds waited
    QElapsedTimer m_clock;
    qint64 m_nextDueNs = 0;    // the earliest time of the next line
    bool m_serialLink = false; // the transfer began on the serial port
    bool m_finished = true;
    TTransferStop m_stop = TTransferStop::Done;
};
