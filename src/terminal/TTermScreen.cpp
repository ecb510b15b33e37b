// SPDX-License-Identifier: MIT
#include "TTermScreen.h"

#include <algorithm>

TTermScreen::TTermScreen(TTermScreenEvents* events) : FEvents(events) {
    UpdateTemplate();
}

void TTermScreen::SetEvents(TTermScreenEvents* events) {
    FEvents = events;
    if (!FEvents) FNotify = TCharNotify::None;
}

void TTermScreen::SetCharNotify(TCharNotify notify) {
    FNotify = FEvents ? notify : TCharNotify::None;
}

void TTermScreen::SetSize(int columns, int rows) {
    FBuffer.Init(columns, rows);
    SetCaret(FCaretX, FCaretY);
}

void TTermScreen::SetParser(std::unique_ptr<TEscapeCodes> parser) {
    FParser = std::move(parser);
    FInSequence = false;
    FAppCursorKeys = false;
}

void TTermScreen::SetCaret(int x, int y) {
    FCaretX = std::clamp(x, 1, FBuffer.Columns());
    FCaretY = std::clamp(y, 1, FBuffer.Rows());
}

void TTermScreen::SetAttributes(TAttributes attr) {
    FAttr = attr;
    UpdateTemplate();
}

void TTermScreen::SetColors(TTermColor font, TTermColor back, TTermColor alt) {
    FFontColor = font;
    FBackColor = back;
    FAltColor = alt;
    UpdateTemplate();
}

void TTermScreen::UpdateTemplate() {
    FTemplate.Fg = FAttr.Bold ? FAltColor : FAttr.Reverse ? FBackColor : FFontColor;
    FTemplate.Bg = FAttr.Reverse ? FFontColor : FBackColor;
    FTemplate.Underline = FAttr.Underline ? 1 : 0;
    FTemplate.Ch = 0;
}

void TTermScreen::Write(const char* data, qsizetype length) {
    const quint8* p = reinterpret_cast<const quint8*>(data);
    const quint8* const end = p + length;
    const quint8* span = p; // plain characters not yet reported (Runs)
    while (p < end) {
        if (FInSequence) {
            FeedSequence(char(*p++));
            span = p;
            continue;
        }
        const quint8 c = *p;
        if (c >= 0x20) {
            const quint8* stop = p + 1;
            if (FNotify != TCharNotify::EachChar)
                while (stop < end && *stop >= 0x20)
                    ++stop;
            WriteRun(p, stop - p);
            if (FNotify == TCharNotify::EachChar)
                FEvents->TermChars(reinterpret_cast<const char*>(p), 1);
            p = stop;
        } else if (c == 0x1b && FParser) {
            if (FNotify == TCharNotify::Runs && p > span)
                FEvents->TermChars(reinterpret_cast<const char*>(span), p - span);
            FParser->Clear();
            FInSequence = true;
            span = ++p;
        } else {
            PlainControl(c);
            if (FNotify == TCharNotify::EachChar)
                FEvents->TermChars(reinterpret_cast<const char*>(p), 1);
            ++p;
        }
    }
    if (FNotify == TCharNotify::Runs && end > span)
        FEvents->TermChars(reinterpret_cast<const char*>(span), end - span);
}

void TTermScreen::WritePlain(char ch) {
    const quint8 c = quint8(ch);
    if (c >= 0x20)
        WriteRun(&c, 1);
    else
        PlainControl(c);
    if (FNotify != TCharNotify::None) FEvents->TermChars(&ch, 1);
}

void TTermScreen::WriteRun(const quint8* text, qsizetype length) {
    const int columns = FBuffer.Columns();
    while (length > 0) {
        TTermCell* row = FBuffer.RowData(FCaretY);
        FBuffer.MarkDirty(FCaretY);
        const int col = FCaretX - 1;
        const qsizetype room = columns - col;
        const qsizetype stored = length < room ? length : room;
        TTermCell* out = row + col;
        TTermCell cell = FTemplate;
        for (qsizetype i = 0; i < stored; ++i) {
            cell.Ch = text[i];
            out[i] = cell;
        }
        if (length < room) {
            FCaretX += int(length);
            return;
        }
        if (!FWrapLines) {
            // The caret stays in the last column; later characters overwrite it.
            cell.Ch = text[length - 1];
            row[columns - 1] = cell;
            FCaretX = columns;
            return;
        }
        text += room;
        length -= room;
        FCaretX = 1;
        LineFeed();
    }
}

void TTermScreen::PlainControl(quint8 ch) {
    switch (ch) {
    case 0x08:
        if (FCaretX > 1) --FCaretX;
        break;
    case 0x09:
        if (const int next = FBuffer.NextTabStop(FCaretX)) FCaretX = next;
        break;
    case 0x0a:
    case 0x0c:
        LineFeed();
        break;
    case 0x0d:
        FCaretX = 1;
        break;
    default:
        break;
    }
}

void TTermScreen::LineFeed() {
    if (FCaretY < FBuffer.Rows())
        ++FCaretY;
    else
        FBuffer.ScrollUp();
}

void TTermScreen::FeedSequence(char ch) {
    TEscapeCodes& esc = *FParser;
    if (esc.Feed(ch)) {
        FInSequence = false;
        Perform(esc);
    } else if (esc.Full()) {
        // Nothing sensible is that long: give up and let the bytes after it
        // be plain text again.
        FInSequence = false;
        Unhandled(ecUnknown, esc.Data());
    }
}

void TTermScreen::Send(const QByteArray& bytes) {
    if (FEvents) FEvents->TermSend(bytes);
}

void TTermScreen::Unhandled(TEscapeCode code, const QByteArray& data) {
    if (FEvents) FEvents->TermUnhandled(code, data);
}

// Handlers of events may replace the parser, so every branch reads what it
// needs from esc before it reports anything.
void TTermScreen::Perform(TEscapeCodes& esc) {
    const TEscapeCode code = esc.Code();
    bool done = true;
    switch (code) {
    case ecCursorUp:
        MoveCaret(0, -esc.Param(0));
        break;
    case ecCursorDown:
        MoveCaret(0, esc.Param(0));
        break;
    case ecCursorRight:
        MoveCaret(esc.Param(0), 0);
        break;
    case ecCursorLeft:
        MoveCaret(-esc.Param(0), 0);
        break;
    case ecAppCursorUp:
        MoveCaret(0, -1);
        break;
    case ecCursorMove:
        SetCaret(esc.Param(1), esc.Param(0));
        break;
    case ecCursorHome:
        SetCaret(1, 1);
        break;
    case ecReverseLineFeed:
        if (FCaretY > 1)
            --FCaretY;
        else
            FBuffer.ScrollDown();
        break;
    case ecEraseLine:
    case ecEraseScreen:
    case ecClearTab:
        done = PerformErase(code, esc.ParamCount() == 0 ? 0 : esc.Param(0));
        break;
    case ecSetTab:
        FBuffer.SetTabStop(FCaretX, true);
        break;
    case ecIdentify:
        if (esc.ParamCount() != 0 && esc.Param(0) != 0) {
            done = false;
            break;
        }
        Send(esc.IdentificationAnswer());
        return;
    case ecDeviceStatus:
        if (esc.Param(0) == 5) {
            Send(QByteArrayLiteral("\033[0n"));
            return;
        }
        if (esc.Param(0) == 6) {
            Send("\033[" + QByteArray::number(FCaretY) + ';' + QByteArray::number(FCaretX) + 'R');
            return;
        }
        done = false;
        break;
    case ecAttributes:
        PerformAttributes(esc);
        break;
    case ecSetMode:
    case ecResetMode:
        done = PerformMode(esc, code == ecSetMode);
        break;
    case ecSaveCaret:
        FSavedX = FCaretX;
        FSavedY = FCaretY;
        break;
    case ecRestoreCaret:
        SetCaret(FSavedX, FSavedY);
        break;
    case ecSaveCaretAndAttr:
        FSavedX = FCaretX;
        FSavedY = FCaretY;
        FSavedAttr = FAttr;
        break;
    case ecRestoreCaretAndAttr:
        SetCaret(FSavedX, FSavedY);
        SetAttributes(FSavedAttr);
        break;
    case ecResetAttr:
        SetAttributes({});
        break;
    case ecScreenAlignment: {
        TTermCell e = FTemplate;
        e.Ch = 'E';
        FBuffer.Fill(e);
        break;
    }
    default:
        done = false;
        break;
    }
    if (!done) Unhandled(code, esc.Data());
}

bool TTermScreen::PerformErase(TEscapeCode code, int mode) {
    const int rows = FBuffer.Rows(), columns = FBuffer.Columns();
    switch (code) {
    case ecEraseLine:
        if (mode == 0) {
            FBuffer.EraseCells(FCaretY, FCaretX, columns);
            return true;
        }
        if (mode == 2) {
            FBuffer.EraseCells(FCaretY, 1, columns);
            FCaretX = 1;
            return true;
        }
        return false;
    case ecEraseScreen:
        if (mode == 0) {
            FBuffer.EraseCells(FCaretY, FCaretX, columns);
            FBuffer.EraseRows(FCaretY + 1, rows);
            return true;
        }
        if (mode == 2) {
            FBuffer.EraseRows(1, rows);
            SetCaret(1, 1);
            return true;
        }
        return false;
    case ecClearTab:
        if (mode == 0) {
            FBuffer.SetTabStop(FCaretX, false);
            return true;
        }
        if (mode == 3) {
            FBuffer.ClearTabStops();
            return true;
        }
        return false;
    default:
        return false;
    }
}

bool TTermScreen::PerformMode(TEscapeCodes& esc, bool set) {
    const QByteArrayView mode = esc.ParamText(0);
    if (mode == "?1") {
        FAppCursorKeys = set;
    } else if (mode == "?7") {
        FWrapLines = set;
    } else if (mode == "?3") {
        SetSize(set ? 132 : 80, FBuffer.Rows());
        if (FEvents) FEvents->TermResized();
    } else {
        return false;
    }
    return true;
}

void TTermScreen::PerformAttributes(const TEscapeCodes& esc) {
    TAttributes a = FAttr;
    const int count = std::max(esc.ParamCount(), 1);
    for (int i = 0; i < count; ++i) {
        switch (esc.ParamCount() == 0 ? 0 : esc.Param(i)) {
        case 0:
            a = {};
            break;
        case 1:
            a.Bold = true;
            break;
        case 4:
            a.Underline = true;
            break;
        case 7:
            a.Reverse = true;
            break;
        case 21:
            a.Bold = false;
            break;
        case 24:
            a.Underline = false;
            break;
        case 27:
            a.Reverse = false;
            break;
        default:
            break;
        }
    }
    SetAttributes(a);
}
