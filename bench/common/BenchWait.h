// SPDX-License-Identifier: MIT
#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <functional>

// Runs the event loop until `done` holds or `ms` pass; false on time-out.
// Between looks it sleeps in the event loop until something happens or
// `stepMs` pass, so the work being measured runs undisturbed.
inline bool WaitFor(const std::function<bool()>& done, int ms, int stepMs = 1) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms) return false;
        QEventLoop loop;
        QTimer::singleShot(stepMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// How long the window's event loop was away at most while it ran: a 10 ms
// timer notes the longest time between two of its ticks.
class TGapProbe {
public:
    TGapProbe() {
        QObject::connect(&m_tick, &QTimer::timeout,
                         [this] { m_longest = std::max(m_longest, m_gap.restart()); });
        m_gap.start();
        m_tick.start(10);
    }
    void Stop() { m_tick.stop(); }
    qint64 LongestMs() const { return m_longest; }

private:
    QTimer m_tick;
    QElapsedTimer m_gap;
    qint64 m_longest = 0;
};
