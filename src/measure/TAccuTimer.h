// SPDX-License-Identifier: MIT
#pragma once

#include <QElapsedTimer>
#include <QTimer>

// A timer with a stopwatch on the monotonic clock. The chart window has
// two: one only for its stopwatch (the seconds since Start of every line)
// and one that ticks every 100 ms to plot the newest line.
class TAccuTimer : public QTimer {
    Q_OBJECT
public:
    using QTimer::QTimer;

    void StartStopwatch() { m_stopwatch.start(); }
    // Seconds since StartStopwatch; 0 before it was ever started.
    double ElapsedSeconds() const {
        return m_stopwatch.isValid() ? double(m_stopwatch.nsecsElapsed()) / 1e9 : 0.0;
    }

private:
    QElapsedTimer m_stopwatch;
};
