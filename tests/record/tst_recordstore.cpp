// SPDX-License-Identifier: MIT
// The store on a real database file: schema and its version, events and
// their changes and sets, queries; a crash inside a transaction, a full
// disk, and two programs recording at once.
#include "FullFileSystem.h"
#include "RecordPrint.h"
#include "TRecordStore.h"

#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TstRecordStore : public QObject {
    Q_OBJECT

private slots:
    void init();
    void schemaOnAFreshDatabase();
    void refusesWhatItCannotUse();
    void eventsRoundTripNewestFirst();
    void writeChangesFromTheLastKnownSet();
    void setsKeptOnceAndFetchedOnDemand();
    void sensorsWithTheirLastEvent();
    void readingIsBounded();
    void crashInsideATransaction();
    void fullDisk();
    void twoProgramsAtOnce();

private:
    QString DbPath() const { return m_dir->filePath(QStringLiteral("sub/records.sqlite")); }
    // A plain reading of the database beside the store, to look at its tables.
    qint64 Count(const QString& path, const QString& sql);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TstRecordStore::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

qint64 TstRecordStore::Count(const QString& path, const QString& sql) {
    qint64 n = -1;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("look"));
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(sql) && q.next()) n = q.value(0).toLongLong();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("look"));
    return n;
}

static TRecordEvent Event(const QString& serial, TRecordAction action, qint64 utcMs,
                          TFlowResult outcome = TFlowResult::Done) {
    TRecordEvent e = NewRecordEvent(serial, action);
    e.Time = QDateTime::fromMSecsSinceEpoch(utcMs, Qt::UTC);
    e.Outcome = outcome;
    e.Link = QStringLiteral("ttyUSB0 115200");
    return e;
}

constexpr qint64 May2 = 1714651391000; // 2024-05-02 12:03:11 UTC

void TstRecordStore::schemaOnAFreshDatabase() {
    QVERIFY(TRecordStore::DefaultPath().endsWith(QStringLiteral("/OrxTerm/records.sqlite")));
    {
        TRecordStore store(DbPath()); // its folder does not exist yet
        QVERIFY2(store.Open(), qPrintable(store.Error()));
    }
    QCOMPARE(Count(DbPath(), QStringLiteral("PRAGMA user_version")), TRecordStore::SchemaVersion);
    QCOMPARE(Count(DbPath(), QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name IN "
                                            "('event', 'write_change', 'parameter_set', "
                                            "'event_by_serial')")),
             4);
    // Opened again: nothing to migrate, the journal stays WAL.
    TRecordStore again(DbPath());
    QVERIFY2(again.Open(), qPrintable(again.Error()));
    QCOMPARE(Count(DbPath(), QStringLiteral("SELECT count(*) FROM pragma_journal_mode "
                                            "WHERE journal_mode = 'wal'")),
             1);
    QCOMPARE(Count(DbPath(), QStringLiteral("SELECT count(*) FROM event")), 0);
}

void TstRecordStore::refusesWhatItCannotUse() {
    // A later program's schema is left alone.
    const QString newer = m_dir->filePath(QStringLiteral("newer.sqlite"));
    QCOMPARE(Count(newer, QStringLiteral("SELECT 1 FROM (SELECT 1) WHERE 0")), -1);
    Count(newer, QStringLiteral("PRAGMA user_version = 7"));
    TRecordStore store(newer);
    QVERIFY(!store.Open());
    QVERIFY2(store.Error().contains(QStringLiteral("newer")), qPrintable(store.Error()));
    TRecordEvent e = Event(QStringLiteral("SN1"), TRecordAction::Read, May2);
    QVERIFY(!store.Record(e));
    QVERIFY(!store.Error().isEmpty());

    // A file that is no database.
    const QString garbage = m_dir->filePath(QStringLiteral("garbage.sqlite"));
    QFile file(garbage);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(8192, 'x'));
    file.close();
    TRecordStore bad(garbage);
    QVERIFY(!bad.Open());
    QVERIFY2(bad.Error().startsWith(garbage), qPrintable(bad.Error()));

    // An event without a serial number.
    TRecordStore good(DbPath());
    QVERIFY(good.Open());
    TRecordEvent noSerial = Event(QString(), TRecordAction::Read, May2);
    QVERIFY(!good.Record(noSerial));
    QVERIFY(!good.Error().isEmpty());
}

void TstRecordStore::eventsRoundTripNewestFirst() {
    TRecordStore store(DbPath());
    QVERIFY(store.Open());
    TRecordEvent identify = Event(QStringLiteral("SN1"), TRecordAction::Identify, May2 + 250);
    identify.User = QStringLiteral("alice");
    identify.Host = QStringLiteral("bench-pc");
    identify.Link = QStringLiteral("tcp 192.168.0.5:10001");
    identify.Message = QStringLiteral("ORX-200 2.3");
    TRecordEvent update = Event(QStringLiteral("SN1"), TRecordAction::FirmwareUpdate,
                                May2 + 86400000, TFlowResult::NoAnswer);
    update.FirmwareFile = QStringLiteral("orx-2.4.hex");
    update.FirmwareSha256 = QStringLiteral("00ff");
    // Recorded out of order (another host's clock): listed by time.
    TRecordEvent early =
        Event(QStringLiteral("SN1"), TRecordAction::Compare, May2 - 1000, TFlowResult::Cancelled);
    TRecordEvent other = Event(QStringLiteral("SN2"), TRecordAction::Read, May2);
    for (TRecordEvent* e : {&identify, &update, &early, &other})
        QVERIFY2(store.Record(*e), qPrintable(store.Error()));
    QVERIFY(identify.Id > 0 && update.Id > identify.Id);

    const auto events = store.Events(QStringLiteral("SN1"));
    QVERIFY(events);
    QCOMPARE(events->size(), 3);
    QCOMPARE(events->at(0).Id, update.Id);
    QCOMPARE(events->at(1).Id, identify.Id);
    QCOMPARE(events->at(2).Id, early.Id);
    const TRecordEvent& back = events->at(1);
    QCOMPARE(back.Serial, QStringLiteral("SN1"));
    QCOMPARE(back.Time, QDateTime::fromMSecsSinceEpoch(May2 + 250, Qt::UTC));
    QCOMPARE(back.Time.timeSpec(), Qt::UTC);
    QCOMPARE(back.User, QStringLiteral("alice"));
    QCOMPARE(back.Host, QStringLiteral("bench-pc"));
    QCOMPARE(back.Link, QStringLiteral("tcp 192.168.0.5:10001"));
    QCOMPARE(back.Action, TRecordAction::Identify);
    QCOMPARE(back.Outcome, TFlowResult::Done);
    QCOMPARE(back.Message, QStringLiteral("ORX-200 2.3"));
    QVERIFY(!back.HasSet);
    QCOMPARE(events->at(0).Outcome, TFlowResult::NoAnswer);
    QCOMPARE(events->at(0).FirmwareFile, QStringLiteral("orx-2.4.hex"));
    QCOMPARE(events->at(0).FirmwareSha256, QStringLiteral("00ff"));
    QCOMPARE(events->at(2).Outcome, TFlowResult::Cancelled);

    // Since a moment: that moment counts.
    const auto since =
        store.Events(QStringLiteral("SN1"), QDateTime::fromMSecsSinceEpoch(May2 + 250, Qt::UTC));
    QVERIFY(since);
    QCOMPARE(since->size(), 2);
    // An unknown serial number: no events, and no failure.
    const auto none = store.Events(QStringLiteral("SN404"));
    QVERIFY(none);
    QVERIFY(none->isEmpty());
    QVERIFY(store.Error().isEmpty());
    // Stopping early.
    int seen = 0;
    QVERIFY(store.ForEachEvent(QStringLiteral("SN1"), {}, [&](const TRecordEvent&) {
        ++seen;
        return false;
    }));
    QCOMPARE(seen, 1);
}

void TstRecordStore::writeChangesFromTheLastKnownSet() {
    TRecordStore store(DbPath());
    QVERIFY(store.Open());
    const QString serial = QStringLiteral("SN1");
    qint64 t = May2;
    auto write = [&](const QString& set, const QHash<QString, QString>& refused = {},
                     TFlowResult outcome = TFlowResult::Done) {
        TRecordEvent e = Event(serial, TRecordAction::Write, t += 1000, outcome);
        e.Set = set;
        if (!store.RecordWrite(e, refused)) qWarning("%s", qPrintable(store.Error()));
        return e;
    };
    auto record = [&](TRecordAction action, TFlowResult outcome, const QString& set = {}) {
        TRecordEvent e = Event(serial, action, t += 1000, outcome);
        e.Set = set;
        QVERIFY2(store.Record(e), qPrintable(store.Error()));
    };
    auto old = [](const TRecordEvent& e, const QString& key) -> std::optional<QString> {
        for (const TRecordChange& c : e.Changes)
            if (c.Key == key) return c.Old.value_or(QStringLiteral("?"));
        return std::nullopt; // not listed
    };

    // Nothing known: every key sent, old values unknown.
    TRecordEvent first = write(QStringLiteral("GAIN 10\nMODE 1\n"));
    QVERIFY(first.Id > 0);
    QCOMPARE(first.Changes.size(), 2);
    QCOMPARE(old(first, QStringLiteral("GAIN")), QStringLiteral("?"));

    // A read since: the old values are the read's.
    record(TRecordAction::Read, TFlowResult::Done, QStringLiteral("GAIN 11 dB\nMODE 1\nLIMIT 5\n"));
    TRecordEvent second =
        write(QStringLiteral("GAIN 12\nMODE 1\nLIMIT 6\n"),
              {{QStringLiteral("LIMIT"), QStringLiteral("E05")}}, TFlowResult::SensorError);
    QCOMPARE(second.Changes.size(), 2);
    QCOMPARE(old(second, QStringLiteral("GAIN")), QStringLiteral("11 dB"));
    QCOMPARE(old(second, QStringLiteral("MODE")), std::nullopt);
    QCOMPARE(second.Changes.at(1).Refused, QStringLiteral("E05"));

    // The refused line's value is not known after that write; the others are.
    TRecordEvent third = write(QStringLiteral("GAIN 13\nLIMIT 7\n"));
    QCOMPARE(old(third, QStringLiteral("GAIN")), QStringLiteral("12"));
    QCOMPARE(old(third, QStringLiteral("LIMIT")), QStringLiteral("?"));

    // What was read back matches what the store lists.
    const auto events = store.Events(serial);
    QVERIFY(events);
    QCOMPARE(events->at(0).Changes, third.Changes);
    QCOMPARE(events->at(1).Changes, second.Changes);
    QVERIFY(
        EventText(events->at(1)).contains(QStringLiteral("    LIMIT 5 -> 6  (refused: E05)\n")));

    // A compare or identify does not change the sensor: still known.
    record(TRecordAction::Compare, TFlowResult::Done);
    record(TRecordAction::Identify, TFlowResult::Done);
    QCOMPARE(old(write(QStringLiteral("GAIN 14\n")), QStringLiteral("GAIN")), QStringLiteral("13"));
    // A firmware update, or a read or write that failed half-way: unknown.
    record(TRecordAction::FirmwareUpdate, TFlowResult::Done);
    QCOMPARE(old(write(QStringLiteral("GAIN 15\n")), QStringLiteral("GAIN")), QStringLiteral("?"));
    write(QStringLiteral("GAIN 16\n"), {}, TFlowResult::NoAnswer);
    QCOMPARE(old(write(QStringLiteral("GAIN 17\n")), QStringLiteral("GAIN")), QStringLiteral("?"));
    QCOMPARE(old(write(QStringLiteral("GAIN 18\n")), QStringLiteral("GAIN")), QStringLiteral("17"));

    // Another sensor's sets do not count.
    TRecordEvent elsewhere = Event(QStringLiteral("SN2"), TRecordAction::Write, t += 1000);
    elsewhere.Set = QStringLiteral("GAIN 18\n");
    QVERIFY(store.RecordWrite(elsewhere));
    QCOMPARE(old(elsewhere, QStringLiteral("GAIN")), QStringLiteral("?"));
}

void TstRecordStore::setsKeptOnceAndFetchedOnDemand() {
    TRecordStore store(DbPath());
    QVERIFY(store.Open());
    const QString set = QStringLiteral("REM from the sensor\r\nGAIN 10\r\nMODE 1\r\n");
    TRecordEvent read = Event(QStringLiteral("SN1"), TRecordAction::Read, May2);
    read.Set = set;
    TRecordEvent write = Event(QStringLiteral("SN1"), TRecordAction::WriteAndStore, May2 + 1);
    write.Set = set;
    TRecordEvent other = Event(QStringLiteral("SN2"), TRecordAction::ReadToFile, May2 + 2);
    other.Set = set;
    TRecordEvent compare = Event(QStringLiteral("SN1"), TRecordAction::Compare, May2 + 3);
    compare.Set = QStringLiteral("GAIN 99\n");
    TRecordEvent identify = Event(QStringLiteral("SN1"), TRecordAction::Identify, May2 + 4);
    for (TRecordEvent* e : {&read, &write, &other, &compare, &identify})
        QVERIFY2(store.Record(*e), qPrintable(store.Error()));
    QCOMPARE(Count(DbPath(), QStringLiteral("SELECT count(*) FROM parameter_set")), 2);

    QCOMPARE(store.EventSet(read.Id), set); // byte for byte, line ends included
    QCOMPARE(store.EventSet(other.Id), set);
    QCOMPARE(store.EventSet(identify.Id), std::nullopt);
    QCOMPARE(store.EventSet(999999), std::nullopt);
    QVERIFY(store.Error().isEmpty());
    // The last read or write's set: a compare's set is not the sensor's.
    qint64 from = 0;
    QCOMPARE(store.LastSet(QStringLiteral("SN1"), &from), set);
    QCOMPARE(from, write.Id);
    QCOMPARE(store.LastSet(QStringLiteral("SN404")), std::nullopt);
    // An empty set is a set.
    TRecordEvent empty = Event(QStringLiteral("SN3"), TRecordAction::Read, May2);
    empty.Set = QStringLiteral("");
    QVERIFY(store.Record(empty));
    QCOMPARE(store.LastSet(QStringLiteral("SN3")), QString());
    QVERIFY(store.LastSet(QStringLiteral("SN3")).has_value());
}

void TstRecordStore::sensorsWithTheirLastEvent() {
    TRecordStore store(DbPath());
    QVERIFY(store.Open());
    const auto empty = store.Sensors();
    QVERIFY(empty && empty->isEmpty());
    for (const auto& [serial, action, ms] : {std::tuple{"SN2", TRecordAction::Read, May2 + 5},
                                             {"SN1", TRecordAction::Write, May2 + 9},
                                             {"SN2", TRecordAction::Identify, May2 + 7},
                                             {"SN1", TRecordAction::Compare, May2 + 1},
                                             {"SN3", TRecordAction::FirmwareUpdate, May2}}) {
        TRecordEvent e = Event(QString::fromLatin1(serial), action, ms);
        QVERIFY(store.Record(e));
    }
    const auto sensors = store.Sensors();
    QVERIFY(sensors);
    QCOMPARE(sensors->size(), 3);
    QCOMPARE(sensors->at(0).Serial, QStringLiteral("SN1"));
    QCOMPARE(sensors->at(0).Action, TRecordAction::Write);
    QCOMPARE(sensors->at(1).Action, TRecordAction::Identify);
    QCOMPARE(sensors->at(2).Action, TRecordAction::FirmwareUpdate);
}

void TstRecordStore::readingIsBounded() {
    TRecordStore store(DbPath());
    QVERIFY(store.Open());
    TRecordEvent e = Event(QStringLiteral("SN1"), TRecordAction::Write, May2);
    e.Message = QString(1000000, u'm');
    e.Set = QString(2000000, u's');
    e.Changes = {{QStringLiteral("KEY"), QString(500000, u'o'), QString(500000, u'n'), {}}};
    QVERIFY(store.Record(e));
    const auto events = store.Events(QStringLiteral("SN1"));
    QVERIFY(events && events->size() == 1);
    const TRecordEvent& back = events->at(0);
    QCOMPARE(back.Message.size(), TRecordStore::MaxFieldChars);
    QCOMPARE(back.Changes.at(0).Old->size(), TRecordStore::MaxFieldChars);
    QCOMPARE(back.Changes.at(0).New.size(), TRecordStore::MaxFieldChars);
    QVERIFY(back.Set.isNull()); // fetched only when asked for
    QVERIFY(back.HasSet);
    QCOMPARE(store.EventSet(back.Id)->size(), 2000000);
}

void TstRecordStore::crashInsideATransaction() {
    QDir().mkpath(QFileInfo(DbPath()).absolutePath());
    QProcess writer;
    writer.start(QStringLiteral(ORX_RECORD_WRITER),
                 {DbPath(), QStringLiteral("SN1"), QStringLiteral("25"), QStringLiteral("w"),
                  QStringLiteral("--then-crash")});
    QVERIFY2(writer.waitForStarted(60000), qPrintable(writer.errorString()));
    QTRY_VERIFY_WITH_TIMEOUT(writer.state() == QProcess::NotRunning, 120000);
    QVERIFY2(writer.readAllStandardOutput().contains("recorded 25"),
             writer.readAllStandardError().constData());
    QCOMPARE(writer.exitStatus(), QProcess::CrashExit); // killed, not returned

    // The database opens; the 25 earlier writes are all there and whole,
    // of the half write neither the event nor its set.
    TRecordStore store(DbPath());
    QVERIFY2(store.Open(), qPrintable(store.Error()));
    QCOMPARE(Count(DbPath(), QStringLiteral("SELECT count(*) FROM pragma_integrity_check "
                                            "WHERE integrity_check = 'ok'")),
             1);
    const auto events = store.Events(QStringLiteral("SN1"));
    QVERIFY(events);
    QCOMPARE(events->size(), 25);
    for (const TRecordEvent& e : *events) {
        QVERIFY(!e.Link.contains(QStringLiteral("half")));
        QVERIFY(store.EventSet(e.Id)->contains(QStringLiteral("TAG w")));
    }
    QCOMPARE(Count(DbPath(), QStringLiteral("SELECT count(*) FROM parameter_set")), 25);
    QCOMPARE(Count(DbPath(), QStringLiteral("SELECT count(*) FROM parameter_set "
                                            "WHERE text LIKE '%HALF%'")),
             0);
    // And it takes the next record.
    TRecordEvent next = Event(QStringLiteral("SN1"), TRecordAction::Read, May2);
    QVERIFY2(store.Record(next), qPrintable(store.Error()));
}

void TstRecordStore::fullDisk() {
    TFullFileSystem disk(16 * 1024 * 1024);
    QVERIFY2(disk.Mounted(), qPrintable(disk.Error()));
    const QString path = disk.FilePath(QStringLiteral("records.sqlite"));
    TRecordStore store(path);
    QVERIFY2(store.Open(), qPrintable(store.Error()));
    for (int n = 0; n < 5; ++n) {
        TRecordEvent e = Event(QStringLiteral("SN1"), TRecordAction::Read, May2 + n);
        e.Set = QStringLiteral("GAIN %1\n").arg(n);
        QVERIFY2(store.Record(e), qPrintable(store.Error()));
    }
    QVERIFY(disk.Fill());
    // A write bigger than what the journal already holds: it needs space.
    TRecordEvent big = Event(QStringLiteral("SN1"), TRecordAction::Write, May2 + 10);
    for (int k = 0; k < 40000; ++k)
        big.Set += QStringLiteral("KEY%1 %2\n").arg(k).arg(k * 7);
    big.Changes = {{QStringLiteral("GAIN"), QStringLiteral("4"), QStringLiteral("5"), {}}};
    QVERIFY(!store.Record(big));
    QVERIFY2(store.Error().startsWith(path) && store.Error().size() > path.size() + 2,
             qPrintable(store.Error()));
    QCOMPARE(big.Id, 0);

    // The earlier records are intact, for this store and for a new one.
    auto events = store.Events(QStringLiteral("SN1"));
    QVERIFY2(events, qPrintable(store.Error()));
    QCOMPARE(events->size(), 5);
    {
        TRecordStore reader(path);
        QVERIFY2(reader.Open(), qPrintable(reader.Error()));
        QCOMPARE(reader.Events(QStringLiteral("SN1"))->size(), 5);
        QCOMPARE(reader.LastSet(QStringLiteral("SN1")), QStringLiteral("GAIN 4\n"));
    }

    // Space again: recording goes on.
    QVERIFY(QFile::remove(disk.FilePath(QStringLiteral(".filler"))));
    QVERIFY2(store.Record(big), qPrintable(store.Error()));
    events = store.Events(QStringLiteral("SN1"));
    QCOMPARE(events->size(), 6);
    QCOMPARE(events->at(0).Changes.size(), 1);
    QCOMPARE(store.EventSet(big.Id), big.Set);
}

void TstRecordStore::twoProgramsAtOnce() {
    // Both into a database that does not exist yet: both create it, switch
    // it to WAL and migrate it at once; a few rounds, since the moment the
    // two meet differs from run to run.
    constexpr int Rounds = 4, N = 150;
    for (int round = 0; round < Rounds; ++round) {
        const QString path = m_dir->filePath(QStringLiteral("both%1/records.sqlite").arg(round));
        QDir().mkpath(QFileInfo(path).absolutePath());
        QProcess a, b;
        for (auto [p, tag] : {std::pair{&a, "a"}, {&b, "b"}})
            p->start(QStringLiteral(ORX_RECORD_WRITER),
                     {path, QStringLiteral("SN1"), QString::number(N), QString::fromLatin1(tag)});
        QVERIFY(a.waitForStarted(60000) && b.waitForStarted(60000));
        QTRY_VERIFY_WITH_TIMEOUT(
            a.state() == QProcess::NotRunning && b.state() == QProcess::NotRunning, 240000);
        for (QProcess* p : {&a, &b}) {
            QCOMPARE(p->exitStatus(), QProcess::NormalExit);
            QVERIFY2(p->exitCode() == 0, p->readAllStandardError().constData());
        }
        TRecordStore store(path);
        QVERIFY(store.Open());
        const auto events = store.Events(QStringLiteral("SN1"));
        QVERIFY(events);
        QCOMPARE(events->size(), 2 * N);
        QSet<QString> links;
        for (const TRecordEvent& e : *events)
            links.insert(e.Link);
        QCOMPARE(links.size(), 2 * N); // each writer's each event, once
    }
}

QTEST_GUILESS_MAIN(TstRecordStore)
#include "tst_recordstore.moc"
