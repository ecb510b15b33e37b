// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// The header fields of one parameter file, as the file browser lists them
// and the editor looks up the newest type and place of a sensor by.
struct TParameterFileHeader {
    QString FileName; // lower case, without folder, as the lists show it
    QString Path;     // the file as it is on disk (names are case-sensitive here)
    QString Date;     // as written in the file, the user's locale date and time
    QString SerialNumber;
    QString Software;
    QString Remarks; // the remark lines, each followed by CR LF
    QString Place;
    QString Type;
};
