// SPDX-License-Identifier: MIT
#include "WriteFlow.h"

#include "Labels.h"
#include "LineAnswers.h"
#include "ReadFlow.h"
#include "TComPort.h"
#include "TCommandEngine.h"

#include <QCoreApplication>
#include <QScopeGuard>

TWriteFlow::TWriteFlow(TFlowHost& host, TFlowQuestions& questions, TFlowProgress progress)
    : m_host(host), m_questions(questions), m_progress(std::move(progress)) {}

bool TWriteFlow::PrepareSendList(QStringList& lines, int sensorConstant) {
    auto find = [&lines](const QString& text) {
        for (qsizetype i = 0; i < lines.size(); ++i)
            if (lines.at(i).contains(text)) return i;
        return qsizetype(-1);
    };
    if (const qsizetype echo = find(QStringLiteral("ECHO"));
        echo >= 0 && lines.at(echo).contains(u'0'))
        lines.append(lines.takeAt(echo));
    lines.append(QStringLiteral("*EXIT"));
    const qsizetype on = find(QStringLiteral("S%1ON").arg(Channel()));
    if (on >= 0 && !lines.at(on).contains(u'0')) lines.append(lines.takeAt(on));

    const qsizetype constantLine = find(QStringLiteral("CONSTANT"));
    int setConstant = -1;
    if (constantLine >= 0) {
        const QString line = lines.at(constantLine);
        const qsizetype at = line.indexOf(QLatin1String("CONSTANT"));
        qsizetype blank = line.indexOf(u' ', at);
        if (blank < 0) blank = line.size() - 1;
        bool ok = false;
        setConstant = line.mid(blank).trimmed().toInt(&ok);
        if (!ok) setConstant = -1;
    }
    if (setConstant == -1 || setConstant == sensorConstant || m_host.Sensor().Firmware32Bit())
        return true;
    const QString question = LabelText(103) + u'\r' + LabelText(109) + QStringLiteral("\r\r") +
                             LabelText(108) + u'\t' + QString::number(sensorConstant) +
                             QStringLiteral("\r\r") + LabelText(106) + u'\t' +
                             QString::number(setConstant);
    m_pending = lines;
    const TMsgResult answer =
        m_questions.Ask(TFlowQuestion::ConstantDiffers, question, mbYesNoCancel);
    m_pending.clear();
    switch (answer) {
    case mrYes:
        lines.removeAt(constantLine); // the sensor keeps its own constant
        return true;
    case mrNo:
        if (m_questions.Ask(TFlowQuestion::ReallySendConstant, LabelText(111), mbYesNo) != mrYes)
            lines.removeAt(constantLine);
        return true;
    default:
        return false;
    }
}

QStringList TWriteFlow::ReadSensorSet() {
    return TReadFlow::ReplyLines(
        m_host.Engine().GetCmd(QByteArray("READ\r\n"), "READ\r\n", "->", 0, 5000));
}

TWriteResult TWriteFlow::Send(const std::function<QStringList()>& fill, bool store, bool fromForm) {
    TWriteResult result;
    TCommandEngine& engine = m_host.Engine();
    auto done = qScopeGuard([&engine] { engine.StopRecording(); });
    if (!m_host.LinkOpen()) return result;
    engine.SetCmd(SensorCommand::Attention);
    engine.SetCmd(QStringLiteral("S%1ON 0\r\n").arg(Channel()).toLatin1());
    for (const QByteArray& c : SensorCommand::SystemModeEntry)
        engine.SetCmd(c);
    bool ok = false;
    const int sensorConstant =
        engine.GetCmd(QByteArray("CONSTANT\r\n"), "CONSTANT\r\n", fromForm ? "\r" : "\r\n", 0, 200)
            .trimmed()
            .toInt(&ok);
    if (!ok || sensorConstant < 0) {
        if (!engine.LinkUp()) {
            // Gone before anything of the set was sent: out of system mode
            // once it is back.
            m_host.OweSensor({SensorCommand::SystemModeExit});
            result.Message = LabelText(144);
            return result;
        }
        // Nothing is sent; the sensor is not left in system mode.
        engine.SetCmd(SensorCommand::SystemModeExit);
        result.Outcome = TFlowResult::NoAnswer;
        result.Message = QStringLiteral("CONSTANT ") + LabelText(105);
        return result;
    }
    QStringList lines = fill();
    if (LinesChanged) LinesChanged(lines);
    if (!PrepareSendList(lines, sensorConstant)) {
        engine.SetCmd(SensorCommand::SystemModeExit);
        result.Outcome = TFlowResult::ConstantDiffers;
        return result;
    }
    if (LinesChanged) LinesChanged(lines);
    result.Lines = lines;
    result.Sent = SendList(lines, result);
    if (result.Sent < 0) { // interrupted: the result says so
        result.Sent = 0;
        return result;
    }
    if (result.Sent < lines.size()) {
        LinkLost(lines, ReadLineAnswers(engine.Recorded(), lines).Confirmed, result);
        return result;
    }
    if (!Confirmed(lines, result)) return result;
    result.Taken = true;
    result.Outcome = TFlowResult::Done;
    if (store && m_questions.Ask(TFlowQuestion::StoreSet, LabelText(104), mbYesNo) == mrYes)
        Store(result);
    return result;
}

// Sends the lines in order, each as its own command, and records what the
// sensor answers. The number of lines handed to the link: all of them, or
// fewer when the link went away (the first one not sent and all after it
// did not reach the sensor); -1 when the run was interrupted.
qsizetype TWriteFlow::SendList(const QStringList& lines, TWriteResult& result) {
    TCommandEngine& engine = m_host.Engine();
    engine.StartRecording();
    if (m_progress) m_progress(QStringLiteral("sending the set"), 0, lines.size());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (engine.CancelRequested()) {
            // Interrupted: out of system mode, and the output switched
            // on again where the set would have done it at its end.
            engine.SetCmd(SensorCommand::SystemModeExit);
            const QString on = QStringLiteral("S%1ON").arg(Channel());
            if (lines.last().startsWith(on) && i < lines.size() - 1)
                engine.SetCmd(lines.last().toLatin1() + "\r\n");
            result.Outcome = TFlowResult::Cancelled;
            return -1;
        }
        if (!engine.SetCmd(lines.at(i).toLatin1() + "\r\n")) return i;
        QCoreApplication::processEvents();
        if (m_progress) m_progress(QStringLiteral("sending the set"), i + 1, lines.size());
        if (!engine.LinkUp()) return i + 1;
    }
    return lines.size();
}

// The link went away while the set was being sent: nothing is stored,
// and what the set would have done to leave system mode is owed to the
// sensor for when it is reached again. Only a line the sensor answered is
// known to have reached it (`answered` lines from the first); one the link
// took may have been lost with the device, so from there on the way out
// is owed (sent twice, it does no harm).
void TWriteFlow::LinkLost(const QStringList& lines, qsizetype answered, TWriteResult& result) {
    result.Outcome = TFlowResult::NoLink;
    result.Confirmed = answered;
    const qsizetype exitAt = lines.indexOf(QStringLiteral("*EXIT"));
    QByteArrayList owed;
    if (answered <= exitAt) owed << SensorCommand::SystemModeExit;
    for (qsizetype i = std::max(exitAt + 1, answered); i < lines.size(); ++i)
        owed << lines.at(i).toLatin1() + "\r\n";
    m_host.OweSensor(owed);
    result.Message = LabelText(134).arg(result.Sent).arg(lines.size());
}

// Waits for the sensor's answers to every line sent (the line may be held
// by the sensor meanwhile) and judges them: every line answered and none
// refused. Otherwise the result says what is wrong.
bool TWriteFlow::Confirmed(const QStringList& lines, TWriteResult& result) {
    TCommandEngine& engine = m_host.Engine();
    TLineAnswers answers;
    auto answered = [&] {
        answers = ReadLineAnswers(engine.Recorded(), lines);
        return answers.Confirmed >= lines.size() || !engine.LinkUp();
    };
    // The answers follow the last line within moments once the line has
    // taken it; a held line gets the time it takes, within reason.
    TCommandEngine::WaitUntil([&] { return answered() || engine.Port().PendingOutput() == 0; },
                              MaxHeldMs);
    TCommandEngine::WaitUntil(answered, AnswerWaitMs);
    engine.StopRecording();
    result.Confirmed = answers.Confirmed;
    for (qsizetype i = 0; i < answers.Refused.size(); ++i)
        result.Refused.append({lines.at(answers.Refused.at(i)), answers.RefusedAnswers.at(i)});
    if (!engine.LinkUp()) {
        LinkLost(lines, answers.Confirmed, result);
        return false;
    }
    if (answers.Confirmed < lines.size()) {
        result.Outcome = TFlowResult::NoAnswer;
        result.Message = LabelText(135).arg(lines.size() - answers.Confirmed).arg(lines.size());
        return false;
    }
    if (!result.Refused.isEmpty()) {
        result.Outcome = TFlowResult::SensorError;
        QStringList list;
        for (qsizetype i = 0; i < result.Refused.size() && i < 10; ++i)
            list << QStringLiteral("%1  (%2)")
                        .arg(result.Refused.at(i).Line.left(60), result.Refused.at(i).Answer);
        if (result.Refused.size() > 10) list << QStringLiteral("...");
        result.Message =
            LabelText(136).arg(result.Refused.size()).arg(lines.size()) + u'\r' + list.join(u'\r');
        return false;
    }
    return true;
}

// Stores the set in the sensor's permanent memory and checks that the
// sensor took both commands.
void TWriteFlow::Store(TWriteResult& result) {
    TCommandEngine& engine = m_host.Engine();
    const QStringList commands = {QStringLiteral("*STORE"), QStringLiteral("/KELBOR")};
    engine.StartRecording();
    bool sent = true;
    for (const QString& c : commands)
        sent = sent && engine.SetCmd(c.toLatin1() + "\r\n");
    TLineAnswers answers;
    TCommandEngine::WaitUntil(
        [&] {
            answers = ReadLineAnswers(engine.Recorded(), commands);
            return answers.Confirmed >= commands.size() || !engine.LinkUp();
        },
        MaxHeldMs);
    engine.StopRecording();
    if (sent && answers.Confirmed >= commands.size() && answers.Refused.isEmpty()) {
        result.Stored = true;
        return;
    }
    result.Outcome = !engine.LinkUp()                      ? TFlowResult::NoLink
                     : answers.Confirmed < commands.size() ? TFlowResult::NoAnswer
                                                           : TFlowResult::SensorError;
    result.Message = LabelText(137);
}
