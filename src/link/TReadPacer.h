// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

// Paces the reading of one device for a consumer that can fall behind
// (the serial line that relayed data waits for). The owner's read step
// checks whether the consumer is ready; while it is not, it asks for a
// retry a little later and reads nothing, so the device's own read buffer
// fills and the sender is held back by its transport. However often a
// step is asked for, at most one is pending.
class TReadPacer : public QObject {
    Q_OBJECT
public:
    static constexpr int RetryMs = 10;

    TReadPacer(std::function<void()> step, QObject* parent);

    // Runs the step from the event loop after `delayMs`, unless a step is
    // pending already.
    void Schedule(int delayMs = 0);
    bool Pending() const { return m_timer.isActive(); }

private:
    QTimer m_timer;
    std::function<void()> m_step;
};
