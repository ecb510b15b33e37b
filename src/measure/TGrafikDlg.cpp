// SPDX-License-Identifier: MIT
#include "TGrafikDlg.h"

#include "Tag.h"

TGrafikDlg::TGrafikDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("GrafikDlg"));
    SetTag(this, 62);
}
