// SPDX-License-Identifier: MIT
#include "FileKind.h"

#include "Labels.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
TFileKind KindOfMode(mode_t mode) {
    if (S_ISREG(mode)) return TFileKind::Regular;
    if (S_ISDIR(mode)) return TFileKind::Folder;
    if (S_ISFIFO(mode)) return TFileKind::Fifo;
    if (S_ISCHR(mode) || S_ISBLK(mode)) return TFileKind::Device;
    if (S_ISSOCK(mode)) return TFileKind::Socket;
    return TFileKind::Other;
}

// A label in the current language; its English text while there is no
// application yet (the label file's path comes from the program's own).
QString Text(int label, const char* english) {
    if (!QCoreApplication::instance()) return QString::fromUtf8(english);
    return LabelTextOr(label, QString::fromUtf8(english));
}

bool Fail(QString* error, const QString& path, TFileKind kind, int systemError = 0) {
    if (error) *error = FileErrorText(path, FileKindText(kind, systemError));
    return false;
}

bool FailErrno(QString* error, const QString& path, int systemError) {
    if (error) *error = FileErrorText(path, qt_error_string(systemError));
    return false;
}

// Hands the open descriptor `fd` of a regular file to `file`, blocking
// again from here on; closes it on every failure.
bool Adopt(QFile& file, const QString& path, int fd, QIODevice::OpenMode mode, QString* error) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int e = errno;
        ::close(fd);
        return FailErrno(error, path, e);
    }
    if (const TFileKind kind = KindOfMode(st.st_mode); kind != TFileKind::Regular) {
        ::close(fd);
        return Fail(error, path, kind);
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    if (!file.open(fd, mode, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        if (error) *error = FileErrorText(path, file.errorString());
        return false;
    }
    return true;
}
} // namespace

TFileKind FileKindOf(const QString& path, int* systemError) {
    if (systemError) *systemError = 0;
    const QByteArray native = QFile::encodeName(path);
    if (native.isEmpty()) return TFileKind::Missing;
    struct stat st {};
    if (::stat(native.constData(), &st) == 0) return KindOfMode(st.st_mode);
    const int e = errno;
    if (e == ENOENT) {
        // Nothing at the end of the path: a link that points there is
        // worth naming, the user sees it in the folder.
        if (::lstat(native.constData(), &st) == 0 && S_ISLNK(st.st_mode))
            return TFileKind::DanglingLink;
        return TFileKind::Missing;
    }
    if (e == ELOOP) return TFileKind::LinkLoop;
    if (systemError) *systemError = e;
    return TFileKind::Unreachable;
}

QString FileKindText(TFileKind kind, int systemError) {
    switch (kind) {
    case TFileKind::Missing:
        return qt_error_string(ENOENT);
    case TFileKind::Regular:
        return QString();
    case TFileKind::Folder:
        return Text(260, "is a folder");
    case TFileKind::Fifo:
        return Text(261, "is a named pipe (FIFO), not a regular file");
    case TFileKind::Device:
        return Text(262, "is a device, not a regular file");
    case TFileKind::Socket:
        return Text(263, "is a socket, not a regular file");
    case TFileKind::DanglingLink:
        return Text(264, "is a symbolic link to a file that does not exist");
    case TFileKind::LinkLoop:
        return Text(265, "is a loop of symbolic links");
    case TFileKind::Other:
        return Text(216, "not a regular file");
    case TFileKind::Unreachable:
        break;
    }
    return qt_error_string(systemError ? systemError : EACCES);
}

QString FileErrorText(const QString& path, const QString& reason) {
    return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), reason);
}

bool CheckRegularFile(const QString& path, QString* error) {
    int systemError = 0;
    const TFileKind kind = FileKindOf(path, &systemError);
    return kind == TFileKind::Regular || Fail(error, path, kind, systemError);
}

bool CheckFileTarget(const QString& path, QString* error) {
    int systemError = 0;
    const TFileKind kind = FileKindOf(path, &systemError);
    return kind == TFileKind::Regular || kind == TFileKind::Missing ||
           Fail(error, path, kind, systemError);
}

bool OpenRegularFile(QFile& file, const QString& path, QString* error) {
    if (!CheckRegularFile(path, error)) return false;
    file.setFileName(path);
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return FailErrno(error, path, errno);
    return Adopt(file, path, fd, QIODevice::ReadOnly, error);
}

bool OpenFileTarget(QFile& file, const QString& path, QString* error) {
    if (!CheckFileTarget(path, error)) return false;
    file.setFileName(path);
    // Emptied only once it is known to be a regular file.
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) return FailErrno(error, path, errno);
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::ftruncate(fd, 0) != 0) {
        const int e = errno;
        ::close(fd);
        return FailErrno(error, path, e);
    }
    return Adopt(file, path, fd, QIODevice::WriteOnly, error);
}
