// SPDX-License-Identifier: MIT
#pragma once

#include "LinkMode.h"
#include "OwedCommands.h"
#include "PortProblem.h"

#include <QByteArrayList>
#include <QObject>
#include <QString>
#include <QTimer>

class QTimer;
class TComDataPacket;
class TComPort;
class TCommandEngine;
class THost;
class TLink;
class TOptionStore;
class TTcpLink;
struct TAppWindows;
struct TMainControls;
struct TOptions;

// The link as the main window shows and drives it. It owns the link
// (serial port or TCP, TLink), the command framer and the command engine,
// and it
//  - starts the link in its mode: the serial port, a client connection
//    (Telnet, Remote) or the relay (Local mode with the server on), and
//    after the start-up pause greets the sensor or asks about a failed
//    connect;
//  - opens and closes the port (F9, Online/Offline, the connection
//    dialog, the port's setup) and shows the link's state in the COM Port,
//    IP:Port, TCP Counter and Socket Status panels;
//  - watches a lost device and opens it again when it is back;
//  - greets a sensor reached: identification, then what was owed to it.
// It reaches the window through the host interface and its controls.
class TLinkView : public QObject {
    Q_OBJECT
public:
    TLinkView(THost& host, TMainControls& ui, TOptionStore& store, const TAppWindows& windows,
              QObject* parent = nullptr);
    ~TLinkView() override;

    TLink& Link() { return *m_link; }
    TComPort* ComPort() const { return m_port; }
    TTcpLink* TcpLink() const;
    TCommandEngine& Engine() { return *m_engine; }

    // The mode and relay of this run (settings, then switches), and the
    // port for Telnet that "--address" may give (0: the sensor's own).
    void Configure(TLinkMode mode, bool localServer, int telnetPort);
    TLinkMode Mode() const { return m_linkMode; }

    // --- Start-up -------------------------------------------------------------
    // Loads the port settings; true on the first start (no port stored).
    bool LoadPortSettings();
    // (Re)starts the link in `mode`; the start-up timer finishes it.
    void StartLink(TLinkMode mode, bool server);
    // Starts it as configured.
    void StartLink() { StartLink(m_linkMode, m_localServer); }
    QTimer& StartUpTimer() { return m_startUpTimer; }
    // True while a client connect is waiting for its outcome.
    bool Connecting() const { return m_connecting; }
    // True while the link is starting (the start-up pause, a connect).
    bool Starting() const { return m_startUpTimer.isActive() || m_connecting; }

    // --- The link as the other windows see it -------------------------------------
    bool PortOpen() const;
    int BaudRate() const;
    bool LinkUp() const;
    bool OpenPort();
    void ClosePort();
    // Before a command goes to the sensor: true when the link stands or
    // the port could be opened for it now. A port the user closed stays
    // closed; COM Status says how to open it. A port that did not open is
    // tried once more; when it still does not, COM Status says why.
    bool OpenForCommand();
    // Why the port did not open, as last found; no problem while it is
    // open or was never tried.
    const TPortProblem& PortProblem() const { return m_portProblem; }
    // Shows that reason again (in the language now chosen).
    void RetellPortProblem();
    void UpdatePortStatus();
    // The link as the service record names it: "ttyUSB0 115200",
    // "tcp 192.168.0.5:10001".
    QString RecordLinkText() const;
    // In Local mode a measurement window's lines also go to the relay's clients.
    void RelayMeasurementLine(const QByteArray& line);
    void OweSensor(const QByteArrayList& commands);
    // The commands owed to the sensor and not sent yet.
    const QByteArrayList& OwedCommands() const { return m_owed.Commands(); }

    // --- Port and connection --------------------------------------------------------
    void ComPortAfterOpen();
    void ComPortAfterClose();
    void rb_onlineClick();
    void rb_offlineClick();
    void Datei_OpenExecute();
    bool FindSensor(QString* port, int* rate);
    void Extras_Konfiguration_COMExecute();
    void PortSetupExecute();
    // True while a lost device is being watched for its return.
    bool ReopenPending() const;
    QTimer& ReopenTimer();
    void CancelReopen();
    // Closes the clients, then the link socket.
    void CloseSockets();
    // False while so much relayed data waits for the serial line that
    // reading more from TCP clients (or other programs) should pause.
    bool ReadyForRelayData() const;

private:
    void CreateLink();
    void ConnectControls();
    void ConnectTerminal();
    void CreateTcpLink();
    void Timer_StartUpTimer();
    bool StartClient(TLinkMode mode);
    bool StartServer();
    void ShowOpenError();
    void ForgetPortProblem();
    // Online and Offline show whether the link really stands.
    void SyncRadioButtons();
    void StorePortSettings();
    void SocketError(const QString& text);
    void TcpAccepted(const QString& peer);
    void TcpClientClosed();
    void TcpLinkClosed();
    void ComPortDeviceLost();
    void LinkDataReceived(const QByteArray& data);
    // After the sensor has been reached and identified: what was owed to
    // it is sent, and the windows hear that it is ready.
    void SensorReached();
    void PayOwedCommands();

    THost& m_host;
    TMainControls& m_ui;
    TOptionStore& m_store;
    TOptions& m_options;
    const TAppWindows& m_windows;
    TLink* m_link = nullptr;
    TComPort* m_port = nullptr;         // the link's serial port
    TComDataPacket* m_framer = nullptr; // command replies
    TCommandEngine* m_engine = nullptr;
    QTimer m_startUpTimer; // 500 ms after StartLink; its tag is 1 after a failed connect
    TLinkMode m_linkMode = TLinkMode::Local;
    bool m_localServer = false;  // TCP relay in Local mode
    int m_telnetPort = 0;        // --address's port for Telnet; 0: the sensor's own port
    TOwedCommands m_owed;        // commands owed to the sensor (OweSensor)
    QString m_lastSerial;        // the serial number last identified, kept across a lost link
    TPortProblem m_portProblem;  // why the port did not open, while it stays closed
    bool m_closedByUser = false; // Offline or F9 closed the port
    bool m_connecting = false;
    bool m_socketErrorShowing = false;
};
