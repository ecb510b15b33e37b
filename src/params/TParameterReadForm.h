// SPDX-License-Identifier: MIT
#pragma once

#include "ParameterFileHeader.h"
#include "THost.h"

#include <QDialog>
#include <QList>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class TParameterFileGrid;
class TParameterForm;

// Parameter file browser: lists the .par files of the parameter folder with
// the header fields found in them, shows one file's details, opens a file
// into the parameter editor or deletes it. It keeps the list that the last
// scan built for the program's lifetime; the editor's type and place
// lookup and the store dialog use it too.
class TParameterReadForm : public QDialog {
    Q_OBJECT
public:
    TParameterReadForm(THost& host, QWidget* parent = nullptr);

    void SetEditor(TParameterForm* editor) { m_editor = editor; }

    // Rebuilds the list from the parameter folder (hourglass meanwhile). A
    // folder that cannot be listed is reported in one message box and gives
    // an empty list (the browser then opens empty); false then.
    bool ScanParameterFiles();
    const QList<TParameterFileHeader>& Records() const { return m_records; }

    // Scans and shows the browser modally (Parameter_oeffnen).
    int Execute();
    // Scans and fills the grid, the first row current (Execute's first step).
    void Prepare();
    // Loads the file of a record into the editor (reader 2): the header
    // fields from the record, the lines from the file if it still exists.
    void LoadIntoEditor(const TParameterFileHeader& record);
    // Loads any parameter file into the editor, wherever it lies, with the
    // header read from it. A file that cannot be read (missing, no regular
    // file, not text, too large) is told in a message box with its name and
    // the reason, and the editor is left as it was; false then.
    bool OpenFile(const QString& path);
    // Loads a set's lines into the editor as a file's are loaded, with
    // `record` as its head (cleared first unless `clear` is false).
    void LoadLinesIntoEditor(const TParameterFileHeader& record, const QStringList& lines,
                             bool clear = true);

    TParameterFileGrid* StringGrid1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QLineEdit* Edit4 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QPushButton* BtnOpen = nullptr;
    QPushButton* BtnClear = nullptr;
    QPushButton* BtnAbort = nullptr;
    QPushButton* BtnCompare = nullptr;

    void BtnOpenClick();
    // The selected file against the set just read from the sensor.
    void BtnCompareClick();
    void BtnClearClick();

private:
    void ShowRow(int row);
    const TParameterFileHeader* CurrentRecord() const;

    THost& m_host;
    TParameterForm* m_editor = nullptr;
    QList<TParameterFileHeader> m_records;
};
