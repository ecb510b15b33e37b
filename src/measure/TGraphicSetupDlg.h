// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>

// Chart setup: axis limits, units, output period, buffer span and data logging.
class TGraphicSetupDlg : public QDialog {
    Q_OBJECT
public:
    explicit TGraphicSetupDlg(QWidget* parent = nullptr);
};
