// SPDX-License-Identifier: MIT
#pragma once

#include "RecordTypes.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

// The printed forms of the service record, for "orxterm record".
//
// Text: one line per event, time in local time, action, outcome, user
// (and the message); beneath a write its changes, indented:
//     2024-05-02 14:03:11  Write           Done             alice
//         GAIN 10 -> 12
//         FILTER ? -> 3                      (old value not known)
//         MODE 1 -> 2  (refused: E05)
// Keys, values and messages are cut as a comparison's cells are, so that
// no line grows with a crafted value. JSON holds the same fields whole
// (as read back, see TRecordStore::MaxFieldChars), time in UTC ISO 8601.

// The lines of one event, each ended by '\n'.
QString EventText(const TRecordEvent& event);
QJsonObject EventJson(const TRecordEvent& event);
// {"serial": ..., "events": [...]}
QJsonDocument EventsJson(const QString& serial, const QList<TRecordEvent>& events);

// The sensors known, one line each: serial number and its last event.
QString SensorsText(const QList<TRecordEvent>& lastEvents);
// {"sensors": [{"serial": ..., "last": {...}}, ...]}
QJsonDocument SensorsJson(const QList<TRecordEvent>& lastEvents);

// "--since": an ISO date (from the start of that day) or date-time
// ("2024-05-02T14:00", "2024-05-02 14:00:00", with "Z" or an offset),
// in local time unless it says otherwise. Invalid where it is neither.
QDateTime ParseSince(const QString& text);
