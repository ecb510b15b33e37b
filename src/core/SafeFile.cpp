// SPDX-License-Identifier: MIT
#include "SafeFile.h"

#include "FileKind.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Back to `size` after a record got out only in part. Should that fail
// too, the write's reason is still the one to report.
void CutBack(int fd, off_t size) {
    while (::ftruncate(fd, size) != 0 && errno == EINTR) {
    }
}
} // namespace

// A short write gives no error of its own (the device reports only the
// count), and a buffered one fails only when the buffer is flushed; errno
// right after the call names the system's reason in both cases.
void TSafeFileSink::FailWith(int systemError) {
    const QString reason = systemError ? qt_error_string(systemError) : m_file.errorString();
    m_error = FileErrorText(m_path, reason);
}

bool TSafeFileSink::Write(QByteArrayView bytes) {
    if (Failed()) return false;
    if (bytes.isEmpty()) return true;
    errno = 0;
    if (m_file.write(bytes.data(), bytes.size()) == bytes.size()) return true;
    FailWith(errno);
    return false;
}

bool TSafeFileSink::Flush() {
    if (Failed()) return false;
    errno = 0;
    if (!m_file.flush()) {
        FailWith(errno);
        return false;
    }
    if (m_file.error() != QFileDevice::NoError) {
        FailWith(0);
        return false;
    }
    return true;
}

void TSafeFileSink::Fail(const QString& error) {
    if (!Failed()) m_error = error.isEmpty() ? FileErrorText(m_path, m_file.errorString()) : error;
}

bool WriteFileSafely(const QString& path, QByteArrayView bytes, QString* error) {
    return WriteFileSafely(
        path, [bytes](TSafeFileSink& sink) { sink.Write(bytes); }, error);
}

bool WriteFileSafely(const QString& path, const std::function<void(TSafeFileSink&)>& writer,
                     QString* error) {
    if (!CheckFileTarget(path, error)) return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error) *error = FileErrorText(path, file.errorString());
        return false;
    }
    TSafeFileSink sink(file, path);
    writer(sink);
    // Everything must be on its way to the disk before the new file takes
    // the old one's place: commit() alone would rename a file whose last
    // buffered block was never written.
    if (!sink.Flush()) {
        if (error) *error = sink.m_error;
        file.cancelWriting(); // the temporary file goes, the old file stays
        return false;
    }
    if (!file.commit()) {
        if (error) *error = FileErrorText(path, file.errorString());
        return false;
    }
    return true;
}

bool TAppendFile::Open(const QString& path, QString* error) {
    Close();
    if (!CheckRegularFile(path, error)) return false;
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (error) *error = FileErrorText(path, qt_error_string(errno));
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        if (error) *error = FileErrorText(path, FileKindText(TFileKind::Other));
        return false;
    }
    ::fcntl(fd, F_SETFL, O_APPEND);
    m_fd = fd;
    m_path = path;
    return true;
}

bool TAppendFile::Append(QByteArrayView record, QString* error) {
    if (m_fd < 0) {
        if (error) *error = FileErrorText(m_path, qt_error_string(EBADF));
        return false;
    }
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) {
        if (error) *error = FileErrorText(m_path, qt_error_string(errno));
        return false;
    }
    const off_t before = st.st_size;
    qsizetype done = 0;
    while (done < record.size()) {
        const ssize_t n = ::write(m_fd, record.data() + done, size_t(record.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        const int e = n < 0 ? errno : ENOSPC;
        // The piece that did get out goes again: the file ends with the
        // last whole record.
        if (done > 0) CutBack(m_fd, before);
        if (error) *error = FileErrorText(m_path, qt_error_string(e));
        return false;
    }
    return true;
}

void TAppendFile::Close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

bool AppendToFile(const QString& path, QByteArrayView record, QString* error) {
    TAppendFile file;
    return file.Open(path, error) && file.Append(record, error);
}
