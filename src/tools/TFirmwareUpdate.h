// SPDX-License-Identifier: MIT
#pragma once

#include "FirmwareFlow.h"
#include "TFlashDlg.h"
#include "THost.h"
#include "WaitCursor.h"

#include <QObject>

#include <optional>

// The window's firmware update (action "Update firmware"): the sensor is
// identified, the file chosen and read, and the update flow
// (TFirmwareFlow) run with the transfer dialog showing its two steps.
//
// It needs the serial port: over a TCP link the rate switching cannot
// work, so the update is refused there with a message. A file that cannot
// be read is reported before the sensor is touched. While it runs the
// device actions are off, so nothing else talks to the sensor.
class TFirmwareUpdate : public QObject, private TTransferSteps {
    Q_OBJECT
public:
    TFirmwareUpdate(THost& host, TFlashDlg& dialog, QObject* parent = nullptr);

    // The whole sequence (action "Update firmware").
    void Datei_UpdateFirmware();
    bool Running() const { return m_running; }
    // How the last update ended.
    TFlowResult LastResult() const { return m_result; }

    // How long the sensor may take to flash the new firmware.
    int FlashLimitMs = 30000;

private:
    void Run();
    TTransferStop Send(const QList<QByteArray>& lines) override;
    TTransferStop Wait(int limitMs) override;

    THost& m_host;
    TFlashDlg& m_dialog;
    bool m_running = false;
    TFlowResult m_result = TFlowResult::Done;
    std::optional<TWaitCursor> m_busy;
};
