// SPDX-License-Identifier: MIT
#pragma once

#include "THost.h"

#include <QDialog>

// Store dialog: asks for the name under which the editor's parameter set is saved.
class TParameterStoreForm : public QDialog {
    Q_OBJECT
public:
    TParameterStoreForm(THost& host, QWidget* parent = nullptr);

private:
    THost& m_host;
};
