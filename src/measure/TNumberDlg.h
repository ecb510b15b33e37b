// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>

// Number window: velocity, rate and length as large figures.
class TNumberDlg : public QDialog {
    Q_OBJECT
public:
    explicit TNumberDlg(QWidget* parent = nullptr);
};
