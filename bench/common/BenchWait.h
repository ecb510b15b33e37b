// SPDX-License-Identifier: MIT
#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

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
