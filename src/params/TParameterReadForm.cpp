// SPDX-License-Identifier: MIT
#include "TParameterReadForm.h"

#include "Tag.h"

TParameterReadForm::TParameterReadForm(THost& host, QWidget* parent)
    : QDialog(parent), m_host(host) {
    setObjectName(QStringLiteral("ParameterReadForm"));
    SetTag(this, 810);
}
