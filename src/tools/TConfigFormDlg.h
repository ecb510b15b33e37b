// SPDX-License-Identifier: MIT
#pragma once

#include "THost.h"

#include <QDialog>
#include <QString>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;

// What the options dialog shows and hands back: the language number, the
// three working folders and the terminal pane's caret, columns and rows.
struct TConfigValues {
    int Language = 0;            // 0 English, 1 German
    QString ParaDir;             // parameter files
    QString FirmDir;             // firmware files
    QString TextDir;             // capture, sent text, history and measurement files
    int Caret = 1;               // 0 Block, 1 Underline; -1 keeps the pane's caret
    int Columns = 65;            // as typed; the pane brings it into 2..256
    int Rows = 32;               // as typed; the pane brings it into 2..100
    int ScrollbackLines = 10000; // lines kept above the screen; 0 none
};

// Options dialog: the language, the three working folders (chosen with the
// folder browser only) and the terminal's geometry and caret. It only
// shows and collects values; the main window applies them on OK. A folder
// that no longer exists is kept as it is, with a line in its group saying
// so.
class TConfigFormDlg : public QDialog {
    Q_OBJECT
public:
    TConfigFormDlg(THost& host, QWidget* parent = nullptr);

    // Fills the controls from `values` and runs the dialog modally. On OK,
    // `values` holds what the controls hold, and the result is true; on
    // Cancel `values` is left alone.
    bool Execute(TConfigValues& values);

    // The two halves of Execute, for tests that drive the controls.
    void Fill(const TConfigValues& values);
    TConfigValues Values() const;

    // A columns or rows entry that is not an integer.
    static constexpr int DefaultColumns = 65;
    static constexpr int DefaultRows = 32;
    static constexpr int DefaultScrollbackLines = 10000;
    static constexpr int FolderCount = 3;

    QGroupBox* rg_sprache = nullptr;
    QRadioButton* rb_English = nullptr;
    QRadioButton* rb_German = nullptr;
    QGroupBox* FolderGroup[FolderCount] = {};
    QLineEdit* DirectoryEdit[FolderCount] = {}; // DirectoryEdit1..3: ParaDir, FirmDir, TextDir
    QToolButton* DirectoryButton[FolderCount] = {};
    QLabel* DirectoryMissing[FolderCount] = {};
    QGroupBox* gb_Terminal = nullptr;
    QLineEdit* ed_Columns = nullptr;
    QLineEdit* ed_Rows = nullptr;
    QLineEdit* ed_Scrollback = nullptr;
    QComboBox* Combo_Caret = nullptr;
    QPushButton* BitBtn_ok = nullptr;
    QPushButton* BitBtn2 = nullptr;

    // Opens the folder browser for field `index` (0..2); a chosen folder
    // replaces the field's text.
    void ChooseFolder(int index);

protected:
    void changeEvent(QEvent* event) override;

private:
    void CreateFolderGroup(int index, int label, const char* name);
    QGroupBox* CreateLanguageGroup();
    QGroupBox* CreateTerminalGroup();
    void SetFolder(int index, const QString& folder);
    void FillTexts();

    THost& m_host;
};
