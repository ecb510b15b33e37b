// SPDX-License-Identifier: MIT
#pragma once

#include "THost.h"

#include <QDialog>

// Chart window: live velocity and signal rate, the measurement buffer and its CSV files.
class TGrafikDlg : public QDialog {
    Q_OBJECT
public:
    TGrafikDlg(THost& host, QWidget* parent = nullptr);

private:
    THost& m_host;
};
