// SPDX-License-Identifier: MIT
#pragma once

#include "THost.h"

#include <QDialog>

// Chart setup: axis limits, units, output period, buffer span and data logging.
class TGraphicSetupDlg : public QDialog {
    Q_OBJECT
public:
    TGraphicSetupDlg(THost& host, QWidget* parent = nullptr);

private:
    THost& m_host;
};
