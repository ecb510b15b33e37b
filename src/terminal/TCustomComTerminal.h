// SPDX-License-Identifier: MIT
#pragma once

#include "TTermScreen.h"

#include <QAbstractScrollArea>
#include <QByteArray>
#include <QColor>
#include <QTimer>

#include <functional>
#include <memory>

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

public slots:
    void ReceiveData(const QByteArray& data);
    void WriteStr(const QByteArray& text);

signals:
    void Char(char ch);
    void Chars(const QByteArray& text);
    void UnhandledCode(TEscapeCode code, const QByteArray& data);
    void SendData(const QByteArray& bytes);
    void KeyPressed(char ch);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool focusNextPrevChild(bool next) override;

private:
    void TermChars(const char* data, qsizetype length) override;
    void TermSend(const QByteArray& bytes) override;
    void TermUnhandled(TEscapeCode code, const QByteArray& data) override;
    void TermResized() override;

    template <class F> void Writing(F&& write);
    void FlushChars();
    void SendOrEcho(char ch);
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
    QRect ScreenRect() const;
    void PaintRow(QPainter& painter, int row, int firstColumn, int lastColumn);
    void PaintCaret(QPainter& painter);

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
    QPoint FPaintedCaret{1, 1};
    int FCellW = 8, FCellH = 16, FAscent = 12;
    bool FDrawRuns = false;
};
