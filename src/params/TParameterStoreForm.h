// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>

// Store dialog: asks for the name under which the editor's parameter set is saved.
class TParameterStoreForm : public QDialog {
    Q_OBJECT
public:
    explicit TParameterStoreForm(QWidget* parent = nullptr);
};
