// SPDX-License-Identifier: MIT
#include "TComPort.h"

#include "Labels.h"
#include "TComDataPacket.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QSettings>
#include <QSocketNotifier>

#include <algorithm>

#include <cerrno>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {
const char* const kBaudTexts[] = {"Custom", "110",    "300",    "600",    "1200",
                                  "2400",   "4800",   "9600",   "19200",  "38400",
                                  "57600",  "115200", "230400", "460800", "921600"};
const int kBaudValues[] = {9600,  110,   300,   600,    1200,   2400,   4800,  9600,
                           19200, 38400, 57600, 115200, 230400, 460800, 921600};
const char* const kDataTexts[] = {"5", "6", "7", "8"};
const char* const kStopTexts[] = {"1", "1.5", "2"};
const char* const kParityTexts[] = {"None", "Odd", "Even", "Mark", "Space"};
const char* const kFlowTexts[] = {"Hardware", "Software", "None", "Custom"};

template <typename E, size_t N>
E FromText(const QString& text, const char* const (&texts)[N], E fallback) {
    for (size_t i = 0; i < N; ++i)
        if (text == QLatin1String(texts[i])) return E(i);
    return fallback;
}

template <typename E, size_t N> QString ToText(E value, const char* const (&texts)[N]) {
    const size_t i = size_t(value);
    return i < N ? QLatin1String(texts[i]) : QString();
}
} // namespace

QString BaudRateToStr(TBaudRate rate) {
    return ToText(rate, kBaudTexts);
}
TBaudRate StrToBaudRate(const QString& text) {
    return FromText(text, kBaudTexts, TBaudRate::br9600);
}
int BaudRateValue(TBaudRate rate) {
    return kBaudValues[size_t(rate) < 15 ? size_t(rate) : 7];
}
QString DataBitsToStr(TDataBits bits) {
    return ToText(bits, kDataTexts);
}
TDataBits StrToDataBits(const QString& text) {
    return FromText(text, kDataTexts, TDataBits::Eight);
}
QString StopBitsToStr(TStopBits bits) {
    return ToText(bits, kStopTexts);
}
TStopBits StrToStopBits(const QString& text) {
    return FromText(text, kStopTexts, TStopBits::One);
}
QString ParityToStr(TParityBits parity) {
    return ToText(parity, kParityTexts);
}
TParityBits StrToParity(const QString& text) {
    return FromText(text, kParityTexts, TParityBits::None);
}
QString FlowControlToStr(TFlowControl flow) {
    return ToText(flow, kFlowTexts);
}
TFlowControl StrToFlowControl(const QString& text) {
    return FromText(text, kFlowTexts, TFlowControl::Software);
}

QStringList BaudRateTexts() {
    QStringList list;
    for (const char* t : kBaudTexts)
        list << QLatin1String(t);
    return list;
}

QStringList ListSerialPorts() {
    QStringList names;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        names << info.portName();
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

QHash<QString, QString> SerialByIdNames(const QString& byIdDir) {
    QHash<QString, QString> names;
    const QFileInfoList links = QDir(byIdDir).entryInfoList(
        QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& link : links) {
        const QString device = link.canonicalFilePath(); // empty for a dangling link
        if (!device.isEmpty() && !names.contains(device)) names.insert(device, link.fileName());
    }
    return names;
}

QList<TSerialPortEntry> SerialPortEntries(const QString& byIdDir) {
    const QHash<QString, QString> byId = SerialByIdNames(byIdDir);
    QList<TSerialPortEntry> entries;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        TSerialPortEntry e;
        e.Name = info.portName();
        e.Location = info.systemLocation();
        e.Description = info.description().trimmed();
        e.Manufacturer = info.manufacturer().trimmed();
        e.Usb = info.hasVendorIdentifier();
        const QString device = QFileInfo(e.Location).canonicalFilePath();
        e.ById = byId.value(device.isEmpty() ? e.Location : device);
        entries << e;
    }
    std::sort(entries.begin(), entries.end(),
              [](const TSerialPortEntry& a, const TSerialPortEntry& b) { return a.Name < b.Name; });
    entries.erase(std::unique(entries.begin(), entries.end(),
                              [](const TSerialPortEntry& a, const TSerialPortEntry& b) {
                                  return a.Name == b.Name;
                              }),
                  entries.end());
    return entries;
}

QString PortEntryText(const TSerialPortEntry& e) {
    QStringList parts{e.Name};
    QString about = e.Description;
    if (!e.Manufacturer.isEmpty() && !about.contains(e.Manufacturer))
        about =
            about.isEmpty() ? e.Manufacturer : QStringLiteral("%1 (%2)").arg(about, e.Manufacturer);
    if (!about.isEmpty()) parts << about;
    if (!e.ById.isEmpty()) parts << e.ById;
    return parts.join(QStringLiteral(" - "));
}

QString ProposePort(const QList<TSerialPortEntry>& entries,
                    const std::function<bool(const QString& location)>& opens) {
    for (const TSerialPortEntry& e : entries)
        if (e.Usb || e.Name.startsWith(QLatin1String("ttyUSB")) ||
            e.Name.startsWith(QLatin1String("ttyACM")))
            return e.Name;
    // A built-in port is listed whether or not a UART is behind it; only
    // one that opens is worth proposing.
    for (const TSerialPortEntry& e : entries)
        if (opens && opens(e.Location.isEmpty() ? QStringLiteral("/dev/") + e.Name : e.Location))
            return e.Name;
    return {};
}

bool DeviceOpens(const QString& location) {
    const int fd =
        ::open(QFile::encodeName(location).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

TComPort::TComPort(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("ComPort"));
    connect(&m_serial, &QSerialPort::readyRead, this, &TComPort::OnReadyRead);
    // Queued: the port is closed outside the serial object's own call.
    connect(&m_serial, &QSerialPort::errorOccurred, this, &TComPort::OnError, Qt::QueuedConnection);
}

TComPort::~TComPort() {
    const auto framers = m_framers;
    for (TComDataPacket* f : framers)
        f->SetComPort(nullptr);
    m_outNotifier.reset();
    m_serial.close();
}

void TComPort::SetPort(const QString& port) {
    m_settings.Port = port;
}

#define ORX_SETTER(Name, Type, Member)                                                             \
    void TComPort::Set##Name(Type value) {                                                         \
        m_settings.Member = value;                                                                 \
        m_dirty = true;                                                                            \
        if (m_updateDepth == 0) ApplyLineSettings();                                               \
    }
ORX_SETTER(BaudRate, TBaudRate, BaudRate)
ORX_SETTER(DataBits, TDataBits, DataBits)
ORX_SETTER(StopBits, TStopBits, StopBits)
ORX_SETTER(Parity, TParityBits, Parity)
ORX_SETTER(FlowControl, TFlowControl, FlowControl)
#undef ORX_SETTER

void TComPort::SetSettings(const TComPortSettings& settings) {
    BeginUpdate();
    SetPort(settings.Port);
    SetBaudRate(settings.BaudRate);
    SetDataBits(settings.DataBits);
    SetStopBits(settings.StopBits);
    SetParity(settings.Parity);
    SetFlowControl(settings.FlowControl);
    EndUpdate();
}

void TComPort::BeginUpdate() {
    ++m_updateDepth;
}

void TComPort::EndUpdate() {
    if (m_updateDepth > 0 && --m_updateDepth == 0 && m_dirty) ApplyLineSettings();
}

void TComPort::ApplyLineSettings() {
    m_dirty = false;
    if (!m_serial.isOpen()) return;
    m_serial.setBaudRate(BaudRateValue(m_settings.BaudRate));
    static const QSerialPort::DataBits data[] = {QSerialPort::Data5, QSerialPort::Data6,
                                                 QSerialPort::Data7, QSerialPort::Data8};
    static const QSerialPort::StopBits stop[] = {QSerialPort::OneStop, QSerialPort::OneAndHalfStop,
                                                 QSerialPort::TwoStop};
    static const QSerialPort::Parity parity[] = {QSerialPort::NoParity, QSerialPort::OddParity,
                                                 QSerialPort::EvenParity, QSerialPort::MarkParity,
                                                 QSerialPort::SpaceParity};
    static const QSerialPort::FlowControl flow[] = {
        QSerialPort::HardwareControl, QSerialPort::SoftwareControl, QSerialPort::NoFlowControl,
        QSerialPort::NoFlowControl};
    m_serial.setDataBits(data[int(m_settings.DataBits)]);
    m_serial.setStopBits(stop[int(m_settings.StopBits)]);
    m_serial.setParity(parity[int(m_settings.Parity)]);
    m_serial.setFlowControl(flow[int(m_settings.FlowControl)]);
    // DTR and RTS stay off (RTS belongs to the handshake under hardware flow control).
    m_serial.setDataTerminalReady(false);
    if (m_settings.FlowControl != TFlowControl::Hardware) m_serial.setRequestToSend(false);
    ClearIxany();
}

// Software flow control as the system sets it up lets any received byte
// release output held by XOFF; the sensor's flow control means XON only,
// or a measurement line arriving during a long write would let the write
// overrun the sensor.
void TComPort::ClearIxany() {
    termios tio{};
    const int fd = int(m_serial.handle());
    if (fd < 0 || ::tcgetattr(fd, &tio) != 0 || !(tio.c_iflag & IXANY)) return;
    tio.c_iflag &= ~tcflag_t(IXANY);
    ::tcsetattr(fd, TCSANOW, &tio);
}

bool TComPort::StoreSettings(QSettings& settings, const QString& group) const {
    settings.beginGroup(group);
    settings.setValue(QStringLiteral("Port"), m_settings.Port);
    settings.setValue(QStringLiteral("BaudRate"), BaudRateToStr(m_settings.BaudRate));
    settings.setValue(QStringLiteral("StopBits"), StopBitsToStr(m_settings.StopBits));
    settings.setValue(QStringLiteral("DataBits"), DataBitsToStr(m_settings.DataBits));
    settings.setValue(QStringLiteral("Parity"), ParityToStr(m_settings.Parity));
    settings.setValue(QStringLiteral("FlowControl"), FlowControlToStr(m_settings.FlowControl));
    settings.endGroup();
    settings.sync();
    return settings.status() == QSettings::NoError;
}

void TComPort::LoadSettings(QSettings& settings, const QString& group) {
    settings.beginGroup(group);
    auto text = [&settings](const char* key) {
        return settings.value(QLatin1String(key)).toString();
    };
    auto has = [&settings](const char* key) { return settings.contains(QLatin1String(key)); };
    TComPortSettings s = m_settings;
    s.Port = text("Port");
    if (has("BaudRate")) s.BaudRate = StrToBaudRate(text("BaudRate"));
    if (has("StopBits")) s.StopBits = StrToStopBits(text("StopBits"));
    if (has("DataBits")) s.DataBits = StrToDataBits(text("DataBits"));
    if (has("Parity")) s.Parity = StrToParity(text("Parity"));
    if (has("FlowControl")) s.FlowControl = StrToFlowControl(text("FlowControl"));
    settings.endGroup();
    SetSettings(s);
}

bool TComPort::Open() {
    if (m_serial.isOpen()) return true;
    m_errorText.clear();
    m_openFailure = TOpenFailure::None;
    m_serial.setPortName(m_settings.Port.trimmed());
    if (m_settings.Port.trimmed().isEmpty()) {
        m_errorText = QStringLiteral("No port");
        m_openFailure = TOpenFailure::NoPort;
        return false;
    }
    if (!m_serial.open(QIODevice::ReadWrite)) {
        m_errorText = m_serial.errorString();
        m_openFailure = ClassifyOpenFailure(m_serial.error());
        m_serial.clearError();
        return false;
    }
    ApplyLineSettings();
    ResetLineCounters();
    m_wireClock.start();
    m_wireFreeNs = 0;
    m_outNotifier = std::make_unique<QSocketNotifier>(m_serial.handle(), QSocketNotifier::Write);
    m_outNotifier->setEnabled(false);
    connect(m_outNotifier.get(), &QSocketNotifier::activated, this, &TComPort::WriteQueue);
    emit AfterOpen();
    return true;
}

// A port that another program holds is refused either by its lock (the
// lock file of the serial port library: the device itself opens) or by
// the device's exclusive mode (EBUSY); a device the user may not open
// refuses with EACCES. Opening the device once more, without touching its
// settings, tells these apart.
TComPort::TOpenFailure TComPort::ClassifyOpenFailure(QSerialPort::SerialPortError error) const {
    if (error == QSerialPort::DeviceNotFoundError) return TOpenFailure::NotFound;
    if (error != QSerialPort::PermissionError) return TOpenFailure::Other;
    const QString port = m_settings.Port.trimmed();
    const QString path = port.startsWith(u'/') ? port : QStringLiteral("/dev/") + port;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) {
        ::close(fd);
        return TOpenFailure::Busy; // the device opens: the lock refused it
    }
    if (errno == EBUSY) return TOpenFailure::Busy;
    if (errno == ENOENT || errno == ENODEV || errno == ENXIO) return TOpenFailure::NotFound;
    return errno == EACCES || errno == EPERM ? TOpenFailure::Permission : TOpenFailure::Other;
}

void TComPort::Close() {
    if (!m_serial.isOpen()) return;
    // What the line has not taken is dropped with the port.
    m_outNotifier.reset();
    m_outRetry.stop();
    m_out.clear();
    m_relay.clear();
    m_heldWrites = 0;
    m_txFullShown = false;
    m_serial.close();
    m_serial.clearError();
    emit AfterClose();
    CheckRelayRoom();
}

bool TComPort::Connected() const {
    return m_serial.isOpen();
}

qint64 TComPort::WriteStr(const QByteArray& data) {
    return Enqueue(m_out, MaxOutputQueue, data);
}

qint64 TComPort::WriteRelay(const QByteArray& data) {
    const qint64 queued = Enqueue(m_relay, MaxRelayQueue, data);
    if (m_relay.size() >= RelayHighMark) m_relayHeld = true;
    CheckRelayRoom(); // the line may have taken it all at once
    return queued;
}

qint64 TComPort::Enqueue(QByteArray& lane, qint64 bound, const QByteArray& data) {
    if (!m_serial.isOpen()) return data.isEmpty() ? 0 : -1;
    if (data.isEmpty()) return 0;
    const qint64 taken = std::min<qint64>(bound - lane.size(), data.size());
    if (taken < data.size() && !m_txFullShown) {
        m_txFullShown = true;
        emit LineErrors({LabelText(172)});
    }
    if (taken <= 0) return 0;
    const bool waiting = m_outRetry.isActive() || (m_outNotifier && m_outNotifier->isEnabled());
    lane.append(data.constData(), taken);
    if (!waiting) WriteQueue(); // behind a waiting queue the bytes just wait their turn
    return taken;
}

// Hands the queue to the device as far as it takes it, the own lane
// first. The device is opened non-blocking, so a full or held output
// (XOFF) answers EAGAIN: that is a wait for the line, never an error.
void TComPort::WriteQueue() {
    m_outRetry.stop();
    if (m_outNotifier) m_outNotifier->setEnabled(false);
    if (!m_serial.isOpen()) return;
    const int fd = int(m_serial.handle());
    while (!m_out.isEmpty() || !m_relay.isEmpty()) {
        QByteArray& lane = m_out.isEmpty() ? m_relay : m_out;
        const ssize_t n = ::write(fd, lane.constData(), size_t(lane.size()));
        if (n > 0) {
            lane.remove(0, qsizetype(n));
            m_heldWrites = 0;
            NoteHandedToDriver(qint64(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        CheckRelayRoom();
        if (n == 0 || errno == EAGAIN || errno == EWOULDBLOCK) {
            ScheduleWrite();
            return;
        }
        // The device refuses writes (unplugged adapter): close it outside
        // the caller's own call, as a read failure does.
        QMetaObject::invokeMethod(this, &TComPort::LoseDevice, Qt::QueuedConnection);
        return;
    }
    m_txFullShown = false;
    CheckRelayRoom();
    emit OutputDrained();
}

void TComPort::CheckRelayRoom() {
    if (!m_relayHeld || m_relay.size() >= RelayLowMark) return;
    m_relayHeld = false;
    emit RelayRoom();
}

// Waits for the line to take more: normally until the device says it can
// (no wake-ups while the line is held); a device that says so and then
// takes nothing is looked at again at a growing interval instead.
void TComPort::ScheduleWrite() {
    ++m_heldWrites;
    if (m_heldWrites <= 2 && m_outNotifier)
        m_outNotifier->setEnabled(true);
    else
        m_outRetry.start(std::min(100, 10 * m_heldWrites));
}

void TComPort::LoseDevice() {
    if (!m_serial.isOpen()) return;
    emit LineErrors({QStringLiteral("IO error")});
    Close();
    emit DeviceLost();
}

// Nanoseconds one character takes on the line: start bit, data bits,
// parity bit and stop bits at the set rate.
qint64 TComPort::CharacterNs() const {
    const qint64 halfBits = 2 * (1 + 5 + int(m_settings.DataBits)) +
                            (m_settings.Parity == TParityBits::None ? 0 : 2) +
                            (m_settings.StopBits == TStopBits::One          ? 2
                             : m_settings.StopBits == TStopBits::OneAndHalf ? 3
                                                                            : 4);
    return halfBits * 1'000'000'000 / (2 * qint64(std::max(1, BaudRateValue(m_settings.BaudRate))));
}

// The line carries what the driver was given one character after the
// other from the moment it is free; it idles while nothing is given.
void TComPort::NoteHandedToDriver(qint64 bytes) {
    const qint64 now = m_wireClock.nsecsElapsed();
    m_wireFreeNs = std::max(m_wireFreeNs, now) + bytes * CharacterNs();
}

qint64 TComPort::WireBacklog() const {
    if (!m_serial.isOpen()) return 0;
    const qint64 left = m_wireFreeNs - m_wireClock.nsecsElapsed();
    if (left <= 0) return 0;
    const qint64 character = CharacterNs();
    return (left + character - 1) / character;
}

qint64 TComPort::OutputBacklog() const {
    if (!m_serial.isOpen()) return 0;
    int driver = 0;
    if (::ioctl(int(m_serial.handle()), TIOCOUTQ, &driver) != 0 || driver < 0) driver = 0;
    return PendingOutput() + driver;
}

void TComPort::ClearBuffer() {
    if (!m_serial.isOpen()) return;
    m_serial.clear(QSerialPort::Input);
    m_serial.readAll();
}

void TComPort::AddFramer(TComDataPacket* framer) {
    if (!m_framers.contains(framer)) m_framers.append(framer);
}

void TComPort::RemoveFramer(TComDataPacket* framer) {
    m_framers.removeAll(framer);
}

void TComPort::OnReadyRead() {
    const QByteArray data = m_serial.readAll();
    if (data.isEmpty()) return;
    emit DataReceived(data);
    DeliverToFramers(data);
    CheckLineCounters();
}

void TComPort::DeliverToFramers(const QByteArray& data) {
    const auto framers = m_framers; // a handler may detach framers meanwhile
    for (TComDataPacket* f : framers)
        if (m_framers.contains(f)) f->Receive(data);
}

void TComPort::ResetLineCounters() {
    m_counters = {};
    serial_icounter_struct icount{};
    if (m_serial.handle() >= 0 && ::ioctl(int(m_serial.handle()), TIOCGICOUNT, &icount) == 0) {
        m_counters = {icount.frame, icount.parity,      icount.overrun,
                      icount.brk,   icount.buf_overrun, true};
    }
}

// Line errors of a real UART, read from the driver's counters (devices
// without counters, such as pseudo-terminals, report none).
void TComPort::CheckLineCounters() {
    if (!m_counters.valid || !m_serial.isOpen()) return;
    serial_icounter_struct icount{};
    if (::ioctl(int(m_serial.handle()), TIOCGICOUNT, &icount) != 0) return;
    QStringList texts;
    if (icount.frame != m_counters.frame) texts << LabelText(167);
    if (icount.parity != m_counters.parity) texts << LabelText(168);
    if (icount.overrun != m_counters.overrun) texts << LabelText(169);
    if (icount.brk != m_counters.brk) texts << LabelText(170);
    if (icount.buf_overrun != m_counters.bufOverrun) texts << LabelText(171);
    m_counters = {icount.frame, icount.parity,      icount.overrun,
                  icount.brk,   icount.buf_overrun, true};
    if (!texts.isEmpty()) emit LineErrors(texts);
}

void TComPort::OnError(QSerialPort::SerialPortError error) {
    switch (error) {
    case QSerialPort::NoError:
    case QSerialPort::DeviceNotFoundError:
    case QSerialPort::PermissionError:
    case QSerialPort::OpenError:
    case QSerialPort::NotOpenError:
    case QSerialPort::TimeoutError:
        return; // open failures are reported by Open's caller
    case QSerialPort::UnsupportedOperationError:
        // Devices without modem lines (pseudo-terminals, some adapters)
        // refuse DTR/RTS changes; that is no fault of the line.
        m_serial.clearError();
        return;
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
        // Only reading reaches the serial object (writes go through the
        // output queue, where a held line is a wait): a line that can no
        // longer be read is gone.
        LoseDevice();
        return;
    case QSerialPort::WriteError:
    case QSerialPort::UnknownError:
        if (m_serial.isOpen()) emit LineErrors({QStringLiteral("IO error")});
        m_serial.clearError();
        return;
    }
}

// Its meta-object code in this object file, so that a program using
// this class alone does not pull the library's windows with it.
#include "moc_TComPort.cpp"
