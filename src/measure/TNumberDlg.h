// SPDX-License-Identifier: MIT
#pragma once

#include "THost.h"

#include <QDialog>

// Number window: velocity, rate and length as large figures.
class TNumberDlg : public QDialog {
    Q_OBJECT
public:
    TNumberDlg(THost& host, QWidget* parent = nullptr);

private:
    THost& m_host;
};
