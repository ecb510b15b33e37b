// SPDX-License-Identifier: MIT
#include "OwedCommands.h"

#include "TCommandEngine.h"

void TOwedCommands::Owe(const QByteArrayList& commands, const QString& serial) {
    if (commands.isEmpty()) return;
    if (m_commands.isEmpty()) m_serial = serial;
    m_commands += commands;
    while (m_commands.size() > MaxCommands)
        m_commands.removeFirst();
}

bool TOwedCommands::Pay(TCommandEngine& engine, const QString& serial) {
    if (m_commands.isEmpty() || serial.isEmpty()) return false;
    if (!m_serial.isEmpty() && serial != m_serial) {
        m_commands.clear();
        return false;
    }
    engine.SetCmd(SensorCommand::Attention);
    while (!m_commands.isEmpty()) {
        if (!engine.SetCmd(m_commands.first())) return false; // gone again: the rest waits
        m_commands.removeFirst();
    }
    return true;
}
