// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArrayView>
#include <QString>

#include <functional>

class QSaveFile;

// Replacing and growing the user's files so that a full disk, a removed
// stick or a quota never leaves a broken file behind.
//
// A file is replaced through a temporary file beside it that takes the
// place of the old one only once every byte is written and flushed; on
// any failure the temporary file is dropped and the old file stays as it
// was, byte for byte. Errors read "path: reason" with the system's reason
// ("No space left on device"). The target must be a regular file or not
// exist yet (a folder, pipe or device is refused, see FileKind.h).

// The writing end handed to a writer callback. Write() passes bytes on and
// keeps the first failure with the system's reason; after a failure
// nothing more is written and Write() returns false, so a writer may stop
// at the first false or carry on, the result is the same.
class TSafeFileSink {
public:
    bool Write(QByteArrayView bytes);
    // The writer gives up with its own complete error text (a source that
    // cannot be read: "source: reason"); the old file stays.
    void Fail(const QString& error);
    bool Failed() const { return !m_error.isEmpty(); }

private:
    friend bool WriteFileSafely(const QString&, const std::function<void(TSafeFileSink&)>&,
                                QString*);
    TSafeFileSink(QSaveFile& file, const QString& path) : m_file(file), m_path(path) {}
    bool Flush();
    void FailWith(int systemError);

    QSaveFile& m_file;
    const QString m_path;
    QString m_error;
};

// Replaces `path` with `bytes`. False with the reason in `error`.
bool WriteFileSafely(const QString& path, QByteArrayView bytes, QString* error);
// Replaces `path` with what `writer` writes into the sink.
bool WriteFileSafely(const QString& path, const std::function<void(TSafeFileSink&)>& writer,
                     QString* error);

// A file that grows by whole records (a log row): every record is appended
// and handed to the system in one piece; when that fails part way the
// file is cut back to its length before the record, so it always ends
// with the last whole record.
class TAppendFile {
public:
    TAppendFile() = default;
    ~TAppendFile() { Close(); }
    TAppendFile(const TAppendFile&) = delete;
    TAppendFile& operator=(const TAppendFile&) = delete;

    // Opens the existing regular file `path` for appending; one that has
    // gone is an error, not created anew. False with the reason in `error`.
    bool Open(const QString& path, QString* error);
    // Appends one record; false with the reason in `error`.
    bool Append(QByteArrayView record, QString* error);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    QString Path() const { return m_path; }

private:
    int m_fd = -1;
    QString m_path;
};

// Opens `path`, appends one record and closes it again.
bool AppendToFile(const QString& path, QByteArrayView record, QString* error);
