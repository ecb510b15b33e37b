// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>

class QSettings;
class QSocketNotifier;
class TComDataPacket;

// The six line settings of the serial port, in the text forms that the
// settings store and the status bar use.
enum class TBaudRate {
    Custom,
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br19200,
    br38400,
    br57600,
    br115200,
    br230400,
    br460800,
    br921600
};
enum class TDataBits { Five, Six, Seven, Eight };
enum class TStopBits { One, OneAndHalf, Two };
enum class TParityBits { None, Odd, Even, Mark, Space };
enum class TFlowControl { Hardware, Software, None, Custom };

struct TComPortSettings {
    QString Port;
    TBaudRate BaudRate = TBaudRate::br9600;
    TDataBits DataBits = TDataBits::Eight;
    TStopBits StopBits = TStopBits::One;
    TParityBits Parity = TParityBits::None;
    TFlowControl FlowControl = TFlowControl::Software;
    bool operator==(const TComPortSettings&) const = default;
};

// Text forms, both directions. A text that names no value gives the
// fall-back: 9600 baud, 8 data bits, 1 stop bit, no parity, XON/XOFF.
QString BaudRateToStr(TBaudRate rate);
TBaudRate StrToBaudRate(const QString& text);
int BaudRateValue(TBaudRate rate); // bits per second; Custom counts as 9600
QStringList BaudRateTexts();
QString DataBitsToStr(TDataBits bits);
TDataBits StrToDataBits(const QString& text);
QString StopBitsToStr(TStopBits bits);
TStopBits StrToStopBits(const QString& text);
QString ParityToStr(TParityBits parity);
TParityBits StrToParity(const QString& text);
QString FlowControlToStr(TFlowControl flow);
TFlowControl StrToFlowControl(const QString& text);

// The serial ports of the system, sorted by name.
QStringList ListSerialPorts();

// A serial port as the port lists show it: the name the settings store,
// what the system knows of the device, and its stable name under
// /dev/serial/by-id where it has one.
struct TSerialPortEntry {
    QString Name;         // "ttyUSB0": what is stored and opened
    QString Location;     // "/dev/ttyUSB0"
    QString Description;  // "FT232R USB UART"
    QString Manufacturer; // "FTDI"
    QString ById;         // "usb-FTDI_FT232R_USB_UART_A10KZ-if00-port0", or empty
    bool Usb = false;     // a USB adapter (it has a USB vendor id)
};

inline constexpr const char* SerialByIdDir = "/dev/serial/by-id";

// The names in `byIdDir`, by the device each leads to (its canonical
// path). Where several name one device the first in sorted order is
// taken. One listing of the folder.
QHash<QString, QString> SerialByIdNames(const QString& byIdDir = QLatin1String(SerialByIdDir));

// The serial ports of the system with their descriptions, sorted by name;
// `byIdDir` is listed once for all of them.
QList<TSerialPortEntry> SerialPortEntries(const QString& byIdDir = QLatin1String(SerialByIdDir));

// "ttyUSB0 - FT232R USB UART (FTDI) - usb-FTDI_...": the entry as a list
// shows it, the name first.
QString PortEntryText(const TSerialPortEntry& entry);

// The port for a first start: a USB adapter (ttyUSB*, ttyACM* or anything
// with a USB vendor id) when one is present; otherwise the first other
// port that `opens` says can be opened; otherwise none.
QString ProposePort(const QList<TSerialPortEntry>& entries,
                    const std::function<bool(const QString& location)>& opens);
// Whether the device at `location` opens for reading and writing now.
bool DeviceOpens(const QString& location);

// The serial port component. It opens the device by name (a system port
// name such as "ttyUSB0", or a typed device path), keeps the six line
// settings, and delivers every received chunk first to the DataReceived
// signal (the terminal) and then to the packet framers attached to it, all
// in the main thread. Line errors are reported as texts; a device that
// disappears while open closes the port cleanly (AfterClose, DeviceLost).
class TComPort : public QObject {
    Q_OBJECT
public:
    explicit TComPort(QObject* parent = nullptr);
    ~TComPort() override;

    // --- Settings --------------------------------------------------------
    TComPortSettings Settings() const { return m_settings; }
    QString Port() const { return m_settings.Port; }
    void SetPort(const QString& port);
    void SetBaudRate(TBaudRate rate);
    TBaudRate BaudRate() const { return m_settings.BaudRate; }
    void SetDataBits(TDataBits bits);
    void SetStopBits(TStopBits bits);
    void SetParity(TParityBits parity);
    void SetFlowControl(TFlowControl flow);
    void SetSettings(const TComPortSettings& settings);

    // Changes made between BeginUpdate and EndUpdate are applied to an
    // open port together when the update ends.
    void BeginUpdate();
    void EndUpdate();

    // Stores the six values as text under `group`; loads them back (a
    // missing value keeps the current one, a missing port name empties it).
    // False when the settings file could not be written.
    bool StoreSettings(QSettings& settings, const QString& group) const;
    void LoadSettings(QSettings& settings, const QString& group);

    // --- Operation ---------------------------------------------------------
    bool Open();
    void Close();
    bool Connected() const;
    QString ErrorText() const { return m_errorText; }
    // Why the last Open failed, told by the system's error codes and the
    // port's lock, never by the (translated) error text.
    enum class TOpenFailure { None, NoPort, NotFound, Busy, Permission, Other };
    TOpenFailure OpenFailure() const { return m_openFailure; }

    // Output, in two lanes that share the line. The program's own output
    // (WriteStr: typed keys, the terminal's answers, the command engine's
    // commands and transfers) goes first; relayed output (WriteRelay: what
    // TCP clients and other programs send to the sensor) takes the line
    // whenever the own lane is empty. Everything written leaves as the line
    // takes it, paced by the event loop; a write never waits. While the
    // sensor holds the line (XOFF) both lanes wait for XON.
    //
    // The own lane is bounded by MaxOutputQueue: bytes that do not fit are
    // dropped, and "TxFull error" is reported once until the queue has
    // drained. The relay lane is not meant to drop anything: its writers
    // hold their senders back instead, writing only while RelayReady() and
    // going on when RelayRoom comes. So relayed traffic never takes the own
    // lane's room, and a sender that outruns the line waits in its own
    // transport (TCP, the local socket). MaxRelayQueue bounds the lane
    // against a writer that does not ask; beyond it bytes are dropped as
    // above.
    // Both return the number of bytes queued, -1 when the port is closed.
    qint64 WriteStr(const QByteArray& data);
    qint64 WriteRelay(const QByteArray& data);
    // Bytes written that the line has not taken yet (both lanes).
    qint64 PendingOutput() const { return m_out.size() + m_relay.size(); }
    qint64 PendingRelay() const { return m_relay.size(); }
    static constexpr qint64 MaxOutputQueue = 1 << 20;
    // Relayed bytes are taken while fewer than RelayHighMark wait: a few
    // seconds of the line at 9600 baud, a fraction of one at the fastest
    // rates, so the line never runs dry for want of data while a sender is
    // read. Once held back, readers go on when fewer than RelayLowMark
    // wait: still enough for the line while the readers get going again.
    static constexpr qint64 RelayHighMark = 16 * 1024;
    static constexpr qint64 RelayLowMark = 4 * 1024;
    // The most a relay writer hands on in one piece after RelayReady said
    // yes (a copy-data piece; TCP reads are far smaller).
    static constexpr qint64 MaxRelayPiece = 64 * 1024;
    static constexpr qint64 MaxRelayQueue = RelayHighMark + MaxRelayPiece;
    bool RelayReady() const { return m_relay.size() < RelayHighMark; }
    // Bytes on their way out: the output queue and what the device's
    // driver holds and has not sent yet (a UART's buffer; a
    // pseudo-terminal reports none). 0 when the port is closed.
    qint64 OutputBacklog() const;
    // Bytes handed to the driver that the line, at its rate, cannot have
    // carried yet: what is still on its way even where the driver reports
    // nothing (a pseudo-terminal, many USB adapters). 0 when closed.
    qint64 WireBacklog() const;
    // Discards what was received and not yet read.
    void ClearBuffer();

    // Framers attached to the port (TComDataPacket::SetComPort).
    void AddFramer(TComDataPacket* framer);
    void RemoveFramer(TComDataPacket* framer);
    // Hands `data` to the attached framers, in order. The serial line's
    // data comes here; so does what the sensor sends over a TCP link, so
    // that replies and measurement lines are cut the same way on both.
    void DeliverToFramers(const QByteArray& data);

    QSerialPort& Serial() { return m_serial; }

signals:
    void AfterOpen();
    void AfterClose();
    void DataReceived(const QByteArray& data);
    // Texts of line errors, in their fixed order.
    void LineErrors(const QStringList& texts);
    // The device went away while the port was open (unplugged adapter).
    void DeviceLost();
    // The output queue has been handed to the line completely.
    void OutputDrained();
    // The relay lane, after reaching RelayHighMark, has drained below
    // RelayLowMark (or was dropped with the port): held-back readers may
    // read again.
    void RelayRoom();

private:
    void ApplyLineSettings();
    void ClearIxany();
    TOpenFailure ClassifyOpenFailure(QSerialPort::SerialPortError error) const;
    qint64 Enqueue(QByteArray& lane, qint64 bound, const QByteArray& data);
    void WriteQueue();
    qint64 CharacterNs() const;
    void NoteHandedToDriver(qint64 bytes);
    void CheckRelayRoom();
    void ScheduleWrite();
    void LoseDevice();
    void OnReadyRead();
    void OnError(QSerialPort::SerialPortError error);
    void CheckLineCounters();
    void ResetLineCounters();

    QSerialPort m_serial;
    TComPortSettings m_settings;
    int m_updateDepth = 0;
    bool m_dirty = false;
    QString m_errorText;
    TOpenFailure m_openFailure = TOpenFailure::None;
    QList<TComDataPacket*> m_framers;
    QByteArray m_out;                               // the own lane of the output queue
    QByteArray m_relay;                             // its relay lane
    bool m_relayHeld = false;                       // the relay lane reached its high mark
    std::unique_ptr<QSocketNotifier> m_outNotifier; // the line can take more
    QTimer m_outRetry;                              // ... or look again shortly
    int m_heldWrites = 0;                           // writes in a row that the line took nothing of
    QElapsedTimer m_wireClock;                      // runs while the port is open
    qint64 m_wireFreeNs = 0; // when the bytes handed to the driver have all left at the line's rate
    bool m_txFullShown = false;
    struct TCounters {
        int frame = 0, parity = 0, overrun = 0, brk = 0, bufOverrun = 0;
        bool valid = false;
    } m_counters;
};
