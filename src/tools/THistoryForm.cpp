// SPDX-License-Identifier: MIT
#include "THistoryForm.h"

#include "Tag.h"

THistoryForm::THistoryForm(THost& host, QWidget* parent) : QWidget(parent), m_host(host) {
    setObjectName(QStringLiteral("HistoryForm"));
    SetTag(this, 400);
}
