// SPDX-License-Identifier: MIT
// The main window's options and about box, printing and editing a file,
// and what a change of language does beyond the labelling pass.
#include "TMainForm.h"

#include "ApplyLabels.h"
#include "FileDialogs.h"
#include "Labels.h"
#include "LinkView.h"
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
#include <QFileInfo>

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
    // The folders in use: the options show no warning over a default
    // folder that a fresh account did not have yet.
    v.ParaDir = ParaDir();
    v.FirmDir = FirmDir();
    v.TextDir = TextDir();
    v.Caret = int(ComTerminal->Caret());
    v.Columns = ComTerminal->Columns();
    v.Rows = ComTerminal->Rows();
    v.ScrollbackLines = ComTerminal->ScrollbackLines();
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
// stored with the terminal settings; the scrollback's length, stored when
// it changed; last the parameter folder scanned afresh for the file
// browser.
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
    ComTerminal->SetScrollbackLines(values.ScrollbackLines);
    m_store.SaveScrollbackLines(ComTerminal->ScrollbackLines()); // as brought into its limits

    // A parameter folder that no longer exists has been pointed out in the
    // dialog; the browser says so again when it is opened.
    if (m_windows.ParameterReadForm && QFileInfo(ParaDir()).isDir())
        m_windows.ParameterReadForm->ScanParameterFiles();
}

// --- Language -------------------------------------------------------------------

// After the labelling pass: the status panels that hold a label text are
// turned into the new language, and every window is told of the change.
void TMainForm::LanguageChanged(int previous) {
    UpdatePortStatus();
    m_linkView->RetellPortProblem();
    RelabelPanels({std::begin(Panels), std::end(Panels)}, previous,
                  {116, 117, 118, 119, 120, 126, 127});
    SendLanguageChange(m_windows.MainForm ? m_windows.All() : QList<QWidget*>{this});
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
