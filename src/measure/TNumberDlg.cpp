// SPDX-License-Identifier: MIT
#include "TNumberDlg.h"

#include "Tag.h"

TNumberDlg::TNumberDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("NumberDlg"));
    SetTag(this, 63);
}
