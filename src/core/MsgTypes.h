// SPDX-License-Identifier: MIT
#pragma once

// What a message box is asked and what it answers, for those who ask
// without showing a box themselves.

// Kinds of message box; the value selects the icon (mtPlain: none).
enum TMsgKind { mtPlain = -1, mtWarning = 0, mtError = 1, mtInformation = 2, mtConfirmation = 3 };

// Button sets of a message box.
enum TMsgButtons { mbOK = 0, mbYesNo = 1, mbYesNoCancel = 2, mbOKCancel = 3 };

// Results: the button that closed the box.
enum TMsgResult { mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };
