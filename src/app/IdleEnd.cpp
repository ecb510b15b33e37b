// SPDX-License-Identifier: MIT
#include "IdleEnd.h"

#include <QApplication>
#include <QDialog>

void TIdleEnd::Start() {
    if (m_started) return;
    m_started = true;
    m_clock.start();
    m_timer.setInterval(20);
    connect(&m_timer, &QTimer::timeout, this, &TIdleEnd::Look);
    m_timer.start();
}

void TIdleEnd::Look() {
    if (QWidget* modal = QApplication::activeModalWidget()) {
        auto* dialog = qobject_cast<QDialog*>(modal);
        const QWidget* keep = SelfEnding ? SelfEnding() : nullptr;
        if (dialog && dialog != keep && !m_dismissed.contains(dialog)) {
            m_dismissed.append(dialog);
            dialog->reject();
        }
        return;
    }
    m_dismissed.clear();
    if (Busy && Busy()) return;
    if (PendingOutput && PendingOutput() > 0 && m_clock.elapsed() < 60000) return;
    m_timer.stop();
    if (Close && !Close()) {
        m_timer.start();
        return;
    }
    if (Quit) Quit();
}
