// SPDX-License-Identifier: MIT
// The changes of a write and the printed forms of the record, without a
// database.
#include "RecordChanges.h"
#include "RecordPrint.h"

#include <QJsonArray>
#include <QTest>

#include <ctime>

class TstRecord : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void changesAgainstTheLastSet();
    void changesWithoutAnEarlierSet();
    void refusedAndUnknownLines();
    void eventText();
    void textCutsLongValues();
    void eventJson();
    void sensorsTextAndJson();
    void since_data();
    void since();
    void namesRoundTrip();
};

void TstRecord::initTestCase() {
    // Central European time: May is two hours ahead of UTC, so that the
    // text's local time is really converted.
    qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    ::tzset();
}

void TstRecord::changesAgainstTheLastSet() {
    const QString last = QStringLiteral("REM read 2024-05-01\r\nGAIN 10\r\nFILTER 3 ms\r\n"
                                        "MODE 1\r\nONLYSENSOR 7\r\n");
    // Same value with and without its unit, case of the key, alignment:
    // no change. Only what differs, in the order sent.
    const QString sent =
        QStringLiteral("mode   2\nFILTER 3\nGAIN 12\nNEWKEY x y\n*STORE\nONLYSENSOR 7\n");
    const QList<TRecordChange> changes = WriteChanges(last, sent);
    const QList<TRecordChange> expected = {
        {QStringLiteral("MODE"), QStringLiteral("1"), QStringLiteral("2"), {}},
        {QStringLiteral("GAIN"), QStringLiteral("10"), QStringLiteral("12"), {}},
        {QStringLiteral("NEWKEY"), std::nullopt, QStringLiteral("x y"), {}},
    };
    QCOMPARE(changes, expected);
    QVERIFY(WriteChanges(last, last).isEmpty());
}

void TstRecord::changesWithoutAnEarlierSet() {
    const QString sent = QStringLiteral("GAIN 12\nMODE 2\n");
    const QList<TRecordChange> changes = WriteChanges(QString(), sent);
    QCOMPARE(changes.size(), 2);
    for (const TRecordChange& c : changes)
        QVERIFY(!c.Old);
    QCOMPARE(changes.at(1).Key, QStringLiteral("MODE"));
    // A known but empty set: the old values are known to be missing.
    const QList<TRecordChange> againstEmpty = WriteChanges(QStringLiteral(""), sent);
    QCOMPARE(againstEmpty.size(), 2);
    QVERIFY(!againstEmpty.at(0).Old);
}

void TstRecord::refusedAndUnknownLines() {
    const QString last = QStringLiteral("GAIN 10\nMODE 1\nLIMIT 5\n");
    const QString sent = QStringLiteral("GAIN 12\nMODE 1\nLIMIT 5\n");
    // MODE is sent unchanged but refused: listed with the answer. LIMIT's
    // last value was refused by the write that recorded it: not known.
    const QList<TRecordChange> changes = WriteChanges(
        last, sent, {{QStringLiteral("mode"), QStringLiteral("E05")}}, {QStringLiteral("LIMIT")});
    const QList<TRecordChange> expected = {
        {QStringLiteral("GAIN"), QStringLiteral("10"), QStringLiteral("12"), {}},
        {QStringLiteral("MODE"), QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("E05")},
        {QStringLiteral("LIMIT"), std::nullopt, QStringLiteral("5"), {}},
    };
    QCOMPARE(changes, expected);
}

static TRecordEvent SampleWrite() {
    TRecordEvent e;
    e.Id = 42;
    e.Serial = QStringLiteral("SN1001");
    e.Time = QDateTime(QDate(2024, 5, 2), QTime(12, 3, 11, 250), Qt::UTC);
    e.User = QStringLiteral("alice");
    e.Host = QStringLiteral("bench-pc");
    e.Link = QStringLiteral("ttyUSB0 115200");
    e.Action = TRecordAction::WriteAndStore;
    e.Outcome = TFlowResult::SensorError;
    e.Message = QStringLiteral("line 3 refused");
    e.Changes = {
        {QStringLiteral("GAIN"), QStringLiteral("10"), QStringLiteral("12"), {}},
        {QStringLiteral("FILTER"), std::nullopt, QStringLiteral("3"), {}},
        {QStringLiteral("MODE"), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("E05")},
    };
    e.HasSet = true;
    return e;
}

void TstRecord::eventText() {
    QCOMPARE(EventText(SampleWrite()),
             QStringLiteral("2024-05-02 14:03:11  WriteAndStore   SensorError      alice  "
                            "line 3 refused\n"
                            "    GAIN 10 -> 12\n"
                            "    FILTER ? -> 3\n"
                            "    MODE 1 -> 2  (refused: E05)\n"));
    TRecordEvent update;
    update.Time = QDateTime(QDate(2024, 1, 15), QTime(8, 0), Qt::UTC);
    update.User = QStringLiteral("bob");
    update.Action = TRecordAction::FirmwareUpdate;
    update.FirmwareFile = QStringLiteral("orx-2.4.hex");
    update.FirmwareSha256 = QStringLiteral("ab12");
    QCOMPARE(EventText(update), QStringLiteral("2024-01-15 09:00:00  FirmwareUpdate  Done       "
                                               "      bob\n"
                                               "    orx-2.4.hex  sha256 ab12\n"));
}

void TstRecord::textCutsLongValues() {
    TRecordEvent e = SampleWrite();
    e.Message = QString(5000, u'm');
    e.Changes = {{QString(300, u'K'), QString(300, u'o'), QString(300, u'n'), QString(300, u'E')}};
    for (const QString& line : EventText(e).split(u'\n'))
        QVERIFY2(line.size() < 400, qPrintable(line.left(80)));
}

void TstRecord::eventJson() {
    const QJsonDocument doc = EventsJson(QStringLiteral("SN1001"), {SampleWrite()});
    const QJsonDocument reparsed = QJsonDocument::fromJson(doc.toJson());
    QCOMPARE(reparsed[u"serial"].toString(), QStringLiteral("SN1001"));
    const QJsonObject e = reparsed[u"events"].toArray().at(0).toObject();
    QCOMPARE(e[u"id"].toInteger(), 42);
    QCOMPARE(e[u"time"].toString(), QStringLiteral("2024-05-02T12:03:11.250Z"));
    QCOMPARE(e[u"action"].toString(), QStringLiteral("WriteAndStore"));
    QCOMPARE(e[u"outcome"].toString(), QStringLiteral("SensorError"));
    QCOMPARE(e[u"user"].toString(), QStringLiteral("alice"));
    QCOMPARE(e[u"host"].toString(), QStringLiteral("bench-pc"));
    QCOMPARE(e[u"link"].toString(), QStringLiteral("ttyUSB0 115200"));
    QCOMPARE(e[u"hasSet"].toBool(), true);
    const QJsonArray changes = e[u"changes"].toArray();
    QCOMPARE(changes.size(), 3);
    QVERIFY(changes.at(1)[u"old"].isNull());
    QCOMPARE(changes.at(0)[u"old"].toString(), QStringLiteral("10"));
    QVERIFY(changes.at(0)[u"refused"].isNull());
    QCOMPARE(changes.at(2)[u"refused"].toString(), QStringLiteral("E05"));
}

void TstRecord::sensorsTextAndJson() {
    TRecordEvent a = SampleWrite();
    TRecordEvent b = SampleWrite();
    b.Serial = QStringLiteral("SN7");
    b.Action = TRecordAction::Read;
    b.Outcome = TFlowResult::Done;
    b.Message.clear();
    b.Changes.clear();
    const QStringList lines = SensorsText({a, b}).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2); // one line each, changes not shown
    QVERIFY(lines.at(0).startsWith(QStringLiteral("SN1001  2024-05-02 14:03:11  WriteAndStore")));
    QVERIFY(lines.at(1).startsWith(QStringLiteral("SN7     2024-05-02 14:03:11  Read ")));
    const QJsonArray sensors = SensorsJson({a, b})[u"sensors"].toArray();
    QCOMPARE(sensors.size(), 2);
    QCOMPARE(sensors.at(1)[u"serial"].toString(), QStringLiteral("SN7"));
    QCOMPARE(sensors.at(1)[u"last"][u"action"].toString(), QStringLiteral("Read"));
    QVERIFY(SensorsText({}).isEmpty());
}

void TstRecord::since_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDateTime>("utc"); // invalid: refused
    QTest::newRow("date: local midnight")
        << "2024-05-02" << QDateTime(QDate(2024, 5, 1), QTime(22, 0), Qt::UTC);
    QTest::newRow("date-time with T")
        << "2024-05-02T14:30" << QDateTime(QDate(2024, 5, 2), QTime(12, 30), Qt::UTC);
    QTest::newRow("date-time with a blank")
        << "2024-05-02 14:30:15" << QDateTime(QDate(2024, 5, 2), QTime(12, 30, 15), Qt::UTC);
    QTest::newRow("UTC") << "2024-05-02T14:30:00Z"
                         << QDateTime(QDate(2024, 5, 2), QTime(14, 30), Qt::UTC);
    QTest::newRow("offset") << "2024-05-02T14:30:00+01:00"
                            << QDateTime(QDate(2024, 5, 2), QTime(13, 30), Qt::UTC);
    QTest::newRow("winter date") << "2024-01-10"
                                 << QDateTime(QDate(2024, 1, 9), QTime(23, 0), Qt::UTC);
    QTest::newRow("not a date") << "yesterday" << QDateTime();
    QTest::newRow("bad month") << "2024-13-01" << QDateTime();
    QTest::newRow("empty") << "" << QDateTime();
}

void TstRecord::since() {
    QFETCH(QString, text);
    QFETCH(QDateTime, utc);
    const QDateTime parsed = ParseSince(text);
    QCOMPARE(parsed.isValid(), utc.isValid());
    if (utc.isValid()) QCOMPARE(parsed.toUTC(), utc);
}

void TstRecord::namesRoundTrip() {
    for (int a = int(TRecordAction::Identify); a <= int(TRecordAction::FirmwareUpdate); ++a)
        QCOMPARE(RecordActionFromName(RecordActionName(TRecordAction(a))), TRecordAction(a));
    for (int r = int(TFlowResult::Done); r <= int(TFlowResult::ConstantDiffers); ++r)
        QCOMPARE(FlowResultFromName(FlowResultName(TFlowResult(r))), TFlowResult(r));
    QVERIFY(!RecordActionFromName(QStringLiteral("write")));
}

QTEST_GUILESS_MAIN(TstRecord)
#include "tst_record.moc"
