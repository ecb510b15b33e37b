// SPDX-License-Identifier: MIT
#include "FirmwareFlow.h"

#include "Labels.h"
#include "TComPort.h"
#include "TCommandEngine.h"

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

TFirmwareFlow::TFirmwareFlow(TFlowHost& host, TTransferSteps& steps)
    : m_host(host), m_steps(steps) {}

TFlowResult TFirmwareFlow::ResultOf(TTransferStop stop) {
    switch (stop) {
    case TTransferStop::Done:
        return TFlowResult::Done;
    case TTransferStop::Aborted:
    case TTransferStop::Cancelled:
        return TFlowResult::Cancelled;
    case TTransferStop::LinkLost:
        return TFlowResult::NoLink;
    case TTransferStop::FileError:
        return TFlowResult::FileError;
    case TTransferStop::Refused:
    case TTransferStop::TimedOut:
        break;
    }
    return TFlowResult::SensorError;
}

QString TFirmwareFlow::FailureText(TTransferStop stop) {
    switch (stop) {
    case TTransferStop::Refused:
        return LabelText(513) + u'\r' + LabelText(146);
    case TTransferStop::TimedOut:
        return LabelText(513) + u'\r' + LabelText(147);
    case TTransferStop::LinkLost:
        return LabelText(513) + u'\r' + LabelText(144);
    default:
        return LabelText(513);
    }
}

// A port switch: the new rate at once, what came at the old rate dropped,
// a second for the sensor to follow.
void TFirmwareFlow::SwitchPort(int bitsPerSecond) {
    TComPort& port = m_host.Engine().Port();
    port.SetBaudRate(RateOf(bitsPerSecond));
    port.ClearBuffer();
    TCommandEngine::Delay(1000);
    if (PortChanged) PortChanged();
}

void TFirmwareFlow::SwitchByCommand(const QByteArray& command, int bitsPerSecond) {
    TCommandEngine& engine = m_host.Engine();
    engine.SetCmd(command);
    TCommandEngine::Delay(100);
    SwitchPort(bitsPerSecond);
    engine.SetCmd(Return);
    TCommandEngine::Delay(100);
}

TFirmwareResult TFirmwareFlow::Update(const QList<QByteArray>& lines) {
    TFirmwareResult result;
    TCommandEngine& engine = m_host.Engine();
    TComPort& port = engine.Port();
    if (PortLost()) return result;
    const QString rateBefore = BaudRateToStr(port.BaudRate());
    const QByteArray reply = engine.GetCmd(UpdateMode, "\r\n", "\r\n", 0, 2500);
    TCommandEngine::Delay(200);
    if (reply.contains("E03") || PortLost()) {
        result.Outcome = PortLost() ? TFlowResult::NoLink : TFlowResult::SensorError;
        return result;
    }

    engine.SetCmd(Return);
    TCommandEngine::Delay(2000);
    const TRatePlan plan = TRatePlan::For(m_host.Sensor().Firmware32Bit(), rateBefore);
    if (plan.ToSlowFirst) SwitchPort(9600);
    if (!plan.RateCommand.isEmpty()) SwitchByCommand(plan.RateCommand, plan.TransferRate);

    if (!PortLost()) {
        m_host.ClearBellReceived();
        engine.SetCmd(StartTransfer);
        TCommandEngine::Delay(100);
        result.Stop = m_steps.Send(lines);
        if (result.Stop == TTransferStop::Done) result.Stop = m_steps.Wait(FlashLimitMs);
    }
    result.Outcome = ResultOf(result.Stop);
    if (result.Outcome != TFlowResult::Done) {
        // Only what the sensor reported counts: a refused line, a file that
        // never completed, or a port that went away is a failed update, and
        // the sensor is released from its update mode as after an abort.
        result.Message = FailureText(result.Stop);
        engine.SetCmd(QByteArrayLiteral("\033"));
        engine.SetCmd(QByteArrayLiteral("Q"));
        TCommandEngine::Delay(100);
    }

    TCommandEngine::Delay(1000);
    engine.SetCmd(LeaveUpdate);
    TCommandEngine::Delay(500);
    m_host.ClosePort();
    TCommandEngine::Delay(2000);
    if (plan.Restore) {
        port.SetBaudRate(StrToBaudRate(rateBefore));
        if (PortChanged) PortChanged();
    }
    if (m_host.OpenPort()) engine.SetCmd(Return);
    return result;
}
