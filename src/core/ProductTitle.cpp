// SPDX-License-Identifier: MIT
#include "ProductTitle.h"

#include "OrxVersion.h"

QString ProductTitle() {
    return QString::fromLatin1(OrxVersion::ProductName);
}
