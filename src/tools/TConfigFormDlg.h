// SPDX-License-Identifier: MIT
#pragma once

#include "THost.h"

#include <QDialog>

// Options dialog: language, working folders and the terminal's geometry and caret.
class TConfigFormDlg : public QDialog {
    Q_OBJECT
public:
    TConfigFormDlg(THost& host, QWidget* parent = nullptr);

private:
    THost& m_host;
};
