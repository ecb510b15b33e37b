// SPDX-License-Identifier: MIT
#include "TAboutBox.h"

#include "Tag.h"

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutBox"));
    SetTag(this, 200);
}
