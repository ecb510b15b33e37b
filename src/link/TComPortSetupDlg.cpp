// SPDX-License-Identifier: MIT
#include "TComPortSetupDlg.h"

#include "ApplyLabels.h"
#include "Labels.h"
#include "Tag.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
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
    SetTag(this, 906);
    Combo_Port = Combo(this, "Combo_Port", {});
    Combo_Port->setEditable(true);
    Combo_Port->setInsertPolicy(QComboBox::NoInsert);
    Combo_Port->setMinimumContentsLength(18);
    Combo_BaudRate = Combo(this, "Combo_BaudRate", BaudRateTexts());
    Combo_DataBits = Combo(this, "Combo_DataBits", {"5", "6", "7", "8"});
    Combo_StopBits = Combo(this, "Combo_StopBits", {"1", "1.5", "2"});
    // Parity and flow control are shown in words of the user's language;
    // the items keep the order of the values.
    Combo_Parity = Combo(this, "Combo_Parity", LabelItems(913, "None|Odd|Even|Mark|Space"));
    Combo_FlowControl = Combo(this, "Combo_FlowControl",
                              LabelItems(914, "Hardware|Software (XON/XOFF)|None|Custom"));
    auto* form = new QFormLayout;
    const struct {
        const char* name;
        int tag;
        QComboBox* combo;
    } rows[] = {
        {"lb_Port", 907, Combo_Port},         {"lb_BaudRate", 908, Combo_BaudRate},
        {"lb_DataBits", 909, Combo_DataBits}, {"lb_StopBits", 910, Combo_StopBits},
        {"lb_Parity", 911, Combo_Parity},     {"lb_FlowControl", 912, Combo_FlowControl},
    };
    for (const auto& row : rows) {
        auto* caption = new QLabel(this);
        caption->setObjectName(QLatin1String(row.name));
        SetTag(caption, row.tag);
        caption->setBuddy(row.combo);
        form->addRow(caption, row.combo);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    SetTag(buttons->button(QDialogButtonBox::Ok), 1);
    SetTag(buttons->button(QDialogButtonBox::Cancel), 2);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    ApplyLabels({this}, {this});
}

void FillPortCombo(QComboBox* combo, const QList<TSerialPortEntry>& ports, const QString& port) {
    // The field holds what is stored (a name or a path); the list says
    // what each port is. Choosing an entry puts its name in the field.
    if (!combo->property("orxPortNames").toBool()) {
        combo->setProperty("orxPortNames", true);
        QObject::connect(combo, &QComboBox::activated, combo, [combo](int index) {
            if (index >= 0) combo->setEditText(combo->itemData(index).toString());
        });
    }
    combo->clear();
    for (const TSerialPortEntry& e : ports) {
        combo->addItem(PortEntryText(e), e.Name);
        combo->setItemData(combo->count() - 1, e.Location, Qt::ToolTipRole);
    }
    combo->view()->setMinimumWidth(combo->view()->sizeHintForColumn(0) + 24);
    const int at = combo->findData(port.trimmed());
    if (at >= 0) combo->setCurrentIndex(at);
    combo->setEditText(port);
}

QString PortComboName(const QComboBox* combo) {
    const QString text = combo->currentText().trimmed();
    const int at = combo->findText(text);
    return at >= 0 ? combo->itemData(at).toString() : text;
}

void TComPortSetupDlg::SetValues(const TComPortSettings& s, const QList<TSerialPortEntry>& ports) {
    FillPortCombo(Combo_Port, ports, s.Port);
    Combo_BaudRate->setCurrentIndex(int(s.BaudRate));
    Combo_DataBits->setCurrentIndex(int(s.DataBits));
    Combo_StopBits->setCurrentIndex(int(s.StopBits));
    Combo_Parity->setCurrentIndex(int(s.Parity));
    Combo_FlowControl->setCurrentIndex(int(s.FlowControl));
}

TComPortSettings TComPortSetupDlg::Values() const {
    TComPortSettings s;
    s.Port = PortComboName(Combo_Port);
    s.BaudRate = TBaudRate(Combo_BaudRate->currentIndex());
    s.DataBits = TDataBits(Combo_DataBits->currentIndex());
    s.StopBits = TStopBits(Combo_StopBits->currentIndex());
    s.Parity = TParityBits(Combo_Parity->currentIndex());
    s.FlowControl = TFlowControl(Combo_FlowControl->currentIndex());
    return s;
}

bool TComPortSetupDlg::Execute(QWidget* parent, TComPortSettings& settings,
                               const QList<TSerialPortEntry>& ports) {
    TComPortSetupDlg dialog(parent);
    dialog.SetValues(settings, ports);
    if (dialog.exec() != QDialog::Accepted) return false;
    settings = dialog.Values();
    return true;
}
