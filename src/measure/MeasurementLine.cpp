// SPDX-License-Identifier: MIT
#include "MeasurementLine.h"

bool ParseHexField(QByteArrayView field, qint64* value) {
    if (field.isEmpty()) return false;
    qint64 v = 0;
    for (char c : field) {
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0) return false;
        v = v * 16 + digit;
    }
    *value = v;
    return true;
}

TMeasurement DecodeMeasurementLine(QByteArrayView line, bool withLength) {
    TMeasurement m;
    if (line.size() < 11) return m;
    qint64 velocity = 0, rate = 0;
    if (!ParseHexField(line.sliced(1, 6), &velocity) || !ParseHexField(line.sliced(8, 3), &rate)) {
        m.Kind = TMeasurement::TKind::Invalid;
    } else {
        m.Kind = TMeasurement::TKind::Valid;
        m.Velocity = (line.at(0) == '-' ? -1.0 : 1.0) * double(velocity) / 100000.0;
        m.Rate = double(rate) / 10.0;
    }
    if (withLength && line.size() >= 20) {
        m.HasLength = true;
        qint64 length = 0;
        m.LengthValid = ParseHexField(line.sliced(12, 8), &length);
        if (m.LengthValid) m.Length = (line.at(11) == '-' ? -1.0 : 1.0) * double(length) / 10000.0;
    }
    return m;
}
