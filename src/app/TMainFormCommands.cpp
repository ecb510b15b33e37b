// SPDX-License-Identifier: MIT
// The command menu, the special function keys (Ctrl+Shift+letter) and the
// terminal's dialogs. Every command goes out through SetCmd; no reply is
// read: the sensor's answer simply appears in the terminal.
#include "TMainForm.h"

#include "MsgBox.h"
#include "TComPort.h"
#include "TComPortSetupDlg.h"
#include "TCommandEngine.h"
#include "TCustomComTerminal.h"
#include "TParameterWriter.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QSettings>

namespace {
// The commands of one action or key, in the order they are sent.
QByteArrayList WithAttention(const QByteArrayList& commands, bool systemMode = false) {
    QByteArrayList all{SensorCommand::Attention};
    if (systemMode) all += SensorCommand::SystemModeEntry;
    all += commands;
    return all;
}
} // namespace

const char* const TMainForm::SpecialKeyHelp =
    "Description of Special Function Keys             \r\nPress Ctrl+Shift+[Key]\r\r[A]\tSETAUTO\r"
    "[C]\tWrite from Clipboard\r[F]\tTESTFB\r[I]\tSIMULATION 1 50\r[N]\tTESTAN\r[O]\tSIMULATION 0 "
    "0\r"
    "[P]\tTESTPS (only ORX 9)\r[Q]\tTESTQ\r[T]\tTEMPERATURE (only ORX 9)\r[U]\t*UPDATE (only ORX "
    "9)\r"
    "[V]\t*VIDEO\r[F11]\tSetup COM-Port\r[F12]\tSetup Terminal\r\n";

void TMainForm::SendCommands(const QByteArrayList& commands) {
    for (const QByteArray& c : commands)
        SetCmd(c);
}

void TMainForm::ConnectCommands() {
    const struct {
        QAction* action;
        QByteArrayList commands;
    } table[] = {
        {Befehle_Info, WithAttention({"INFO\r\n"})},
        {Befehle_Test, WithAttention({"TEST\r\n"})},
        {Befehle_Tesystem, WithAttention({"TESYSTEM\r\n"}, true)},
        {Befehle_Video, WithAttention({"*VIDEO\r\n"}, true)},
        {Befehle_Esc, {"\033"}},
        {Befehle_Allgemein, WithAttention({"PARAMETER\r\n"})},
        {Befehle_System, WithAttention({"PARAMETER\r\n", SensorCommand::SystemModeExit}, true)},
        {Befehle_Impuls, WithAttention({"PINC\r\n"})},
        {Befehle_Analog, WithAttention({"PAN\r\n"})},
        {Befehle_S1, WithAttention({QByteArray("PS1\r\n")})},
        {Befehle_S2, WithAttention({QByteArray("PS2\r\n")})},
        {Befehle_ECC, WithAttention({"PECC\r\n"})},
        {Befehle_Offline, WithAttention({"POFFLINE\r\n"})},
        {Befehle_Alarm, WithAttention({"PAL\r\n"})},
        {Befehle_Parameter_restore, WithAttention({"*RESTORE\r\n"})},
        {Befehle_Parameter_speichern, WithAttention({"*STORE\r\n"})},
        {Befehle_V, {"V\r\n"}},
        {Befehle_R, {"R\r\n"}},
    };
    for (const auto& row : table) {
        const QByteArrayList commands = row.commands;
        connect(row.action, &QAction::triggered, this,
                [this, commands] { SendCommands(commands); });
    }
    connect(Extras_Terminal_Font, &QAction::triggered, this,
            &TMainForm::Extras_Terminal_FontExecute);
    connect(Extras_Konfiguration_Terminal, &QAction::triggered, this,
            [this] { ComTerminal->ShowSetupDialog(); });
    qApp->installEventFilter(this);
}

void TMainForm::Extras_Terminal_FontExecute() {
    if (ComTerminal->ShowFontDialog() && !ComTerminal->Store(WritableSettings()))
        ReportStoreFailure();
}

void TMainForm::PortSetupExecute() {
    TComPortSettings s = ComPort->Settings();
    if (TComPortSetupDlg::Execute(this, s, ListSerialPorts())) {
        ComPort->SetSettings(s);
        StorePortSettings();
    }
    UpdatePortStatus();
}

bool TMainForm::SpecialKey(int key, Qt::KeyboardModifiers modifiers) {
    if (!(modifiers & Qt::ControlModifier)) {
        ComTerminal->SetReadOnly(false);
        return false;
    }
    if (key == Qt::Key_F11) {
        PortSetupExecute();
        return false;
    }
    if (!(modifiers & Qt::ShiftModifier)) return false;
    ComTerminal->SetReadOnly(true); // the letter of the combination must not reach the sensor
    switch (key) {
    case Qt::Key_H:
        TFormMsgBox::ShowMsgBox(QString::fromLatin1(SpecialKeyHelp), mtInformation, mbOK);
        return true;
    case Qt::Key_A:
        SendCommands(WithAttention({"SETAUTO\r\n"}, true));
        return true;
    case Qt::Key_C:
        if (m_paramWriter) m_paramWriter->SendParameterText(false);
        return true;
    case Qt::Key_F:
        SendCommands(WithAttention({"TESTFB\r\n"}, true));
        return true;
    case Qt::Key_I:
        SendCommands(WithAttention({"*SIMULATION 1 50\r\n"}));
        return true;
    case Qt::Key_N:
        SendCommands(WithAttention({"TESTAN\r\n"}));
        return true;
    case Qt::Key_O:
        SendCommands(WithAttention({"*SIMULATION 0 0\r\n"}));
        return true;
    case Qt::Key_P:
        SendCommands(WithAttention({"TESTPS\r\n"}));
        return true;
    case Qt::Key_Q:
        SendCommands(WithAttention({"TESTQ\r\n"}));
        return true;
    case Qt::Key_T:
        SendCommands(WithAttention({"TEMPERATURE\r\n"}));
        return true;
    case Qt::Key_U:
        SendCommands(WithAttention({"*UPDATE\r\n"}, true));
        return true;
    case Qt::Key_V:
        SendCommands(WithAttention({"*VIDEO\r\n"}, true));
        return true;
    default:
        return false;
    }
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
