// SPDX-License-Identifier: MIT
#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

// A small file system of the test's own that it can fill up: a tmpfs of
// `bytes` mounted on a temporary folder, unmounted again when the object
// goes. Mounting needs root (CI runs as root); a test that needs a full
// disk and cannot have one fails with Error() rather than passing quietly:
//
//     TFullFileSystem disk;
//     QVERIFY2(disk.Mounted(), qPrintable(disk.Error()));
//     ... files on disk.FilePath("x") ...
//     QVERIFY(disk.Fill());
class TFullFileSystem {
public:
    explicit TFullFileSystem(qint64 bytes = 256 * 1024) {
        if (!m_folder.isValid()) {
            m_error = QStringLiteral("no temporary folder for the file system: %1")
                          .arg(m_folder.errorString());
            return;
        }
        const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0755";
        if (::mount("orxterm-test", QFile::encodeName(m_folder.path()).constData(), "tmpfs",
                    MS_NOSUID | MS_NODEV | MS_NOEXEC, options.constData()) != 0) {
            const int e = errno;
            m_error = QStringLiteral("this test needs a full file system and cannot have one: "
                                     "mounting a tmpfs on %1 failed (%2; it needs root, as in CI)")
                          .arg(m_folder.path(), QString::fromLocal8Bit(std::strerror(e)));
            return;
        }
        m_mounted = true;
    }
    ~TFullFileSystem() {
        if (m_mounted) ::umount2(QFile::encodeName(m_folder.path()).constData(), MNT_DETACH);
    }
    TFullFileSystem(const TFullFileSystem&) = delete;
    TFullFileSystem& operator=(const TFullFileSystem&) = delete;

    bool Mounted() const { return m_mounted; }
    QString Error() const { return m_error; }
    QString Path() const { return m_folder.path(); }
    QString FilePath(const QString& name) const { return m_folder.filePath(name); }

    // Fills the file system with a filler file until the system says it
    // is full, then frees about `leaveFree` bytes again (whole pages).
    bool Fill(qint64 leaveFree = 0) {
        const QByteArray path = QFile::encodeName(FilePath(QStringLiteral(".filler")));
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd < 0) return false;
        const QByteArray chunk(4096, 'f');
        ssize_t n = 0;
        do {
            n = ::write(fd, chunk.constData(), size_t(chunk.size()));
        } while (n > 0 || (n < 0 && errno == EINTR));
        const bool full = n < 0 && errno == ENOSPC;
        struct stat st {};
        bool freed = leaveFree <= 0;
        if (!freed && ::fstat(fd, &st) == 0)
            freed = ::ftruncate(fd, std::max<off_t>(0, st.st_size - off_t(leaveFree))) == 0;
        ::close(fd);
        return full && freed;
    }

    // What is left, as the system counts it.
    qint64 FreeBytes() const {
        struct statvfs vfs {};
        if (::statvfs(QFile::encodeName(Path()).constData(), &vfs) != 0) return -1;
        return qint64(vfs.f_bavail) * qint64(vfs.f_frsize);
    }

    // The names in the folder besides the filler: what a failed write left.
    QStringList Files() const {
        QStringList names = QDir(Path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
        names.removeAll(QStringLiteral(".filler"));
        return names;
    }

private:
    QTemporaryDir m_folder;
    bool m_mounted = false;
    QString m_error;
};
