// SPDX-License-Identifier: MIT
#include "TComSetupDlg.h"

#include "Tag.h"

TComSetupDlg::TComSetupDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ComSetupDlg"));
    SetTag(this, 21);
}
