// SPDX-License-Identifier: MIT
#include "TParameterForm.h"

#include "Tag.h"

TParameterForm::TParameterForm(THost& host, QWidget* parent) : QWidget(parent), m_host(host) {
    setObjectName(QStringLiteral("ParameterForm"));
    SetTag(this, 61);
}
