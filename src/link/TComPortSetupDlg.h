// SPDX-License-Identifier: MIT
#pragma once

#include "TComPort.h"

#include <QDialog>

class QComboBox;

// Fills a port list with `ports` and selects `port`, or shows it as typed
// text when it is not in the list (a device path).
void FillPortCombo(QComboBox* combo, const QStringList& ports, const QString& port);

// The serial port's own setup dialog: port, baud rate, data bits, stop
// bits, parity and flow control. It hands back the edited settings; the
// owner applies and stores them.
class TComPortSetupDlg : public QDialog {
    Q_OBJECT
public:
    explicit TComPortSetupDlg(QWidget* parent = nullptr);

    void SetValues(const TComPortSettings& settings, const QStringList& ports);
    TComPortSettings Values() const;

    // Shows the dialog; on OK updates `settings` and returns true.
    static bool Execute(QWidget* parent, TComPortSettings& settings, const QStringList& ports);

    QComboBox* Combo_Port = nullptr;
    QComboBox* Combo_BaudRate = nullptr;
    QComboBox* Combo_DataBits = nullptr;
    QComboBox* Combo_StopBits = nullptr;
    QComboBox* Combo_Parity = nullptr;
    QComboBox* Combo_FlowControl = nullptr;
};
