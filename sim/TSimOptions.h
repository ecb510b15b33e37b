// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QtGlobal>

// What a simulated sensor model can do. The model name is the word that
// follows "ORX" in the INFO answer; the version text follows the name.
struct TSimModel {
    QString Name;
    QString Version; // contains "32bit" exactly for 32-bit firmware
    bool Firmware32 = false;
    bool LengthCounter = false; // accepts the "sl:h" line format, START/STOP
    bool UpdateRefused = false; // "*UPDATE" answers E03
};

// The built-in models:
//   "9"  32-bit firmware, length counter, firmware update
//   "7"  16-bit firmware, length counter, firmware update
//   "5"  16-bit firmware, no length counter, refuses the firmware update (E03)
// An unknown name gives the capabilities of "7" under that name.
TSimModel SimModelByName(const QString& name);
bool IsKnownSimModel(const QString& name);

// Construction options of one simulated sensor.
struct TSimOptions {
    QString Model = QStringLiteral("9");
    int Sid = 1;         // interface the host talks to (1 or 2)
    quint64 Seed = 1;    // drives the velocity profile; same seed, same profile
    QString Serial;      // "S/N" in INFO; empty: derived from the seed
    int LineRate = 9600; // recorded line rate in bit/s
    // On a pseudo-terminal: the line rate the sensor is set to (0: any).
    // While the host's side runs at another rate, what the host sends
    // arrives garbled and the sensor answers nothing, as on a real line.
    int RequiredRate = 0;
    int MaxLineLength = 256; // longer command lines are cut
    int FlashStepMs = 150;   // pause between the progress lines after an upload
};
