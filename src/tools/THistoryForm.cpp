// SPDX-License-Identifier: MIT
#include "THistoryForm.h"

#include "Tag.h"

THistoryForm::THistoryForm(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("HistoryForm"));
    SetTag(this, 400);
}
