// SPDX-License-Identifier: MIT
#pragma once

#include "TFlowHost.h"

#include <QByteArrayList>
#include <QString>
#include <QStringList>

// What a read is for: the editor (the port is closed and opened again in
// Local mode, so the sensor is identified afresh), a .par file (the INFO
// lines become REM lines of its head), or a comparison (only the set).
enum class TReadTarget { Editor, File, Compare };

// How an identification ended.
struct TIdentifyResult {
    TFlowResult Outcome = TFlowResult::NoLink;
    // What went wrong, worded for the operator; empty when there is
    // nothing to tell (done, or a link that went away and said so itself).
    QString Message;
};

// How a read ended and what it produced.
struct TReadResult {
    TFlowResult Outcome = TFlowResult::NoLink;
    // The set as read: the head lines, then READ's lines, '\n' between two.
    QString Text;
    // The sensor's INFO (and POST) lines; empty for a comparison.
    QStringList Info;
    // What went wrong, worded for the operator; empty when there is
    // nothing to tell.
    QString Message;
    // The sensor left system mode and has its output back (or never
    // entered it). False when the link went away before that was sent:
    // the commands are owed to it then.
    bool Restored = true;

    bool Done() const { return Outcome == TFlowResult::Done; }
    // The sensor sent a set (the read may still have ended badly after it).
    bool HasSet() const { return !Text.isEmpty(); }
};

// Every exchange in which ORXTERM asks the sensor for its identity or its
// parameter set. Each one first switches off the sensor's measurement
// output on the interface it talks through (the handshake), so that no
// measurement lines mix into the answers, and puts the output back into
// its previous state at the end. A read enters system mode and always
// leaves it again, whatever the sensor answers or fails to answer; what
// cannot be sent any more is owed to the sensor.
//
// The flow holds no window: it returns what happened and what it read,
// and its caller presents it (the editor, a message box, standard error).
class TReadFlow {
public:
    explicit TReadFlow(TFlowHost& host, TFlowProgress progress = {});

    // SID, the S<n>ON state (switched off), INFO: the sensor's interface,
    // serial number, software version and Firmware32Bit go to the
    // host's sensor state, and the output is switched on again if it was
    // on. The caller sends the attention sequence first.
    TIdentifyResult Identify();

    // Reads the sensor's parameter set for `target`. A File read saves
    // the set to `file` once the sensor is out of system mode; a file
    // that cannot be written ends it as FileError and is left as it was.
    TReadResult Read(TReadTarget target, const QString& file = QString());

    // The output-off handshake: SID, then "S<n>ON" asked and switched to
    // 0. `previous` is the state before, `channel` the n it worked with.
    // False when the sensor gives no usable output state; `message` then
    // holds label 105 unless the link went away during it (the loss has
    // told itself).
    bool Handshake(int* previous, int* channel, QString* message);

    // Splits a reply into lines (CR LF, CR or LF).
    static QStringList ReplyLines(const QByteArray& reply);
    // Replaces, from the first occurrence of `key` (any case) up to the next
    // CR or the end, by `line`.
    static QString ReplaceParameterLine(const QString& text, const QString& key,
                                        const QString& line);
    // Applies the INFO lines to `identity`: the series word "ORX" or a line
    // with "32bit" gives the version and the firmware flag, "S/N" the
    // serial number.
    static void ParseInfo(const QStringList& lines, TSensorIdentity& identity);
    // Whether a READ reply holds a parameter set: at least one line whose
    // first word is a parameter key.
    static bool HasParameterLines(const QString& reply);
    // The header lines of a parameter file: "REM PARAMETER FILE", "REM DATE
    // " and the locale's date and time, an empty line.
    static QStringList HeaderLines();
    // The commands that take the sensor out of system mode (when it is in
    // it) and put its output n back to `previous`.
    static QByteArrayList RestoreCommands(int previous, int n, bool systemMode);

private:
    void Step(const QString& text) const;
    QStringList ReadInfoLines();
    void EnterSystemMode();
    bool LeaveSystemModeAndRestore(int previous, int n, bool systemMode);
    QString ReadParameterList(const QString& head, int previous, int n);
    void NoSet(TReadResult& result, int previous, int n, const QString& kept);

    TFlowHost& m_host;
    TFlowProgress m_progress;
};
