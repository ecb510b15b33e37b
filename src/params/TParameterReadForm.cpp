// SPDX-License-Identifier: MIT
#include "TParameterReadForm.h"

#include "Labels.h"
#include "MsgBox.h"
#include "ParameterFile.h"
#include "ParameterFileGrid.h"
#include "TParameterCompareDlg.h"
#include "TParameterForm.h"
#include "Tag.h"
#include "WaitCursor.h"

#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TParameterReadForm::TParameterReadForm(THost& host, QWidget* parent)
    : QDialog(parent), m_host(host) {
    setObjectName(QStringLiteral("ParameterReadForm"));
    SetTag(this, 810);
    setWindowTitle(QStringLiteral("Parameterdatei"));
    StringGrid1 = new TParameterFileGrid(this);
    auto detail = [this](const char* name, int maxLength) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        e->setReadOnly(true);
        if (maxLength) e->setMaxLength(maxLength);
        return e;
    };
    Edit1 = detail("Edit1", 0);
    Edit2 = detail("Edit2", 0);
    Edit3 = detail("Edit3", 27);
    Edit4 = detail("Edit4", 27);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setMaximumHeight(90);
    auto caption = [this](const char* text, int tag) {
        auto* l = new QLabel(QString::fromUtf8(text), this);
        SetTag(l, tag);
        return l;
    };
    auto* details = new QGridLayout;
    details->addWidget(caption("Seriennummer", 710), 0, 0);
    details->addWidget(Edit1, 0, 1);
    details->addWidget(caption("Softwareversion", 711), 0, 2);
    details->addWidget(Edit2, 0, 3);
    details->addWidget(caption("Standort", 803), 1, 0);
    details->addWidget(Edit3, 1, 1);
    details->addWidget(caption("Typ/Optionen", 801), 1, 2);
    details->addWidget(Edit4, 1, 3);
    details->addWidget(caption("Bemerkungen", 805), 2, 0, Qt::AlignTop);
    details->addWidget(Memo1, 2, 1, 1, 3);

    auto button = [this](const char* name, const char* text, int tag) {
        auto* b = new QPushButton(QString::fromUtf8(text), this);
        b->setObjectName(QLatin1String(name));
        SetTag(b, tag);
        return b;
    };
    BtnOpen = button("BtnOpen", "Ö&ffnen", 811);
    BtnClear = button("BtnClear", "&Löschen", 812);
    BtnAbort = button("BtnAbort", "Abbrechen", 2);
    BtnCompare = button("BtnCompare", "Mit Sensor &vergleichen", 920);
    BtnOpen->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(BtnCompare);
    buttons->addStretch();
    for (QPushButton* b : {BtnOpen, BtnClear, BtnAbort})
        buttons->addWidget(b);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(StringGrid1, 1);
    layout->addLayout(details);
    layout->addLayout(buttons);
    resize(640, 480);

    connect(StringGrid1, &QTableWidget::currentCellChanged, this,
            [this](int row) { ShowRow(row); });
    connect(BtnOpen, &QPushButton::clicked, this, &TParameterReadForm::BtnOpenClick);
    connect(BtnClear, &QPushButton::clicked, this, &TParameterReadForm::BtnClearClick);
    connect(BtnAbort, &QPushButton::clicked, this, &QDialog::reject);
    connect(BtnCompare, &QPushButton::clicked, this, &TParameterReadForm::BtnCompareClick);
}

bool TParameterReadForm::ScanParameterFiles() {
    TWaitCursor wait;
    QString error;
    const bool ok = ::ScanParameterFiles(m_host.ParaDir(), &m_records, &error);
    if (!ok) m_host.ShowMsgBox(error, mtError, mbOK); // once for the whole folder
    if (m_editor) m_editor->SetParameterFileHeaders(m_records);
    return ok;
}

void TParameterReadForm::Prepare() {
    ScanParameterFiles();
    StringGrid1->Fill(m_records);
    ShowRow(0);
}

int TParameterReadForm::Execute() {
    // A folder that cannot be listed has been reported: nothing to browse.
    if (!ScanParameterFiles()) return QDialog::Rejected;
    StringGrid1->Fill(m_records);
    ShowRow(0);
    return exec();
}

const TParameterFileHeader* TParameterReadForm::CurrentRecord() const {
    const int row = StringGrid1->currentRow();
    return row >= 0 && row < m_records.size() ? &m_records.at(row) : nullptr;
}

void TParameterReadForm::ShowRow(int row) {
    if (row < 0 || row >= m_records.size()) {
        for (QLineEdit* e : {Edit1, Edit2, Edit3, Edit4})
            e->clear();
        Memo1->clear();
        return;
    }
    const TParameterFileHeader& r = m_records.at(row);
    Edit1->setText(r.SerialNumber);
    Edit2->setText(r.Software);
    Edit3->setText(r.Place);
    Edit4->setText(r.Type);
    Memo1->setPlainText(r.Remarks);
}

void TParameterReadForm::BtnOpenClick() {
    const TParameterFileHeader* record = CurrentRecord();
    if (!record) {
        done(mrNo);
        return;
    }
    LoadIntoEditor(*record);
    done(QDialog::Accepted);
}

void TParameterReadForm::BtnCompareClick() {
    const TParameterFileHeader* record = CurrentRecord();
    if (!record || !m_editor || record->FileName.isEmpty()) return;
    QStringList lines;
    QString error;
    if (!ReadParameterLines(record->Path, &lines, &error, false)) {
        m_host.ShowMsgBox(error, mtError, mbOK);
        return;
    }
    TParameterCompareDlg::CompareWithSensor(m_editor->Reader(), lines, record->FileName, this);
}

void TParameterReadForm::BtnClearClick() {
    const TParameterFileHeader* record = CurrentRecord();
    if (!record || record->FileName.isEmpty()) return;
    const QString question = QStringLiteral("%1: %2").arg(LabelText(114), record->FileName);
    if (m_host.ShowMsgBox(question, mtConfirmation, mbYesNo) != mrYes) return;
    QFile::remove(record->Path);
    ScanParameterFiles();
    StringGrid1->Fill(m_records);
    ShowRow(0);
}

bool TParameterReadForm::OpenFile(const QString& path) {
    QStringList lines;
    QString error;
    if (!ReadParameterLines(path, &lines, &error)) {
        m_host.ShowMsgBox(error, mtError, mbOK);
        return false;
    }
    TParameterFileHeader record = ParseParameterFileHeader(lines);
    record.FileName = QFileInfo(path).fileName().toLower();
    record.Path = path;
    LoadIntoEditor(record);
    return true;
}

void TParameterReadForm::LoadIntoEditor(const TParameterFileHeader& record) {
    if (!m_editor) return;
    m_editor->ClearParameters();
    m_editor->ShowHeader(record);
    QStringList lines;
    if (!QFileInfo::exists(record.Path) || !ReadParameterLines(record.Path, &lines, nullptr))
        return;
    LoadLinesIntoEditor(record, lines, false);
}

void TParameterReadForm::LoadLinesIntoEditor(const TParameterFileHeader& record,
                                             const QStringList& lines, bool clear) {
    if (!m_editor) return;
    if (clear) {
        m_editor->ClearParameters();
        m_editor->ShowHeader(record);
    }
    TWaitCursor wait;
    m_host.ShowParameterLog(THost::TParameterLog::Read, lines.join(u'\n'));
    m_editor->ShowModelControls(lines.join(u'\n').contains(QLatin1String("32bit")));
    // The set's identity goes with it when it is saved again.
    for (const QString& line : lines)
        if (line.startsWith(QLatin1String("REM ORX")) ||
            line.startsWith(QLatin1String("REM SOFTWARE")))
            m_editor->SetIdentityLine(line);
    m_editor->KeepExtraLines(lines);
    for (const QString& line : lines) {
        const qsizetype blank = line.indexOf(u' ');
        m_editor->SetParameterValue(blank < 0 ? line : line.left(blank),
                                    blank < 0 ? QString() : line.mid(blank + 1).trimmed());
    }
    m_editor->ResetChangeMarks();
}
