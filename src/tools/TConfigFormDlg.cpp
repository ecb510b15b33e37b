// SPDX-License-Identifier: MIT
#include "TConfigFormDlg.h"

#include "FileDialogs.h"
#include "Labels.h"
#include "Tag.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
// Label of each folder group: parameter, firmware and text folder.
constexpr int kFolderLabels[TConfigFormDlg::FolderCount] = {305, 308, 309};

// An integer typed into a field of at most five characters, or `fallback`.
int IntegerOr(const QString& text, int fallback) {
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    return ok ? n : fallback;
}
} // namespace

TConfigFormDlg::TConfigFormDlg(THost& host, QWidget* parent) : QDialog(parent), m_host(host) {
    setObjectName(QStringLiteral("ConfigFormDlg"));
    SetTag(this, 300);
    setWindowTitle(QStringLiteral("Option"));
    setModal(true);

    auto* top = new QHBoxLayout;
    top->addWidget(CreateLanguageGroup());
    top->addWidget(CreateTerminalGroup(), 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    CreateFolderGroup(0, kFolderLabels[0], "DirectoryEdit1");
    CreateFolderGroup(1, kFolderLabels[1], "DirectoryEdit2");
    CreateFolderGroup(2, kFolderLabels[2], "DirectoryEdit3");
    for (QGroupBox* group : FolderGroup)
        layout->addWidget(group);

    BitBtn_ok = new QPushButton(QStringLiteral("OK"), this);
    BitBtn_ok->setObjectName(QStringLiteral("BitBtn_ok"));
    SetTag(BitBtn_ok, 1);
    BitBtn_ok->setDefault(true);
    BitBtn2 = new QPushButton(QStringLiteral("Abbrechen"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    SetTag(BitBtn2, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(BitBtn_ok);
    buttons->addWidget(BitBtn2);
    layout->addLayout(buttons);
    // Fixed size: the layout decides, the user does not resize.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(BitBtn_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    FillTexts();
}

QGroupBox* TConfigFormDlg::CreateLanguageGroup() {
    rg_sprache = new QGroupBox(QStringLiteral("&Sprache"), this);
    rg_sprache->setObjectName(QStringLiteral("rg_sprache"));
    SetTag(rg_sprache, 304);
    rb_English = new QRadioButton(rg_sprache);
    rb_English->setObjectName(QStringLiteral("rb_English"));
    rb_German = new QRadioButton(rg_sprache);
    rb_German->setObjectName(QStringLiteral("rb_German"));
    auto* group = new QButtonGroup(rg_sprache);
    group->addButton(rb_English, 0);
    group->addButton(rb_German, 1);
    auto* layout = new QVBoxLayout(rg_sprache);
    layout->addWidget(rb_English);
    layout->addWidget(rb_German);
    layout->addStretch(1);
    return rg_sprache;
}

QGroupBox* TConfigFormDlg::CreateTerminalGroup() {
    gb_Terminal = new QGroupBox(QStringLiteral("COM Terminal"), this);
    gb_Terminal->setObjectName(QStringLiteral("gb_Terminal"));
    SetTag(gb_Terminal, 312);
    auto field = [this](QLineEdit*& member, const char* name) {
        member = new QLineEdit(gb_Terminal);
        member->setObjectName(QLatin1String(name));
        member->setMaxLength(5);
        member->setFixedWidth(member->fontMetrics().horizontalAdvance(QStringLiteral("000000")) +
                              16);
    };
    field(ed_Columns, "ed_Columns");
    field(ed_Rows, "ed_Rows");
    field(ed_Scrollback, "ed_Scrollback");
    Combo_Caret = new QComboBox(gb_Terminal);
    Combo_Caret->setObjectName(QStringLiteral("Combo_Caret"));
    Combo_Caret->setSizeAdjustPolicy(QComboBox::AdjustToContents); // the items of each language

    auto caption = [this](const char* name, int label, const char* text, QWidget* buddy) {
        auto* l = new QLabel(QString::fromUtf8(text), gb_Terminal);
        l->setObjectName(QLatin1String(name));
        SetTag(l, label);
        l->setBuddy(buddy);
        return l;
    };
    auto* grid = new QGridLayout(gb_Terminal);
    grid->addWidget(caption("lb_Columns", 301, "Columns", ed_Columns), 0, 0);
    grid->addWidget(ed_Columns, 0, 1, Qt::AlignLeft);
    grid->addWidget(caption("lb_Rows", 302, "Rows", ed_Rows), 1, 0);
    grid->addWidget(ed_Rows, 1, 1, Qt::AlignLeft);
    grid->addWidget(caption("lb_Caret", 303, "Caret", Combo_Caret), 2, 0);
    grid->addWidget(Combo_Caret, 2, 1, Qt::AlignLeft);
    grid->addWidget(caption("lb_Scrollback", 160, "Scrollback lines", ed_Scrollback), 3, 0);
    grid->addWidget(ed_Scrollback, 3, 1, Qt::AlignLeft);
    grid->setColumnStretch(2, 1);
    return gb_Terminal;
}

void TConfigFormDlg::CreateFolderGroup(int index, int label, const char* name) {
    auto* group = new QGroupBox(this);
    group->setObjectName(QStringLiteral("gb_%1").arg(QLatin1String(name)));
    SetTag(group, label);
    auto* edit = new QLineEdit(group);
    edit->setObjectName(QLatin1String(name));
    // Chosen with the folder browser only: the field shows, it is not typed in.
    edit->setReadOnly(true);
    edit->setMinimumWidth(edit->fontMetrics().averageCharWidth() * 56);
    auto* browse = new QToolButton(group);
    browse->setObjectName(QStringLiteral("btn_%1").arg(QLatin1String(name)));
    browse->setText(QStringLiteral("..."));
    SetTag(browse, 311); // "..." and its hint
    auto* missing = new QLabel(group);
    missing->setObjectName(QStringLiteral("lb_%1Missing").arg(QLatin1String(name)));
    missing->setWordWrap(true);
    missing->setStyleSheet(QStringLiteral("color: #b71c1c;"));
    missing->hide();

    auto* row = new QHBoxLayout;
    row->addWidget(edit, 1);
    row->addWidget(browse);
    auto* layout = new QVBoxLayout(group);
    layout->addLayout(row);
    layout->addWidget(missing);

    FolderGroup[index] = group;
    DirectoryEdit[index] = edit;
    DirectoryButton[index] = browse;
    DirectoryMissing[index] = missing;
    connect(browse, &QToolButton::clicked, this, [this, index] { ChooseFolder(index); });
}

// Texts that the dialog builds itself (the tagged ones come from the
// labelling pass): the language entries, the caret items and the
// missing-folder lines, in the current language.
void TConfigFormDlg::FillTexts() {
    rb_English->setText(RawLabelText(306));
    rb_German->setText(RawLabelText(307));
    const int caret = Combo_Caret->currentIndex();
    Combo_Caret->clear();
    Combo_Caret->addItems(LabelItems(313, "Block|Underline"));
    Combo_Caret->setCurrentIndex(caret);
    for (QLabel* missing : DirectoryMissing)
        missing->setText(LabelText(310));
}

void TConfigFormDlg::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) FillTexts();
    QDialog::changeEvent(event);
}

void TConfigFormDlg::SetFolder(int index, const QString& folder) {
    DirectoryEdit[index]->setText(folder);
    DirectoryEdit[index]->setToolTip(folder);
    DirectoryEdit[index]->setCursorPosition(0);
    // A folder removed since it was chosen stays until another is chosen;
    // the line says why the browser and the file dialogs start elsewhere.
    DirectoryMissing[index]->setVisible(!folder.isEmpty() && !QFileInfo(folder).isDir());
}

void TConfigFormDlg::Fill(const TConfigValues& values) {
    FillTexts(); // the language entries anew each time
    (values.Language == 1 ? rb_German : rb_English)->setChecked(true);
    SetFolder(0, values.ParaDir);
    SetFolder(1, values.FirmDir);
    SetFolder(2, values.TextDir);
    Combo_Caret->setCurrentIndex(
        values.Caret >= 0 && values.Caret < Combo_Caret->count() ? values.Caret : -1);
    ed_Columns->setText(QString::number(values.Columns));
    ed_Rows->setText(QString::number(values.Rows));
    ed_Scrollback->setText(QString::number(values.ScrollbackLines));
}

TConfigValues TConfigFormDlg::Values() const {
    TConfigValues v;
    v.Language = rb_German->isChecked() ? 1 : 0;
    v.ParaDir = DirectoryEdit[0]->text();
    v.FirmDir = DirectoryEdit[1]->text();
    v.TextDir = DirectoryEdit[2]->text();
    v.Caret = Combo_Caret->currentIndex();
    v.Columns = IntegerOr(ed_Columns->text(), DefaultColumns);
    v.Rows = IntegerOr(ed_Rows->text(), DefaultRows);
    v.ScrollbackLines = IntegerOr(ed_Scrollback->text(), DefaultScrollbackLines);
    return v;
}

bool TConfigFormDlg::Execute(TConfigValues& values) {
    Fill(values);
    BitBtn_ok->setFocus();
    if (exec() != QDialog::Accepted) return false;
    values = Values();
    return true;
}

void TConfigFormDlg::ChooseFolder(int index) {
    TFileDialogRequest request;
    request.caption = LabelText(kFolderLabels[index]);
    request.directory = DirectoryEdit[index]->text();
    const QString folder = TFileDialogs::GetExistingDirectory(this, request);
    if (!folder.isEmpty()) SetFolder(index, QDir::toNativeSeparators(folder));
}
