// SPDX-License-Identifier: MIT
#pragma once

#include "TFlowHost.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// A line the sensor refused, with its answer ("E05").
struct TRefusedLine {
    QString Line;
    QString Answer;
};

// How a send ended and what it did.
struct TWriteResult {
    TFlowResult Outcome = TFlowResult::NoLink;
    // What went wrong, worded for the operator; empty when done.
    QString Message;
    // The lines as sent, in their order; empty when nothing was sent.
    QStringList Lines;
    qsizetype Sent = 0;      // lines handed to the link
    qsizetype Confirmed = 0; // lines the sensor answered
    QList<TRefusedLine> Refused;
    // Every line was answered and none refused.
    bool Taken = false;
    // The set was stored in the sensor's permanent memory, and the
    // sensor confirmed both store commands.
    bool Stored = false;

    bool Done() const { return Outcome == TFlowResult::Done; }
};

// Sending a whole parameter set to the sensor: the output is switched
// off, system mode entered, the factory constant checked against the set
// (the question policy decides what happens when they differ), the lines
// sent one by one (each costs the engine's 100 ms pause; events run
// meanwhile) while the sensor's answers are recorded, every answer
// checked, and on request the set stored. The sensor always leaves system
// mode; what the link could not take any more is owed to it.
class TWriteFlow {
public:
    TWriteFlow(TFlowHost& host, TFlowQuestions& questions, TFlowProgress progress = {});

    // `fill` gives the set's lines once the sensor's constant is known.
    // `fromForm`: the editor's set (its CONSTANT reply ends at CR).
    // `store` asks the StoreSet question after a confirmed set.
    TWriteResult Send(const std::function<QStringList()>& fill, bool store, bool fromForm);

    // Reorders the lines to send (ECHO with 0 last, "*EXIT", the talking
    // interface's output switched on after it) and asks about a factory
    // constant that differs from the sensor's. False on Cancel.
    bool PrepareSendList(QStringList& lines, int sensorConstant);

    // The lines being prepared for sending, while the constant question
    // is open (so that the question can show what they would change).
    const QStringList& Pending() const { return m_pending; }
    // The sensor's set read with READ while it is in system mode.
    QStringList ReadSensorSet();

    // Told the lines whenever the set to send changes (filled, prepared).
    std::function<void(const QStringList&)> LinesChanged;

    // How long the answers to a set may take: while the sensor holds the
    // line, and after the line has taken the last command.
    int MaxHeldMs = 30000;
    int AnswerWaitMs = 3000;

private:
    int Channel() const { return m_host.Sensor().Identity().OutputChannel(); }
    qsizetype SendList(const QStringList& lines, TWriteResult& result);
    bool Confirmed(const QStringList& lines, TWriteResult& result);
    void LinkLost(const QStringList& lines, qsizetype answered, TWriteResult& result);
    void Store(TWriteResult& result);

    TFlowHost& m_host;
    TFlowQuestions& m_questions;
    TFlowProgress m_progress;
    QStringList m_pending;
};
