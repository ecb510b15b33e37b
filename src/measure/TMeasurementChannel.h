// SPDX-License-Identifier: MIT
#pragma once

#include "THost.h"

#include <QByteArray>
#include <QString>

class TComDataPacket;

// How the chart and the number window borrow the sensor's output channel
// through which the program talks (channel n: 2 when the sensor answered
// SID with 2, else 1). When the window opens, the channel's settings are
// read and remembered and its cyclic output is switched off; Start
// switches it to a short measurement line at a fixed period and attaches
// the window's framer, Stop detaches it and switches the output off, and
// closing the window writes the remembered settings back.
class TMeasurementChannel {
public:
    enum class TWindow { Chart, Number };

    TMeasurementChannel(THost& host, TWindow window);

    // Reads and remembers the channel's settings, output off; false when
    // no link is open or the sensor gives no usable answer (silently).
    bool PrepareChannel();
    // The chart window's Start with its update period in ms (the number
    // window always uses 100 ms).
    void Start(int updateMs = 100);
    void Stop();
    // Writes the remembered settings back (every close of the window).
    void RestoreChannel();

    bool LengthAvailable() const { return m_lengthAvailable; }
    int SavedOn() const { return m_savedOn; }
    QString SavedFormat() const { return m_savedFormat; }
    QString SavedOutput() const { return m_savedOutput; }
    QString SavedTime() const { return m_savedTime; }

    // Leading and trailing blanks and control characters removed.
    static QByteArray TrimControls(const QByteArray& text);

private:
    int Channel() const;
    TComDataPacket& Framer();
    void Send(const QString& command);

    THost& m_host;
    TWindow m_window;
    int m_savedOn = 0;
    QString m_savedFormat;
    QString m_savedOutput;
    QString m_savedTime;
    bool m_lengthAvailable = false;
};
