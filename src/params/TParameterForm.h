// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

// Parameter editor: one edit slot per sensor parameter; the slots are the parameter set.
class TParameterForm : public QWidget {
    Q_OBJECT
public:
    explicit TParameterForm(QWidget* parent = nullptr);
};
