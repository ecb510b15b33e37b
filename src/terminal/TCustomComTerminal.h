// SPDX-License-Identifier: MIT
#pragma once

#include "TTermScreen.h"

#include <QAbstractScrollArea>
#include <QByteArray>
#include <QColor>
#include <QTimer>

#include <functional>
#include <memory>

class QMenu;
class QSettings;

// Terminal emulation control: a fixed screen of Columns x Rows cells shown in
// a scrollable view.
//
// Data flow. Bytes from the port arrive through ReceiveData() (Force7Bit,
// AppendLF and the OnStrRecieved hook apply there), program text through
// WriteStr(); both go to the screen (TTermScreen: parser -> buffer) and the
// view is repainted by a short single-shot timer, never once per byte.
// Everything that leaves for the port - typed keys, cursor-key sequences and
// the answers to identification, status and position requests - leaves
// through the SendData signal, and only while SetConnected(true) says that
// a port is linked and open. The control knows nothing of the port itself.
//
// Plain characters (every byte handled as a character, not as part of an
// escape sequence, received or echoed) are reported:
//  - by Char(ch), once per character, right after it took effect on the
//    screen; and/or
//  - by Chars(text), which delivers exactly the same bytes in the same order,
//    batched: the pending batch is emitted before any SendData answer or
//    UnhandledCode and at the end of each write call, so relative to the
//    other signals nothing moves. It is the cheap path for a consumer that
//    handles characters one by one anyway.
// Nothing is collected while neither signal is connected.
//
// The view. Lines that scroll off the top of the screen are kept in the
// buffer's scrollback (ScrollbackLines, bounded); the view shows them above
// the screen, so a window taller than the screen is filled with the latest
// of them, and the vertical scroll bar, Shift+PgUp/PgDn and Shift+Home/End
// go back through them. New data keeps the view at the bottom unless the
// user has scrolled away from it. Positions in the view are absolute line
// numbers (see TTermScrollback), so a selection or a scrolled-up view stays
// on its text while lines come in.
//
// Selection and clipboard: a drag selects characters, a double click a
// word, a triple click a line; Ctrl+Insert copies, Shift+Insert pastes the
// clipboard as typed text, the context menu offers both and Select all,
// Find and Clear. Ctrl+Alt+F asks for the find bar (FindRequested); Find()
// searches screen and scrollback.
//
// Settings persistence: Store()/Load() write and read the groups chosen by
// StoredProps in the QSettings group named after objectName().
class TCustomComTerminal : public QAbstractScrollArea, private TTermScreenEvents {
    Q_OBJECT
    Q_PROPERTY(int Columns READ Columns WRITE SetColumns)
    Q_PROPERTY(int Rows READ Rows WRITE SetRows)
    Q_PROPERTY(TTermEmulation Emulation READ Emulation WRITE SetEmulation)
    Q_PROPERTY(TTermCaret Caret READ Caret WRITE SetCaret)
    Q_PROPERTY(bool WrapLines READ WrapLines WRITE SetWrapLines)
    Q_PROPERTY(bool LocalEcho READ LocalEcho WRITE SetLocalEcho)
    Q_PROPERTY(bool SendLF READ SendLF WRITE SetSendLF)
    Q_PROPERTY(bool AppendLF READ AppendLF WRITE SetAppendLF)
    Q_PROPERTY(bool Force7Bit READ Force7Bit WRITE SetForce7Bit)
    Q_PROPERTY(TArrowKeys ArrowKeys READ ArrowKeys WRITE SetArrowKeys)
    Q_PROPERTY(QColor AltColor READ AltColor WRITE SetAltColor)
    Q_PROPERTY(QColor Color READ Color WRITE SetColor)
    Q_PROPERTY(QColor FontColor READ FontColor WRITE SetFontColor)
    Q_PROPERTY(TTermScrollBars ScrollBars READ ScrollBars WRITE SetScrollBars)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
    Q_PROPERTY(bool Connected READ Connected WRITE SetConnected)
    Q_PROPERTY(int StoredProps READ StoredProps WRITE SetStoredProps)

public:
    // Groups of StoredProps.
    enum TStoredProp { spBasic = 0x1, spFont = 0x2 };

    static constexpr int MinFontPoints = 4, MaxFontPoints = 72;

    explicit TCustomComTerminal(QWidget* parent = nullptr);
    ~TCustomComTerminal() override;

    int Columns() const { return FScreen.Columns(); }
    void SetColumns(int columns);
    int Rows() const { return FScreen.Rows(); }
    void SetRows(int rows);
    TTermEmulation Emulation() const { return FEmulation; }
    void SetEmulation(TTermEmulation emulation);
    TTermCaret Caret() const { return FCaret; }
    void SetCaret(TTermCaret caret);
    bool WrapLines() const { return FScreen.WrapLines(); }
    void SetWrapLines(bool on) { FScreen.SetWrapLines(on); }
    bool LocalEcho() const { return FLocalEcho; }
    void SetLocalEcho(bool on) { FLocalEcho = on; }
    bool SendLF() const { return FSendLF; }
    void SetSendLF(bool on) { FSendLF = on; }
    bool AppendLF() const { return FAppendLF; }
    void SetAppendLF(bool on) { FAppendLF = on; }
    // Set: the eighth bit of every byte given to ReceiveData is cleared.
    bool Force7Bit() const { return FForce7Bit; }
    void SetForce7Bit(bool on) { FForce7Bit = on; }
    TArrowKeys ArrowKeys() const { return FArrowKeys; }
    void SetArrowKeys(TArrowKeys keys) { FArrowKeys = keys; }
    QColor AltColor() const { return QColor::fromRgb(FScreen.AltColor()); }
    void SetAltColor(const QColor& color);
    QColor Color() const { return QColor::fromRgb(FScreen.BackColor()); }
    void SetColor(const QColor& color);
    QColor FontColor() const { return QColor::fromRgb(FScreen.FontColor()); }
    void SetFontColor(const QColor& color);
    TTermScrollBars ScrollBars() const { return FScrollBars; }
    void SetScrollBars(TTermScrollBars bars);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool on) { FReadOnly = on; }
    bool Connected() const { return FConnected; }
    void SetConnected(bool on) { FConnected = on; }
    int StoredProps() const { return FStoredProps; }
    void SetStoredProps(int groups) { FStoredProps = groups; }

    // Caret (1-based, always inside the screen) and the screen itself.
    int CaretX() const { return FScreen.CaretX(); }
    int CaretY() const { return FScreen.CaretY(); }
    void MoveCaret(int x, int y);
    const TTermScreen& Screen() const { return FScreen; }
    const TComTermBuffer& Buffer() const { return FScreen.Buffer(); }
    // Empties the screen, caret to row 1, column 1.
    void ClearScreen();
    // Empties the screen and the scrollback, and drops the selection.
    void ClearAll();

    // Lines kept above the screen; 0 keeps none (clamped to the store's limit).
    int ScrollbackLines() const { return Buffer().Scrollback().Capacity(); }
    void SetScrollbackLines(int lines);
    // The view shows the newest line and follows new data.
    bool FollowsOutput() const { return m_follow; }
    void ScrollToBottom();
    // Absolute number of the line at the top of the view / of screen row 1.
    qint64 TopLine() const;
    qint64 ScreenLine(int row) const { return Buffer().Scrollback().Pushed() + row - 1; }

    // A place in the text: absolute line number and 1-based column.
    struct TTextPos {
        qint64 Line = 0;
        int Column = 1;
        auto operator<=>(const TTextPos&) const = default;
    };
    bool HasSelection() const { return m_hasSelection; }
    // Selects from `from` to `to`, both cells included, in either order.
    void Select(TTextPos from, TTextPos to);
    void SelectAll();
    void ClearSelection();
    // The selected text, one line per row with its trailing blanks removed.
    QString SelectedText() const;
    // Copies the selection to the clipboard; false when there is none.
    bool CopySelection();
    // Text as if typed: line ends become Enter (CR), characters outside
    // Latin-1 are left out. Sent even while the pane is read-only for keys.
    void PasteText(const QString& text);
    void PasteClipboard();
    // Searches screen and scrollback, ignoring case, from the selection (or
    // the top of the view) down or up, once around; a match is selected
    // and scrolled into view. `again`: start past the current selection.
    bool Find(const QString& text, bool backward, bool again = true);
    // Text of an absolute line (empty cells as blanks, trailing blanks
    // removed); empty for a line not kept.
    QString LineText(qint64 line) const;
    // The context menu: Copy, Paste, Select all, Find, Clear.
    std::unique_ptr<QMenu> CreateContextMenu();

    // In-out hook on received text, after AppendLF and before writing.
    using TStrRecievedHook = std::function<void(QByteArray& text)>;
    void SetOnStrRecieved(TStrRecievedHook hook) { FOnStrRecieved = std::move(hook); }
    // Supplies the parser while Emulation is teNone; none: no escape processing.
    using TGetEscapeCodesHook = std::function<std::unique_ptr<TEscapeCodes>()>;
    void SetOnGetEscapeCodes(TGetEscapeCodesHook hook);

    // The setup dialog's options, and applying them (screen re-created only
    // when Columns or Rows change).
    TComTermSettings Settings() const;
    void ApplySettings(const TComTermSettings& settings);
    // Modal dialogs; true when confirmed and applied.
    bool ShowSetupDialog();
    bool ShowFontDialog();
    // The font dialog's two ends: where it starts, and what OK applies.
    QFont FontDialogStart() const;
    void ApplyChosenFont(const QFont& chosen);

    // Writes the groups of StoredProps; false when the store reports an error.
    bool Store(QSettings& settings) const;
    // Reads them back; missing or unreadable values keep the current ones.
    void Load(QSettings& settings);

    // A typed character / cursor key, as from the keyboard (ReadOnly ignored
    // by these two: the key events check it).
    void TypeChar(char ch);
    void PressCursorKey(TTermKey key);

    QSize sizeHint() const override;
    QSize CellSize() const { return {FCellW, FCellH}; }
    // Written text not drawn yet (the batched repaint is due).
    bool RepaintPending() const { return FRepaintTimer.isActive(); }

public slots:
    void ReceiveData(const QByteArray& data);
    void WriteStr(const QByteArray& text);

signals:
    void Char(char ch);
    void Chars(const QByteArray& text);
    void UnhandledCode(TEscapeCode code, const QByteArray& data);
    void SendData(const QByteArray& bytes);
    void KeyPressed(char ch);
    // Ctrl+Alt+F or the context menu's Find.
    void FindRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool focusNextPrevChild(bool next) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void TermChars(const char* data, qsizetype length) override;
    void TermSend(const QByteArray& bytes) override;
    void TermUnhandled(TEscapeCode code, const QByteArray& data) override;
    void TermResized() override;

    template <class F> void Writing(F&& write);
    void FlushChars();
    void SendOrEcho(char ch);
    void EchoTyped(const QByteArray& typed);
    void ChooseParser();
    void ClampFont();
    void UpdateMetrics();
    void UpdateScrollBars();
    void ScheduleRepaint() {
        if (!FRepaintTimer.isActive()) FRepaintTimer.start();
    }
    void FlushRepaint();
    void FullRepaint();
    QRect CellRect(int column, int row) const;
    QRect LineCellRect(int column, qint64 line) const;
    QRect LineRect(qint64 first, qint64 last) const;
    static constexpr qint64 MaxRowsInView = 100000;
    void PaintLine(QPainter& painter, qint64 line, int firstColumn, int lastColumn);
    void PaintCaret(QPainter& painter);
    // Cells of an absolute line and their count; null for a line not kept.
    const TTermCell* LineCells(qint64 line, int& length) const;
    qint64 LastLine() const { return ScreenLine(Rows()); }
    int VisibleRows() const;
    qint64 LiveTop() const;
    TTextPos PosAt(QPoint viewportPos) const;
    // Selected columns of a line, or false when none of it is selected.
    bool SelectedColumns(qint64 line, int& first, int& last) const;
    void SelectWord(TTextPos at);
    void ScrollToLine(qint64 line);
    bool ShortcutKey(QKeyEvent* event);
    bool ScrollKey(QKeyEvent* event);

    TTermScreen FScreen;
    TTermEmulation FEmulation = teVT100orANSI;
    TTermCaret FCaret = tcBlock;
    TArrowKeys FArrowKeys = akTerminal;
    TTermScrollBars FScrollBars = ssBoth;
    bool FLocalEcho = false, FSendLF = false, FAppendLF = false, FForce7Bit = false;
    bool FReadOnly = false, FConnected = false;
    int FStoredProps = spBasic | spFont;

    TStrRecievedHook FOnStrRecieved;
    TGetEscapeCodesHook FOnGetEscapeCodes;

    bool FCharConnected = false, FCharsConnected = false;
    QByteArray FPendingChars;

    QTimer FRepaintTimer;
    bool FFullRepaint = true;
    bool FUpdatePending = false;
    int FCellW = 8, FCellH = 16, FAscent = 12;
    bool FDrawRuns = false;

    // The view: following the newest line, or held on m_heldTop.
    bool m_follow = true;
    qint64 m_heldTop = 0;
    qint64 m_paintedTop = 0;    // top line of what is drawn on the viewport
    qint64 m_paintedPushed = 0; // lines in the scrollback when it was drawn
    int m_paintedCaretColumn = 1;
    qint64 m_paintedCaretLine = 0;
    bool m_settingScroll = false;

    bool m_hasSelection = false;
    TTextPos m_anchor, m_end;
    bool m_selecting = false;
    qint64 m_doubleClickTime = -1; // ms timestamp of the last double click
    QPoint m_doubleClickPos;
};
