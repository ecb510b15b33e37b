// SPDX-License-Identifier: MIT
// The terminal's text as text: mouse selection, the clipboard, paste as
// typed text, the context menu, search over screen and scrollback, and the
// keys for scrolling back.
#include "TCustomComTerminal.h"

#include "Labels.h"
#include "MsgBox.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>
#include <cstring>

namespace {
// Characters that belong to a word for a double click: a value such as
// "12.34", "-5", "m/s" or "192.168.0.10:10001" is taken whole.
bool WordChar(quint8 ch) {
    return ch != 0 && (QChar(ch).isLetterOrNumber() || std::strchr("._-+/:,#%", ch) != nullptr);
}

// A paste is typing; longer texts are what "Send file" is for.
constexpr qsizetype MaxPasteChars = 64 * 1024;
} // namespace

// ---- selection --------------------------------------------------------------

void TCustomComTerminal::Select(TTextPos from, TTextPos to) {
    m_anchor = from;
    m_end = to;
    m_hasSelection = true;
    FullRepaint();
}

void TCustomComTerminal::SelectAll() {
    Select({Buffer().Scrollback().Dropped(), 1}, {LastLine(), Columns()});
}

void TCustomComTerminal::ClearSelection() {
    m_selecting = false;
    if (!m_hasSelection) return;
    m_hasSelection = false;
    FullRepaint();
}

bool TCustomComTerminal::SelectedColumns(qint64 line, int& first, int& last) const {
    if (!m_hasSelection) return false;
    const TTextPos& s = std::min(m_anchor, m_end);
    const TTextPos& e = std::max(m_anchor, m_end);
    if (line < s.Line || line > e.Line) return false;
    first = line == s.Line ? s.Column : 1;
    last = line == e.Line ? e.Column : Columns();
    return first <= last;
}

QString TCustomComTerminal::LineText(qint64 line) const {
    int length = 0;
    const TTermCell* cells = LineCells(line, length);
    QString text;
    if (!cells) return text;
    while (length > 0 && (cells[length - 1].Ch == 0 || cells[length - 1].Ch == ' '))
        --length;
    text.resize(length);
    for (int i = 0; i < length; ++i)
        text[i] = QChar(cells[i].Ch ? cells[i].Ch : ' ');
    return text;
}

QString TCustomComTerminal::SelectedText() const {
    QString text;
    if (!m_hasSelection) return text;
    const qint64 first = std::max(std::min(m_anchor, m_end).Line, Buffer().Scrollback().Dropped());
    const qint64 last = std::min(std::max(m_anchor, m_end).Line, LastLine());
    for (qint64 line = first; line <= last; ++line) {
        int a = 0, b = -1;
        QString part;
        if (SelectedColumns(line, a, b)) {
            part = LineText(line).mid(a - 1, b - a + 1);
            while (part.endsWith(u' '))
                part.chop(1);
        }
        if (line > first) text += u'\n';
        text += part;
    }
    return text;
}

bool TCustomComTerminal::CopySelection() {
    if (!m_hasSelection) return false;
    QGuiApplication::clipboard()->setText(SelectedText());
    return true;
}

void TCustomComTerminal::SelectWord(TTextPos at) {
    int length = 0;
    const TTermCell* cells = LineCells(at.Line, length);
    if (!cells || at.Column > length || !WordChar(cells[at.Column - 1].Ch)) {
        Select(at, at);
        return;
    }
    int first = at.Column, last = at.Column;
    while (first > 1 && WordChar(cells[first - 2].Ch))
        --first;
    while (last < length && WordChar(cells[last].Ch))
        ++last;
    Select({at.Line, first}, {at.Line, last});
}

// The cell under a point of the viewport; points outside give the nearest
// kept line and column.
TCustomComTerminal::TTextPos TCustomComTerminal::PosAt(QPoint p) const {
    const qint64 row = p.y() < 0 ? -1 : p.y() / FCellH;
    const qint64 line =
        std::clamp<qint64>(m_paintedTop + row, Buffer().Scrollback().Dropped(), LastLine());
    const int column = horizontalScrollBar()->value() + 1 + std::max(0, p.x()) / FCellW;
    return {line, std::clamp(column, 1, Columns())};
}

// ---- mouse ------------------------------------------------------------------

void TCustomComTerminal::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const QPoint p = event->position().toPoint();
    const TTextPos at = PosAt(p);
    const bool triple =
        m_doubleClickTime >= 0 &&
        qint64(event->timestamp()) - m_doubleClickTime <= QApplication::doubleClickInterval() &&
        (p - m_doubleClickPos).manhattanLength() <= QApplication::startDragDistance();
    m_doubleClickTime = -1;
    if (triple) {
        m_selecting = false;
        Select({at.Line, 1}, {at.Line, Columns()});
        return;
    }
    ClearSelection();
    m_anchor = m_end = at;
    m_selecting = true;
}

void TCustomComTerminal::mouseMoveEvent(QMouseEvent* event) {
    if (!m_selecting || !(event->buttons() & Qt::LeftButton)) return;
    const QPoint p = event->position().toPoint();
    // Dragging past the top or bottom edge scrolls the view.
    QScrollBar* bar = verticalScrollBar();
    if (p.y() < 0)
        bar->setValue(bar->value() - 1);
    else if (p.y() >= viewport()->height())
        bar->setValue(bar->value() + 1);
    const TTextPos at = PosAt(p);
    if (!m_hasSelection && at == m_anchor) return;
    Select(m_anchor, at);
}

// A finished selection is also offered as the primary selection, where the
// desktop has one.
void TCustomComTerminal::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    m_selecting = false;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (m_hasSelection && clipboard->supportsSelection())
        clipboard->setText(SelectedText(), QClipboard::Selection);
}

void TCustomComTerminal::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    m_selecting = false;
    m_doubleClickPos = event->position().toPoint();
    m_doubleClickTime = qint64(event->timestamp());
    SelectWord(PosAt(m_doubleClickPos));
    mouseReleaseEvent(event);
}

// ---- context menu ------------------------------------------------------------

std::unique_ptr<QMenu> TCustomComTerminal::CreateContextMenu() {
    auto menu = std::make_unique<QMenu>(this);
    QAction* copy = menu->addAction(LabelText(150), this, [this] { CopySelection(); });
    copy->setObjectName(QStringLiteral("acTermCopy"));
    copy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Insert));
    copy->setEnabled(m_hasSelection);
    QAction* paste = menu->addAction(LabelText(151), this, [this] { PasteClipboard(); });
    paste->setObjectName(QStringLiteral("acTermPaste"));
    paste->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_Insert));
    paste->setEnabled(!QGuiApplication::clipboard()->text().isEmpty());
    menu->addSeparator();
    QAction* all = menu->addAction(LabelText(152), this, [this] { SelectAll(); });
    all->setObjectName(QStringLiteral("acTermSelectAll"));
    QAction* find = menu->addAction(LabelText(153), this, [this] { emit FindRequested(); });
    find->setObjectName(QStringLiteral("acTermFind"));
    find->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_F));
    menu->addSeparator();
    QAction* clear = menu->addAction(LabelText(154), this, [this] { ClearAll(); });
    clear->setObjectName(QStringLiteral("acTermClear"));
    return menu;
}

void TCustomComTerminal::contextMenuEvent(QContextMenuEvent* event) {
    const std::unique_ptr<QMenu> menu = CreateContextMenu();
    menu->exec(event->globalPos());
}

// ---- paste --------------------------------------------------------------------

void TCustomComTerminal::PasteClipboard() {
    PasteText(QGuiApplication::clipboard()->text());
}

void TCustomComTerminal::PasteText(const QString& text) {
    if (text.size() > MaxPasteChars) {
        TFormMsgBox::ShowMsgBox(LabelText(161).arg(text.size()).arg(MaxPasteChars), mtWarning,
                                mbOK);
        return;
    }
    QByteArray typed;
    typed.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
            typed += '\r';
        } else if (c <= 0xff) {
            typed += char(c);
        }
    }
    if (typed.isEmpty()) return;
    ScrollToBottom();
    QByteArray sent;
    sent.reserve(typed.size() + typed.count('\r'));
    for (const char ch : typed) {
        emit KeyPressed(ch);
        sent += ch;
        if (ch == '\r' && FSendLF) sent += '\n';
    }
    if (FConnected) emit SendData(sent);
    if (FLocalEcho) EchoTyped(sent);
}

// ---- search --------------------------------------------------------------------

bool TCustomComTerminal::Find(const QString& text, bool backward, bool again) {
    if (text.isEmpty()) return false;
    const qint64 first = Buffer().Scrollback().Dropped(), last = LastLine();
    const qint64 count = last - first + 1;
    qint64 line;
    // In the start line: forward, the first index a match may start at;
    // backward, the last one (none when negative). Later lines are searched
    // whole.
    qsizetype from;
    if (m_hasSelection) {
        const TTextPos s = std::min(m_anchor, m_end);
        line = std::clamp(s.Line, first, last);
        const int step = again ? 1 : 0;
        from = backward ? s.Column - 1 - step : s.Column - 1 + step;
    } else {
        const qint64 top = LiveTop();
        line = backward ? std::min(last, top + VisibleRows() - 1) : top;
        from = backward ? Columns() : 0;
    }
    // Once around: the start line again at the end, for matches on its
    // other side.
    for (qint64 k = 0; k <= count; ++k) {
        const QString lineText = LineText(line);
        qsizetype at = -1;
        if (!backward)
            at = lineText.indexOf(text, k == 0 ? from : 0, Qt::CaseInsensitive);
        else if (k > 0 || from >= lineText.size())
            at = lineText.lastIndexOf(text, Qt::CaseInsensitive);
        else if (from >= 0)
            at = lineText.lastIndexOf(text, from, Qt::CaseInsensitive);
        if (at >= 0) {
            Select({line, int(at) + 1}, {line, int(at + text.size())});
            ScrollToLine(line);
            return true;
        }
        line = backward ? (line == first ? last : line - 1) : (line == last ? first : line + 1);
    }
    return false;
}

// ---- keys ---------------------------------------------------------------------

// Keys of the pane itself; they work while the pane ignores typing too.
bool TCustomComTerminal::ShortcutKey(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods =
        event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    const int key = event->key();
    if (key == Qt::Key_Insert && mods == Qt::ControlModifier) {
        CopySelection();
        return true;
    }
    if (key == Qt::Key_Insert && mods == Qt::ShiftModifier) {
        if (!FReadOnly) PasteClipboard();
        return true;
    }
    if (key == Qt::Key_F && mods == (Qt::ControlModifier | Qt::AltModifier)) {
        emit FindRequested();
        return true;
    }
    return mods == Qt::ShiftModifier && ScrollKey(event);
}

// Shift+PgUp/PgDn a page back or forth, Shift+Home/End to the oldest or the
// newest line.
bool TCustomComTerminal::ScrollKey(QKeyEvent* event) {
    QScrollBar* bar = verticalScrollBar();
    switch (event->key()) {
    case Qt::Key_PageUp:
        bar->setValue(bar->value() - bar->pageStep());
        return true;
    case Qt::Key_PageDown:
        bar->setValue(bar->value() + bar->pageStep());
        return true;
    case Qt::Key_Home:
        bar->setValue(0);
        return true;
    case Qt::Key_End:
        bar->setValue(bar->maximum());
        return true;
    default:
        return false;
    }
}
