// SPDX-License-Identifier: MIT
// The main window's TCP side: starting the link as a client (Telnet,
// Remote) or as the relay server (Local mode), the socket events, sending
// with the batching delay, data received over TCP and the measurement
// lines assembled from it.
#include "TMainForm.h"

#include "CopyDataChannel.h"
#include "Labels.h"
#include "MsgBox.h"
#include "TComPort.h"
#include "TCommandEngine.h"
#include "TCustomComTerminal.h"
#include "TTcpLink.h"
#include "WaitCursor.h"

#include <QAction>

void TMainForm::CreateTcpLink() {
    TcpLink = new TTcpLink(this);
    connect(TcpLink, &TTcpLink::Received, this, &TMainForm::TcpDataReceived);
    connect(TcpLink, &TTcpLink::Accepted, this, &TMainForm::TcpAccepted);
    connect(TcpLink, &TTcpLink::ClientClosed, this, &TMainForm::TcpClientClosed);
    connect(TcpLink, &TTcpLink::LinkClosed, this, &TMainForm::TcpLinkClosed);
    // Queued: the error box must not open inside the socket's own code.
    connect(TcpLink, &TTcpLink::Failed, this, &TMainForm::SocketError, Qt::QueuedConnection);
    connect(TcpLink, &TTcpLink::Refused, this, [this](const QString& peer) {
        ShowError(QStringLiteral("TCP client refused (%1 connected): %2")
                      .arg(TTcpLink::MaxClients)
                      .arg(peer));
    });
    connect(&Timer_TCPServer_Delay, &QTimer::timeout, this, &TMainForm::Timer_TCPServer_DelayTimer);
    m_engine->SendTcp = [this](const QByteArray& text) { SendTcp(text); };
    m_engine->TcpLinkUp = [this] { return TcpLink->LinkConnected(); };
    // Relayed data waits in the port's relay lane; beyond its high mark the
    // clients are held back (TCP holds them) rather than the lane growing,
    // and they are read on once it has drained.
    TcpLink->ReadyForData = [this] { return ReadyForRelayData(); };
    connect(ComPort, &TComPort::RelayRoom, TcpLink, &TTcpLink::ResumeReading);
}

// The copy-data channel asks this too, and hands on pieces the relay lane
// has room for after a yes.
static_assert(TMainForm::MaxRelayBacklog == TComPort::RelayHighMark);
static_assert(TCopyDataServer::DataPiece <= TComPort::MaxRelayPiece);
static_assert(TTcpLink::ReadChunk <= TComPort::MaxRelayPiece);

bool TMainForm::ReadyForRelayData() const {
    return !ComPort->Connected() || ComPort->RelayReady();
}

// --- Start of the link ------------------------------------------------------------

void TMainForm::StartLink(TLinkMode mode, bool server) {
    Timer_StartUp.stop(); // a start still pending must not finish during this one
    CloseSockets();
    Datei_UpdateFirmware->setEnabled(mode == TLinkMode::Local);
    for (int panel = 0; panel < StatusPanelCount; ++panel)
        ShowStatus(QString(), TStatusPanel(panel));
    Timer_StartUp.setProperty("tag", 0);
    ComTerminal->SetConnected(ComPort->Connected());

    if (IsTcpClientMode(mode)) {
        if (!StartClient(mode)) return; // a newer start took over while this one waited
    } else if (server) {
        if (!StartServer()) return; // the error box has been shown; this start ends here
    }
    UpdatePortStatus();
    Timer_StartUp.start();
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
        result = TcpLink->Connect(host, quint16(port));
        m_connecting = false;
    }
    if (result == TTcpLink::TConnectResult::Superseded) return false;
    if (result == TTcpLink::TConnectResult::Failed) {
        ShowStatus(LabelText(118) + u' ' + target, TStatusPanel::SocketStatus);
        Timer_StartUp.setProperty("tag", 1);
        return true;
    }
    ShowStatus(TcpLink->OwnAddress(), TStatusPanel::IpPort);
    ShowStatus(LabelText(117) + u' ' + target, TStatusPanel::SocketStatus);
    // Typed keys and the terminal's answers now leave over TCP.
    ComTerminal->SetConnected(true);
    return true;
}

bool TMainForm::StartServer() {
    Timer_TCPServer_Delay.setInterval(std::max(0, m_options.TCPServerDelay));
    const int port = m_options.TCPServerPort;
    QString error;
    if (port < 0 || port > 65535) {
        SocketError(QStringLiteral("Invalid port: %1").arg(port));
        return false;
    }
    if (!TcpLink->Listen(m_options.TCPServerIP, quint16(port), &error)) {
        SocketError(error);
        return false;
    }
    ShowStatus(TcpLink->OwnAddress(), TStatusPanel::IpPort);
    ShowStatus(LabelText(116), TStatusPanel::SocketStatus);
    return true;
}

void TMainForm::CloseSockets() {
    TcpLink->CloseSockets();
    Timer_TCPServer_Delay.stop();
    m_tcpPendingText.clear();
    if (!ComPort->Connected()) ComTerminal->SetConnected(false);
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
    ShowStatus(QString::number(TcpLink->ClientCount()), TStatusPanel::TcpCounter);
    ShowStatus(LabelText(119) + u' ' + peer, TStatusPanel::SocketStatus);
}

void TMainForm::TcpClientClosed() {
    // The client is released even while the serial port is closed, so a
    // relay left without its sensor does not collect dead connections.
    ShowStatus(LabelText(120), TStatusPanel::SocketStatus);
    ShowStatus(QString::number(TcpLink->ClientCount()), TStatusPanel::TcpCounter);
}

void TMainForm::TcpLinkClosed() {
    ShowStatus(LabelText(120), TStatusPanel::SocketStatus);
    m_sensor->ReportLinkLost();
    if (!ComPort->Connected())
        ComTerminal->SetConnected(false); // typed keys have nowhere to go now
}

void TMainForm::TcpDataReceived(const QByteArray& bytes) {
    CopyData(quint32(TCopyDataKind::Data), bytes);
}

// --- Sending ---------------------------------------------------------------------

void TMainForm::SendTcp(const QByteArray& text) {
    if (text.isEmpty()) return;
    if (m_options.TCPServerDelay == 0) {
        SendTcpNow(text);
        return;
    }
    m_tcpPendingText += text;
    // A running timer is not restarted: the first text of a batch waits
    // one period. A batch that grows very large leaves at once.
    if (m_tcpPendingText.size() >= MaxTcpPending) {
        Timer_TCPServer_DelayTimer();
        return;
    }
    if (!Timer_TCPServer_Delay.isActive()) Timer_TCPServer_Delay.start();
}

void TMainForm::Timer_TCPServer_DelayTimer() {
    Timer_TCPServer_Delay.stop();
    const QByteArray text = m_tcpPendingText;
    m_tcpPendingText.clear();
    SendTcpNow(text);
}

void TMainForm::SendTcpNow(const QByteArray& text) {
    TcpLink->SendNow(text, ComPort->Connected() && m_localServer);
}
