// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>

// Options dialog: language, working folders and the terminal's geometry and caret.
class TConfigFormDlg : public QDialog {
    Q_OBJECT
public:
    explicit TConfigFormDlg(QWidget* parent = nullptr);
};
