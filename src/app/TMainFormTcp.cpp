// SPDX-License-Identifier: MIT
// The main window's TCP side: starting the link as a client (Telnet,
// Remote) or as the relay server (Local mode), and what the sockets'
// events show.
#include "TMainForm.h"

#include "CopyDataChannel.h"
#include "Labels.h"
#include "MsgBox.h"
#include "TComPort.h"
#include "TCommandEngine.h"
#include "TCustomComTerminal.h"
#include "TLink.h"
#include "WaitCursor.h"

#include <QAction>

void TMainForm::CreateTcpLink() {
    TTcpLink& tcp = m_link->Tcp();
    connect(&tcp, &TTcpLink::Accepted, this, &TMainForm::TcpAccepted);
    connect(&tcp, &TTcpLink::ClientClosed, this, &TMainForm::TcpClientClosed);
    connect(&tcp, &TTcpLink::LinkClosed, this, &TMainForm::TcpLinkClosed);
    // Queued: the error box must not open inside the socket's own code.
    connect(&tcp, &TTcpLink::Failed, this, &TMainForm::SocketError, Qt::QueuedConnection);
    connect(&tcp, &TTcpLink::Refused, this, [this](const QString& peer) {
        ShowError(QStringLiteral("TCP client refused (%1 connected): %2")
                      .arg(TTcpLink::MaxClients)
                      .arg(peer));
    });
}

// The copy-data channel asks this too, and hands on pieces the relay lane
// has room for after a yes.
static_assert(TCopyDataServer::DataPiece <= TComPort::MaxRelayPiece);
static_assert(TTcpLink::ReadChunk <= TComPort::MaxRelayPiece);

TTcpLink* TMainForm::TcpLink() const {
    return &m_link->Tcp();
}

bool TMainForm::ReopenPending() const {
    return m_link->ReopenPending();
}

QTimer& TMainForm::ReopenTimer() {
    return m_link->ReopenTimer();
}

bool TMainForm::ReadyForRelayData() const {
    return m_link->ReadyForRelayData();
}

// --- Start of the link ------------------------------------------------------------

void TMainForm::StartLink(TLinkMode mode, bool server) {
    m_startUpTimer.stop(); // a start still pending must not finish during this one
    CloseSockets();
    // In Local mode with the relay on, what the sensor sends also goes to
    // the relay's clients, and theirs to the sensor.
    m_link->SetRelay(mode == TLinkMode::Local && server);
    Datei_UpdateFirmware->setEnabled(mode == TLinkMode::Local);
    for (int panel = 0; panel < StatusPanelCount; ++panel)
        ShowStatus(QString(), TStatusPanel(panel));
    m_startUpTimer.setProperty("tag", 0);
    ComTerminal->SetConnected(m_link->SerialOpen());

    if (IsTcpClientMode(mode)) {
        if (!StartClient(mode)) return; // a newer start took over while this one waited
    } else if (server) {
        if (!StartServer()) return; // the error box has been shown; this start ends here
    }
    UpdatePortStatus();
    m_startUpTimer.start();
}

bool TMainForm::StartClient(TLinkMode mode) {
    const bool telnet = mode == TLinkMode::Telnet;
    const QString host = telnet ? m_options.TCPTelnetIP : m_options.TCPClientIP;
    const int port = telnet ? (m_telnetPort > 0 ? m_telnetPort : int(TTcpLink::TelnetPort))
                            : m_options.TCPClientPort;
    const QString target = QStringLiteral("%1:%2").arg(host).arg(port);

    TTcpLink::TConnectResult result = TTcpLink::TConnectResult::Failed;
    if (port > 0 && port <= 65535) {
        // The window stays alive while the connect waits (bounded, so an
        // unreachable address costs seconds, not a minute).
        TWaitCursor wait;
        m_connecting = true;
        ShowStatus(QStringLiteral("%1 ...").arg(target), TStatusPanel::SocketStatus);
        result = m_link->Tcp().Connect(host, quint16(port));
        m_connecting = false;
    }
    if (result == TTcpLink::TConnectResult::Superseded) return false;
    if (result == TTcpLink::TConnectResult::Failed) {
        ShowStatus(LabelText(118) + u' ' + target, TStatusPanel::SocketStatus);
        m_startUpTimer.setProperty("tag", 1);
        return true;
    }
    ShowStatus(m_link->Tcp().OwnAddress(), TStatusPanel::IpPort);
    ShowStatus(LabelText(117) + u' ' + target, TStatusPanel::SocketStatus);
    // Typed keys and the terminal's answers now leave over TCP.
    ComTerminal->SetConnected(true);
    return true;
}

bool TMainForm::StartServer() {
    m_link->SetTcpDelay(m_options.TCPServerDelay);
    const int port = m_options.TCPServerPort;
    QString error;
    if (port < 0 || port > 65535) {
        SocketError(QStringLiteral("Invalid port: %1").arg(port));
        return false;
    }
    if (!m_link->Tcp().Listen(m_options.TCPServerIP, quint16(port), &error)) {
        SocketError(error);
        return false;
    }
    ShowStatus(m_link->Tcp().OwnAddress(), TStatusPanel::IpPort);
    ShowStatus(LabelText(116), TStatusPanel::SocketStatus);
    return true;
}

void TMainForm::CloseSockets() {
    m_link->CloseSockets();
    if (!m_link->SerialOpen()) ComTerminal->SetConnected(false);
}

// --- Socket events ---------------------------------------------------------------

void TMainForm::SocketError(const QString& text) {
    // One error box at a time: a burst of failing clients must not stack
    // dialogs; what happens meanwhile goes to COM Status.
    if (m_socketErrorShowing) {
        ShowError(text);
        return;
    }
    m_socketErrorShowing = true;
    TFormMsgBox::ShowMsgBox(text, mtError, mbOK);
    m_socketErrorShowing = false;
}

void TMainForm::TcpAccepted(const QString& peer) {
    ShowStatus(QString::number(m_link->Tcp().ClientCount()), TStatusPanel::TcpCounter);
    ShowStatus(LabelText(119) + u' ' + peer, TStatusPanel::SocketStatus);
}

void TMainForm::TcpClientClosed() {
    // The client is released even while the serial port is closed, so a
    // relay left without its sensor does not collect dead connections.
    ShowStatus(LabelText(120), TStatusPanel::SocketStatus);
    ShowStatus(QString::number(m_link->Tcp().ClientCount()), TStatusPanel::TcpCounter);
}

void TMainForm::TcpLinkClosed() {
    ShowStatus(LabelText(120), TStatusPanel::SocketStatus);
    m_sensor->ReportLinkLost();
    if (!m_link->SerialOpen())
        ComTerminal->SetConnected(false); // typed keys have nowhere to go now
}
