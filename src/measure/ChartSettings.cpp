// SPDX-License-Identifier: MIT
#include "ChartSettings.h"

#include <QSettings>

namespace {
// A stored integer, read inside the "Option" group (opened here when the
// caller has not opened a group).
int StoredInteger(QSettings& settings, const char* key, int fallback) {
    const bool open = settings.group().isEmpty();
    if (open) settings.beginGroup(QStringLiteral("Option"));
    bool ok = false;
    const int value = settings.value(QLatin1String(key)).toString().left(4096).trimmed().toInt(&ok);
    if (open) settings.endGroup();
    return ok ? value : fallback;
}
} // namespace

int StoredVelocityUnit(QSettings& settings) {
    return StoredInteger(settings, "VUnit", 0) == 1 ? 1 : 0;
}

int StoredUpdatePeriod(QSettings& settings) {
    const int update = StoredInteger(settings, "Update", 100);
    return update >= 1 && update <= 10000 ? update : 100;
}
