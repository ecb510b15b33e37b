// SPDX-License-Identifier: MIT
#include "TEscapeCodes.h"

void TEscapeCodes::Clear() {
    FLength = 0;
    FCode = ecUnknown;
    FParamCount = 0;
    Reset();
}

int TEscapeCodes::Param(int index, int dflt) const {
    if (index < 0 || index >= FParamCount || !FParams[index].IsNumber) return dflt;
    return FParams[index].Value;
}

QByteArrayView TEscapeCodes::ParamText(int index) const {
    if (index < 0 || index >= FParamCount) return {};
    return QByteArrayView(FText + FParams[index].From, FParams[index].Length);
}

void TEscapeCodes::SplitParams(int from, int to) {
    int start = from;
    for (int i = from; i <= to; ++i) {
        if (i < to && FText[i] != ';') continue;
        if (i > start && FParamCount < MaxParams) {
            TParam& p = FParams[FParamCount++];
            p.From = qint8(start);
            p.Length = qint8(i - start);
            p.IsNumber = true;
            p.Value = 0;
            for (int k = start; k < i; ++k) {
                const char c = FText[k];
                if (c < '0' || c > '9') {
                    p.IsNumber = false;
                    break;
                }
                // Saturate: a screen is never that large anyway.
                if (p.Value < 100000) p.Value = p.Value * 10 + (c - '0');
            }
        }
        start = i + 1;
    }
}

void TEscapeCodes::AddNumber(int value) {
    if (FParamCount >= MaxParams) return;
    TParam& p = FParams[FParamCount++];
    p = TParam{value, true, 0, 0};
}

QByteArray TEscapeCodes::IdentificationAnswer() const {
    return QByteArrayLiteral("\033[?1;2c");
}

QByteArray TEscapeCodes::CursorKeyCode(TTermKey key, bool applicationMode) const {
    if (applicationMode) {
        switch (key) {
        case TTermKey::Up:
            return QByteArrayLiteral("\033OA");
        case TTermKey::Down:
            return QByteArrayLiteral("\033OB");
        case TTermKey::Left:
            return QByteArrayLiteral("\033OD");
        case TTermKey::Right:
            return QByteArrayLiteral("\033OC");
        case TTermKey::Home:
            return {};
        }
        return {};
    }
    switch (key) {
    case TTermKey::Up:
        return QByteArrayLiteral("\033[A");
    case TTermKey::Down:
        return QByteArrayLiteral("\033[B");
    case TTermKey::Left:
        return QByteArrayLiteral("\033[D");
    case TTermKey::Right:
        return QByteArrayLiteral("\033[C");
    case TTermKey::Home:
        return QByteArrayLiteral("\033[H");
    }
    return {};
}
