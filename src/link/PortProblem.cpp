// SPDX-License-Identifier: MIT
#include "PortProblem.h"

#include "Labels.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// A lock file holds a PID and, for some writers, a program and host name;
// anything larger is not a lock file.
constexpr qsizetype kMaxLockBytes = 64;

// At most `limit` bytes of a regular file that is opened without following
// a symbolic link and without waiting (a fifo must not block the window).
std::optional<QByteArray> ReadSmallRegularFile(const QString& path, qsizetype limit) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    std::optional<QByteArray> result;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        QByteArray bytes(limit, '\0');
        const ssize_t n = ::read(fd, bytes.data(), size_t(limit));
        if (n >= 0) {
            bytes.truncate(qsizetype(n));
            result = bytes;
        }
    }
    ::close(fd);
    return result;
}

QString DisplayName(const QString& port) {
    return port.trimmed();
}
} // namespace

std::optional<qint64> ReadLockPid(const QString& lockFile) {
    const std::optional<QByteArray> bytes = ReadSmallRegularFile(lockFile, kMaxLockBytes);
    if (!bytes || bytes->isEmpty()) return std::nullopt;
    const QByteArray text = bytes->trimmed();
    const qsizetype end = text.indexOf('\n');
    const QByteArray first = (end < 0 ? text : text.left(end)).trimmed();
    bool ok = false;
    const qint64 pid = first.toLongLong(&ok);
    if (ok && pid > 0) return pid;
    // The older form: the PID as the writer's int, nothing else.
    if (bytes->size() == qsizetype(sizeof(qint32))) {
        qint32 value = 0;
        std::memcpy(&value, bytes->constData(), sizeof value);
        if (value > 0) return qint64(value);
    }
    return std::nullopt;
}

QStringList DefaultLockDirs() {
    return {QStringLiteral("/var/lock"), QStringLiteral("/run/lock"), QDir::tempPath()};
}

TLockHolder FindLockHolder(const QString& devicePath, const QStringList& lockDirs,
                           const QString& procRoot) {
    // The lock is named after the device as it was opened; a link (a
    // by-id name) may have been opened as the device it points to.
    QStringList names{QFileInfo(devicePath).fileName()};
    const QString target = QFileInfo(devicePath).canonicalFilePath();
    if (!target.isEmpty() && !names.contains(QFileInfo(target).fileName()))
        names << QFileInfo(target).fileName();
    // A device in a folder below /dev is named with '_' for '/' by the
    // serial port library: "LCK..pts_3" for /dev/pts/3.
    for (const QString& path : {devicePath, target}) {
        if (!path.startsWith(QLatin1String("/dev/"))) continue;
        const QString flat = path.mid(5).replace(u'/', u'_');
        if (!names.contains(flat)) names << flat;
    }
    for (const QString& dir : lockDirs) {
        for (const QString& name : names) {
            const auto pid = ReadLockPid(dir + QStringLiteral("/LCK..") + name);
            if (!pid) continue;
            const QString procDir = procRoot + u'/' + QString::number(*pid);
            if (!QFileInfo(procDir).isDir()) continue; // stale: its process has ended
            TLockHolder holder;
            holder.Pid = *pid;
            if (const auto comm = ReadSmallRegularFile(procDir + QStringLiteral("/comm"), 64))
                holder.Program = QString::fromLocal8Bit(comm->trimmed());
            return holder;
        }
    }
    return {};
}

QString DeviceGroup(const QString& devicePath) {
    struct stat st {};
    if (::stat(QFile::encodeName(devicePath).constData(), &st) == 0) {
        group entry{};
        group* found = nullptr;
        char buffer[4096];
        if (::getgrgid_r(st.st_gid, &entry, buffer, sizeof buffer, &found) == 0 && found &&
            found->gr_name && *found->gr_name)
            return QString::fromLocal8Bit(found->gr_name);
    }
    return QStringLiteral("dialout");
}

QString CurrentUserName() {
    passwd entry{};
    passwd* found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found &&
        found->pw_name && *found->pw_name)
        return QString::fromLocal8Bit(found->pw_name);
    const QString user = qEnvironmentVariable("USER");
    return user.isEmpty() ? QStringLiteral("$USER") : user;
}

QString PortDevicePath(const QString& port) {
    const QString p = port.trimmed();
    return p.startsWith(u'/') ? p : QStringLiteral("/dev/") + p;
}

QString TPortProblem::ShortText() const {
    using F = TComPort::TOpenFailure;
    const QString port = DisplayName(Port);
    switch (Failure) {
    case F::None:
        return {};
    case F::NoPort:
        return LabelText(604);
    case F::Permission:
        return LabelText(600).arg(port);
    case F::Busy:
        if (Holder.Pid > 0)
            return LabelText(601).arg(
                port, Holder.Program.isEmpty() ? QStringLiteral("?") : Holder.Program,
                QString::number(Holder.Pid));
        return LabelText(602).arg(port);
    case F::NotFound:
        return LabelText(603).arg(port);
    case F::Other:
        break;
    }
    return LabelText(605).arg(port, Reason);
}

QString TPortProblem::FixText() const {
    using F = TComPort::TOpenFailure;
    switch (Failure) {
    case F::None:
    case F::Other:
        return {};
    case F::NoPort:
        return LabelText(614);
    case F::Permission:
        return LabelText(606).arg(Group) + u'\n' +
               QStringLiteral("sudo usermod -aG %1 %2").arg(Group, User) + u'\n' + LabelText(607);
    case F::Busy:
        if (Holder.Pid > 0 && !Holder.Program.isEmpty())
            return LabelText(608).arg(Holder.Program, QString::number(Holder.Pid));
        return LabelText(609);
    case F::NotFound:
        break;
    }
    QStringList others = Present;
    others.removeAll(Port.trimmed());
    return others.isEmpty() ? LabelText(612)
                            : LabelText(611).arg(others.join(QStringLiteral(", ")));
}

TPortProblem DescribeOpenFailure(const TComPort& port) {
    using F = TComPort::TOpenFailure;
    TPortProblem p;
    p.Failure = port.OpenFailure();
    p.Port = port.Port().trimmed();
    p.Reason = port.ErrorText();
    const QString path = PortDevicePath(p.Port);
    switch (p.Failure) {
    case F::Permission:
        p.Group = DeviceGroup(path);
        p.User = CurrentUserName();
        break;
    case F::Busy:
        p.Holder = FindLockHolder(path, DefaultLockDirs());
        break;
    case F::NotFound:
        p.Present = ListSerialPorts();
        break;
    default:
        break;
    }
    return p;
}
