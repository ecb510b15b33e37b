// SPDX-License-Identifier: MIT
#include "TEscapeCodesVT52.h"

bool TEscapeCodesVT52::ProcessChar(char ch) {
    switch (FState) {
    case TState::Intro:
        switch (ch) {
        case 'Y':
            FState = TState::Row;
            return false;
        case '/':
            FState = TState::Slash;
            return false;
        case 'A':
            SetCode(ecCursorUp);
            return true;
        case 'B':
            SetCode(ecCursorDown);
            return true;
        case 'C':
            SetCode(ecCursorRight);
            return true;
        case 'D':
            SetCode(ecCursorLeft);
            return true;
        case 'H':
            SetCode(ecCursorHome);
            return true;
        case 'I':
            SetCode(ecReverseLineFeed);
            return true;
        case 'J':
            SetCode(ecEraseScreen);
            return true;
        case 'K':
            SetCode(ecEraseLine);
            return true;
        case 'Z':
            SetCode(ecIdentify);
            return true;
        default:
            SetCode(ecUnknown);
            return true;
        }
    case TState::Row:
        AddNumber(int(quint8(ch)) - 31);
        FState = TState::Column;
        return false;
    case TState::Column:
        AddNumber(int(quint8(ch)) - 31);
        SetCode(ecCursorMove);
        return true;
    case TState::Slash:
        SetCode(ch == 'Z' ? ecIdentifyResponse : ecUnknown);
        return true;
    }
    return true;
}

QByteArray TEscapeCodesVT52::IdentificationAnswer() const {
    return QByteArrayLiteral("\033/Z");
}

QByteArray TEscapeCodesVT52::CursorKeyCode(TTermKey key, bool) const {
    switch (key) {
    case TTermKey::Up:
        return QByteArrayLiteral("\033A");
    case TTermKey::Down:
        return QByteArrayLiteral("\033B");
    case TTermKey::Left:
        return QByteArrayLiteral("\033D");
    case TTermKey::Right:
        return QByteArrayLiteral("\033C");
    case TTermKey::Home:
        return QByteArrayLiteral("\033H");
    }
    return {};
}
