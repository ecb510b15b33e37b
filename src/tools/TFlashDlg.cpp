// SPDX-License-Identifier: MIT
#include "TFlashDlg.h"

#include "Tag.h"

TFlashDlg::TFlashDlg(THost& host, QWidget* parent) : QDialog(parent), m_host(host) {
    setObjectName(QStringLiteral("FlashDlg"));
    SetTag(this, 0);
}
