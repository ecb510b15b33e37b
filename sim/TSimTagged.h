// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QtGlobal>

// Streams of numbered lines that several senders push through the host to
// the sensor at once (relay clients, other programs), made so that the
// bytes the sensor receives can be taken apart again by sender. Sender k
// writes the numbers 0, 1, 2, ... as eight base-4 digits from four
// characters of its own (0x21 + 4k to 0x24 + 4k), each number a line ended
// by CR. The characters are printable and none of the sensor's control
// characters, so the sensor takes every line as a (wrong) command.
constexpr int SimTaggedSenders = 23;
constexpr int SimTaggedLine = 9; // eight digits and CR

// Sender k's stream: whole lines, at least `bytes` long.
QByteArray SimTaggedStream(int sender, qsizetype bytes);

// What the sensor received of one sender's stream. `received` is the
// sensor's input with anything that is not a tagged stream (answers of
// the terminal, commands) already taken out; line ends are not counted.
struct TSimTaggedCheck {
    qsizetype Expected = 0; // digits the sender sent
    qsizetype Received = 0; // digits of its alphabet that arrived
    qsizetype InOrder = 0;  // of these, the leading run that matches the stream
    bool Whole() const { return Received == Expected && InOrder == Expected; }
    qsizetype Lost() const { return Expected - InOrder; }
};
TSimTaggedCheck CheckSimTaggedStream(const QByteArray& received, int sender,
                                     const QByteArray& stream);
