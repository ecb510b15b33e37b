// SPDX-License-Identifier: MIT
#pragma once

#include "TermTypes.h"

#include <QByteArray>
#include <QByteArrayView>

// Base of the escape-sequence parsers.
//
// The screen hands every byte that follows an ESC to Feed() until it returns
// true; Code() and the parameters then describe the sequence, and the
// screen performs it (or reports it as unhandled with Data(), the collected
// text without the ESC). Clear() prepares the next sequence. A parser sees
// only sequence bytes, never plain text, so its cost does not touch the
// path of ordinary characters.
//
// The collected text is kept in a fixed buffer of MaxSequence bytes; the
// screen abandons a sequence that grows that long (Full()), so no input can
// make a parser grow or hang.
//
// A parser also knows how its terminal talks back: the identification answer
// and the codes of the cursor keys.
class TEscapeCodes {
public:
    static constexpr int MaxSequence = 64;
    static constexpr int MaxParams = 16;

    virtual ~TEscapeCodes() = default;

    bool Feed(char ch) {
        if (FLength < MaxSequence) FText[FLength++] = ch;
        return ProcessChar(ch);
    }
    bool Full() const { return FLength >= MaxSequence; }
    void Clear();

    TEscapeCode Code() const { return FCode; }
    int ParamCount() const { return FParamCount; }
    // The parameter as a number; dflt when it is missing or not a number.
    int Param(int index, int dflt = 1) const;
    QByteArrayView ParamText(int index) const;
    QByteArray Data() const { return QByteArray(FText, FLength); }

    virtual QByteArray IdentificationAnswer() const;
    virtual QByteArray CursorKeyCode(TTermKey key, bool applicationMode) const;

protected:
    // Called with each byte after it has been collected; true = complete.
    virtual bool ProcessChar(char ch) = 0;
    // Forget the parser's own state for a new sequence.
    virtual void Reset() {}

    const char* Text() const { return FText; }
    int Length() const { return FLength; }
    void SetCode(TEscapeCode code) { FCode = code; }
    // Splits the collected bytes [from, to) at ";", dropping empty pieces.
    void SplitParams(int from, int to);
    void AddNumber(int value);

private:
    struct TParam {
        int Value = 0;
        bool IsNumber = false;
        qint8 From = 0, Length = 0;
    };

    char FText[MaxSequence] = {};
    int FLength = 0;
    TEscapeCode FCode = ecUnknown;
    TParam FParams[MaxParams];
    int FParamCount = 0;
};
