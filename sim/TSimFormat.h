// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

// Measurement line layouts of the S1FORMAT/S2FORMAT parameters.
//
// "s"     11 characters: sign ("-" or blank), velocity magnitude as 6 hex
//         digits in 0.00001 m/s, a blank, rate as 3 hex digits in 0.1 %.
// "sl:h"  the 11 characters above, then the length sign and the length
//         magnitude as 8 hex digits in 0.0001 m (20 characters).
// other   a readable line built from the format text: V (velocity in m/s),
//         R (rate in %) and L (length in m), each optionally followed by
//         "*f" or "/f" (scaled), ":w" (field width) and ":d" (decimals);
//         text in single or double quotes and any other character is copied.
//         "V*60:6:3' m/min'" gives e.g. "60.000 m/min".
// The line end CR LF is not part of the result.
enum class TSimLineKind { Short, Long, Text };

TSimLineKind SimLineKind(const QString& format);
QByteArray FormatSimLine(const QString& format, double velocity, double rate, double length);
