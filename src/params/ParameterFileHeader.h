// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// The header fields of one parameter file, as the file browser lists them
// and the editor looks up the newest type and place of a sensor by.
struct TParameterFileHeader {
    QString FileName;
    QString SerialNumber;
    QString Date; // as written in the file, the user's locale date and time
    QString Type;
    QString Place;
};
