// SPDX-License-Identifier: MIT
#include "ParameterFile.h"

#include <QSaveFile>

bool SaveParameterLines(const QString& path, const QStringList& lines, QString* error) {
    QSaveFile file(path);
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += line.toLatin1() + "\r\n";
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error) *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}
