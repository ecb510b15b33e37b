// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

// Runs `step` from the event loop as soon as `ready` holds, looking every
// 5 ms: a test's hand on a window while a modal loop of the program runs
// (the caller's own call does not return meanwhile).
inline void WhenReady(QObject* owner, std::function<bool()> ready, std::function<void()> step) {
    auto* timer = new QTimer(owner);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, owner, [timer, ready, step] {
        if (!ready()) return;
        timer->stop();
        timer->deleteLater();
        step();
    });
    timer->start();
}
