// SPDX-License-Identifier: MIT
#pragma once

#include "THost.h"

#include <QDialog>

// Parameter file browser: lists the .par files of the parameter folder with their header fields.
class TParameterReadForm : public QDialog {
    Q_OBJECT
public:
    TParameterReadForm(THost& host, QWidget* parent = nullptr);

private:
    THost& m_host;
};
