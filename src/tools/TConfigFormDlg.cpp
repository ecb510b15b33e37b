// SPDX-License-Identifier: MIT
#include "TConfigFormDlg.h"

#include "Tag.h"

TConfigFormDlg::TConfigFormDlg(THost& host, QWidget* parent) : QDialog(parent), m_host(host) {
    setObjectName(QStringLiteral("ConfigFormDlg"));
    SetTag(this, 300);
}
