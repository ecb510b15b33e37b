// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>

// Transfer dialog: sends a text file line by line or waits for the sensor's flashing to end.
class TFlashDlg : public QDialog {
    Q_OBJECT
public:
    explicit TFlashDlg(QWidget* parent = nullptr);
};
