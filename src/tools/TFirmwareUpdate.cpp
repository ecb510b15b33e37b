// SPDX-License-Identifier: MIT
#include "TFirmwareUpdate.h"

#include "FileDialogs.h"
#include "Labels.h"
#include "MsgBox.h"
#include "TComPort.h"
#include "TCommandEngine.h"
#include "TFlashDlg.h"
#include "WaitCursor.h"

#include <QScopeGuard>

#include <optional>

namespace {
const QByteArray UpdateMode = QByteArrayLiteral("*UPDATE\r\n");
const QByteArray StartTransfer = QByteArrayLiteral("UPDATE\r\n");
const QByteArray LeaveUpdate = QByteArrayLiteral("EXIT\r\n");
const QByteArray Return = QByteArrayLiteral("\r");

TBaudRate RateOf(int bitsPerSecond) {
    return StrToBaudRate(QString::number(bitsPerSecond));
}
} // namespace

TRatePlan TRatePlan::For(bool firmware32Bit, const QString& rateBefore) {
    auto is = [&](const char* rate) {
        return rateBefore.compare(QLatin1String(rate), Qt::CaseInsensitive) == 0;
    };
    TRatePlan plan;
    if (firmware32Bit) {
        plan.ToSlowFirst = !is("9600");
        plan.RateCommand = QByteArrayLiteral("B115K2\r\n");
        plan.TransferRate = 115200;
        plan.Restore = !is("115200");
    } else if (!is("38400")) {
        plan.RateCommand = QByteArrayLiteral("B38K4\r\n");
        plan.TransferRate = 38400;
        plan.Restore = true;
    }
    return plan;
}

TFirmwareUpdate::TFirmwareUpdate(THost& host, TFlashDlg& dialog, QObject* parent)
    : QObject(parent), m_host(host), m_dialog(dialog) {}

void TFirmwareUpdate::Datei_UpdateFirmware() {
    if (m_running) return;
    m_result = TFlowResult::NoLink;
    if (!m_host.PortOpen()) {
        // Over TCP only the first line would go out and the line's rate
        // cannot be switched: refuse rather than half-do it.
        if (m_host.LinkMode() != TLinkMode::Local) m_host.ShowMsgBox(LabelText(514), mtError, mbOK);
        return;
    }
    m_running = true;
    m_host.EnableDeviceActions(false);
    auto done = qScopeGuard([this] {
        m_running = false;
        m_host.EnableDeviceActions(m_host.LinkUp());
    });
    Run();
}

TFlowResult TFirmwareUpdate::ResultOf(TFlashDlg::TStop stop) {
    switch (stop) {
    case TFlashDlg::TStop::Done:
        return TFlowResult::Done;
    case TFlashDlg::TStop::Aborted:
    case TFlashDlg::TStop::Cancelled:
        return TFlowResult::Cancelled;
    case TFlashDlg::TStop::LinkLost:
        return TFlowResult::NoLink;
    case TFlashDlg::TStop::FileError:
        return TFlowResult::FileError;
    case TFlashDlg::TStop::Refused:
    case TFlashDlg::TStop::TimedOut:
        break;
    }
    return TFlowResult::SensorError;
}

// Label 513, and what went wrong where the operator did not stop it.
QString TFirmwareUpdate::FailureText(TFlashDlg::TStop stop) {
    switch (stop) {
    case TFlashDlg::TStop::Refused:
        return LabelText(513) + u'\r' + LabelText(146);
    case TFlashDlg::TStop::TimedOut:
        return LabelText(513) + u'\r' + LabelText(147);
    case TFlashDlg::TStop::LinkLost:
        return LabelText(513) + u'\r' + LabelText(144);
    default:
        return LabelText(513);
    }
}

bool TFirmwareUpdate::PortLost() const {
    return !m_host.PortOpen();
}

// A port switch: the new rate at once, what came at the old rate dropped,
// a second for the sensor to follow.
void TFirmwareUpdate::SwitchPort(int bitsPerSecond) {
    TComPort& port = m_host.Engine().Port();
    port.SetBaudRate(RateOf(bitsPerSecond));
    port.ClearBuffer();
    TCommandEngine::Delay(1000);
    m_host.UpdatePortStatus();
}

void TFirmwareUpdate::SwitchByCommand(const QByteArray& command, int bitsPerSecond) {
    TCommandEngine& engine = m_host.Engine();
    engine.SetCmd(command);
    TCommandEngine::Delay(100);
    SwitchPort(bitsPerSecond);
    engine.SetCmd(Return);
    TCommandEngine::Delay(100);
}

void TFirmwareUpdate::Run() {
    TCommandEngine& engine = m_host.Engine();
    TComPort& port = engine.Port();
    engine.SetCmd(SensorCommand::Attention);
    m_host.IdentifySensor();

    TFileDialogRequest request;
    request.kind = TFileDialogRequest::Open;
    request.directory = m_host.FirmDir();
    request.filter = LabelText(112) + u'|' + LabelText(107);
    request.defaultSuffix = QStringLiteral("hex");
    const QString file = TFileDialogs::GetOpenFileName(m_host.HostWindow(), request);
    m_result = file.isEmpty() ? TFlowResult::Cancelled : TFlowResult::NoLink;
    if (file.isEmpty() || PortLost()) return;
    // The file is read before the sensor is put into its update mode: a
    // file that cannot be read leaves the sensor as it was.
    QList<QByteArray> lines;
    QString error;
    if (!TFlashDlg::ReadLines(file, &lines, &error)) {
        m_result = TFlowResult::FileError;
        m_host.ShowMsgBox(LabelText(515) + u'\r' + error, mtError, mbOK);
        return;
    }

    const QString rateBefore = BaudRateToStr(port.BaudRate());
    std::optional<TWaitCursor> busy(std::in_place);
    const QByteArray reply = engine.GetCmd(UpdateMode, "\r\n", "\r\n", 0, 2500);
    TCommandEngine::Delay(200);
    if (reply.contains("E03") || PortLost()) {
        m_result = PortLost() ? TFlowResult::NoLink : TFlowResult::SensorError;
        return;
    }

    engine.SetCmd(Return);
    TCommandEngine::Delay(2000);
    const TRatePlan plan = TRatePlan::For(m_host.Sensor().Firmware32Bit(), rateBefore);
    if (plan.ToSlowFirst) SwitchPort(9600);
    if (!plan.RateCommand.isEmpty()) SwitchByCommand(plan.RateCommand, plan.TransferRate);

    TFlashDlg::TStop stop = TFlashDlg::TStop::LinkLost;
    if (!PortLost()) {
        m_host.ClearBellReceived();
        engine.SetCmd(StartTransfer);
        TCommandEngine::Delay(100);
        busy.reset(); // the dialog shows the progress
        if (m_dialog.SendLines(LabelText(18), LabelText(511), lines) == TFlashDlg::ResultOk)
            m_dialog.Wait(LabelText(18), LabelText(512), FlashLimitMs);
        stop = m_dialog.LastStop();
    }
    m_result = ResultOf(stop);
    if (m_result != TFlowResult::Done) {
        // Only what the sensor reported counts: a refused line, a file that
        // never completed, or a port that went away is a failed update, and
        // the sensor is released from its update mode as after an abort.
        m_host.ShowMsgBox(FailureText(stop), mtError, mbOK);
        engine.SetCmd(QByteArrayLiteral("\033"));
        engine.SetCmd(QByteArrayLiteral("Q"));
        TCommandEngine::Delay(100);
    }

    busy.emplace();
    TCommandEngine::Delay(1000);
    engine.SetCmd(LeaveUpdate);
    TCommandEngine::Delay(500);
    m_host.ClosePort();
    TCommandEngine::Delay(2000);
    if (plan.Restore) {
        port.SetBaudRate(StrToBaudRate(rateBefore));
        m_host.UpdatePortStatus();
    }
    if (m_host.OpenPort()) engine.SetCmd(Return);
}
