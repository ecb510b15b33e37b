// SPDX-License-Identifier: MIT
#pragma once

#include "THost.h"

#include <QWidget>

// Parameter editor: one edit slot per sensor parameter; the slots are the parameter set.
class TParameterForm : public QWidget {
    Q_OBJECT
public:
    TParameterForm(THost& host, QWidget* parent = nullptr);

private:
    THost& m_host;
};
