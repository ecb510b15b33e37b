// SPDX-License-Identifier: MIT
#include "LinkView.h"

#include "CommandLine.h"
#include "CopyDataChannel.h"
#include "Labels.h"
#include "MainControls.h"
#include "MsgBox.h"
#include "OptionSettings.h"
#include "TComDataPacket.h"
#include "TComPort.h"
#include "TComPortSetupDlg.h"
#include "TComSetupDlg.h"
#include "TCommandEngine.h"
#include "TCustomComTerminal.h"
#include "THost.h"
#include "TLink.h"
#include "TParameterForm.h"
#include "TSensorFinderDlg.h"
#include "TSensorState.h"
#include "WaitCursor.h"
#include "Windows.h"

#include <QAction>
#include <QFileInfo>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTimer>

TLinkView::TLinkView(THost& host, TMainControls& ui, TOptionStore& store,
                     const TAppWindows& windows, QObject* parent)
    : QObject(parent), m_host(host), m_ui(ui), m_store(store), m_options(store.Options()),
      m_windows(windows) {
    m_startUpTimer.setInterval(500);
    m_startUpTimer.setProperty("tag", 0);
    connect(&m_startUpTimer, &QTimer::timeout, this, &TLinkView::Timer_StartUpTimer);
    connect(&m_host.Sensor(), &TSensorState::Changed, this,
            [this](const TSensorIdentity& identity) {
                if (identity.SerialNumber.isEmpty()) return;
                // A unit swapped while the link was away is another sensor.
                if (!m_lastSerial.isEmpty() && identity.SerialNumber != m_lastSerial) {
                    const QString told = LabelText(141).arg(m_lastSerial, identity.SerialNumber);
                    m_host.ShowError(told);
                    // After the identification that found it, not inside it.
                    QTimer::singleShot(0, this,
                                       [this, told] { m_host.ShowMsgBox(told, mtWarning, mbOK); });
                }
                m_lastSerial = identity.SerialNumber;
            });
    CreateLink();
    ConnectControls();
    ConnectTerminal();
}

TLinkView::~TLinkView() = default;

void TLinkView::Configure(TLinkMode mode, bool localServer, int telnetPort) {
    m_linkMode = mode;
    m_localServer = localServer;
    m_telnetPort = telnetPort;
    // The batch delay of TCP output: a relay's start sets the stored one.
    m_link->SetTcpDelay(m_options.TCPServerDelay == 0 ? 0 : 100);
}

void TLinkView::ConnectControls() {
    connect(m_ui.Datei_Open, &QAction::triggered, this, &TLinkView::Datei_OpenExecute);
    connect(m_ui.Extras_Konfiguration_COM, &QAction::triggered, this,
            &TLinkView::Extras_Konfiguration_COMExecute);
    // Selecting a radio button from code acts as a click on it.
    connect(m_ui.rb_online, &QRadioButton::toggled, this, [this](bool on) {
        if (on) rb_onlineClick();
    });
    connect(m_ui.rb_offline, &QRadioButton::toggled, this, [this](bool on) {
        if (on) rb_offlineClick();
    });
    // A deliberate click on Offline also ends the wait for a lost device.
    connect(m_ui.rb_offline, &QRadioButton::clicked, this, &TLinkView::CancelReopen);
}

void TLinkView::CreateLink() {
    m_link = new TLink(this);
    m_port = &m_link->Port();
    m_framer = new TComDataPacket(this);
    m_framer->setObjectName(QStringLiteral("ComDataPacket"));
    m_framer->SetMaxBufferSize(4096);
    m_engine = new TCommandEngine(*m_link, *m_framer, this);

    connect(m_port, &TComPort::AfterOpen, this, &TLinkView::ComPortAfterOpen);
    connect(m_port, &TComPort::AfterClose, this, &TLinkView::ComPortAfterClose);
    connect(m_link, &TLink::Received, this, &TLinkView::LinkDataReceived);
    connect(m_port, &TComPort::DeviceLost, this, &TLinkView::ComPortDeviceLost);
    connect(m_port, &TComPort::LineErrors, this, [this](const QStringList& texts) {
        for (const QString& t : texts)
            m_host.ShowError(t);
    });
    connect(m_link, &TLink::Reopened, this, [this] {
        m_host.ShowError(QStringLiteral("%1 %2").arg(LabelText(127), m_port->Port().trimmed()));
    });
    CreateTcpLink();
}

// In Local mode a measurement window's lines also go to the relay's clients.
void TLinkView::RelayMeasurementLine(const QByteArray& line) {
    if (m_linkMode == TLinkMode::Local) m_link->SendTcp(line);
}

// --- The link as the other windows see it -----------------------------------------

bool TLinkView::PortOpen() const {
    return m_port->Connected();
}

int TLinkView::BaudRate() const {
    return BaudRateValue(m_port->BaudRate());
}

bool TLinkView::LinkUp() const {
    return m_port->Connected() || (IsTcpClientMode(m_linkMode) && m_link->TcpUp());
}

bool TLinkView::OpenPort() {
    if (m_port->Connected()) return true;
    m_closedByUser = false;
    if (m_port->Open()) return true;
    ShowOpenError();
    SyncRadioButtons();
    UpdatePortStatus();
    return false;
}

void TLinkView::ClosePort() {
    CancelReopen();
    m_port->Close();
}

bool TLinkView::OpenForCommand() {
    // In Telnet and Remote mode commands go over TCP; the socket's state
    // has its own panel.
    if (m_linkMode != TLinkMode::Local || m_port->Connected()) return true;
    if (m_closedByUser) {
        m_host.ShowError(LabelText(613).arg(m_port->Port().trimmed()));
        return false;
    }
    return OpenPort();
}

// --- Start-up of the link -------------------------------------------------------

bool TLinkView::LoadPortSettings() {
    if (m_port->Connected()) m_port->Close();
    m_link->LoadPortSettings(m_store.Settings());
    bool firstStart = false;
    if (m_port->Port().isEmpty()) {
        m_port->SetPort(ProposePort(SerialPortEntries(), DeviceOpens));
        firstStart = true;
    }
    m_ui.ComTerminal->Load(m_store.Settings());
    return firstStart;
}

void TLinkView::Timer_StartUpTimer() {
    m_startUpTimer.stop();
    if (IsTcpClientMode(m_linkMode)) {
        m_ui.rb_offline->setChecked(true);
        m_ui.rb_online->setEnabled(false);
        m_ui.rb_offline->setEnabled(false);
        UpdatePortStatus();
        m_engine->SetCmd(SensorCommand::Attention);
        // Without a connection there is nobody to identify; the failed
        // connect has its own question below.
        if (m_link->TcpUp()) m_host.IdentifySensor();
        if (m_link->TcpUp()) SensorReached();
        m_host.EnableDeviceActions(true);
        if (!(m_windows.ParameterForm && m_windows.ParameterForm->isVisible()))
            m_ui.ComTerminal->setFocus();
    } else {
        m_ui.rb_online->setEnabled(true);
        m_ui.rb_offline->setEnabled(true);
        rb_onlineClick();
    }
    SyncRadioButtons();
    if (m_startUpTimer.property("tag").toInt() == 1) {
        const QString text = (m_linkMode == TLinkMode::Remote ? LabelText(121) : LabelText(124)) +
                             u'\r' + LabelText(122);
        if (TFormMsgBox::ShowMsgBox(text, mtInformation, mbYesNo) == mrYes)
            Extras_Konfiguration_COMExecute();
    }
}

// --- Port open and close -----------------------------------------------------------

void TLinkView::ComPortAfterOpen() {
    m_ui.Datei_Open->setText(QString::fromUtf8("Port schließen"));
    m_ui.ComTerminal->SetConnected(true);
    m_closedByUser = false;
    ForgetPortProblem();
    SyncRadioButtons();
    UpdatePortStatus();
    m_engine->SetCmd(SensorCommand::Attention);
    if (m_port->Connected()) m_host.IdentifySensor(); // the port may be gone again already
    if (m_port->Connected()) SensorReached();
    m_host.EnableDeviceActions(true);
    if (!(m_windows.ParameterForm && m_windows.ParameterForm->isVisible()))
        m_ui.ComTerminal->setFocus();
}

void TLinkView::ComPortAfterClose() {
    m_ui.Datei_Open->setText(QString::fromUtf8("Port öffnen"));
    m_ui.ComTerminal->SetConnected(false);
    SyncRadioButtons();
    m_host.Sensor().ForgetSerialAndVersion();
    UpdatePortStatus();
    if (m_linkMode == TLinkMode::Local) m_host.EnableDeviceActions(false);
}

// Why the port did not open ("ttyUSB0: permission denied") stays in COM
// Status while the port is closed, with what to do about it in the tool
// tip; the connection dialog shows both beside the port.
void TLinkView::ShowOpenError() {
    m_portProblem = DescribeOpenFailure(*m_port);
    m_host.KeepComStatus(m_portProblem.ShortText(), m_portProblem.FixText());
}

void TLinkView::RetellPortProblem() {
    if (m_portProblem.IsProblem() && !m_port->Connected())
        m_host.KeepComStatus(m_portProblem.ShortText(), m_portProblem.FixText());
}

void TLinkView::ForgetPortProblem() {
    m_portProblem = TPortProblem();
    m_host.KeepComStatus(QString(), QString());
}

// They are the serial port's ("COM Port Online"): in Telnet and Remote
// mode, where they are disabled, they show the port closed.
void TLinkView::SyncRadioButtons() {
    const bool up = m_port->Connected();
    const QSignalBlocker onlineBlocker(m_ui.rb_online);
    const QSignalBlocker offlineBlocker(m_ui.rb_offline);
    (up ? m_ui.rb_online : m_ui.rb_offline)->setChecked(true);
}

void TLinkView::rb_onlineClick() {
    if (m_port->Connected()) return;
    OpenPort();
}

void TLinkView::rb_offlineClick() {
    if (!m_port->Connected()) return;
    m_closedByUser = true;
    m_port->Close();
    if (m_port->Connected()) m_host.ShowError(LabelText(164).arg(m_port->Port().trimmed()));
    SyncRadioButtons();
}

void TLinkView::Datei_OpenExecute() {
    if (m_port->Connected()) {
        m_closedByUser = true;
        ClosePort();
        return;
    }
    OpenPort();
}

void TLinkView::UpdatePortStatus() {
    if (m_port->Connected()) {
        const TComPortSettings s = m_port->Settings();
        m_host.ShowStatus(QStringLiteral("%1:%2-%3-%4-%5-%6")
                              .arg(s.Port.trimmed(), BaudRateToStr(s.BaudRate),
                                   DataBitsToStr(s.DataBits), ParityToStr(s.Parity),
                                   StopBitsToStr(s.StopBits), FlowControlToStr(s.FlowControl)),
                          TStatusPanel::ComPort);
    } else if (m_linkMode == TLinkMode::Remote) {
        m_host.ShowStatus(LabelText(115), TStatusPanel::ComPort);
    } else if (m_linkMode == TLinkMode::Telnet) {
        m_host.ShowStatus(QStringLiteral("Telnet"), TStatusPanel::ComPort);
    } else {
        m_host.ShowStatus(QStringLiteral("%1 %2").arg(m_port->Port().trimmed(), LabelText(125)),
                          TStatusPanel::ComPort);
    }
}

QString TLinkView::RecordLinkText() const {
    if (IsTcpClientMode(m_linkMode))
        return QStringLiteral("tcp ") + ClientAddress(m_linkMode, m_options, m_telnetPort).Text();
    return QStringLiteral("%1 %2")
        .arg(QFileInfo(m_port->Port().trimmed()).fileName())
        .arg(BaudRate());
}

void TLinkView::StorePortSettings() {
    if (!m_port->StoreSettings(m_store.Writable(), m_port->objectName())) m_store.ReportFailure();
}

// "Find sensor" in the connection dialog: every port of the system at the
// dialog's rates, the stored one first. The port this window has open is
// not probed; its sensor is listed as it is known.
bool TLinkView::FindSensor(QString* port, int* rate) {
    QList<TScanPort> ports = TSensorFinder::SystemPorts();
    TSensorFinderDlg dialog(m_windows.ComSetupDlg ? static_cast<QWidget*>(m_windows.ComSetupDlg)
                                                  : m_host.HostWindow());
    const int stored = BaudRateValue(m_port->BaudRate());
    if (m_port->Connected()) {
        const QString own = QFileInfo(m_link->DevicePath()).canonicalFilePath();
        ports.removeIf(
            [&own](const TScanPort& p) { return QFileInfo(p.Device).canonicalFilePath() == own; });
        const TSensorIdentity identity = m_host.Sensor().Identity();
        if (!identity.SerialNumber.isEmpty())
            dialog.AddKnown({m_port->Port().trimmed(), QString(), stored, identity});
    }
    TFoundSensor chosen;
    if (!dialog.Execute(ports, TSensorFinder::DefaultRates(stored), &chosen)) return false;
    *port = chosen.Device;
    *rate = chosen.Rate;
    return true;
}

void TLinkView::Extras_Konfiguration_COMExecute() {
    TLinkSettings s;
    s.Mode = m_linkMode;
    s.Port = m_port->Port();
    s.BaudRate = m_port->BaudRate();
    s.TelnetIP = m_options.TCPTelnetIP;
    s.LocalServer = m_localServer;
    s.ServerPort = QString::number(m_options.TCPServerPort);
    s.ServerIP = m_options.TCPServerIP;
    s.ServerDelay = m_options.TCPServerDelay;
    s.ClientPort = QString::number(m_options.TCPClientPort);
    s.ClientIP = m_options.TCPClientIP;
    if (m_windows.ComSetupDlg) {
        m_windows.ComSetupDlg->SetPortProblem(m_port->Connected() ? TPortProblem() : m_portProblem);
        m_windows.ComSetupDlg->FindSensor = [this](QString* port, int* rate) {
            return FindSensor(port, rate);
        };
    }
    if (m_windows.ComSetupDlg && m_windows.ComSetupDlg->Execute(s, SerialPortEntries())) {
        m_linkMode = s.Mode;
        m_store.SaveMode(m_linkMode);
        CancelReopen();
        m_port->Close();
        m_port->BeginUpdate();
        m_port->SetPort(s.Port);
        m_port->SetBaudRate(s.BaudRate);
        m_port->EndUpdate();
        StorePortSettings();
        m_localServer = s.LocalServer;
        m_store.SaveLocalServer(s.LocalServer);
        m_store.SaveTCPServerPort(s.ServerPort.toInt());
        m_store.SaveTCPServerIP(s.ServerIP);
        m_store.SaveTCPClientPort(s.ClientPort.toInt());
        m_store.SaveTCPClientIP(s.ClientIP);
        m_store.SaveTCPTelnetIP(s.TelnetIP);
        StartLink(m_linkMode, m_localServer);
    }
    UpdatePortStatus();
}

// --- A device that goes away and comes back -------------------------------------

void TLinkView::OweSensor(const QByteArrayList& commands) {
    m_owed.Owe(commands, m_lastSerial);
}

void TLinkView::SensorReached() {
    PayOwedCommands();
    m_host.Sensor().ReportLinkReady();
}

// Sent only to the sensor they are owed to: a sensor that was not
// identified keeps them waiting, another sensor never gets them.
void TLinkView::PayOwedCommands() {
    if (m_owed.Pay(*m_engine, m_host.Sensor().Identity().SerialNumber))
        m_host.ShowError(LabelText(129));
}

void TLinkView::ComPortDeviceLost() {
    m_host.ShowError(QStringLiteral("%1 %2").arg(LabelText(126), m_port->Port().trimmed()));
    m_host.Sensor().ReportLinkLost();
    if (m_linkMode == TLinkMode::Local) m_link->WatchForReturn();
}

void TLinkView::CancelReopen() {
    m_link->CancelReopen();
}

void TLinkView::CreateTcpLink() {
    TTcpLink& tcp = m_link->Tcp();
    connect(&tcp, &TTcpLink::Accepted, this, &TLinkView::TcpAccepted);
    connect(&tcp, &TTcpLink::ClientClosed, this, &TLinkView::TcpClientClosed);
    connect(&tcp, &TTcpLink::LinkClosed, this, &TLinkView::TcpLinkClosed);
    // Queued: the error box must not open inside the socket's own code.
    connect(&tcp, &TTcpLink::Failed, this, &TLinkView::SocketError, Qt::QueuedConnection);
    connect(&tcp, &TTcpLink::Refused, this, [this](const QString& peer) {
        m_host.ShowError(QStringLiteral("TCP client refused (%1 connected): %2")
                             .arg(TTcpLink::MaxClients)
                             .arg(peer));
    });
}

// The copy-data channel asks this too, and hands on pieces the relay lane
// has room for after a yes.
static_assert(TCopyDataServer::DataPiece <= TComPort::MaxRelayPiece);
static_assert(TTcpLink::ReadChunk <= TComPort::MaxRelayPiece);

TTcpLink* TLinkView::TcpLink() const {
    return &m_link->Tcp();
}

bool TLinkView::ReopenPending() const {
    return m_link->ReopenPending();
}

QTimer& TLinkView::ReopenTimer() {
    return m_link->ReopenTimer();
}

bool TLinkView::ReadyForRelayData() const {
    return m_link->ReadyForRelayData();
}

// --- Start of the link ------------------------------------------------------------

void TLinkView::StartLink(TLinkMode mode, bool server) {
    m_startUpTimer.stop(); // a start still pending must not finish during this one
    CloseSockets();
    // In Local mode with the relay on, what the sensor sends also goes to
    // the relay's clients, and theirs to the sensor.
    m_link->SetRelay(mode == TLinkMode::Local && server);
    m_ui.Datei_UpdateFirmware->setEnabled(mode == TLinkMode::Local);
    ForgetPortProblem(); // the new start finds out anew
    for (int panel = 0; panel < StatusPanelCount; ++panel)
        m_host.ShowStatus(QString(), TStatusPanel(panel));
    m_startUpTimer.setProperty("tag", 0);
    m_ui.ComTerminal->SetConnected(m_link->SerialOpen());

    if (IsTcpClientMode(mode)) {
        if (!StartClient(mode)) return; // a newer start took over while this one waited
    } else if (server) {
        if (!StartServer()) return; // the error box has been shown; this start ends here
    }
    UpdatePortStatus();
    m_startUpTimer.start();
}

bool TLinkView::StartClient(TLinkMode mode) {
    const TClientAddress address = ClientAddress(mode, m_options, m_telnetPort);
    const QString target = address.Text();

    TTcpLink::TConnectResult result = TTcpLink::TConnectResult::Failed;
    if (address.Port > 0 && address.Port <= 65535) {
        // The window stays alive while the connect waits (bounded, so an
        // unreachable address costs seconds, not a minute).
        TWaitCursor wait;
        m_connecting = true;
        m_host.ShowStatus(QStringLiteral("%1 ...").arg(target), TStatusPanel::SocketStatus);
        result = m_link->Tcp().Connect(address.Host, quint16(address.Port));
        m_connecting = false;
    }
    if (result == TTcpLink::TConnectResult::Superseded) return false;
    if (result == TTcpLink::TConnectResult::Failed) {
        m_host.ShowStatus(LabelText(118) + u' ' + target, TStatusPanel::SocketStatus);
        m_startUpTimer.setProperty("tag", 1);
        return true;
    }
    m_host.ShowStatus(m_link->Tcp().OwnAddress(), TStatusPanel::IpPort);
    m_host.ShowStatus(LabelText(117) + u' ' + target, TStatusPanel::SocketStatus);
    // Typed keys and the terminal's answers now leave over TCP.
    m_ui.ComTerminal->SetConnected(true);
    return true;
}

bool TLinkView::StartServer() {
    m_link->SetTcpDelay(m_options.TCPServerDelay);
    const int port = m_options.TCPServerPort;
    QString error;
    if (port < 0 || port > 65535) {
        SocketError(LabelText(165).arg(port));
        return false;
    }
    if (!m_link->Tcp().Listen(m_options.TCPServerIP, quint16(port), &error)) {
        SocketError(error);
        return false;
    }
    m_host.ShowStatus(m_link->Tcp().OwnAddress(), TStatusPanel::IpPort);
    m_host.ShowStatus(LabelText(116), TStatusPanel::SocketStatus);
    return true;
}

void TLinkView::CloseSockets() {
    m_link->CloseSockets();
    if (!m_link->SerialOpen()) m_ui.ComTerminal->SetConnected(false);
}

// --- Socket events ---------------------------------------------------------------

void TLinkView::SocketError(const QString& text) {
    // One error box at a time: a burst of failing clients must not stack
    // dialogs; what happens meanwhile goes to COM Status.
    if (m_socketErrorShowing) {
        m_host.ShowError(text);
        return;
    }
    m_socketErrorShowing = true;
    TFormMsgBox::ShowMsgBox(text, mtError, mbOK);
    m_socketErrorShowing = false;
}

void TLinkView::TcpAccepted(const QString& peer) {
    m_host.ShowStatus(QString::number(m_link->Tcp().ClientCount()), TStatusPanel::TcpCounter);
    m_host.ShowStatus(LabelText(119) + u' ' + peer, TStatusPanel::SocketStatus);
}

void TLinkView::TcpClientClosed() {
    // The client is released even while the serial port is closed, so a
    // relay left without its sensor does not collect dead connections.
    m_host.ShowStatus(LabelText(120), TStatusPanel::SocketStatus);
    m_host.ShowStatus(QString::number(m_link->Tcp().ClientCount()), TStatusPanel::TcpCounter);
}

void TLinkView::TcpLinkClosed() {
    m_host.ShowStatus(LabelText(120), TStatusPanel::SocketStatus);
    m_host.Sensor().ReportLinkLost();
    if (!m_link->SerialOpen())
        m_ui.ComTerminal->SetConnected(false); // typed keys have nowhere to go now
}
void TLinkView::PortSetupExecute() {
    TComPortSettings s = m_port->Settings();
    if (TComPortSetupDlg::Execute(m_host.HostWindow(), s, SerialPortEntries())) {
        m_port->SetSettings(s);
        StorePortSettings();
    }
    UpdatePortStatus();
}

// --- Receive path and typed keys -----------------------------------------------------

// What the sensor sends, over the serial line or TCP, is shown by the
// terminal (which hands every character on to the main window's history
// and capture).
void TLinkView::LinkDataReceived(const QByteArray& data) {
    m_ui.ComTerminal->ReceiveData(data);
}

// Typed keys and the terminal's answers go to the serial port while it is
// open; in Telnet and Remote mode they also go over TCP.
void TLinkView::ConnectTerminal() {
    connect(m_ui.ComTerminal, &TCustomComTerminal::SendData, this, [this](const QByteArray& bytes) {
        if (m_port->Connected()) m_port->WriteStr(bytes);
        if (IsTcpClientMode(m_linkMode)) m_link->SendTcp(bytes);
    });
}
