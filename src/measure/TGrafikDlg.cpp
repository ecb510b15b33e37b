// SPDX-License-Identifier: MIT
#include "TGrafikDlg.h"

#include "Tag.h"

TGrafikDlg::TGrafikDlg(THost& host, QWidget* parent) : QDialog(parent), m_host(host) {
    setObjectName(QStringLiteral("GrafikDlg"));
    SetTag(this, 62);
}
