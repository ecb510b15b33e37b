// SPDX-License-Identifier: MIT
// The main window's options and about box, printing and editing a file,
// and what a change of language does beyond the labelling pass.
#include "TMainForm.h"

#include "FileDialogs.h"
#include "Labels.h"
#include "MsgBox.h"
#include "ShellFiles.h"
#include "StatusPanelLabel.h"
#include "TAboutBox.h"
#include "TComTermBuffer.h"
#include "TConfigFormDlg.h"
#include "TCustomComTerminal.h"
#include "TParameterReadForm.h"
#include "WaitCursor.h"

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

void TMainForm::ConnectExtras() {
    connect(Extras_Optionen, &QAction::triggered, this, &TMainForm::Extras_OptionenExecute);
    connect(Hilfe_Info, &QAction::triggered, this, &TMainForm::Hilfe_InfoExecute);
    connect(Datei_Drucken, &QAction::triggered, this, &TMainForm::Datei_DruckenExecute);
    connect(Datei_Bearbeiten, &QAction::triggered, this, &TMainForm::Datei_BearbeitenExecute);
}

// --- Options ------------------------------------------------------------------

TConfigValues TMainForm::ConfigValues() const {
    TConfigValues v;
    v.Language = m_options.Language;
    v.ParaDir = m_options.ParaDir;
    v.FirmDir = m_options.FirmDir;
    v.TextDir = m_options.TextDir;
    v.Caret = int(ComTerminal->Caret());
    v.Columns = ComTerminal->Columns();
    v.Rows = ComTerminal->Rows();
    return v;
}

void TMainForm::Extras_OptionenExecute() {
    TConfigFormDlg* dialog = m_windows.ConfigFormDlg;
    if (!dialog) return;
    TConfigValues values = ConfigValues();
    if (dialog->Execute(values)) ApplyConfigValues(values);
}

// OK of the options dialog: the language (every window re-labelled), the
// three folders, each stored only when it changed; then the terminal's
// caret, columns and rows, brought into the pane's limits and always
// stored with the terminal settings; last the parameter folder scanned
// afresh for the file browser.
void TMainForm::ApplyConfigValues(const TConfigValues& values) {
    SaveLanguage(values.Language);
    SaveParaDir(values.ParaDir);
    SaveFirmDir(values.FirmDir);
    SaveTextDir(values.TextDir);

    TComTermSettings terminal = ComTerminal->Settings();
    if (values.Caret == int(tcBlock) || values.Caret == int(tcUnderline))
        terminal.Caret = TTermCaret(values.Caret);
    // Clamped here too, so that an unchanged size keeps the screen's text.
    terminal.Columns =
        std::clamp(values.Columns, TComTermBuffer::MinColumns, TComTermBuffer::MaxColumns);
    terminal.Rows = std::clamp(values.Rows, TComTermBuffer::MinRows, TComTermBuffer::MaxRows);
    ComTerminal->ApplySettings(terminal);
    if (!ComTerminal->Store(m_store.Writable())) m_store.ReportFailure();

    // A parameter folder that no longer exists has been pointed out in the
    // dialog; the browser says so again when it is opened.
    if (m_windows.ParameterReadForm && QFileInfo(ParaDir()).isDir())
        m_windows.ParameterReadForm->ScanParameterFiles();
}

// --- Language -------------------------------------------------------------------

// After the labelling pass: the status panels that hold a label text are
// turned into the new language, and every window is told of the change,
// so that a window building texts in code (list items, formats, texts that
// depend on its state) rebuilds them in its changeEvent(QEvent::LanguageChange).
void TMainForm::LanguageChanged(int previous) {
    RelabelStatusPanels(previous);
    const QList<QWidget*> windows = m_windows.MainForm ? m_windows.All() : QList<QWidget*>{this};
    const QSet<QWidget*> set(windows.begin(), windows.end());
    QEvent change(QEvent::LanguageChange);
    for (QWidget* w : windows) {
        if (!w) continue;
        // A window below another one of the list hears it from that one.
        bool reached = false;
        for (QWidget* p = w->parentWidget(); p && !reached; p = p->parentWidget())
            reached = set.contains(p);
        if (!reached) QCoreApplication::sendEvent(w, &change);
    }
}

// Panels whose text begins with a label (the link and socket states, the
// port errors) get that label in the new language; the rest of the text
// (an address, a port name) stays.
void TMainForm::RelabelStatusPanels(int previous) {
    UpdatePortStatus();
    static constexpr int kPanelLabels[] = {116, 117, 118, 119, 120, 126, 127};
    for (TStatusPanelLabel* panel : Panels) {
        const QString text = panel->FullText();
        for (int label : kPanelLabels) {
            const QString old = LookupLabel(previous, label, true);
            if (text.isEmpty() || !text.startsWith(old)) continue;
            panel->SetFullText(LabelText(label) + text.mid(old.size()));
            break;
        }
    }
}

// --- About box ------------------------------------------------------------------

void TMainForm::Hilfe_InfoExecute() {
    if (m_windows.AboutBox) m_windows.AboutBox->exec();
}

// --- Print and edit -------------------------------------------------------------

// The open dialog of print and edit: the parameter folder, parameter,
// text, CSV and all files, "par" by default.
QString TMainForm::ChooseFileToShow(int caption, bool mustExist) {
    TFileDialogRequest request;
    request.caption = LabelText(caption);
    request.directory = ParaDir();
    request.filter =
        LabelText(102) + u'|' + LabelText(101) + u'|' + LabelText(123) + u'|' + LabelText(107);
    request.defaultSuffix = QStringLiteral("par");
    request.mustExist = mustExist;
    return TFileDialogs::GetOpenFileName(this, request);
}

// Prints a file through its copy "print.txt" in the parameter folder. A file
// that cannot be read or a copy that cannot be written prints nothing; the
// error box gives the system's reason.
void TMainForm::Datei_DruckenExecute() {
    const QString file = ChooseFileToShow(15, true);
    if (file.isEmpty()) return;
    QString error;
    QString copy;
    {
        TWaitCursor wait;
        copy = ShellFiles::CopyForPrint(file, ParaDir(), &error);
    }
    if (!copy.isEmpty() && ShellFiles::PrintTextFile(copy, this, &error)) return;
    if (!error.isEmpty()) ShowMsgBox(LabelText(210).arg(file) + u'\n' + error, mtError, mbOK);
}

void TMainForm::Datei_BearbeitenExecute() {
    const QString file = ChooseFileToShow(17, false);
    if (file.isEmpty()) return;
    QString error;
    if (!ShellFiles::OpenInTextEditor(file, &error))
        ShowMsgBox(LabelText(211).arg(file) + u'\n' + error, mtError, mbOK);
}
