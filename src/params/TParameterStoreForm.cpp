// SPDX-License-Identifier: MIT
#include "TParameterStoreForm.h"

#include "Tag.h"

TParameterStoreForm::TParameterStoreForm(THost& host, QWidget* parent)
    : QDialog(parent), m_host(host) {
    setObjectName(QStringLiteral("ParameterStoreForm"));
    SetTag(this, 820);
}
