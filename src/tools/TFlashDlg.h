// SPDX-License-Identifier: MIT
#pragma once

#include "THost.h"

#include <QDialog>

// Transfer dialog: sends a text file line by line or waits for the sensor's flashing to end.
class TFlashDlg : public QDialog {
    Q_OBJECT
public:
    TFlashDlg(THost& host, QWidget* parent = nullptr);

private:
    THost& m_host;
};
