// SPDX-License-Identifier: MIT
#include "TGraphicSetupDlg.h"

#include "Tag.h"

TGraphicSetupDlg::TGraphicSetupDlg(THost& host, QWidget* parent) : QDialog(parent), m_host(host) {
    setObjectName(QStringLiteral("GraphicSetupDlg"));
    SetTag(this, 98);
}
