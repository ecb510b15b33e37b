// SPDX-License-Identifier: MIT
#pragma once

#include "THost.h"

#include <QByteArray>
#include <QDialog>
#include <QElapsedTimer>
#include <QList>
#include <QTimer>

#include <optional>

class QLabel;
class QProgressBar;
class QPushButton;

// The transfer dialog: sends a text file to the sensor line by line (send
// mode) or waits for the sensor to report the end of its flashing (wait
// mode). It is modal and has no close box; its caption and message come
// from the caller.
//
// Send mode: every line goes out followed by CR LF, the first through the
// engine's SetUpdate2 (first character, 100 ms, the rest), the others
// through SetUpdate, one line per timer tick. The pace follows the serial
// line: a line is handed over while the one before is being carried, so
// the line never idles, but never more than that one line waits behind
// it, and never faster than one line a millisecond. So the progress bar
// shows what the sensor has been given or is being given, and a BEL from
// the sensor - it refuses a line - stops the transfer with at most the
// line after the refused one on its way. The Abort button and Esc stop it
// too.
//
// Wait mode: the command framer collects what the sensor sends up to
// "update successful"; every 100 ms the dialog looks at what it framed
// and ends when that mentions "Flash" or when the limit has passed.
class TFlashDlg : public QDialog {
    Q_OBJECT
public:
    enum TMode { SendMode, WaitMode };
    // Modal results: every line sent, or the wait over (OK); the transfer
    // stopped by the Abort button, Esc, a BEL or an unreadable file.
    static constexpr int ResultOk = QDialog::Accepted;
    static constexpr int ResultAbort = 3;
    // Why the last send or wait ended.
    enum class TStop {
        Done,      // every line sent; the sensor reported the end of its flashing
        Refused,   // the sensor sent BEL: it refused a line
        Aborted,   // the Abort button or Esc
        Cancelled, // the flow was asked to end (the program is being ended)
        LinkLost,  // the serial port went away
        TimedOut,  // the wait ran to its limit without the completion message
        FileError, // the file could not be read
    };
    TStop LastStop() const { return m_stop; }
    // Transfer files larger than this are refused (a sensor's firmware is
    // a fraction of it).
    static constexpr qint64 MaxFileSize = 16 * 1024 * 1024;

    TFlashDlg(THost& host, QWidget* parent = nullptr);

    // Reads `file` as lines without their line ends (CR LF, LF or CR);
    // false with the file's name and the reason in `error`: what it is
    // when it is no regular file, "File too large" beyond MaxFileSize.
    static bool ReadLines(const QString& file, QList<QByteArray>* lines, QString* error);

    // Send entry: reads the file and sends its lines. A file that cannot
    // be read sends nothing: the reason is shown and the result is Abort.
    int Send(const QString& caption, const QString& message, const QString& file);
    // Send entry for lines the caller has read already.
    int SendLines(const QString& caption, const QString& message, const QList<QByteArray>& lines);
    // Wait entry: waits for the flashing to end, at most `limitMs`. OK only
    // when the sensor reported the end; Abort when it ran to the limit, the
    // sensor sent BEL or the port went away (LastStop says which).
    int Wait(const QString& caption, const QString& message, int limitMs);

    TMode Mode() const { return m_mode; }
    int Total() const { return m_total; }
    int LinesLeft() const { return int(m_lines.size()); }
    // Send mode: the lines handed to the link so far (what the bar shows).
    int LinesSent() const { return m_mode == SendMode ? m_sent : 0; }
    int Position() const { return m_position; }

    // The components.
    QLabel* lb_msg = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QPushButton* AbortBtn = nullptr;
    QTimer Timer1;

protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;
    void done(int result) override;

private:
    void Timer1Timer();
    void SendTick();
    void WaitTick();
    bool WaitForLine();
    std::optional<TStop> Interruption() const;
    void ScheduleNextLine();
    void Prepare(const QString& caption, const QString& message);

    THost& m_host;
    TMode m_mode = SendMode;
    QList<QByteArray> m_lines; // still to send
    int m_total = 0;
    int m_sent = 0;          // send mode: lines handed to the link
    qint64 m_lineOnWire = 0; // send mode: bytes of the line handed to the link last
    bool m_firstSent = false;
    int m_limitMs = 0;
    int m_position = 0; // wait mode: milliseconds waited
    QElapsedTimer m_clock;
    qint64 m_nextDueNs = 0;    // the earliest time of the next line
    bool m_serialLink = false; // the transfer began on the serial port
    bool m_finished = false;
    TStop m_stop = TStop::Done;
};
