// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class TMainForm;
class TSimPty;

// The relay while the sensor holds the line with XOFF for `holdMs`: every
// kind of sender pushes numbered lines at once (see RunHeldLine) and the
// sensor asks the terminal for its status every 20 ms. Prints what each
// sender sent, what reached the sensor, what was lost, and the most the
// port's output queue held. The copy-data endpoint listens at
// `copyDataPath`. Returns the bytes lost (status answers included).
long long RunHeldLine(TMainForm& relay, TSimPty& pty, int holdMs, const QString& copyDataPath);
