// SPDX-License-Identifier: MIT
#include "CommandKeys.h"

#include "TCommandEngine.h"

#include <QHash>

QByteArrayList WithAttention(const QByteArrayList& commands, bool systemMode) {
    QByteArrayList all{SensorCommand::Attention};
    if (systemMode) all += SensorCommand::SystemModeEntry;
    all += commands;
    return all;
}

const QList<TMenuCommand>& MenuCommands() {
    using M = TMainControls;
    static const QList<TMenuCommand> table = {
        {&M::Befehle_Info, WithAttention({"INFO\r\n"})},
        {&M::Befehle_Test, WithAttention({"TEST\r\n"})},
        {&M::Befehle_Tesystem, WithAttention({"TESYSTEM\r\n"}, true)},
        {&M::Befehle_Video, WithAttention({"*VIDEO\r\n"}, true)},
        {&M::Befehle_Esc, {"\033"}},
        {&M::Befehle_Allgemein, WithAttention({"PARAMETER\r\n"})},
        {&M::Befehle_System, WithAttention({"PARAMETER\r\n", SensorCommand::SystemModeExit}, true)},
        {&M::Befehle_Impuls, WithAttention({"PINC\r\n"})},
        {&M::Befehle_Analog, WithAttention({"PAN\r\n"})},
        {&M::Befehle_S1, WithAttention({QByteArray("PS1\r\n")})},
        {&M::Befehle_S2, WithAttention({QByteArray("PS2\r\n")})},
        {&M::Befehle_ECC, WithAttention({"PECC\r\n"})},
        {&M::Befehle_Offline, WithAttention({"POFFLINE\r\n"})},
        {&M::Befehle_Alarm, WithAttention({"PAL\r\n"})},
        {&M::Befehle_Parameter_restore, WithAttention({"*RESTORE\r\n"})},
        {&M::Befehle_Parameter_speichern, WithAttention({"*STORE\r\n"})},
        {&M::Befehle_V, {"V\r\n"}},
        {&M::Befehle_R, {"R\r\n"}},
    };
    return table;
}

QByteArrayList SpecialKeyCommands(int key) {
    static const QHash<int, QByteArrayList> table = {
        {Qt::Key_A, WithAttention({"SETAUTO\r\n"}, true)},
        {Qt::Key_F, WithAttention({"TESTFB\r\n"}, true)},
        {Qt::Key_I, WithAttention({"*SIMULATION 1 50\r\n"})},
        {Qt::Key_N, WithAttention({"TESTAN\r\n"})},
        {Qt::Key_O, WithAttention({"*SIMULATION 0 0\r\n"})},
        {Qt::Key_P, WithAttention({"TESTPS\r\n"})},
        {Qt::Key_Q, WithAttention({"TESTQ\r\n"})},
        {Qt::Key_T, WithAttention({"TEMPERATURE\r\n"})},
        {Qt::Key_U, WithAttention({"*UPDATE\r\n"}, true)},
        {Qt::Key_V, WithAttention({"*VIDEO\r\n"}, true)},
    };
    return table.value(key);
}

const char* const SpecialKeyHelp =
    "Description of Special Function Keys             \r\nPress Ctrl+Shift+[Key]\r\r[A]\tSETAUTO\r"
    "[C]\tWrite from Clipboard\r[F]\tTESTFB\r[I]\tSIMULATION 1 50\r[N]\tTESTAN\r[O]\tSIMULATION 0 "
    "0\r"
    "[P]\tTESTPS (only ORX 9)\r[Q]\tTESTQ\r[T]\tTEMPERATURE (only ORX 9)\r[U]\t*UPDATE (only ORX "
    "9)\r"
    "[V]\t*VIDEO\r[F11]\tSetup COM-Port\r[F12]\tSetup Terminal\r\n";
