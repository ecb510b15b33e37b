// SPDX-License-Identifier: MIT
#pragma once

#include "TFlashDlg.h"
#include "THost.h"

#include <QByteArray>
#include <QObject>
#include <QString>

// How the serial line gets to the transfer rate of the sensor's update
// mode, and whether the former rate is restored at the end. The 32-bit
// firmware takes its file at 115200 baud, the older one at 38400; a rate
// command is only understood at 9600 (32-bit) or at the current rate.
struct TRatePlan {
    bool ToSlowFirst = false; // the port goes to 9600 before the command
    QByteArray RateCommand;   // empty: the line stays as it is
    int TransferRate = 0;     // the port's rate after the command
    bool Restore = false;     // back to the former rate at the end
    static TRatePlan For(bool firmware32Bit, const QString& rateBefore);
};

// The firmware update: puts the sensor into its update mode, moves the
// serial line to the transfer rate, streams the Intel-HEX file through the
// transfer dialog, waits for the sensor to flash it, leaves the update mode
// and brings the line back. The file's lines are sent as they stand.
//
// It needs the serial port: over a TCP link the rate switching cannot
// work, so the update is refused there with a message. A file that cannot
// be read is reported before the sensor is touched. While it runs the
// device actions are off, so nothing else talks to the sensor.
class TFirmwareUpdate : public QObject {
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
    void SwitchPort(int bitsPerSecond);
    void SwitchByCommand(const QByteArray& command, int bitsPerSecond);
    bool PortLost() const;
    static TFlowResult ResultOf(TFlashDlg::TStop stop);
    static QString FailureText(TFlashDlg::TStop stop);

    THost& m_host;
    TFlashDlg& m_dialog;
    bool m_running = false;
    TFlowResult m_result = TFlowResult::Done;
};
