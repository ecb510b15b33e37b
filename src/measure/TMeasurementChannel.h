// SPDX-License-Identifier: MIT
#pragma once

#include "TComDataPacket.h"
#include "TFlowHost.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

// How the chart and the number window borrow the sensor's output channel
// through which the program talks (channel n: 2 when the sensor answered
// SID with 2, else 1). When the window opens, the channel's settings are
// read and remembered and its cyclic output is switched off; Start
// switches it to a short measurement line at a fixed period and attaches
// the window's framer, Stop detaches it and switches the output off, and
// closing the window writes the remembered settings back.
class TMeasurementChannel {
public:
    // The chart (and the service command's log) or the number window.
    enum class TWindow { Chart, Number };

    TMeasurementChannel(TFlowHost& host, TWindow window);

    // The framer of the measurement lines, one packet a line (CR LF cut
    // off): attached to the port from the end of Start until Stop, so
    // that the echoes of the run's own commands are no measurement lines.
    // Over TCP the lines reach it the same way.
    TComDataPacket& Framer() { return m_framer; }

    // Reads and remembers the channel's settings, output off; false when
    // no link is open or the sensor gives no usable answer (silently).
    bool PrepareChannel();
    // The chart window's Start with its update period in ms (the number
    // window always uses 100 ms). False when the link went away before
    // every command was sent (the framer is then not attached).
    bool Start(int updateMs = 100);
    // False when the switch-off could not be sent.
    bool Stop();
    // Writes the remembered settings back (every close of the window),
    // when the channel is borrowed: a preparation that failed before the
    // output was switched off has nothing to give back. What cannot be
    // sent because the link is gone is owed to the sensor, which gets it
    // when it is reached again; false then.
    bool RestoreChannel();
    // After the link was lost and the sensor is back: the channel gets its
    // own settings again, then it is borrowed afresh (PrepareChannel).
    bool BorrowAgain();
    // The channel's output has been switched off by PrepareChannel and its
    // settings are not written back yet.
    bool Borrowed() const { return m_borrowed; }

    bool LengthAvailable() const { return m_lengthAvailable; }
    int SavedOn() const { return m_savedOn; }
    QString SavedFormat() const { return m_savedFormat; }
    QString SavedOutput() const { return m_savedOutput; }
    QString SavedTime() const { return m_savedTime; }

    // Leading and trailing blanks and control characters removed.
    static QByteArray TrimControls(const QByteArray& text);

private:
    int Channel() const;
    static QByteArray Command(const QString& command);
    bool Send(const QString& command);
    QByteArrayList RestoreCommands() const;

    TFlowHost& m_host;
    TWindow m_window;
    TComDataPacket m_framer;
    int m_savedOn = 0;
    QString m_savedFormat;
    QString m_savedOutput;
    QString m_savedTime;
    bool m_lengthAvailable = false;
    bool m_borrowed = false;
};
