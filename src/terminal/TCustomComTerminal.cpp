// SPDX-License-Identifier: MIT
#include "TCustomComTerminal.h"

#include "Labels.h"
#include "TComTermSetupDlg.h"
#include "TEscapeCodesVT100.h"
#include "TEscapeCodesVT52.h"

#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>
#include <QKeyEvent>
#include <QMetaMethod>
#include <QScrollBar>

namespace {
// Long enough to gather a burst of received chunks into one repaint, short
// enough to look immediate.
constexpr int RepaintDelayMs = 10;
} // namespace

TCustomComTerminal::TCustomComTerminal(QWidget* parent) : QAbstractScrollArea(parent) {
    FScreen.SetEvents(this);
    FScreen.SetColors(0xff000000, 0xffffffff, qRgb(166, 166, 166));
    FScreen.Buffer().Scrollback().SetCapacity(TTermScrollback::DefaultLines);
    ChooseParser();

    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    viewport()->setCursor(Qt::IBeamCursor);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setPointSize(10);
    setFont(f);
    UpdateMetrics();

    FRepaintTimer.setSingleShot(true);
    FRepaintTimer.setInterval(RepaintDelayMs);
    connect(&FRepaintTimer, &QTimer::timeout, this, &TCustomComTerminal::FlushRepaint);
}

TCustomComTerminal::~TCustomComTerminal() {
    FScreen.SetEvents(nullptr);
}

// ---- properties -----------------------------------------------------------

void TCustomComTerminal::SetColumns(int columns) {
    FScreen.SetSize(columns, Rows());
    TermResized();
}

void TCustomComTerminal::SetRows(int rows) {
    FScreen.SetSize(Columns(), rows);
    TermResized();
}

void TCustomComTerminal::SetEmulation(TTermEmulation emulation) {
    FEmulation = emulation;
    ChooseParser();
}

void TCustomComTerminal::SetOnGetEscapeCodes(TGetEscapeCodesHook hook) {
    FOnGetEscapeCodes = std::move(hook);
    if (FEmulation == teNone) ChooseParser();
}

void TCustomComTerminal::ChooseParser() {
    switch (FEmulation) {
    case teVT100orANSI:
        FScreen.SetParser(std::make_unique<TEscapeCodesVT100>());
        break;
    case teVT52:
        FScreen.SetParser(std::make_unique<TEscapeCodesVT52>());
        break;
    case teNone:
        FScreen.SetParser(FOnGetEscapeCodes ? FOnGetEscapeCodes() : nullptr);
        break;
    }
}

void TCustomComTerminal::SetCaret(TTermCaret caret) {
    FCaret = caret;
    ScheduleRepaint();
}

void TCustomComTerminal::SetAltColor(const QColor& color) {
    FScreen.SetColors(FScreen.FontColor(), FScreen.BackColor(), color.rgb());
}

void TCustomComTerminal::SetColor(const QColor& color) {
    FScreen.SetColors(FScreen.FontColor(), color.rgb(), FScreen.AltColor());
    FullRepaint();
}

void TCustomComTerminal::SetFontColor(const QColor& color) {
    FScreen.SetColors(color.rgb(), FScreen.BackColor(), FScreen.AltColor());
    FullRepaint();
}

void TCustomComTerminal::SetScrollBars(TTermScrollBars bars) {
    FScrollBars = bars;
    const bool h = bars == ssHorizontal || bars == ssBoth;
    const bool v = bars == ssVertical || bars == ssBoth;
    setHorizontalScrollBarPolicy(h ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(v ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
}

void TCustomComTerminal::MoveCaret(int x, int y) {
    FScreen.SetCaret(x, y);
    ScheduleRepaint();
}

void TCustomComTerminal::ClearScreen() {
    FScreen.Buffer().EraseRows(1, Rows());
    MoveCaret(1, 1);
}

void TCustomComTerminal::ClearAll() {
    ClearSelection();
    FScreen.Buffer().Scrollback().Clear();
    ClearScreen();
    m_follow = true;
    UpdateScrollBars();
    FullRepaint();
}

void TCustomComTerminal::SetScrollbackLines(int lines) {
    FScreen.Buffer().Scrollback().SetCapacity(lines);
    UpdateScrollBars();
    updateGeometry();
    FullRepaint();
}

TComTermSettings TCustomComTerminal::Settings() const {
    TComTermSettings s;
    s.LocalEcho = FLocalEcho;
    s.SendLF = FSendLF;
    s.WrapLines = WrapLines();
    s.Force7Bit = FForce7Bit;
    s.AppendLF = FAppendLF;
    s.Caret = FCaret;
    s.Columns = Columns();
    s.Rows = Rows();
    s.Emulation = FEmulation;
    s.ArrowKeys = FArrowKeys;
    return s;
}

void TCustomComTerminal::ApplySettings(const TComTermSettings& s) {
    FLocalEcho = s.LocalEcho;
    FSendLF = s.SendLF;
    SetWrapLines(s.WrapLines);
    FForce7Bit = s.Force7Bit;
    FAppendLF = s.AppendLF;
    SetCaret(s.Caret);
    if (s.Columns != Columns() || s.Rows != Rows()) {
        FScreen.SetSize(s.Columns, s.Rows);
        TermResized();
    }
    if (s.Emulation != FEmulation) SetEmulation(s.Emulation);
    FArrowKeys = s.ArrowKeys;
}

bool TCustomComTerminal::ShowSetupDialog() {
    TComTermSetupDlg dlg(Settings(), this);
    if (dlg.exec() != QDialog::Accepted) return false;
    ApplySettings(dlg.Settings());
    return true;
}

bool TCustomComTerminal::ShowFontDialog() {
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, FontDialogStart(), this, LabelText(22),
                                              QFontDialog::MonospacedFonts);
    if (ok) ApplyChosenFont(chosen);
    return ok;
}

// The font actually drawn (where the asked-for family is missing that is a
// substitute), upright and of normal weight.
QFont TCustomComTerminal::FontDialogStart() const {
    const QFontInfo used(font());
    return QFont(used.family(), used.pointSize() > 0 ? used.pointSize() : 10);
}

// Only family and size are kept in the settings, so only they apply: the
// terminal looks after the next start as it looks now.
void TCustomComTerminal::ApplyChosenFont(const QFont& chosen) {
    QFont applied = font();
    applied.setFamily(chosen.family());
    if (chosen.pointSize() > 0) applied.setPointSize(chosen.pointSize());
    applied.setStyleName(QString());
    applied.setItalic(false);
    applied.setWeight(QFont::Normal);
    setFont(applied);
}

// ---- data path ------------------------------------------------------------

template <class F> void TCustomComTerminal::Writing(F&& write) {
    FCharConnected = isSignalConnected(QMetaMethod::fromSignal(&TCustomComTerminal::Char));
    FCharsConnected = isSignalConnected(QMetaMethod::fromSignal(&TCustomComTerminal::Chars));
    FScreen.SetCharNotify(FCharConnected    ? TCharNotify::EachChar
                          : FCharsConnected ? TCharNotify::Runs
                                            : TCharNotify::None);
    write();
    FlushChars();
    ScheduleRepaint();
}

void TCustomComTerminal::ReceiveData(const QByteArray& data) {
    QByteArray text = data;
    if (FForce7Bit)
        for (char& c : text)
            c = char(quint8(c) & 0x7f);
    if (FAppendLF && text.contains('\r')) text.replace("\r", "\r\n");
    if (FOnStrRecieved) FOnStrRecieved(text);
    WriteStr(text);
}

void TCustomComTerminal::WriteStr(const QByteArray& text) {
    Writing([&] { FScreen.Write(text); });
}

void TCustomComTerminal::TermChars(const char* data, qsizetype length) {
    if (FCharsConnected) FPendingChars.append(data, length);
    if (FCharConnected)
        for (qsizetype i = 0; i < length; ++i)
            emit Char(data[i]);
}

void TCustomComTerminal::FlushChars() {
    if (FPendingChars.isEmpty()) return;
    const QByteArray batch = FPendingChars;
    FPendingChars.resize(0);
    emit Chars(batch);
}

void TCustomComTerminal::TermSend(const QByteArray& bytes) {
    FlushChars();
    if (FConnected) emit SendData(bytes);
}

void TCustomComTerminal::TermUnhandled(TEscapeCode code, const QByteArray& data) {
    FlushChars();
    emit UnhandledCode(code, data);
}

void TCustomComTerminal::TermResized() {
    ClearSelection(); // its columns and rows are gone
    FullRepaint();
    UpdateScrollBars();
    updateGeometry();
}

// ---- keys -----------------------------------------------------------------

void TCustomComTerminal::SendOrEcho(char ch) {
    if (FConnected) emit SendData(QByteArray(1, ch));
    if (FLocalEcho) Writing([&] { FScreen.WritePlain(ch); });
}

// Typed characters shown as they are, not as terminal language.
void TCustomComTerminal::EchoTyped(const QByteArray& typed) {
    Writing([&] {
        for (const char ch : typed)
            FScreen.WritePlain(ch);
    });
}

void TCustomComTerminal::TypeChar(char ch) {
    emit KeyPressed(ch);
    SendOrEcho(ch);
    if (ch == '\r' && FSendLF) SendOrEcho('\n');
}

void TCustomComTerminal::PressCursorKey(TTermKey key) {
    const bool app = FScreen.ApplicationCursorKeys();
    if (!app && FArrowKeys == akWindows) {
        switch (key) {
        case TTermKey::Up:
            FScreen.MoveCaret(0, -1);
            break;
        case TTermKey::Down:
            FScreen.MoveCaret(0, 1);
            break;
        case TTermKey::Left:
            FScreen.MoveCaret(-1, 0);
            break;
        case TTermKey::Right:
            FScreen.MoveCaret(1, 0);
            break;
        case TTermKey::Home:
            FScreen.SetCaret(1, 1);
            break;
        }
        ScheduleRepaint();
        return;
    }
    // Without a parser there is no terminal language to speak.
    const TEscapeCodes* parser = FScreen.Parser();
    const QByteArray code = parser ? parser->CursorKeyCode(key, app) : QByteArray();
    if (code.isEmpty()) return;
    if (FConnected) emit SendData(code);
    if (FLocalEcho) WriteStr(code);
}

void TCustomComTerminal::keyPressEvent(QKeyEvent* event) {
    if (ShortcutKey(event)) {
        event->accept();
        return;
    }
    if (FReadOnly) {
        event->ignore();
        return;
    }
    switch (event->key()) {
    case Qt::Key_Up:
        PressCursorKey(TTermKey::Up);
        return;
    case Qt::Key_Down:
        PressCursorKey(TTermKey::Down);
        return;
    case Qt::Key_Left:
        PressCursorKey(TTermKey::Left);
        return;
    case Qt::Key_Right:
        PressCursorKey(TTermKey::Right);
        return;
    case Qt::Key_Home:
        PressCursorKey(TTermKey::Home);
        return;
    default:
        break;
    }
    const QString text = event->text();
    if (text.isEmpty()) {
        QAbstractScrollArea::keyPressEvent(event); // page keys scroll the view
        return;
    }
    ScrollToBottom(); // what is typed is seen
    for (const QChar c : text)
        if (c.unicode() <= 0xff) TypeChar(char(c.unicode()));
    event->accept();
}

// The terminal takes Tab as a character, not as a focus move.
bool TCustomComTerminal::focusNextPrevChild(bool next) {
    return FReadOnly ? QAbstractScrollArea::focusNextPrevChild(next) : false;
}
