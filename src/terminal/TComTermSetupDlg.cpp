// SPDX-License-Identifier: MIT
#include "TComTermSetupDlg.h"

#include "ApplyLabels.h"
#include "Labels.h"
#include "TComTermBuffer.h"
#include "Tag.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
template <class W> W* Named(W* widget, const char* name, int tag = 0) {
    widget->setObjectName(QLatin1String(name));
    if (tag) SetTag(widget, tag);
    return widget;
}

int WholeNumber(const QString& text, int fallback) {
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    return ok ? n : fallback;
}

// A number field with the range the terminal accepts beside it (values
// outside it are brought into it).
QWidget* WithRange(QLineEdit* edit, int low, int high) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    edit->setMaxLength(6);
    edit->setMaximumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 16);
    auto* range = new QLabel(LabelTextOr(905, QStringLiteral("(%1 to %2)")).arg(low).arg(high));
    range->setObjectName(edit->objectName() + QStringLiteral("Range"));
    layout->addWidget(edit);
    layout->addWidget(range);
    layout->addStretch();
    return row;
}
} // namespace

TComTermSetupDlg::TComTermSetupDlg(const TComTermSettings& s, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ComTermSetupDlg"));
    SetTag(this, 890);

    FLocalEcho = Named(new QCheckBox, "LocalEcho", 892);
    FSendLF = Named(new QCheckBox, "SendLF", 893);
    FWrapLines = Named(new QCheckBox, "WrapLines", 894);
    FForce7Bit = Named(new QCheckBox, "Force7Bit", 895);
    FAppendLF = Named(new QCheckBox, "AppendLF", 896);
    FCaret = Named(new QComboBox, "Caret");
    FCaret->addItems(LabelItems(902, "Block|Underline|None"));
    FColumns = Named(new QLineEdit, "Columns");
    FRows = Named(new QLineEdit, "Rows");
    FEmulation = Named(new QComboBox, "Emulation");
    FEmulation->addItems(LabelItems(903, "ANSI/VT100|VT52|None"));
    FArrowKeys = Named(new QComboBox, "ArrowKeys");
    FArrowKeys->addItems(LabelItems(904, "Terminal keys|Window keys"));

    auto* options = Named(new QGroupBox, "Options", 891);
    auto* optionsLayout = new QVBoxLayout(options);
    for (QCheckBox* box : {FLocalEcho, FSendLF, FWrapLines, FForce7Bit, FAppendLF})
        optionsLayout->addWidget(box);

    auto* form = new QFormLayout;
    auto caption = [this](const char* name, int tag, QWidget* buddy) {
        auto* label = Named(new QLabel(this), name, tag);
        label->setBuddy(buddy);
        return label;
    };
    form->addRow(caption("lb_Caret", 897, FCaret), FCaret);
    form->addRow(caption("lb_Columns", 898, FColumns),
                 WithRange(FColumns, TComTermBuffer::MinColumns, TComTermBuffer::MaxColumns));
    form->addRow(caption("lb_Rows", 899, FRows),
                 WithRange(FRows, TComTermBuffer::MinRows, TComTermBuffer::MaxRows));
    form->addRow(caption("lb_Emulation", 900, FEmulation), FEmulation);
    form->addRow(caption("lb_ArrowKeys", 901, FArrowKeys), FArrowKeys);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    SetTag(buttons->button(QDialogButtonBox::Ok), 1);
    SetTag(buttons->button(QDialogButtonBox::Cancel), 2);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(options);
    layout->addLayout(form);
    layout->addWidget(buttons);
    ApplyLabels({this}, {this});

    FLocalEcho->setChecked(s.LocalEcho);
    FSendLF->setChecked(s.SendLF);
    FWrapLines->setChecked(s.WrapLines);
    FForce7Bit->setChecked(s.Force7Bit);
    FAppendLF->setChecked(s.AppendLF);
    FCaret->setCurrentIndex(int(s.Caret));
    FColumns->setText(QString::number(s.Columns));
    FRows->setText(QString::number(s.Rows));
    FEmulation->setCurrentIndex(int(s.Emulation));
    FArrowKeys->setCurrentIndex(int(s.ArrowKeys));
}

TComTermSettings TComTermSetupDlg::Settings() const {
    TComTermSettings s;
    s.LocalEcho = FLocalEcho->isChecked();
    s.SendLF = FSendLF->isChecked();
    s.WrapLines = FWrapLines->isChecked();
    s.Force7Bit = FForce7Bit->isChecked();
    s.AppendLF = FAppendLF->isChecked();
    s.Caret = TTermCaret(FCaret->currentIndex());
    s.Columns = WholeNumber(FColumns->text(), 80);
    s.Rows = WholeNumber(FRows->text(), 24);
    s.Emulation = TTermEmulation(FEmulation->currentIndex());
    s.ArrowKeys = TArrowKeys(FArrowKeys->currentIndex());
    return s;
}

bool TComTermSetupDlg::Execute(TComTermSettings& settings, QWidget* parent) {
    TComTermSetupDlg dlg(settings, parent);
    if (dlg.exec() != QDialog::Accepted) return false;
    settings = dlg.Settings();
    return true;
}
