// SPDX-License-Identifier: MIT
#include "TAboutBox.h"

#include "Tag.h"

TAboutBox::TAboutBox(THost& host, QWidget* parent) : QDialog(parent), m_host(host) {
    setObjectName(QStringLiteral("AboutBox"));
    SetTag(this, 200);
}
