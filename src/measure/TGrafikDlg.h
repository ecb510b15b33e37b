// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>

// Chart window: live velocity and signal rate, the measurement buffer and its CSV files.
class TGrafikDlg : public QDialog {
    Q_OBJECT
public:
    explicit TGrafikDlg(QWidget* parent = nullptr);
};
