// SPDX-License-Identifier: MIT
#include "TEscapeCodesVT100.h"

namespace {
bool IsLetter(char ch) {
    return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z');
}
} // namespace

bool TEscapeCodesVT100::ProcessChar(char ch) {
    switch (FState) {
    case TState::Intro:
        switch (ch) {
        case '[':
            FState = TState::Control;
            return false;
        case '#':
        case 'O':
            FState = TState::OneMore;
            return false;
        case '7':
            SetCode(ecSaveCaretAndAttr);
            return true;
        case '8':
            SetCode(ecRestoreCaretAndAttr);
            return true;
        case 'H':
            SetCode(ecSetTab);
            return true;
        case 'c':
            SetCode(ecResetAttr);
            return true;
        default:
            SetCode(ecUnknown);
            return true;
        }
    case TState::Control:
        if (!IsLetter(ch)) return false;
        FinishControl(ch);
        return true;
    case TState::OneMore:
        FinishOneMore(ch);
        return true;
    }
    return true;
}

void TEscapeCodesVT100::FinishControl(char final) {
    // Text()[0] is "[", the last collected byte is the letter.
    SplitParams(1, Length() - 1);
    switch (final) {
    case 'A':
        SetCode(ecCursorUp);
        break;
    case 'B':
        SetCode(ecCursorDown);
        break;
    case 'C':
        SetCode(ecCursorRight);
        break;
    case 'D':
        SetCode(ecCursorLeft);
        break;
    case 'H':
    case 'f':
        SetCode(ecCursorMove);
        break;
    case 'K':
        SetCode(ecEraseLine);
        break;
    case 'J':
        SetCode(ecEraseScreen);
        break;
    case 'g':
        SetCode(ecClearTab);
        break;
    case 'c':
        SetCode(ParamText(0).startsWith('?') ? ecIdentifyResponse : ecIdentify);
        break;
    case 'n':
        SetCode(ecDeviceStatus);
        break;
    case 'R':
        SetCode(ecCursorPosReport);
        break;
    case 'm':
        SetCode(ecAttributes);
        break;
    case 'h':
        SetCode(ecSetMode);
        break;
    case 'l':
        SetCode(ecResetMode);
        break;
    case 's':
        SetCode(ecSaveCaret);
        break;
    case 'u':
        SetCode(ecRestoreCaret);
        break;
    default:
        SetCode(ecUnknown);
        break;
    }
}

void TEscapeCodesVT100::FinishOneMore(char ch) {
    if (Text()[0] == '#') {
        SetCode(ch == '8' ? ecScreenAlignment : ecUnknown);
        return;
    }
    switch (ch) {
    case 'A':
        SetCode(ecAppCursorUp);
        break;
    case 'B':
        SetCode(ecAppCursorDown);
        break;
    case 'C':
        SetCode(ecAppCursorRight);
        break;
    case 'D':
        SetCode(ecAppCursorLeft);
        break;
    default:
        SetCode(ecUnknown);
        break;
    }
}
