// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// The capture file: what the terminal receives, written to a text file
// while capture runs. Each character is mapped as the file wants it: CR
// becomes CR LF, LF and BEL are dropped, everything else (other control
// characters included) is written as it is. Characters are collected per
// received chunk and written and flushed once at its end, so after every
// receive event the file on disk holds everything received so far.
class TCapture {
public:
    TCapture() = default;
    ~TCapture();
    TCapture(const TCapture&) = delete;
    TCapture& operator=(const TCapture&) = delete;

    // Creates `file` (an existing one is emptied) and starts capturing;
    // false with the file's name and the system's reason in `error`, or
    // what the path is when it is no regular file (a pipe, a device).
    bool Start(const QString& file, QString* error);
    // Ends capturing and closes the file; an error while closing is
    // ignored. What was collected and not yet written is dropped.
    void Stop();
    bool Active() const { return m_file.isOpen(); }
    QString FileName() const { return m_path; }

    // Collects one received character (nothing while capture is off).
    void Add(char ch);
    // Writes and flushes what was collected; false when the file could not
    // take it (capture should end then).
    bool Flush();
    // The system's reason for the last failed write.
    QString ErrorText() const { return m_file.errorString(); }

private:
    QFile m_file; // opened from its descriptor: it knows no name
    QString m_path;
    QByteArray m_pending;
};
