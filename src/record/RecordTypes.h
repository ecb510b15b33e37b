// SPDX-License-Identifier: MIT
#pragma once

#include "HostTypes.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// What was done with a sensor, as the service record keeps it.
enum class TRecordAction {
    Identify,
    Read,
    ReadToFile,
    Write,
    WriteAndStore, // a "program": the set written, then stored in the sensor
    Compare,
    FirmwareUpdate,
};

// The names kept in the database and printed: fixed English words, never
// translated, so that a record reads the same on every machine.
QString RecordActionName(TRecordAction action);
std::optional<TRecordAction> RecordActionFromName(const QString& name);
QString FlowResultName(TFlowResult result);
std::optional<TFlowResult> FlowResultFromName(const QString& name);
bool IsWriteAction(TRecordAction action);

// One parameter a write changed: its value before (unknown where the
// record holds no earlier set of the sensor, or the earlier write was
// refused for it) and the value sent. Refused holds the sensor's answer
// ("E05") to a line it did not take; empty where it took it.
struct TRecordChange {
    QString Key;
    std::optional<QString> Old;
    QString New;
    QString Refused;
    bool operator==(const TRecordChange&) const = default;
};

// One identification, read, write, compare or firmware update.
struct TRecordEvent {
    qint64 Id = 0; // the store's number of the event, set once recorded
    QString Serial;
    QDateTime Time; // kept in UTC to the millisecond
    QString User;   // login name
    QString Host;   // host name
    QString Link;   // "ttyUSB0 115200", "tcp 192.168.0.5:10001"
    TRecordAction Action = TRecordAction::Identify;
    TFlowResult Outcome = TFlowResult::Done;
    QString Message;
    QList<TRecordChange> Changes; // for a write
    QString FirmwareFile;         // for an update
    QString FirmwareSha256;       // hexadecimal, lower case
    // The whole set read or written ("KEY value" lines); a null string
    // where the event has none. Events read back from the store leave it
    // null and say HasSet: the set text is fetched by the event's id.
    QString Set;
    bool HasSet = false;
};

// An event of `action` on `serial` now, by the user logged in, on this host.
TRecordEvent NewRecordEvent(const QString& serial, TRecordAction action);
QString LoginName();

// The SHA-256 of a file in lower-case hexadecimal, read in pieces; an
// empty string with *error set where the file cannot be read.
QString FileSha256(const QString& path, QString* error = nullptr);
