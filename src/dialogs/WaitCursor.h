// SPDX-License-Identifier: MIT
#pragma once

#include <QApplication>

// Shows the hourglass for the lifetime of the object, restored on every
// exit path of the scope that holds it.
class TWaitCursor {
public:
    TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;
};
