// SPDX-License-Identifier: MIT
#include "TSimPty.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSocketNotifier>

#include <algorithm>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr qsizetype kMaxPending = 256 * 1024;
constexpr int kHostCheckMs = 50;

QString DefaultLinkPath() {
    static QAtomicInt counter;
    return QDir::temp().filePath(QStringLiteral("orxsim-%1-%2")
                                     .arg(QCoreApplication::applicationPid())
                                     .arg(counter.fetchAndAddRelaxed(1) + 1));
}

QString SystemError(const char* what) {
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

TSimPty::TSimPty(const TSimOptions& options, QObject* parent)
    : QObject(parent), m_sensor(options), m_linkPath(DefaultLinkPath()),
      m_requiredRate(options.RequiredRate) {
    connect(&m_sensor, &TSimSensor::Send, this, &TSimPty::Write);
    connect(&m_sensor, &TSimSensor::HangUpRequested, this, &TSimPty::Unplug);
    m_hostCheck.setInterval(kHostCheckMs);
    connect(&m_hostCheck, &QTimer::timeout, this, &TSimPty::CheckHost);
    m_paceTimer.setSingleShot(true);
    m_paceTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_paceTimer, &QTimer::timeout, this, [this] {
        if (m_readNotifier) m_readNotifier->setEnabled(m_hostConnected);
        OnReadable();
    });
}

void TSimPty::SetPacedInput(bool on) {
    m_paced = on;
    m_paceClock.start();
    m_carriedNs = 0;
    m_lineIdle = true;
}

TSimPty::~TSimPty() {
    ClosePair();
    if (!m_linkPath.isEmpty()) QFile::remove(m_linkPath);
}

void TSimPty::SetLinkPath(const QString& path) {
    m_linkPath = path;
}

QString TSimPty::DevicePath() const {
    return m_linkPath.isEmpty() ? m_slavePath : m_linkPath;
}

bool TSimPty::Start() {
    if (m_master >= 0) return true;
    return OpenPair() && PointLink();
}

int TSimPty::HostLineRate() const {
    termios tio{};
    if (m_master < 0 || tcgetattr(m_master, &tio) != 0) return 0;
    static const struct {
        speed_t speed;
        int rate;
    } rates[] = {{B110, 110},       {B300, 300},      {B600, 600},       {B1200, 1200},
                 {B2400, 2400},     {B4800, 4800},    {B9600, 9600},     {B19200, 19200},
                 {B38400, 38400},   {B57600, 57600},  {B115200, 115200}, {B230400, 230400},
                 {B460800, 460800}, {B921600, 921600}};
    const speed_t speed = cfgetospeed(&tio);
    for (const auto& r : rates)
        if (r.speed == speed) return r.rate;
    return 0;
}

bool TSimPty::OpenPair() {
    const int fd = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        m_error = SystemError("posix_openpt");
        return false;
    }
    termios tio{};
    if (grantpt(fd) != 0 || unlockpt(fd) != 0 || tcgetattr(fd, &tio) != 0) {
        m_error = SystemError("pty set-up");
        ::close(fd);
        return false;
    }
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
    const char* name = ptsname(fd);
    if (!name) {
        m_error = SystemError("ptsname");
        ::close(fd);
        return false;
    }
    m_slavePath = QString::fromLocal8Bit(name);
    // Open and close the slave once: from then on the master reports a
    // hang-up until the host opens it, which is how the host is noticed.
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave >= 0) ::close(slave);
    m_master = fd;
    m_readNotifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(m_readNotifier.get(), &QSocketNotifier::activated, this, &TSimPty::OnReadable);
    m_writeNotifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier.get(), &QSocketNotifier::activated, this, &TSimPty::OnWritable);
    m_hostConnected = false;
    CheckHost();
    return true;
}

void TSimPty::ClosePair() {
    m_hostCheck.stop();
    m_readNotifier.reset();
    m_writeNotifier.reset();
    m_pending.clear();
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
    SetHostConnected(false);
}

// Creates the link under a temporary name and renames it over the old one,
// so the path never dangles between two ptys.
bool TSimPty::PointLink() {
    if (m_linkPath.isEmpty()) return true;
    const QByteArray link = QFile::encodeName(m_linkPath);
    const QByteArray temp = link + ".new";
    ::unlink(temp.constData());
    if (::symlink(QFile::encodeName(m_slavePath).constData(), temp.constData()) != 0 ||
        ::rename(temp.constData(), link.constData()) != 0) {
        m_error = SystemError("symlink");
        ::unlink(temp.constData());
        return false;
    }
    return true;
}

void TSimPty::Unplug() {
    ClosePair();
    if (!m_linkPath.isEmpty()) QFile::remove(m_linkPath);
}

bool TSimPty::Replug() {
    ClosePair();
    return OpenPair() && PointLink();
}

void TSimPty::SetHostConnected(bool connected) {
    if (m_hostConnected == connected) return;
    m_hostConnected = connected;
    emit HostConnectedChanged(connected);
}

void TSimPty::CheckHost() {
    if (m_master < 0) return;
    pollfd p{m_master, POLLIN, 0};
    const bool hungUp = ::poll(&p, 1, 0) >= 0 && (p.revents & POLLHUP);
    SetHostConnected(!hungUp);
    m_readNotifier->setEnabled(!hungUp);
    if (hungUp) {
        m_pending.clear();
        m_writeNotifier->setEnabled(false);
        m_hostCheck.start();
    } else {
        m_hostCheck.stop();
    }
}

void TSimPty::OnReadable() {
    if (m_master < 0) return;
    char buffer[4096];
    qsizetype want = sizeof buffer;
    qint64 byteNs = 0;
    if (m_paced) {
        // Take only what the line has carried since the last piece; wake
        // again when a piece of about two milliseconds has crossed.
        byteNs = 10'000'000'000LL / std::max(1, HostLineRate() > 0 ? HostLineRate() : 9600);
        const qint64 now = m_paceClock.nsecsElapsed();
        const qint64 piece = std::max<qint64>(byteNs, 2'000'000);
        // A line that idled starts carrying when the next bytes come; one
        // that had bytes waiting carried them all the time, however late
        // this reader looks.
        if (m_lineIdle) {
            m_lineIdle = false;
            m_carriedNs = now - byteNs;
        }
        want = qsizetype(std::min<qint64>(sizeof buffer, (now - m_carriedNs) / byteNs));
        if (want <= 0) {
            if (m_readNotifier) m_readNotifier->setEnabled(false);
            m_paceTimer.start(int(std::max<qint64>(1, (m_carriedNs + piece - now) / 1'000'000)));
            return;
        }
    }
    const ssize_t n = ::read(m_master, buffer, size_t(want));
    if (m_paced && n >= 0) {
        // Less than the line could carry: it idles until the next bytes.
        m_carriedNs += qint64(n) * byteNs;
        m_lineIdle = n < want;
    }
    if (n > 0) {
        SetHostConnected(true);
        if (m_requiredRate > 0 && HostLineRate() != m_requiredRate) return; // noise to the sensor
        m_sensor.Receive(QByteArray(buffer, qsizetype(n)));
        return;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
    CheckHost(); // EIO: the host closed the slave
}

void TSimPty::Write(const QByteArray& bytes) {
    if (m_master < 0 || !m_hostConnected) return;
    if (!m_pending.isEmpty()) {
        if (m_pending.size() + bytes.size() <= kMaxPending) m_pending += bytes;
        return;
    }
    const ssize_t n = ::write(m_master, bytes.constData(), size_t(bytes.size()));
    if (n == bytes.size()) return;
    if (n < 0 && errno != EAGAIN && errno != EINTR) return;
    m_pending = bytes.mid(n < 0 ? 0 : qsizetype(n));
    m_writeNotifier->setEnabled(true);
}

void TSimPty::OnWritable() {
    if (m_master < 0 || m_pending.isEmpty()) {
        if (m_writeNotifier) m_writeNotifier->setEnabled(false);
        return;
    }
    const ssize_t n = ::write(m_master, m_pending.constData(), size_t(m_pending.size()));
    if (n > 0)
        m_pending.remove(0, qsizetype(n));
    else if (errno != EAGAIN && errno != EINTR)
        m_pending.clear();
    if (m_pending.isEmpty()) m_writeNotifier->setEnabled(false);
}
