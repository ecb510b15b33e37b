// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>

// Connection dialog: link mode, serial port, baud rate and the TCP addresses.
class TComSetupDlg : public QDialog {
    Q_OBJECT
public:
    explicit TComSetupDlg(QWidget* parent = nullptr);
};
