// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArrayList>
#include <QString>

class TCommandEngine;

// Commands owed to a sensor: a flow that lost the link while the sensor
// was in a state it must not stay in (system mode, its output switched
// off or borrowed) leaves the commands that put it right. They are owed to
// the sensor of one serial number, and paid only to it once it is reached
// and identified again; another sensor never gets them. Bounded: a sensor
// that keeps coming and going must not let the list grow.
class TOwedCommands {
public:
    static constexpr qsizetype MaxCommands = 64;

    // Owes `commands` to the sensor of `serial` (the one last identified;
    // the first debt of a list decides whose it is).
    void Owe(const QByteArrayList& commands, const QString& serial);
    // Sends what is owed to the sensor now identified as `serial`: after
    // the attention sequence, each command until the link takes no more
    // (the rest waits). Another sensor's debt is dropped. True when all
    // that was owed has been sent.
    bool Pay(TCommandEngine& engine, const QString& serial);

    const QByteArrayList& Commands() const { return m_commands; }
    bool IsEmpty() const { return m_commands.isEmpty(); }

private:
    QByteArrayList m_commands;
    QString m_serial;
};
