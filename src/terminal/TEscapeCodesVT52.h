// SPDX-License-Identifier: MIT
#pragma once

#include "TEscapeCodes.h"

// VT52 parser: ESC and one letter, except ESC Y row column (each + 31, so a
// space means 1) and ESC / with one more byte. The VT52 has no application
// cursor-key mode; its cursor keys are ESC A, B, C, D and H.
class TEscapeCodesVT52 : public TEscapeCodes {
public:
    QByteArray IdentificationAnswer() const override;
    QByteArray CursorKeyCode(TTermKey key, bool applicationMode) const override;

protected:
    bool ProcessChar(char ch) override;
    void Reset() override { FState = TState::Intro; }

private:
    enum class TState { Intro, Row, Column, Slash };

    TState FState = TState::Intro;
};
