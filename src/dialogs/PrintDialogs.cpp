// SPDX-License-Identifier: MIT
#include "PrintDialogs.h"

#include <QPrintDialog>
#include <QPrinter>

namespace {
TPrintDialogs::Responder& CurrentResponder() {
    static TPrintDialogs::Responder responder;
    return responder;
}
} // namespace

bool TPrintDialogs::Exec(QPrinter& printer, QWidget* parent) {
    if (CurrentResponder()) return CurrentResponder()(printer);
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

void TPrintDialogs::SetResponder(Responder responder) {
    CurrentResponder() = std::move(responder);
}
