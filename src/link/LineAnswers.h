// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// What the sensor answered to a run of lines sent one after the other.
//
// The sensor takes a line at its CR, echoes it, sends its answer lines (an
// error answer is "E" and two digits, such as E05 for a refused value) and
// ends with the prompt "->". So what arrives after the first line was sent
// falls into blocks ended by prompts, one block per line, in order. A
// block left over from before the run (the rest of an earlier answer) is
// passed over: the run's first block is the first one whose echo begins
// with the first line's key. The echo of a line that holds "->" itself (a
// remark may) holds it as well, so that line's block is ended by the
// prompt after it. After a line "ECHO 0" the sensor no longer echoes, and
// its blocks hold only the answers.
struct TLineAnswers {
    int Confirmed = 0;          // lines whose block has arrived, counted from the first
    QList<int> Refused;         // indexes of lines answered with an error
    QStringList RefusedAnswers; // ... and the error answers, in the same order
};

// `received`: what the sensor sent since just before the first line;
// `sent`: the lines as they were sent, without their line ends. Errors of
// header lines (REM, S/N) and empty lines are not counted as refusals: the
// sensor knows no such command, and they are sent only as the file has them.
TLineAnswers ReadLineAnswers(const QByteArray& received, const QStringList& sent);

// True for an error answer: "E" and two digits, alone or before a blank.
bool IsErrorAnswer(const QString& line);
