// SPDX-License-Identifier: MIT
#include "TParameterStoreForm.h"

#include "Tag.h"

TParameterStoreForm::TParameterStoreForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ParameterStoreForm"));
    SetTag(this, 820);
}
