// SPDX-License-Identifier: MIT
#include "TFlashDlg.h"

#include "Tag.h"

TFlashDlg::TFlashDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FlashDlg"));
    SetTag(this, 0);
}
