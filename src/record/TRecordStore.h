// SPDX-License-Identifier: MIT
#pragma once

#include "RecordTypes.h"

#include <QHash>
#include <QString>

#include <functional>
#include <optional>

// The service record of every sensor, in an SQLite database: each event
// with the changes of a write and the set read or written, each distinct
// set kept once. Several programs may record into one database at once
// (WAL journal, a busy timeout); an event goes in whole or not at all, so
// a crash or a full disk loses at most the event being recorded.
//
// Failures are reported, never thrown: a function returns false or
// nothing and Error() says why ("path: reason"). A store is used by the
// thread that opened it; another thread opens a store of its own.
class TRecordStore {
public:
    static constexpr int SchemaVersion = 1;
    // How long a write waits for another program's transaction to end.
    static constexpr int BusyTimeoutMs = 30000;
    // Texts read back (message, values) are cut to this many characters,
    // so that one line of output never loads an unbounded text.
    static constexpr int MaxFieldChars = 1000;

    // $XDG_DATA_HOME/OrxTerm/records.sqlite
    static QString DefaultPath();

    explicit TRecordStore(const QString& path = DefaultPath());
    ~TRecordStore();
    TRecordStore(const TRecordStore&) = delete;
    TRecordStore& operator=(const TRecordStore&) = delete;

    // Opens the database, creating it and its folder where missing, and
    // brings its schema to SchemaVersion. A database of a newer schema is
    // refused rather than changed.
    bool Open();
    bool IsOpen() const { return m_open; }
    QString Path() const { return m_path; }
    QString Error() const { return m_error; }

    // Records the event, its changes and its set in one transaction; sets
    // event.Id. False with Error() where it could not be recorded.
    bool Record(TRecordEvent& event);
    // Records a write, its changes computed first (WriteChanges) from the
    // sensor's last known set: that of its last read or write, unknown
    // where a firmware update or a failed read or write came since.
    // `refused` maps keys to the sensor's answer to their line.
    bool RecordWrite(TRecordEvent& event, const QHash<QString, QString>& refused = {});

    // The events of a sensor newest first, since `since` where valid, with
    // their changes and without their sets (HasSet says whether there is
    // one). `each` returns false to stop. False on a failure to read.
    bool ForEachEvent(const QString& serial, const QDateTime& since,
                      const std::function<bool(const TRecordEvent&)>& each);
    std::optional<QList<TRecordEvent>> Events(const QString& serial, const QDateTime& since = {});
    // The last event of every sensor recorded, by serial number, without
    // changes.
    std::optional<QList<TRecordEvent>> Sensors();

    // The set recorded with an event; nothing where the event has none or
    // does not exist (Error() empty) or on a failure (Error() set).
    std::optional<QString> EventSet(qint64 eventId);
    // The set of the sensor's last read or write that has one, and that
    // event's id.
    std::optional<QString> LastSet(const QString& serial, qint64* eventId = nullptr);

private:
    bool Store(TRecordEvent& event, bool computeChanges, const QHash<QString, QString>& refused);
    bool Migrate();
    bool Fail(const QString& what, const QString& reason);

    QString m_path;
    QString m_connection;
    QString m_error;
    bool m_open = false;
    bool m_killAfterEvent = false;
};
