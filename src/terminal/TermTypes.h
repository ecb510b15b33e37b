// SPDX-License-Identifier: MIT
#pragma once

// Value types shared by the terminal's layers: the choices an operator makes
// in the setup dialog, the cell of the screen buffer and the codes that the
// escape-sequence parsers hand to the screen. Nothing here knows of widgets.

#include <QtGlobal>

// Escape-sequence parser in use.
enum TTermEmulation { teVT100orANSI, teVT52, teNone };

// Caret shape: a full cell, the bottom eighth of a cell, or none.
enum TTermCaret { tcBlock, tcUnderline, tcNone };

// Cursor keys go to the port (akTerminal) or only move the own caret (akWindows).
enum TArrowKeys { akTerminal, akWindows };

// Scroll bars of the view.
enum TTermScrollBars { ssNone, ssHorizontal, ssVertical, ssBoth };

// A colour as 0xAARRGGBB, the same layout as QRgb, so that the screen layer
// needs no GUI header.
using TTermColor = quint32;

// One character cell. Ch 0 is an empty cell: it shows the view's background,
// whatever its colours say. A zero-filled cell is empty.
struct TTermCell {
    TTermColor Fg = 0;
    TTermColor Bg = 0;
    quint8 Ch = 0;
    quint8 Underline = 0;
};

// What a completed escape sequence asks for. The parser decides the code from
// the syntax; the screen decides from the code and its parameters whether and
// how to perform it. Codes the screen does not perform are reported as
// unhandled together with the collected text of the sequence.
enum TEscapeCode {
    ecUnknown,  // not recognised
    ecCursorUp, // parameter n (default 1)
    ecCursorDown,
    ecCursorRight,
    ecCursorLeft,
    ecCursorMove, // row ; column (each default 1)
    ecCursorHome,
    ecReverseLineFeed, // caret up, scrolling down on the first row
    ecEraseLine,       // 0: caret to end of line, 2: whole line
    ecEraseScreen,     // 0: caret to end of screen, 2: whole screen
    ecClearTab,        // 0: tab stop at the caret, 3: all tab stops
    ecSetTab,
    ecIdentify,         // answered with the parser's identification
    ecIdentifyResponse, // another terminal's identification: not performed
    ecDeviceStatus,     // 5: status request, 6: caret position request
    ecCursorPosReport,  // another terminal's position report: not performed
    ecAttributes,
    ecSetMode, // ?1 application cursor keys, ?7 wrap, ?3 132 columns
    ecResetMode,
    ecSaveCaret,
    ecRestoreCaret,
    ecSaveCaretAndAttr,
    ecRestoreCaretAndAttr,
    ecResetAttr,
    ecScreenAlignment, // every cell filled with "E"
    ecAppCursorUp,     // cursor keys in application mode arriving as data
    ecAppCursorDown,
    ecAppCursorRight,
    ecAppCursorLeft,
};

// Cursor keys that the terminal translates.
enum class TTermKey { Up, Down, Left, Right, Home };

// The options of the terminal's setup dialog, handed back to the owner, who
// applies them with TCustomComTerminal::ApplySettings().
struct TComTermSettings {
    bool LocalEcho = false;
    bool SendLF = false;
    bool WrapLines = false;
    bool Force7Bit = false;
    bool AppendLF = false;
    TTermCaret Caret = tcBlock;
    int Columns = 80;
    int Rows = 24;
    TTermEmulation Emulation = teVT100orANSI;
    TArrowKeys ArrowKeys = akTerminal;

    bool operator==(const TComTermSettings&) const = default;
};
