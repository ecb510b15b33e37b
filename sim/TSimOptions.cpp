// SPDX-License-Identifier: MIT
#include "TSimOptions.h"

TSimModel SimModelByName(const QString& name) {
    if (name == QLatin1String("9"))
        return {name, QStringLiteral("V4.07 32bit 2023-11-20"), true, true, false};
    if (name == QLatin1String("5"))
        return {name, QStringLiteral("V1.52 1998-04-02"), false, false, true};
    return {name, QStringLiteral("V2.31 2004-06-15"), false, true, false};
}

bool IsKnownSimModel(const QString& name) {
    return name == QLatin1String("9") || name == QLatin1String("7") || name == QLatin1String("5");
}
