// SPDX-License-Identifier: MIT
#pragma once

#include "TEscapeCodes.h"

// VT100/ANSI parser. After ESC, "[" opens a control sequence that ends at the
// first letter; its parameters are the text between "[" and the letter, split
// at ";". "7", "8", "H" and "c" complete at once, "#" and "O" take one more
// byte, and any other byte completes an unrecognised sequence.
class TEscapeCodesVT100 : public TEscapeCodes {
protected:
    bool ProcessChar(char ch) override;
    void Reset() override { FState = TState::Intro; }

private:
    enum class TState { Intro, Control, OneMore };

    void FinishControl(char final);
    void FinishOneMore(char ch);

    TState FState = TState::Intro;
};
