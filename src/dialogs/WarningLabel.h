// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QLabel>
#include <QPalette>

// The dark red of a label that tells what is wrong (a run that stopped, a
// set that belongs to another sensor).
inline void MarkAsWarning(QLabel* label) {
    QPalette warning = label->palette();
    warning.setColor(QPalette::WindowText, QColor(0xc0, 0, 0));
    label->setPalette(warning);
}
