// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

// Writes the lines of a parameter file: Latin-1 (a character outside it
// becomes "?"), every line ended by CR LF, the last one included. The file
// is replaced only once it is written whole. False with the reason in
// `error` (file name and the system's text).
bool SaveParameterLines(const QString& path, const QStringList& lines, QString* error);
