// SPDX-License-Identifier: MIT
#pragma once

#include "MainControls.h"

#include <QByteArrayList>
#include <QList>

// What the command menu and the special function keys send to the sensor:
// each entry's commands in the order they go out. No reply is read; the
// sensor's answer simply appears in the terminal.

// The attention sequence, system mode when asked, then `commands`.
QByteArrayList WithAttention(const QByteArrayList& commands, bool systemMode = false);

// One entry of the command menu (and the tool bar).
struct TMenuCommand {
    QAction* TMainControls::*Action;
    QByteArrayList Commands;
};
const QList<TMenuCommand>& MenuCommands();

// The commands of Ctrl+Shift+`key` (a Qt::Key); empty for a key that sends
// none (H shows the help, C writes the clipboard's set).
QByteArrayList SpecialKeyCommands(int key);

// The text of Ctrl+Shift+H.
extern const char* const SpecialKeyHelp;
