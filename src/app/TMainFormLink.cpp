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
#include "TParameterForm.h"
#include "TParameterReader.h"
#include "TTcpLink.h"
#include "TextUtil.h"

#include <QAction>
#include <QFileInfo>
#include <QRadioButton>
#include <QSettings>

void TMainForm::CreateLink() {
    ComPort = new TComPort(this);
    ComDataPacket = new TComDataPacket(this);
    ComDataPacket->setObjectName(QStringLiteral("ComDataPacket"));
    ComDataPacket->SetMaxBufferSize(4096);
    m_engine = new TCommandEngine(*ComPort, *ComDataPacket, this);
    m_engine->Log = [this](const QString& line) { DebugLog(line); };

    connect(ComPort, &TComPort::AfterOpen, this, &TMainForm::ComPortAfterOpen);
    connect(ComPort, &TComPort::AfterClose, this, &TMainForm::ComPortAfterClose);
    connect(ComPort, &TComPort::DataReceived, this, &TMainForm::ComPortDataReceived);
    connect(ComPort, &TComPort::DeviceLost, this, &TMainForm::ComPortDeviceLost);
    connect(ComPort, &TComPort::LineErrors, this, [this](const QStringList& texts) {
        for (const QString& t : texts)
            ShowError(t);
    });
    Timer_Reopen.setInterval(1000);
    connect(&Timer_Reopen, &QTimer::timeout, this, &TMainForm::Timer_ReopenTimer);
    CreateTcpLink();
}

// In Local mode a measurement window's lines also go to the relay's clients.
void TMainForm::RelayMeasurementLine(const QByteArray& line) {
    if (m_linkMode == TLinkMode::Local) SendTcp(line);
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
    return ComPort->Connected();
}

int TMainForm::BaudRate() const {
    return BaudRateValue(ComPort->BaudRate());
}

bool TMainForm::LinkUp() const {
    return ComPort->Connected() || (IsTcpClientMode(m_linkMode) && TcpLink->LinkConnected());
}

bool TMainForm::OpenPort() {
    if (ComPort->Connected()) return true;
    if (ComPort->Open()) return true;
    ShowOpenError();
    rb_offline->setChecked(true);
    UpdatePortStatus();
    return false;
}

void TMainForm::ClosePort() {
    CancelReopen();
    ComPort->Close();
}

// --- Start-up of the link -------------------------------------------------------

bool TMainForm::LoadPortSettings() {
    if (ComPort->Connected()) ComPort->Close();
    ComPort->LoadSettings(*m_settings, ComPort->objectName());
    bool firstStart = false;
    if (ComPort->Port().isEmpty()) {
        const QStringList ports = ListSerialPorts();
        if (!ports.isEmpty()) ComPort->SetPort(ports.first());
        firstStart = true;
    }
    ComPort->BeginUpdate();
    ComPort->SetDataBits(TDataBits::Eight);
    ComPort->SetStopBits(TStopBits::One);
    ComPort->SetParity(TParityBits::None);
    ComPort->SetFlowControl(TFlowControl::Software);
    ComPort->EndUpdate();
    ComTerminal->Load(*m_settings);
    return firstStart;
}

void TMainForm::Timer_StartUpTimer() {
    Timer_StartUp.stop();
    if (IsTcpClientMode(m_linkMode)) {
        rb_offline->setChecked(true);
        rb_online->setEnabled(false);
        rb_offline->setEnabled(false);
        UpdatePortStatus();
        SetCmd(SensorCommand::Attention);
        // Without a connection there is nobody to identify; the failed
        // connect has its own question below.
        if (TcpLink->LinkConnected()) IdentifySensor();
        if (TcpLink->LinkConnected()) SensorReached();
        EnableDeviceActions(true);
        if (!(m_windows.ParameterForm && m_windows.ParameterForm->isVisible()))
            ComTerminal->setFocus();
    } else {
        rb_online->setEnabled(true);
        rb_offline->setEnabled(true);
        rb_online->setChecked(true);
    }
    if (Timer_StartUp.property("tag").toInt() == 1) {
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
    if (ComPort->Connected()) IdentifySensor(); // the port may be gone again already
    if (ComPort->Connected()) SensorReached();
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
    ShowError(QStringLiteral("Open error port: %1").arg(ComPort->Port().trimmed()),
              ComPort->ErrorText());
}

void TMainForm::rb_onlineClick() {
    if (ComPort->Connected()) return;
    if (!ComPort->Open()) {
        rb_offline->setChecked(true);
        ShowOpenError();
        UpdatePortStatus();
    }
}

void TMainForm::rb_offlineClick() {
    if (!ComPort->Connected()) return;
    ComPort->Close();
    if (ComPort->Connected()) {
        rb_online->setChecked(true);
        ShowError(QStringLiteral("Close error port: %1").arg(ComPort->Port().trimmed()));
    }
}

void TMainForm::Datei_OpenExecute() {
    if (ComPort->Connected()) {
        ClosePort();
        return;
    }
    if (!ComPort->Open()) {
        ShowOpenError();
        rb_offline->setChecked(true);
        UpdatePortStatus();
    }
}

void TMainForm::UpdatePortStatus() {
    if (ComPort->Connected()) {
        const TComPortSettings s = ComPort->Settings();
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
        ShowStatus(QStringLiteral("%1 %2").arg(ComPort->Port().trimmed(), LabelText(125)),
                   TStatusPanel::ComPort);
    }
}

void TMainForm::StorePortSettings() {
    if (!ComPort->StoreSettings(WritableSettings(), ComPort->objectName())) ReportStoreFailure();
}

void TMainForm::Extras_Konfiguration_COMExecute() {
    TLinkSettings s;
    s.Mode = m_linkMode;
    s.Port = ComPort->Port();
    s.BaudRate = ComPort->BaudRate();
    s.TelnetIP = m_options.TCPTelnetIP;
    s.LocalServer = m_localServer;
    s.ServerPort = QString::number(m_options.TCPServerPort);
    s.ServerIP = m_options.TCPServerIP;
    s.ServerDelay = m_options.TCPServerDelay;
    s.ClientPort = QString::number(m_options.TCPClientPort);
    s.ClientIP = m_options.TCPClientIP;
    if (m_windows.ComSetupDlg && m_windows.ComSetupDlg->Execute(s, ListSerialPorts())) {
        m_linkMode = s.Mode;
        SaveMode(m_linkMode);
        CancelReopen();
        ComPort->Close();
        ComPort->BeginUpdate();
        ComPort->SetPort(s.Port);
        ComPort->SetBaudRate(s.BaudRate);
        ComPort->EndUpdate();
        StorePortSettings();
        m_localServer = s.LocalServer;
        SaveLocalServer(s.LocalServer);
        SaveTCPServerPort(s.ServerPort.toInt());
        SaveTCPServerIP(s.ServerIP);
        SaveTCPClientPort(s.ClientPort.toInt());
        SaveTCPClientIP(s.ClientIP);
        SaveTCPTelnetIP(s.TelnetIP);
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

QString TMainForm::PortDevicePath() const {
    const QString port = ComPort->Port().trimmed();
    return port.startsWith(u'/') ? port : QStringLiteral("/dev/") + port;
}

void TMainForm::ComPortDeviceLost() {
    ++m_deviceLosses;
    ShowError(QStringLiteral("%1 %2").arg(LabelText(126), ComPort->Port().trimmed()));
    m_sensor->ReportLinkLost();
    if (m_linkMode != TLinkMode::Local) return;
    m_reopenPending = true;
    Timer_Reopen.start();
}

void TMainForm::CancelReopen() {
    m_reopenPending = false;
    Timer_Reopen.stop();
}

void TMainForm::Timer_ReopenTimer() {
    if (!m_reopenPending || m_linkMode != TLinkMode::Local || ComPort->Connected()) {
        CancelReopen();
        return;
    }
    if (m_reopening || !QFileInfo::exists(PortDevicePath())) return;
    m_reopening = true;
    // Opening greets the sensor, which waits while events run; the device
    // may go away again meanwhile (a flapping adapter). Only a port that is
    // still open with no new loss counts as reopened; otherwise the new
    // loss keeps the watch going.
    const int lossesBefore = m_deviceLosses;
    const bool opened = ComPort->Open();
    m_reopening = false;
    if (opened && m_deviceLosses == lossesBefore && ComPort->Connected()) {
        CancelReopen();
        ShowError(QStringLiteral("%1 %2").arg(LabelText(127), ComPort->Port().trimmed()));
    }
}

// --- Receive path ---------------------------------------------------------------------

void TMainForm::ComPortDataReceived(const QByteArray& data) {
    m_engine->Received(data);
    if (ComTerminal)
        ComTerminal->ReceiveData(data);
    else {
        for (char ch : data)
            ReceiveChar(ch);
        FlushCapture();
    }
    // In Local mode everything the sensor sends also goes to the TCP
    // clients of the relay, byte for byte (escape sequences included, so a
    // remote terminal shows what this one shows). Without the relay there
    // is nobody to send to, so the batching is skipped.
    if (m_linkMode == TLinkMode::Local && m_localServer) SendTcp(data);
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
        if (ComPort->Connected()) ComPort->WriteStr(bytes);
        if (IsTcpClientMode(m_linkMode)) SendTcp(bytes);
    });
}

void TMainForm::ReceiveChar(char ch) {
    if (ch == '\a') m_bellReceived = true;
    m_capture.Add(ch);
    if (m_windows.HistoryForm && m_windows.HistoryForm->isVisible()) return;
    while (m_historyLines.size() > MaxHistoryLines)
        m_historyLines.removeFirst();
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c > 31) {
        // A peer that never sends CR must not grow one line without end.
        if (m_historyLines.isEmpty() || m_historyLines.last().size() >= MaxHistoryLine)
            m_historyLines.append(QString());
        m_historyLines.last().append(QChar(c));
    } else if (ch == '\r') {
        m_historyLines.append(QString());
    }
}
