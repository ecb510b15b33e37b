// SPDX-License-Identifier: MIT
#pragma once

#include "TermTypes.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;

// The terminal's own setup dialog. It starts from a settings value and hands
// back a settings value; it changes nothing itself - the owner applies the
// result (TCustomComTerminal::ApplySettings). Columns and Rows are typed as
// text: what is not a whole number becomes 80 and 24.
class TComTermSetupDlg : public QDialog {
    Q_OBJECT
public:
    explicit TComTermSetupDlg(const TComTermSettings& settings, QWidget* parent = nullptr);

    TComTermSettings Settings() const;

    // Runs the dialog modally; true and settings updated when confirmed.
    static bool Execute(TComTermSettings& settings, QWidget* parent = nullptr);

private:
    QCheckBox* FLocalEcho;
    QCheckBox* FSendLF;
    QCheckBox* FWrapLines;
    QCheckBox* FForce7Bit;
    QCheckBox* FAppendLF;
    QComboBox* FCaret;
    QLineEdit* FColumns;
    QLineEdit* FRows;
    QComboBox* FEmulation;
    QComboBox* FArrowKeys;
};
