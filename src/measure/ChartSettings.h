// SPDX-License-Identifier: MIT
#pragma once

class QSettings;

// The chart setup's stored velocity unit (0 m/s, 1 m/min) and output
// period in ms, read from the "Option" group of `settings` as the setup
// dialog reads them, for a log that runs without the dialog. A value
// that is missing or out of range gives the default (m/s, 100 ms).
int StoredVelocityUnit(QSettings& settings);
int StoredUpdatePeriod(QSettings& settings);
