// SPDX-License-Identifier: MIT
#include "TGraphicSetupDlg.h"

#include "Tag.h"

TGraphicSetupDlg::TGraphicSetupDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("GraphicSetupDlg"));
    SetTag(this, 98);
}
