// SPDX-License-Identifier: MIT
#pragma once

#include "LineTransfer.h"
#include "TFlowHost.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

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

// How the transfer's two steps run: in the window's transfer dialog, or
// on their own with progress lines.
class TTransferSteps {
public:
    virtual ~TTransferSteps() = default;
    // Sends the file's lines; how it ended.
    virtual TTransferStop Send(const QList<QByteArray>& lines) = 0;
    // Waits at most `limitMs` for the sensor to report its flashing done.
    virtual TTransferStop Wait(int limitMs) = 0;
};

// How an update ended.
struct TFirmwareResult {
    TFlowResult Outcome = TFlowResult::NoLink;
    // What went wrong, worded for the operator; empty when done.
    QString Message;
    TTransferStop Stop = TTransferStop::LinkLost;
};

// The firmware update after the file has been read: puts the sensor into
// its update mode, moves the serial line to the transfer rate, streams the
// Intel-HEX lines (as they stand), waits for the sensor to flash them,
// leaves the update mode and brings the line back. Only the sensor's own
// report of the end counts as done; otherwise the sensor is released from
// its update mode (ESC, "Q") before it leaves it.
class TFirmwareFlow {
public:
    TFirmwareFlow(TFlowHost& host, TTransferSteps& steps);

    TFirmwareResult Update(const QList<QByteArray>& lines);

    // Told when the port's rate changed (the window shows it).
    std::function<void()> PortChanged;
    // How long the sensor may take to flash the new firmware.
    int FlashLimitMs = 30000;

    static TFlowResult ResultOf(TTransferStop stop);
    // Label 513, and what went wrong where the operator did not stop it.
    static QString FailureText(TTransferStop stop);

private:
    void SwitchPort(int bitsPerSecond);
    void SwitchByCommand(const QByteArray& command, int bitsPerSecond);
    bool PortLost() const { return !m_host.PortOpen(); }

    TFlowHost& m_host;
    TTransferSteps& m_steps;
};
