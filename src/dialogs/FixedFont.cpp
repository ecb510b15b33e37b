// SPDX-License-Identifier: MIT
#include "FixedFont.h"

#include <QFontDatabase>
#include <QFontInfo>

QFont FixedFont() {
    QFont font(QStringLiteral("Courier New"), 10);
    font.setStyleHint(QFont::TypeWriter);
    if (!QFontInfo(font).fixedPitch()) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPointSize(10);
    }
    return font;
}
