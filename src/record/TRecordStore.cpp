// SPDX-License-Identifier: MIT
#include "TRecordStore.h"

#include "RecordChanges.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QThread>
#include <QVariant>

#include <atomic>
#include <csignal>
#include <limits>

namespace {

// Each step brings the schema from the version of its index to the next;
// a later version appends its step and raises TRecordStore::SchemaVersion.
//
// Version 1: an event per row; the changes of a write beside it, in the
// order sent; each distinct set once, found by its SHA-256. Events are
// read per sensor newest first: the index on (serial, time_ms, id) gives
// them in that order without sorting, and the primary key of the changes
// gives each event's changes in order.
const QList<QStringList> MigrationSteps = {
    {
        QStringLiteral("CREATE TABLE parameter_set ("
                       " id INTEGER PRIMARY KEY,"
                       " sha256 BLOB NOT NULL UNIQUE,"
                       " text TEXT NOT NULL)"),
        QStringLiteral("CREATE TABLE event ("
                       " id INTEGER PRIMARY KEY,"
                       " serial TEXT NOT NULL,"
                       " time_ms INTEGER NOT NULL," // UTC, ms since 1970
                       " user_name TEXT NOT NULL,"
                       " host_name TEXT NOT NULL,"
                       " link TEXT NOT NULL,"
                       " action TEXT NOT NULL,"
                       " outcome TEXT NOT NULL,"
                       " message TEXT NOT NULL,"
                       " set_id INTEGER REFERENCES parameter_set(id),"
                       " firmware_file TEXT,"
                       " firmware_sha256 TEXT)"),
        QStringLiteral("CREATE INDEX event_by_serial ON event(serial, time_ms, id)"),
        QStringLiteral("CREATE TABLE write_change ("
                       " event_id INTEGER NOT NULL REFERENCES event(id),"
                       " pos INTEGER NOT NULL,"
                       " key TEXT NOT NULL,"
                       " old TEXT," // NULL: not known
                       " new TEXT NOT NULL,"
                       " refused TEXT," // the sensor's answer; NULL: taken
                       " PRIMARY KEY (event_id, pos)) WITHOUT ROWID"),
    },
};

const QString EventColumns =
    QStringLiteral(
        "e.id, e.serial, e.time_ms, e.user_name, e.host_name, e.link, e.action, e.outcome,"
        " substr(e.message, 1, %1), e.set_id IS NOT NULL, e.firmware_file, e.firmware_sha256")
        .arg(TRecordStore::MaxFieldChars);
constexpr int EventColumnCount = 12;

TRecordEvent EventFromRow(const QSqlQuery& q) {
    TRecordEvent e;
    e.Id = q.value(0).toLongLong();
    e.Serial = q.value(1).toString();
    e.Time = QDateTime::fromMSecsSinceEpoch(q.value(2).toLongLong(), Qt::UTC);
    e.User = q.value(3).toString();
    e.Host = q.value(4).toString();
    e.Link = q.value(5).toString();
    // A name this version does not know (written by a later one) reads as
    // the nearest thing rather than failing the whole listing.
    e.Action = RecordActionFromName(q.value(6).toString()).value_or(TRecordAction::Identify);
    e.Outcome = FlowResultFromName(q.value(7).toString()).value_or(TFlowResult::SensorError);
    e.Message = q.value(8).toString();
    e.HasSet = q.value(9).toBool();
    e.FirmwareFile = q.value(10).toString();
    e.FirmwareSha256 = q.value(11).toString();
    return e;
}

// A text for a NOT NULL column: Qt binds a null string as NULL.
QString NotNull(const QString& s) {
    return s.isNull() ? QStringLiteral("") : s;
}

QVariant Text(const QString& s) {
    return s.isNull() ? QVariant(QMetaType::fromType<QString>()) : QVariant(s);
}

QString Reason(const QSqlError& error) {
    const QString database = error.databaseText();
    return database.isEmpty() ? error.text() : database;
}

std::atomic<quint64> ConnectionCount{0};

// The actions after which the sensor's set is what the event recorded,
// and the firmware update, after which it is not known.
const QString StateActions =
    QStringLiteral("('Read', 'ReadToFile', 'Write', 'WriteAndStore', 'FirmwareUpdate')");

} // namespace

QString TRecordStore::DefaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/OrxTerm/records.sqlite");
}

TRecordStore::TRecordStore(const QString& path)
    : m_path(path), m_connection(QStringLiteral("orx_record_%1").arg(++ConnectionCount)) {
    // A test's hook: the process dies inside the transaction of an event,
    // after its event row and before the commit, as in a crash.
    m_killAfterEvent = qEnvironmentVariable("ORX_RECORD_TEST_KILL") == u"after-event";
}

TRecordStore::~TRecordStore() {
    if (!QSqlDatabase::contains(m_connection)) return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

bool TRecordStore::Fail(const QString& what, const QString& reason) {
    m_error = what.isEmpty() ? QStringLiteral("%1: %2").arg(m_path, reason)
                             : QStringLiteral("%1: %2: %3").arg(m_path, what, reason);
    return false;
}

bool TRecordStore::Open() {
    m_error.clear();
    if (m_open) return true;
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(folder)) return Fail({}, QStringLiteral("cannot create the folder"));
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
        return Fail({}, QStringLiteral("Qt's SQLite driver (QSQLITE) is not installed"));
    QSqlDatabase db = QSqlDatabase::contains(m_connection)
                          ? QSqlDatabase::database(m_connection, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(m_path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs));
    if (!db.open()) return Fail(QStringLiteral("opening"), Reason(db.lastError()));
    QSqlQuery q(db);
    // WAL: readers never wait for a writer, and a commit is one append.
    // synchronous FULL: a committed event survives a power loss too.
    // Switching to WAL takes the database for itself and SQLite does not
    // wait for that on its own: while another program switches or holds
    // it, the switch is tried again until the busy timeout.
    QDeadlineTimer deadline(BusyTimeoutMs);
    while (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !q.next()) {
        const bool busy = q.lastError().nativeErrorCode() == u"5"; // SQLITE_BUSY
        if (!busy || deadline.hasExpired()) {
            const QString reason = Reason(q.lastError());
            db.close();
            return Fail(QStringLiteral("journal"), reason);
        }
        QThread::msleep(10);
    }
    if (q.value(0).toString().compare(u"wal", Qt::CaseInsensitive) != 0) {
        db.close();
        return Fail({}, QStringLiteral("the database does not take a WAL journal"));
    }
    for (const char* pragma : {"PRAGMA synchronous=FULL", "PRAGMA foreign_keys=ON"}) {
        if (!q.exec(QString::fromLatin1(pragma))) {
            const QString reason = Reason(q.lastError());
            db.close();
            return Fail(QStringLiteral("settings"), reason);
        }
    }
    m_open = true;
    if (!Migrate()) {
        m_open = false;
        db.close();
        return false;
    }
    return true;
}

bool TRecordStore::Migrate() {
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery q(db);
    auto version = [&]() -> std::optional<int> {
        if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) return std::nullopt;
        return q.value(0).toInt();
    };
    std::optional<int> current = version();
    if (!current) return Fail(QStringLiteral("schema"), Reason(q.lastError()));
    if (*current == SchemaVersion) return true;
    if (*current > SchemaVersion)
        return Fail({}, QStringLiteral("the record has schema version %1, this program knows up "
                                       "to %2: it was made by a newer program")
                            .arg(*current)
                            .arg(SchemaVersion));
    // Another program may be migrating the same database: the immediate
    // transaction waits for it, and the version is read again inside.
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return Fail(QStringLiteral("schema"), Reason(q.lastError()));
    auto rollback = [&](const QString& reason) {
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        return Fail(QStringLiteral("schema"), reason);
    };
    current = version();
    if (!current) return rollback(Reason(q.lastError()));
    for (int step = *current; step < SchemaVersion; ++step)
        for (const QString& statement : MigrationSteps.at(step))
            if (!q.exec(statement)) return rollback(Reason(q.lastError()));
    if (*current < SchemaVersion &&
        !q.exec(QStringLiteral("PRAGMA user_version=%1").arg(SchemaVersion)))
        return rollback(Reason(q.lastError()));
    if (!q.exec(QStringLiteral("COMMIT"))) return rollback(Reason(q.lastError()));
    return true;
}

bool TRecordStore::Record(TRecordEvent& event) {
    return Store(event, false, {});
}

bool TRecordStore::RecordWrite(TRecordEvent& event, const QHash<QString, QString>& refused) {
    return Store(event, true, refused);
}

bool TRecordStore::Store(TRecordEvent& event, bool computeChanges,
                         const QHash<QString, QString>& refused) {
    m_error.clear();
    if (!m_open) return Fail({}, QStringLiteral("the record is not open"));
    if (event.Serial.trimmed().isEmpty())
        return Fail({}, QStringLiteral("an event without a serial number is not recorded"));
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery q(db);
    // Immediate: the write lock is taken at the start, where a busy
    // database is waited for, never half-way through.
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE"))) return Fail({}, Reason(q.lastError()));
    auto fail = [&](const QSqlQuery& failed) {
        const QString reason = Reason(failed.lastError());
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        return Fail({}, reason);
    };

    QList<TRecordChange> changes = event.Changes;
    if (computeChanges) {
        // The sensor's last known set, read inside the transaction so that
        // a write recorded by another program at the same time is seen.
        q.prepare(QStringLiteral("SELECT e.id, e.action, e.outcome, s.text FROM event e"
                                 " LEFT JOIN parameter_set s ON s.id = e.set_id"
                                 " WHERE e.serial = ? AND e.action IN %1"
                                 " ORDER BY e.time_ms DESC, e.id DESC LIMIT 1")
                      .arg(StateActions));
        q.addBindValue(event.Serial);
        if (!q.exec()) return fail(q);
        QString lastSet;
        QSet<QString> unknownKeys;
        if (q.next()) {
            const qint64 lastId = q.value(0).toLongLong();
            const QString action = q.value(1).toString();
            const QString outcome = q.value(2).toString();
            const bool trusted =
                action != u"FirmwareUpdate" && (outcome == u"Done" || outcome == u"SensorError");
            if (trusted && !q.value(3).isNull()) {
                lastSet = q.value(3).toString();
                lastSet = NotNull(lastSet); // an empty set is known
                // Lines the sensor refused kept their earlier, unknown value.
                QSqlQuery r(db);
                r.prepare(QStringLiteral(
                    "SELECT key FROM write_change WHERE event_id = ? AND refused IS NOT NULL"));
                r.addBindValue(lastId);
                if (!r.exec()) return fail(r);
                while (r.next())
                    unknownKeys.insert(r.value(0).toString());
            }
        }
        changes = WriteChanges(lastSet, event.Set, refused, unknownKeys);
    }

    QVariant setId(QMetaType::fromType<qint64>());
    if (!event.Set.isNull()) {
        const QByteArray text = event.Set.toUtf8();
        const QByteArray hash = QCryptographicHash::hash(text, QCryptographicHash::Sha256);
        q.prepare(QStringLiteral("INSERT INTO parameter_set (sha256, text) VALUES (?, ?)"
                                 " ON CONFLICT (sha256) DO NOTHING"));
        q.addBindValue(hash);
        q.addBindValue(event.Set);
        if (!q.exec()) return fail(q);
        q.prepare(QStringLiteral("SELECT id FROM parameter_set WHERE sha256 = ?"));
        q.addBindValue(hash);
        if (!q.exec() || !q.next()) return fail(q);
        setId = q.value(0);
    }

    const QDateTime time = event.Time.isValid() ? event.Time : QDateTime::currentDateTimeUtc();
    q.prepare(QStringLiteral("INSERT INTO event (serial, time_ms, user_name, host_name, link,"
                             " action, outcome, message, set_id, firmware_file, firmware_sha256)"
                             " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    q.addBindValue(event.Serial);
    q.addBindValue(time.toMSecsSinceEpoch());
    q.addBindValue(NotNull(event.User));
    q.addBindValue(NotNull(event.Host));
    q.addBindValue(NotNull(event.Link));
    q.addBindValue(RecordActionName(event.Action));
    q.addBindValue(FlowResultName(event.Outcome));
    q.addBindValue(NotNull(event.Message));
    q.addBindValue(setId);
    q.addBindValue(Text(event.FirmwareFile.isEmpty() ? QString() : event.FirmwareFile));
    q.addBindValue(Text(event.FirmwareSha256.isEmpty() ? QString() : event.FirmwareSha256));
    if (!q.exec()) return fail(q);
    const qint64 id = q.lastInsertId().toLongLong();

    if (m_killAfterEvent) std::raise(SIGKILL);

    if (!changes.isEmpty()) {
        q.prepare(QStringLiteral("INSERT INTO write_change (event_id, pos, key, old, new, refused)"
                                 " VALUES (?, ?, ?, ?, ?, ?)"));
        for (qsizetype i = 0; i < changes.size(); ++i) {
            const TRecordChange& c = changes.at(i);
            q.bindValue(0, id);
            q.bindValue(1, qint64(i));
            q.bindValue(2, c.Key);
            q.bindValue(3, c.Old ? Text(NotNull(*c.Old)) : Text({}));
            q.bindValue(4, NotNull(c.New));
            q.bindValue(5, Text(c.Refused.isEmpty() ? QString() : c.Refused));
            if (!q.exec()) return fail(q);
        }
    }
    if (!q.exec(QStringLiteral("COMMIT"))) return fail(q);
    event.Id = id;
    event.Time = time.toUTC();
    event.Changes = changes;
    event.HasSet = !event.Set.isNull();
    return true;
}

bool TRecordStore::ForEachEvent(const QString& serial, const QDateTime& since,
                                const std::function<bool(const TRecordEvent&)>& each) {
    m_error.clear();
    if (!m_open) return Fail({}, QStringLiteral("the record is not open"));
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    // One pass: the events newest first, each followed by its changes.
    q.prepare(QStringLiteral("SELECT %1, c.key, substr(c.old, 1, %2), substr(c.new, 1, %2),"
                             " c.refused FROM event e"
                             " LEFT JOIN write_change c ON c.event_id = e.id"
                             " WHERE e.serial = ? AND e.time_ms >= ?"
                             " ORDER BY e.time_ms DESC, e.id DESC, c.pos")
                  .arg(EventColumns)
                  .arg(MaxFieldChars));
    q.addBindValue(serial);
    q.addBindValue(since.isValid() ? since.toMSecsSinceEpoch()
                                   : std::numeric_limits<qint64>::min());
    if (!q.exec()) return Fail({}, Reason(q.lastError()));
    std::optional<TRecordEvent> current;
    while (q.next()) {
        const qint64 id = q.value(0).toLongLong();
        if (!current || current->Id != id) {
            if (current && !each(*current)) return true;
            current = EventFromRow(q);
        }
        if (!q.value(EventColumnCount).isNull()) {
            TRecordChange c;
            c.Key = q.value(EventColumnCount).toString();
            if (!q.value(EventColumnCount + 1).isNull())
                c.Old = q.value(EventColumnCount + 1).toString();
            c.New = q.value(EventColumnCount + 2).toString();
            c.Refused = q.value(EventColumnCount + 3).toString();
            current->Changes.append(c);
        }
    }
    if (q.lastError().isValid()) return Fail({}, Reason(q.lastError()));
    if (current) each(*current);
    return true;
}

std::optional<QList<TRecordEvent>> TRecordStore::Events(const QString& serial,
                                                        const QDateTime& since) {
    QList<TRecordEvent> events;
    if (!ForEachEvent(serial, since, [&](const TRecordEvent& e) {
            events.append(e);
            return true;
        }))
        return std::nullopt;
    return events;
}

std::optional<QList<TRecordEvent>> TRecordStore::Sensors() {
    m_error.clear();
    if (!m_open) {
        Fail({}, QStringLiteral("the record is not open"));
        return std::nullopt;
    }
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    // Each serial number once (from the index), then its newest event.
    if (!q.exec(QStringLiteral("SELECT %1 FROM (SELECT DISTINCT serial FROM event) s"
                               " JOIN event e ON e.id = (SELECT id FROM event"
                               "  WHERE serial = s.serial ORDER BY time_ms DESC, id DESC LIMIT 1)"
                               " ORDER BY s.serial")
                    .arg(EventColumns))) {
        Fail({}, Reason(q.lastError()));
        return std::nullopt;
    }
    QList<TRecordEvent> sensors;
    while (q.next())
        sensors.append(EventFromRow(q));
    if (q.lastError().isValid()) {
        Fail({}, Reason(q.lastError()));
        return std::nullopt;
    }
    return sensors;
}

std::optional<QString> TRecordStore::EventSet(qint64 eventId) {
    m_error.clear();
    if (!m_open) {
        Fail({}, QStringLiteral("the record is not open"));
        return std::nullopt;
    }
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("SELECT s.text FROM event e JOIN parameter_set s ON s.id = e.set_id"
                             " WHERE e.id = ?"));
    q.addBindValue(eventId);
    if (!q.exec()) {
        Fail({}, Reason(q.lastError()));
        return std::nullopt;
    }
    if (!q.next()) return std::nullopt;
    const QString text = q.value(0).toString();
    return NotNull(text);
}

std::optional<QString> TRecordStore::LastSet(const QString& serial, qint64* eventId) {
    m_error.clear();
    if (!m_open) {
        Fail({}, QStringLiteral("the record is not open"));
        return std::nullopt;
    }
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("SELECT e.id, s.text FROM event e"
                             " JOIN parameter_set s ON s.id = e.set_id WHERE e.serial = ?"
                             " AND e.action IN ('Read', 'ReadToFile', 'Write', 'WriteAndStore')"
                             " ORDER BY e.time_ms DESC, e.id DESC LIMIT 1"));
    q.addBindValue(serial);
    if (!q.exec()) {
        Fail({}, Reason(q.lastError()));
        return std::nullopt;
    }
    if (!q.next()) return std::nullopt;
    if (eventId) *eventId = q.value(0).toLongLong();
    const QString text = q.value(1).toString();
    return NotNull(text);
}
