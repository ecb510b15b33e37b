// SPDX-License-Identifier: MIT
#include "TComPortSetupDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QVBoxLayout>

namespace {
QComboBox* Combo(QWidget* parent, const char* name, const QStringList& items) {
    auto* c = new QComboBox(parent);
    c->setObjectName(QLatin1String(name));
    c->addItems(items);
    return c;
}
} // namespace

TComPortSetupDlg::TComPortSetupDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ComPortSetupDlg"));
    setWindowTitle(QStringLiteral("COM Port"));
    Combo_Port = Combo(this, "Combo_Port", {});
    Combo_Port->setEditable(true);
    Combo_Port->setInsertPolicy(QComboBox::NoInsert);
    Combo_Port->setMinimumContentsLength(18);
    Combo_BaudRate = Combo(this, "Combo_BaudRate", BaudRateTexts());
    Combo_DataBits = Combo(this, "Combo_DataBits", {"5", "6", "7", "8"});
    Combo_StopBits = Combo(this, "Combo_StopBits", {"1", "1.5", "2"});
    Combo_Parity = Combo(this, "Combo_Parity", {"None", "Odd", "Even", "Mark", "Space"});
    Combo_FlowControl =
        Combo(this, "Combo_FlowControl", {"Hardware", "Software", "None", "Custom"});
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Port"), Combo_Port);
    form->addRow(QStringLiteral("Baud Rate"), Combo_BaudRate);
    form->addRow(QStringLiteral("Data Bits"), Combo_DataBits);
    form->addRow(QStringLiteral("Stop Bits"), Combo_StopBits);
    form->addRow(QStringLiteral("Parity"), Combo_Parity);
    form->addRow(QStringLiteral("Flow Control"), Combo_FlowControl);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void FillPortCombo(QComboBox* combo, const QStringList& ports, const QString& port) {
    combo->clear();
    combo->addItems(ports);
    const int at = combo->findText(port);
    if (at >= 0)
        combo->setCurrentIndex(at);
    else
        combo->setEditText(port);
}

void TComPortSetupDlg::SetValues(const TComPortSettings& s, const QStringList& ports) {
    FillPortCombo(Combo_Port, ports, s.Port);
    Combo_BaudRate->setCurrentIndex(int(s.BaudRate));
    Combo_DataBits->setCurrentIndex(int(s.DataBits));
    Combo_StopBits->setCurrentIndex(int(s.StopBits));
    Combo_Parity->setCurrentIndex(int(s.Parity));
    Combo_FlowControl->setCurrentIndex(int(s.FlowControl));
}

TComPortSettings TComPortSetupDlg::Values() const {
    TComPortSettings s;
    s.Port = Combo_Port->currentText().trimmed();
    s.BaudRate = TBaudRate(Combo_BaudRate->currentIndex());
    s.DataBits = TDataBits(Combo_DataBits->currentIndex());
    s.StopBits = TStopBits(Combo_StopBits->currentIndex());
    s.Parity = TParityBits(Combo_Parity->currentIndex());
    s.FlowControl = TFlowControl(Combo_FlowControl->currentIndex());
    return s;
}

bool TComPortSetupDlg::Execute(QWidget* parent, TComPortSettings& settings,
                               const QStringList& ports) {
    TComPortSetupDlg dialog(parent);
    dialog.SetValues(settings, ports);
    if (dialog.exec() != QDialog::Accepted) return false;
    settings = dialog.Values();
    return true;
}
