// SPDX-License-Identifier: MIT
// The command menu, the special function keys (Ctrl+Shift+letter) and the
// terminal's dialogs. Every command goes out through SetCmd; no reply is
// read: the sensor's answer simply appears in the terminal.
#include "TMainForm.h"

#include "CommandKeys.h"
#include "LinkView.h"
#include "MsgBox.h"
#include "TCommandEngine.h"
#include "TCustomComTerminal.h"
#include "TParameterWriter.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>

// A command while the port is closed is not lost silently: the port is
// opened for it, or COM Status says why it cannot be.
void TMainForm::SendCommands(const QByteArrayList& commands) {
    if (!m_linkView->OpenForCommand()) return;
    for (const QByteArray& c : commands)
        Engine().SetCmd(c);
}

void TMainForm::ConnectCommands() {
    for (const TMenuCommand& row : MenuCommands()) {
        const QByteArrayList commands = row.Commands;
        connect(this->*row.Action, &QAction::triggered, this,
                [this, commands] { SendCommands(commands); });
    }
    connect(Extras_Terminal_Font, &QAction::triggered, this,
            &TMainForm::Extras_Terminal_FontExecute);
    connect(Extras_Konfiguration_Terminal, &QAction::triggered, this,
            [this] { ComTerminal->ShowSetupDialog(); });
    qApp->installEventFilter(this);
}

void TMainForm::Extras_Terminal_FontExecute() {
    if (ComTerminal->ShowFontDialog() && !ComTerminal->Store(m_store.Writable()))
        m_store.ReportFailure();
}

bool TMainForm::SpecialKey(int key, Qt::KeyboardModifiers modifiers) {
    if (!(modifiers & Qt::ControlModifier)) {
        ComTerminal->SetReadOnly(false);
        return false;
    }
    if (key == Qt::Key_F11) {
        m_linkView->PortSetupExecute();
        return false;
    }
    if (!(modifiers & Qt::ShiftModifier)) return false;
    ComTerminal->SetReadOnly(true); // the letter of the combination must not reach the sensor
    if (key == Qt::Key_H) {
        TFormMsgBox::ShowMsgBox(QString::fromLatin1(SpecialKeyHelp), mtInformation, mbOK);
        return true;
    }
    if (key == Qt::Key_C) {
        if (m_paramWriter) m_paramWriter->SendParameterText(false);
        return true;
    }
    const QByteArrayList commands = SpecialKeyCommands(key);
    if (commands.isEmpty()) return false;
    SendCommands(commands);
    return true;
}

// Key preview: the main window sees every key press of its own widgets
// before the focused control does, so the special keys work wherever the
// focus is.
bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* w = qobject_cast<QWidget*>(watched);
        if (w && w->window() == this && w == QApplication::focusWidget()) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (SpecialKey(key->key(), key->modifiers())) return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
