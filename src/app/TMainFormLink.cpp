// SPDX-License-Identifier: MIT
// The main window's side of the link: the serial port and its framers,
// the command engine, start-up of the link, opening and closing the port,
// the connection dialog, the status of the link and the receive path.
#include "TMainForm.h"

#include "Labels.h"
#include "MsgBox.h"
#include "TComDataPacket.h"
#include "TComPort.h"
#include "TComSetupDlg.h"
#include "TCommandEngine.h"
#include "TCustomComTerminal.h"
#include "THistoryForm.h"
#include "TLink.h"
#include "TParameterForm.h"
#include "TParameterReader.h"

#include <QAction>
#include <QFileInfo>
#include <QRadioButton>
#include <QSettings>

void TMainForm::CreateLink() {
    m_link = new TLink(this);
    m_port = &m_link->Port();
    m_framer = new TComDataPacket(this);
    m_framer->setObjectName(QStringLiteral("ComDataPacket"));
    m_framer->SetMaxBufferSize(4096);
    m_engine = new TCommandEngine(*m_link, *m_framer, this);
    m_engine->Log = [this](const QString& line) { DebugLog(line); };

    connect(m_port, &TComPort::AfterOpen, this, &TMainForm::ComPortAfterOpen);
    connect(m_port, &TComPort::AfterClose, this, &TMainForm::ComPortAfterClose);
    connect(m_link, &TLink::Received, this, &TMainForm::LinkDataReceived);
    connect(m_port, &TComPort::DeviceLost, this, &TMainForm::ComPortDeviceLost);
    connect(m_port, &TComPort::LineErrors, this, [this](const QStringList& texts) {
        for (const QString& t : texts)
            ShowError(t);
    });
    connect(m_link, &TLink::Reopened, this, [this] {
        ShowError(QStringLiteral("%1 %2").arg(LabelText(127), m_port->Port().trimmed()));
    });
    CreateTcpLink();
}

// In Local mode a measurement window's lines also go to the relay's clients.
void TMainForm::RelayMeasurementLine(const QByteArray& line) {
    if (m_linkMode == TLinkMode::Local) m_link->SendTcp(line);
}

// --- Command engine -------------------------------------------------------

bool TMainForm::SetCmd(const QByteArray& cmd) {
    return m_engine->SetCmd(cmd);
}

QByteArray TMainForm::GetCmd(const QByteArray& cmd, const QByteArray& start, const QByteArray& stop,
                             int size, int timeoutMs) {
    return m_engine->GetCmd(cmd, start, stop, size, timeoutMs);
}

void TMainForm::Delay(int ms) {
    TCommandEngine::Delay(ms);
}

void TMainForm::WritePort(const QByteArray& text) {
    m_engine->WritePort(text);
}

// --- The link as the other windows see it -----------------------------------------

bool TMainForm::PortOpen() const {
    return m_port->Connected();
}

int TMainForm::BaudRate() const {
    return BaudRateValue(m_port->BaudRate());
}

bool TMainForm::LinkUp() const {
    return m_port->Connected() || (IsTcpClientMode(m_linkMode) && m_link->TcpUp());
}

bool TMainForm::OpenPort() {
    if (m_port->Connected()) return true;
    if (m_port->Open()) return true;
    ShowOpenError();
    rb_offline->setChecked(true);
    UpdatePortStatus();
    return false;
}

void TMainForm::ClosePort() {
    CancelReopen();
    m_port->Close();
}

// --- Start-up of the link -------------------------------------------------------

bool TMainForm::LoadPortSettings() {
    if (m_port->Connected()) m_port->Close();
    m_port->LoadSettings(m_store.Settings(), m_port->objectName());
    bool firstStart = false;
    if (m_port->Port().isEmpty()) {
        const QStringList ports = ListSerialPorts();
        if (!ports.isEmpty()) m_port->SetPort(ports.first());
        firstStart = true;
    }
    m_port->BeginUpdate();
    m_port->SetDataBits(TDataBits::Eight);
    m_port->SetStopBits(TStopBits::One);
    m_port->SetParity(TParityBits::None);
    m_port->SetFlowControl(TFlowControl::Software);
    m_port->EndUpdate();
    ComTerminal->Load(m_store.Settings());
    return firstStart;
}

void TMainForm::Timer_StartUpTimer() {
    m_startUpTimer.stop();
    if (IsTcpClientMode(m_linkMode)) {
        rb_offline->setChecked(true);
        rb_online->setEnabled(false);
        rb_offline->setEnabled(false);
        UpdatePortStatus();
        SetCmd(SensorCommand::Attention);
        // Without a connection there is nobody to identify; the failed
        // connect has its own question below.
        if (m_link->TcpUp()) IdentifySensor();
        if (m_link->TcpUp()) SensorReached();
        EnableDeviceActions(true);
        if (!(m_windows.ParameterForm && m_windows.ParameterForm->isVisible()))
            ComTerminal->setFocus();
    } else {
        rb_online->setEnabled(true);
        rb_offline->setEnabled(true);
        rb_online->setChecked(true);
    }
    if (m_startUpTimer.property("tag").toInt() == 1) {
        const QString text = (m_linkMode == TLinkMode::Remote ? LabelText(121) : LabelText(124)) +
                             u'\r' + LabelText(122);
        if (TFormMsgBox::ShowMsgBox(text, mtInformation, mbYesNo) == mrYes)
            Extras_Konfiguration_COMExecute();
    }
}

// --- Port open and close -----------------------------------------------------------

void TMainForm::ComPortAfterOpen() {
    Datei_Open->setText(QString::fromUtf8("Port schließen"));
    ComTerminal->SetConnected(true);
    rb_online->setChecked(true);
    UpdatePortStatus();
    SetCmd(SensorCommand::Attention);
    if (m_port->Connected()) IdentifySensor(); // the port may be gone again already
    if (m_port->Connected()) SensorReached();
    EnableDeviceActions(true);
    if (!(m_windows.ParameterForm && m_windows.ParameterForm->isVisible())) ComTerminal->setFocus();
}

void TMainForm::ComPortAfterClose() {
    Datei_Open->setText(QString::fromUtf8("Port öffnen"));
    ComTerminal->SetConnected(false);
    rb_offline->setChecked(true);
    m_sensor->ForgetSerialAndVersion();
    UpdatePortStatus();
    if (m_linkMode == TLinkMode::Local) EnableDeviceActions(false);
}

// "Open error port: NAME" in COM Status, with the system's reason (busy,
// permission denied, no such device) in its tool tip.
void TMainForm::ShowOpenError() {
    ShowError(QStringLiteral("Open error port: %1").arg(m_port->Port().trimmed()),
              m_port->ErrorText());
}

void TMainForm::rb_onlineClick() {
    if (m_port->Connected()) return;
    if (!m_port->Open()) {
        rb_offline->setChecked(true);
        ShowOpenError();
        UpdatePortStatus();
    }
}

void TMainForm::rb_offlineClick() {
    if (!m_port->Connected()) return;
    m_port->Close();
    if (m_port->Connected()) {
        rb_online->setChecked(true);
        ShowError(QStringLiteral("Close error port: %1").arg(m_port->Port().trimmed()));
    }
}

void TMainForm::Datei_OpenExecute() {
    if (m_port->Connected()) {
        ClosePort();
        return;
    }
    if (!m_port->Open()) {
        ShowOpenError();
        rb_offline->setChecked(true);
        UpdatePortStatus();
    }
}

void TMainForm::UpdatePortStatus() {
    if (m_port->Connected()) {
        const TComPortSettings s = m_port->Settings();
        ShowStatus(QStringLiteral("%1:%2-%3-%4-%5-%6")
                       .arg(s.Port.trimmed(), BaudRateToStr(s.BaudRate), DataBitsToStr(s.DataBits),
                            ParityToStr(s.Parity), StopBitsToStr(s.StopBits),
                            FlowControlToStr(s.FlowControl)),
                   TStatusPanel::ComPort);
    } else if (m_linkMode == TLinkMode::Remote) {
        ShowStatus(LabelText(115), TStatusPanel::ComPort);
    } else if (m_linkMode == TLinkMode::Telnet) {
        ShowStatus(QStringLiteral("Telnet"), TStatusPanel::ComPort);
    } else {
        ShowStatus(QStringLiteral("%1 %2").arg(m_port->Port().trimmed(), LabelText(125)),
                   TStatusPanel::ComPort);
    }
}

void TMainForm::StorePortSettings() {
    if (!m_port->StoreSettings(m_store.Writable(), m_port->objectName())) m_store.ReportFailure();
}

void TMainForm::Extras_Konfiguration_COMExecute() {
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
    if (m_windows.ComSetupDlg && m_windows.ComSetupDlg->Execute(s, ListSerialPorts())) {
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

void TMainForm::OweSensor(const QByteArrayList& commands) {
    m_owed.Owe(commands, m_lastSerial);
}

void TMainForm::SensorReached() {
    PayOwedCommands();
    m_sensor->ReportLinkReady();
}

// Sent only to the sensor they are owed to: a sensor that was not
// identified keeps them waiting, another sensor never gets them.
void TMainForm::PayOwedCommands() {
    if (m_owed.Pay(*m_engine, m_sensor->Identity().SerialNumber)) ShowError(LabelText(129));
}

void TMainForm::ComPortDeviceLost() {
    ShowError(QStringLiteral("%1 %2").arg(LabelText(126), m_port->Port().trimmed()));
    m_sensor->ReportLinkLost();
    if (m_linkMode == TLinkMode::Local) m_link->WatchForReturn();
}

void TMainForm::CancelReopen() {
    m_link->CancelReopen();
}

// --- Receive path ---------------------------------------------------------------------

// What the sensor sends, over the serial line or TCP, is shown by the
// terminal (which hands every character on to ReceiveChar).
void TMainForm::LinkDataReceived(const QByteArray& data) {
    ComTerminal->ReceiveData(data);
}

void TMainForm::ConnectTerminal() {
    // Every character the terminal shows or acts on reaches ReceiveChar.
    connect(ComTerminal, &TCustomComTerminal::Chars, this, [this](const QByteArray& text) {
        for (char ch : text)
            ReceiveChar(ch);
        FlushCapture(); // once per received chunk
    });
    // Typed keys and the terminal's answers go to the serial port while it
    // is open; in Telnet and Remote mode they also go over TCP.
    connect(ComTerminal, &TCustomComTerminal::SendData, this, [this](const QByteArray& bytes) {
        if (m_port->Connected()) m_port->WriteStr(bytes);
        if (IsTcpClientMode(m_linkMode)) m_link->SendTcp(bytes);
    });
}

void TMainForm::ReceiveChar(char ch) {
    if (ch == '\a') m_bellReceived = true;
    m_capture.Add(ch);
    // The history stands still while its window shows it.
    if (!(m_windows.HistoryForm && m_windows.HistoryForm->isVisible())) m_history.Add(ch);
}
