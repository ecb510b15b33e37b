// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

class QPrinter;
class QWidget;

// Every print dialog of the program goes through here, so that tests can
// answer it (for example by pointing the printer at a PDF file).
class TPrintDialogs {
public:
    // Shows Qt's print dialog for `printer`; true when the user confirmed.
    static bool Exec(QPrinter& printer, QWidget* parent);

    // Answers instead of the dialog (nullptr restores the real dialog).
    using Responder = std::function<bool(QPrinter&)>;
    static void SetResponder(Responder responder);
};
