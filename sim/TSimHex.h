// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>

// One checked Intel-HEX record line (":LLAAAATT<data>CC", line end removed).
struct THexRecord {
    bool Valid = false;
    int Type = -1; // 0 data, 1 end of file, 2-5 address records
    int DataLength = 0;
};

// Checks the record syntax (colon, hex digit pairs, length byte matching
// the line, known type) and the checksum (all bytes sum to 0 modulo 256).
THexRecord CheckHexRecord(const QByteArray& line);

// A firmware image the simulated sensor takes: an address record,
// `dataRecords` records of 16 data bytes and the end-of-file record, each
// line ended by CR LF.
QByteArray MakeHexFile(int dataRecords);
