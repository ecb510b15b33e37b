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
#include "TComTerminal.h"
#include "TCommandEngine.h"
#include "THistoryForm.h"
#include "TParameterForm.h"

#include <QAction>
#include <QFileInfo>
#include <QRadioButton>
#include <QSettings>

namespace {
const QByteArray kAttention("\r\021\033");
}

void TMainForm::CreateLink() {
    ComPort = new TComPort(this);
    ComDataPacket = new TComDataPacket(this);
    ComDataPacket->setObjectName(QStringLiteral("ComDataPacket"));
    ComDataPacket_grafik = new TComDataPacket(this);
    ComDataPacket_grafik->setObjectName(QStringLiteral("ComDataPacket_grafik"));
    ComDataPacket_number = new TComDataPacket(this);
    ComDataPacket_number->setObjectName(QStringLiteral("ComDataPacket_number"));
    for (TComDataPacket* f : {ComDataPacket, ComDataPacket_grafik, ComDataPacket_number})
        f->SetMaxBufferSize(4096);
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

// --- Command engine -------------------------------------------------------

bool TMainForm::SetCmd(const QByteArray& cmd) {
    m_engine->DebugMode = DebugMode;
    return m_engine->SetCmd(cmd);
}

QByteArray TMainForm::GetCmd(const QByteArray& cmd, const QByteArray& start, const QByteArray& stop,
                             int size, int timeoutMs) {
    m_engine->DebugMode = DebugMode;
    return m_engine->GetCmd(cmd, start, stop, size, timeoutMs);
}

QString TMainForm::GetCmd(const QString& cmd, const QString& start, const QString& stop, int size,
                          int timeoutMs) {
    return QString::fromLatin1(
        GetCmd(cmd.toLatin1(), start.toLatin1(), stop.toLatin1(), size, timeoutMs));
}

void TMainForm::Delay(int ms) {
    TCommandEngine::Delay(ms);
}

void TMainForm::WritePort(const QByteArray& text) {
    m_engine->WritePort(text);
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
    for (TComDataPacket* f : {ComDataPacket_grafik, ComDataPacket_number}) {
        f->SetSize(0);
        f->SetStartString(QByteArray());
        f->SetStopString(QByteArrayLiteral("\r\n"));
    }
    return firstStart;
}

void TMainForm::Timer_StartUpTimer() {
    Timer_StartUp.stop();
    if (LinkMode == 1 || LinkMode == 2) {
        rb_offline->setChecked(true);
        rb_online->setEnabled(false);
        rb_offline->setEnabled(false);
        UpdatePortStatus();
        SetCmd(kAttention);
        EnableDeviceActions(true);
        if (!(m_windows.ParameterForm && m_windows.ParameterForm->isVisible()))
            ComTerminal->setFocus();
    } else {
        rb_online->setEnabled(true);
        rb_offline->setEnabled(true);
        rb_online->setChecked(true);
    }
    if (Timer_StartUp.property("tag").toInt() == 1) {
        const QString text =
            (LinkMode == 2 ? LabelText(121) : LabelText(124)) + u'\r' + LabelText(122);
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
    SetCmd(kAttention);
    EnableDeviceActions(true);
    if (!(m_windows.ParameterForm && m_windows.ParameterForm->isVisible())) ComTerminal->setFocus();
}

void TMainForm::ComPortAfterClose() {
    Datei_Open->setText(QString::fromUtf8("Port öffnen"));
    ComTerminal->SetConnected(false);
    rb_offline->setChecked(true);
    UpdatePortStatus();
    if (LinkMode == 0) EnableDeviceActions(false);
}

void TMainForm::rb_onlineClick() {
    if (ComPort->Connected()) return;
    if (!ComPort->Open()) {
        rb_offline->setChecked(true);
        ShowError(QStringLiteral("Open error port: %1").arg(ComPort->Port().trimmed()));
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
        CancelReopen();
        ComPort->Close();
        return;
    }
    if (!ComPort->Open()) {
        ShowError(QStringLiteral("Open error port: %1").arg(ComPort->Port().trimmed()));
        rb_offline->setChecked(true);
    }
}

void TMainForm::UpdatePortStatus() {
    if (ComPort->Connected()) {
        const TComPortSettings s = ComPort->Settings();
        ShowStatus(QStringLiteral("%1:%2-%3-%4-%5-%6")
                       .arg(s.Port.trimmed(), BaudRateToStr(s.BaudRate), DataBitsToStr(s.DataBits),
                            ParityToStr(s.Parity), StopBitsToStr(s.StopBits),
                            FlowControlToStr(s.FlowControl)),
                   0);
    } else if (LinkMode == 2) {
        ShowStatus(LabelText(115), 0);
    } else if (LinkMode == 1) {
        ShowStatus(QStringLiteral("Telnet"), 0);
    } else {
        ShowStatus(QStringLiteral("%1 %2").arg(ComPort->Port().trimmed(), LabelText(125)), 0);
    }
}

void TMainForm::Extras_Konfiguration_COMExecute() {
    TLinkSettings s;
    s.Mode = LinkMode;
    s.Port = ComPort->Port();
    s.BaudRate = ComPort->BaudRate();
    s.TelnetIP = m_options.TCPTelnetIP;
    s.LocalServer = LocalServer;
    s.ServerPort = QString::number(m_options.TCPServerPort);
    s.ServerIP = m_options.TCPServerIP;
    s.ServerDelay = m_options.TCPServerDelay;
    s.ClientPort = QString::number(m_options.TCPClientPort);
    s.ClientIP = m_options.TCPClientIP;
    if (m_windows.ComSetupDlg && m_windows.ComSetupDlg->Execute(s, ListSerialPorts())) {
        LinkMode = (s.Mode == 0 || s.Mode == 1) ? s.Mode : 2;
        SaveMode(LinkMode);
        CancelReopen();
        ComPort->Close();
        ComPort->BeginUpdate();
        ComPort->SetPort(s.Port);
        ComPort->SetBaudRate(s.BaudRate);
        ComPort->EndUpdate();
        ComPort->StoreSettings(*m_settings, ComPort->objectName());
        LocalServer = s.LocalServer;
        SaveLocalServer(s.LocalServer);
        SaveTCPServerPort(s.ServerPort.toInt());
        SaveTCPServerIP(s.ServerIP);
        SaveTCPClientPort(s.ClientPort.toInt());
        SaveTCPClientIP(s.ClientIP);
        SaveTCPTelnetIP(s.TelnetIP);
        StartLink(LinkMode, LocalServer);
    }
    UpdatePortStatus();
}

// --- A device that goes away and comes back -------------------------------------

QString TMainForm::PortDevicePath() const {
    const QString port = ComPort->Port().trimmed();
    return port.startsWith(u'/') ? port : QStringLiteral("/dev/") + port;
}

void TMainForm::ComPortDeviceLost() {
    ShowError(QStringLiteral("%1 %2").arg(LabelText(126), ComPort->Port().trimmed()));
    if (LinkMode != 0) return;
    m_reopenPending = true;
    Timer_Reopen.start();
}

void TMainForm::CancelReopen() {
    m_reopenPending = false;
    Timer_Reopen.stop();
}

void TMainForm::Timer_ReopenTimer() {
    if (!m_reopenPending || LinkMode != 0 || ComPort->Connected()) {
        CancelReopen();
        return;
    }
    if (m_reopening || !QFileInfo::exists(PortDevicePath())) return;
    m_reopening = true;
    const bool opened = ComPort->Open();
    m_reopening = false;
    if (opened) {
        CancelReopen();
        ShowError(QStringLiteral("%1 %2").arg(LabelText(127), ComPort->Port().trimmed()));
    }
}

// --- Receive path ---------------------------------------------------------------------

void TMainForm::ComPortDataReceived(const QByteArray& data) {
    if (ComTerminal)
        ComTerminal->ReceiveData(data);
    else
        for (char ch : data)
            ReceiveChar(ch);
    // In Local mode everything the sensor sends also goes to the TCP
    // clients of the relay, byte for byte (escape sequences included, so a
    // remote terminal shows what this one shows). Without the relay there
    // is nobody to send to, so the batching is skipped.
    if (LinkMode == 0 && LocalServer) SendTcp(data);
}

void TMainForm::ConnectTerminal() {
    // Every character the terminal shows or acts on reaches ReceiveChar.
    connect(ComTerminal, &TComTerminal::Chars, this, [this](const QByteArray& text) {
        for (char ch : text)
            ReceiveChar(ch);
    });
    // Typed keys and the terminal's answers go to the serial port; in
    // Telnet and Remote mode, with the port closed, over TCP.
    connect(ComTerminal, &TComTerminal::SendData, this, [this](const QByteArray& bytes) {
        if (ComPort->Connected())
            ComPort->WriteStr(bytes);
        else if (LinkMode == 1 || LinkMode == 2)
            SendTcp(bytes);
    });
}

void TMainForm::ReceiveChar(char ch) {
    if (ch == '\a') BellReceived = true;
    if (!(m_windows.HistoryForm && m_windows.HistoryForm->isVisible())) {
        while (HistoryLines.size() > 1000)
            HistoryLines.removeFirst();
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c > 31) {
            if (HistoryLines.isEmpty()) HistoryLines.append(QString());
            HistoryLines.last().append(QChar(c));
        } else if (ch == '\r') {
            HistoryLines.append(QString());
        }
    }
}
