// SPDX-License-Identifier: MIT
#include "TParameterForm.h"

#include "Tag.h"

TParameterForm::TParameterForm(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ParameterForm"));
    SetTag(this, 61);
}
