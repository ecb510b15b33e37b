// SPDX-License-Identifier: MIT
#pragma once

#include <QFont>

// The program's fixed-pitch font (the window, the terminal, the history and
// printouts): Courier New 10 pt where the system has it (or a
// metric-compatible substitute), else the system's fixed font at 10 pt.
QFont FixedFont();
