// SPDX-License-Identifier: MIT
#include "TComTermSetupDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {
template <class W> W* Named(W* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

int WholeNumber(const QString& text, int fallback) {
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    return ok ? n : fallback;
}
} // namespace

TComTermSetupDlg::TComTermSetupDlg(const TComTermSettings& s, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ComTermSetupDlg"));
    setWindowTitle(tr("Terminal setup"));

    FLocalEcho = Named(new QCheckBox(tr("&Local echo")), "LocalEcho");
    FSendLF = Named(new QCheckBox(tr("&Send LF with CR")), "SendLF");
    FWrapLines = Named(new QCheckBox(tr("&Wrap lines")), "WrapLines");
    FForce7Bit = Named(new QCheckBox(tr("&Force 7 bit on incoming data")), "Force7Bit");
    FAppendLF = Named(new QCheckBox(tr("&Append LF to incoming CR")), "AppendLF");
    FCaret = Named(new QComboBox, "Caret");
    FCaret->addItems({tr("Block"), tr("Underline"), tr("None")});
    FColumns = Named(new QLineEdit, "Columns");
    FRows = Named(new QLineEdit, "Rows");
    FEmulation = Named(new QComboBox, "Emulation");
    FEmulation->addItems({tr("ANSI/VT100"), tr("VT52"), tr("None")});
    FArrowKeys = Named(new QComboBox, "ArrowKeys");
    FArrowKeys->addItems({tr("Terminal keys"), tr("Window keys")});

    auto* options = new QGroupBox(tr("Options"));
    auto* optionsLayout = new QVBoxLayout(options);
    for (QCheckBox* box : {FLocalEcho, FSendLF, FWrapLines, FForce7Bit, FAppendLF})
        optionsLayout->addWidget(box);

    auto* form = new QFormLayout;
    form->addRow(tr("&Caret:"), FCaret);
    form->addRow(tr("C&olumns:"), FColumns);
    form->addRow(tr("&Rows:"), FRows);
    form->addRow(tr("&Emulation:"), FEmulation);
    form->addRow(tr("C&ursor keys:"), FArrowKeys);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(options);
    layout->addLayout(form);
    layout->addWidget(buttons);

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
