// SPDX-License-Identifier: MIT
#include "TConfigFormDlg.h"

#include "Tag.h"

TConfigFormDlg::TConfigFormDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ConfigFormDlg"));
    SetTag(this, 300);
}
