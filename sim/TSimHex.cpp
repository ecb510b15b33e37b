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

namespace {
QByteArray HexRecord(const QByteArray& bytes) {
    int sum = 0;
    for (char b : bytes)
        sum += static_cast<unsigned char>(b);
    return ':' + (bytes + char((0x100 - (sum & 0xFF)) & 0xFF)).toHex().toUpper() + "\r\n";
}
} // namespace

QByteArray MakeHexFile(int dataRecords) {
    QByteArray file = HexRecord(QByteArray::fromHex("02000004"
                                                    "0000"));
    for (int i = 0; i < dataRecords; ++i) {
        const int address = (i * 16) & 0xFFFF;
        QByteArray record = QByteArray::fromHex("10");
        record += char(address >> 8);
        record += char(address & 0xFF);
        record += char(0);
        for (int k = 0; k < 16; ++k)
            record += char((i * 7 + k * 13) & 0xFF);
        file += HexRecord(record);
    }
    return file + ":00000001FF\r\n";
}
