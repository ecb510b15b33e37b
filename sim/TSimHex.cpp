// SPDX-License-Identifier: MIT
#include "TSimHex.h"

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

} // namespace

THexRecord CheckHexRecord(const QByteArray& line) {
    THexRecord record;
    if (line.size() < 11 || line.at(0) != ':' || (line.size() - 1) % 2 != 0) return record;
    QByteArray bytes;
    for (qsizetype i = 1; i + 1 < line.size(); i += 2) {
        const int high = HexDigit(line.at(i));
        const int low = HexDigit(line.at(i + 1));
        if (high < 0 || low < 0) return record;
        bytes += char(high * 16 + low);
    }
    const int length = quint8(bytes.at(0));
    if (bytes.size() != length + 5) return record;
    unsigned sum = 0;
    for (char b : bytes)
        sum += quint8(b);
    const int type = quint8(bytes.at(3));
    if ((sum & 0xFF) != 0 || type > 5) return record;
    record.Valid = true;
    record.Type = type;
    record.DataLength = length;
    return record;
}
