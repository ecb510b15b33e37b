// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QToolButton;
class TCustomComTerminal;

// The search line below the terminal: opened by the terminal's
// FindRequested (Ctrl+Alt+F, the context menu), it searches screen and
// scrollback as the text is typed; Enter finds the next match, Shift+Enter
// the previous one, Esc closes it and gives the terminal the focus back.
class TTermFindBar : public QWidget {
    Q_OBJECT
public:
    explicit TTermFindBar(TCustomComTerminal* terminal, QWidget* parent = nullptr);

    // Shown with the focus in the text; a selection of one line is the
    // text to search for.
    void Open();
    void Close();
    // One search step; false (and "Not found" shown) when there is no match.
    bool FindNext(bool backward);

    QLineEdit* TextField() const { return m_text; }
    bool NotFoundShown() const;

protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Relabel();
    void TextEdited();
    void ShowResult(bool found);

    TCustomComTerminal* m_terminal;
    QLabel* m_caption = nullptr;
    QLineEdit* m_text = nullptr;
    QToolButton* m_previous = nullptr;
    QToolButton* m_next = nullptr;
    QLabel* m_status = nullptr;
    QToolButton* m_close = nullptr;
};
