// SPDX-License-Identifier: MIT
#include "TReadPacer.h"

TReadPacer::TReadPacer(std::function<void()> step, QObject* parent)
    : QObject(parent), m_step(std::move(step)) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] { m_step(); });
}

void TReadPacer::Schedule(int delayMs) {
    if (m_timer.isActive()) return;
    m_timer.start(delayMs);
}

// Its meta-object code in this object file, so that a program using
// this class alone does not pull the library's windows with it.
#include "moc_TReadPacer.cpp"
