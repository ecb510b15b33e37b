// SPDX-License-Identifier: MIT
#pragma once

#include "RecordTypes.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

// The lines of a set's text, whatever its line ends.
QStringList SetLines(const QString& setText);

// What a write changed: every key of the set sent, in its order, whose
// value differs from the sensor's last recorded set, or that the sensor
// refused. `lastSet` null: no set of the sensor is known, so every key
// sent is listed with its old value unknown; a key missing from the last
// set, or named in `unknownKeys` (refused by the write that recorded
// that set), is listed with its old value unknown too. `refused` maps
// keys to the sensor's answer to their line. Keys and values are read and
// compared as the parameter comparison reads them (ParameterValues,
// SameParameterValue: "100" and "100 ms" are the same value).
QList<TRecordChange> WriteChanges(const QString& lastSet, const QString& sentSet,
                                  const QHash<QString, QString>& refused = {},
                                  const QSet<QString>& unknownKeys = {});
