// SPDX-License-Identifier: MIT
#pragma once

#include "TComPort.h"

#include <QDialog>

class QComboBox;

// Fills a port list with `ports` (each shown with its description and
// by-id name) and selects `port`, or shows it as typed text when it is not
// in the list (a device path). The field shows the chosen port's name.
void FillPortCombo(QComboBox* combo, const QList<TSerialPortEntry>& ports, const QString& port);
// The port a filled port list stands for: the chosen entry's name, or the
// text typed.
QString PortComboName(const QComboBox* combo);

// The serial port's own setup dialog: port, baud rate, data bits, stop
// bits, parity and flow control. It hands back the edited settings; the
// owner applies and stores them.
class TComPortSetupDlg : public QDialog {
    Q_OBJECT
public:
    explicit TComPortSetupDlg(QWidget* parent = nullptr);

    void SetValues(const TComPortSettings& settings, const QList<TSerialPortEntry>& ports);
    TComPortSettings Values() const;

    // Shows the dialog; on OK updates `settings` and returns true.
    static bool Execute(QWidget* parent, TComPortSettings& settings,
                        const QList<TSerialPortEntry>& ports);

    QComboBox* Combo_Port = nullptr;
    QComboBox* Combo_BaudRate = nullptr;
    QComboBox* Combo_DataBits = nullptr;
    QComboBox* Combo_StopBits = nullptr;
    QComboBox* Combo_Parity = nullptr;
    QComboBox* Combo_FlowControl = nullptr;
};
