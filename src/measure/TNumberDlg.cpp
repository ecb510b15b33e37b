// SPDX-License-Identifier: MIT
#include "TNumberDlg.h"

#include "Tag.h"

TNumberDlg::TNumberDlg(THost& host, QWidget* parent) : QDialog(parent), m_host(host) {
    setObjectName(QStringLiteral("NumberDlg"));
    SetTag(this, 63);
}
