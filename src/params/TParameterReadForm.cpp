// SPDX-License-Identifier: MIT
#include "TParameterReadForm.h"

#include "Tag.h"

TParameterReadForm::TParameterReadForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ParameterReadForm"));
    SetTag(this, 810);
}
