// SPDX-License-Identifier: MIT
#pragma once

#include "THost.h"

#include <QStringList>
#include <QWidget>

class QAction;
class QMenu;
class QMenuBar;
class QPlainTextEdit;

// History window: the lines most recently received, to read, clear and
// save. The main window keeps the lines and hands them over when the
// window is shown; while it is visible the main window records nothing, so
// the text does not change under the reader. Clearing empties both the
// window and the main window's lines (Cleared).
class THistoryForm : public QWidget {
    Q_OBJECT
public:
    THistoryForm(THost& host, QWidget* parent = nullptr);

    // Shows `lines`, each on its own line, and the window.
    void ShowHistory(const QStringList& lines);
    const QStringList& Lines() const { return m_lines; }

    void acClearExecute();
    void acSaveExecute();

    QMenuBar* MainMenu = nullptr;
    QMenu* Datei = nullptr;
    QAction* acClear = nullptr;
    QAction* acSave = nullptr;
    QAction* acClose = nullptr;
    QPlainTextEdit* Memo1 = nullptr;

signals:
    void Cleared();
    void Closed();

protected:
    bool event(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    THost& m_host;
    QStringList m_lines;
};
