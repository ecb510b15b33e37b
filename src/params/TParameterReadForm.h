// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>

// Parameter file browser: lists the .par files of the parameter folder with their header fields.
class TParameterReadForm : public QDialog {
    Q_OBJECT
public:
    explicit TParameterReadForm(QWidget* parent = nullptr);
};
