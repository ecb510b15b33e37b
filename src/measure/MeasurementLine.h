// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArrayView>

// One measurement line as the sensor sends it in the short line format
// (without its CR LF): the velocity's sign and six hexadecimal digits in
// 0.00001 m/s, one character not evaluated, three hexadecimal digits of
// the signal rate in 0.1 %, and in the long format "sl:h" the length's
// sign and eight hexadecimal digits in 0.0001 m.
struct TMeasurement {
    enum class TKind {
        NoMeasurement, // shorter than 11 characters: ignored
        Invalid,       // a field that is not hexadecimal: a gap, or "-"
        Valid,
    };
    TKind Kind = TKind::NoMeasurement;
    double Velocity = 0; // m/s
    double Rate = 0;     // %
    // The length, decoded only when asked for and the line has 20 characters.
    bool HasLength = false;
    bool LengthValid = false;
    double Length = 0; // m
};

// Decodes a line; `withLength` also decodes the length field.
TMeasurement DecodeMeasurementLine(QByteArrayView line, bool withLength);

// Hexadecimal digits (either case) as a number; false when a character is
// not a hexadecimal digit (a blank included) or the field is empty.
bool ParseHexField(QByteArrayView field, qint64* value);
