// SPDX-License-Identifier: MIT
#include "TFirmwareUpdate.h"

#include "FileDialogs.h"
#include "Labels.h"
#include "MsgBox.h"
#include "TCommandEngine.h"
#include "TFlashDlg.h"
#include "TFlowRecorder.h"
#include "WaitCursor.h"

#include <QScopeGuard>

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
        m_busy.reset();
        m_running = false;
        m_host.EnableDeviceActions(m_host.LinkUp());
    });
    Run();
}

// The dialog shows the transfer; the hourglass is back for the steps after.
TTransferStop TFirmwareUpdate::Send(const QList<QByteArray>& lines) {
    m_busy.reset();
    m_dialog.SendLines(LabelText(18), LabelText(511), lines);
    return m_dialog.LastStop();
}

TTransferStop TFirmwareUpdate::Wait(int limitMs) {
    m_dialog.Wait(LabelText(18), LabelText(512), limitMs);
    m_busy.emplace();
    return m_dialog.LastStop();
}

void TFirmwareUpdate::Run() {
    m_host.Engine().SetCmd(SensorCommand::Attention);
    m_host.IdentifySensor();

    TFileDialogRequest request;
    request.kind = TFileDialogRequest::Open;
    request.caption = LabelText(18);
    request.directory = m_host.FirmDir();
    request.filter = LabelText(112) + u'|' + LabelText(107);
    request.defaultSuffix = QStringLiteral("hex");
    const QString file = TFileDialogs::GetOpenFileName(m_host.HostWindow(), request);
    m_result = file.isEmpty() ? TFlowResult::Cancelled : TFlowResult::NoLink;
    if (file.isEmpty() || !m_host.PortOpen()) return;
    // The file is read before the sensor is put into its update mode: a
    // file that cannot be read leaves the sensor as it was.
    QList<QByteArray> lines;
    QString error;
    if (!TLineTransfer::ReadLines(file, &lines, &error)) {
        m_result = TFlowResult::FileError;
        m_host.ShowMsgBox(LabelText(515) + u'\r' + error, mtError, mbOK);
        return;
    }
    m_busy.emplace();
    TFirmwareFlow flow(m_host, *this);
    flow.FlashLimitMs = FlashLimitMs;
    flow.PortChanged = [this] { m_host.UpdatePortStatus(); };
    const QString serial = m_host.Sensor().Identity().SerialNumber.trimmed();
    const TFirmwareResult result = flow.Update(lines);
    m_busy.reset();
    if (TFlowRecorder* recorder = m_host.Recorder(); recorder && !serial.isEmpty())
        recorder->FirmwareUpdated(serial, result.Outcome, result.Message, file);
    m_result = result.Outcome;
    if (!result.Message.isEmpty()) m_host.ShowMsgBox(result.Message, mtError, mbOK);
}
