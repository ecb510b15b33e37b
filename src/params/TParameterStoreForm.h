// SPDX-License-Identifier: MIT
#pragma once

#include "ParameterFileHeader.h"
#include "THost.h"

#include <QDialog>

class QLineEdit;
class QPushButton;
class TParameterFileGrid;

// Store dialog: the list of parameter files while the operator names the
// file under which the editor's parameter set is saved. Selecting a row
// takes its name. Ends with OK (a name is given), No (the name is empty)
// or Cancel.
class TParameterStoreForm : public QDialog {
    Q_OBJECT
public:
    TParameterStoreForm(THost& host, QWidget* parent = nullptr);

    // Shows `records` and waits; returns the result (QDialog::Accepted,
    // mrNo or QDialog::Rejected).
    int Execute(const QList<TParameterFileHeader>& records);
    // Shows `records` with an empty name (Execute's first step).
    void Prepare(const QList<TParameterFileHeader>& records);
    QString FileName() const;

    TParameterFileGrid* StringGrid1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* BtnStore = nullptr;
    QPushButton* Button2 = nullptr;

private:
    THost& m_host;
    QList<TParameterFileHeader> m_records;
};
