// SPDX-License-Identifier: MIT
// Firmware update mode and the faults of the simulated sensor.
#include "SimTestUtil.h"
#include "TSimHex.h"
#include "TSimSensor.h"

#include <QSignalSpy>
#include <QTest>

namespace {

const QByteArray kFirmware = ":020000040000FA\r\n"
                             ":10010000214601360121470136007EFE09D2190140\r\n"
                             ":100110002146017E17C20001FF5F16002148011928\r\n"
                             ":00000001FF\r\n";

TSimOptions FastFlash(const char* model = "9") {
    TSimOptions options;
    options.Model = QLatin1String(model);
    options.FlashStepMs = 10;
    return options;
}

} // namespace

class TstSimUpdate : public QObject {
    Q_OBJECT
private slots:
    void hexRecords_data();
    void hexRecords();
    void madeImage();
    void updateFlow();
    void badLineDropsTransfer_data();
    void badLineDropsTransfer();
    void abortPathAfterBell();
    void escCancelsTransfer();
    void updateRefused();
    void faultMute();
    void faultSlowAnswer();
    void faultSplitAnswer();
    void faultNoiseBeforeEcho();
    void faultErrorForKey();
    void faultBellDuringUpdate();
    void faultHangUp();
    void traceRecordsBothDirections();
};

void TstSimUpdate::hexRecords_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("type");
    QTest::newRow("data") << QByteArray(":10010000214601360121470136007EFE09D2190140") << true << 0;
    QTest::newRow("lower case") << QByteArray(":10010000214601360121470136007efe09d2190140") << true
                                << 0;
    QTest::newRow("end of file") << QByteArray(":00000001FF") << true << 1;
    QTest::newRow("address") << QByteArray(":020000040000FA") << true << 4;
    QTest::newRow("checksum") << QByteArray(":10010000214601360121470136007EFE09D2190141") << false
                              << -1;
    QTest::newRow("no colon") << QByteArray("10010000214601360121470136007EFE09D2190140") << false
                              << -1;
    QTest::newRow("odd digits") << QByteArray(":00000001F") << false << -1;
    QTest::newRow("not hex") << QByteArray(":0000000XFF") << false << -1;
    QTest::newRow("length byte") << QByteArray(":0100000001FE00") << false << -1;
    QTest::newRow("unknown type") << QByteArray(":00000006FA") << false << -1;
}

void TstSimUpdate::hexRecords() {
    QFETCH(QByteArray, line);
    QFETCH(bool, valid);
    QFETCH(int, type);
    const THexRecord record = CheckHexRecord(line);
    QCOMPARE(record.Valid, valid);
    QCOMPARE(record.Type, type);
}

// The image maker's lines are records the sensor takes: the address, the
// data and the end record.
void TstSimUpdate::madeImage() {
    const QByteArray image = MakeHexFile(20);
    QVERIFY(image.endsWith("\r\n"));
    const QList<QByteArray> lines = image.trimmed().split('\n');
    QCOMPARE(lines.size(), 22);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const THexRecord record = CheckHexRecord(lines.at(i).trimmed());
        QVERIFY2(record.Valid, lines.at(i).constData());
        QCOMPARE(record.Type, i == 0 ? 4 : i == lines.size() - 1 ? 1 : 0);
    }
}

// The host's sequence: *UPDATE, rate command, UPDATE, the file line by
// line, wait for the completion text, EXIT.
void TstSimUpdate::updateFlow() {
    TSimSensor sensor(FastFlash());
    TSimCollector host(sensor);
    QSignalSpy rates(&sensor, &TSimSensor::LineRateChanged);
    host.Talk("\r\x11\x1b*SYSTEM\r\nTARVEK\r\n");
    const QByteArray first = ExtractReply(host.Talk("*UPDATE\r\n"), "\r\n", "\r\n");
    QVERIFY(!first.isEmpty());
    QVERIFY(!first.contains("E03"));
    QVERIFY(sensor.UpdateMode());
    host.Talk("\r");
    QVERIFY(host.Talk("B115K2\r\n").contains("BAUD 115200"));
    QCOMPARE(sensor.LineRate(), 115200);
    host.Talk("\r");
    host.Talk("UPDATE\r\n");
    QVERIFY(sensor.Transferring());
    const qsizetype from = host.All.size();
    for (const QByteArray& line : kFirmware.split('\n'))
        if (!line.isEmpty()) host.Talk(line + '\n');
    QCOMPARE(sensor.UpdateRecords(), 4);
    QTRY_VERIFY_WITH_TIMEOUT(host.All.indexOf("update successful", from) > 0, 20000);
    const QByteArray progress = ExtractReply(host.All.mid(from), "", "update successful");
    QVERIFY(progress.contains("Flash"));
    QVERIFY(!progress.contains('\x07'));
    QTRY_VERIFY_WITH_TIMEOUT(host.All.endsWith("update successful\r\n->"), 20000);
    QVERIFY(host.Talk("EXIT\r\n").endsWith("->"));
    QVERIFY(!sensor.UpdateMode());
    QCOMPARE(sensor.LineRate(), 9600);
    QCOMPARE(rates.size(), 2);
    QCOMPARE(host.Talk("SID\r\n"), QByteArray("SID\r\n1\r\n->"));
}

void TstSimUpdate::badLineDropsTransfer_data() {
    QTest::addColumn<QByteArray>("bad");
    QTest::newRow("checksum") << QByteArray(":10010000214601360121470136007EFE09D2190141");
    QTest::newRow("garbage") << QByteArray("hello");
    QTest::newRow("truncated") << QByteArray(":1001000021460136");
}

void TstSimUpdate::badLineDropsTransfer() {
    QFETCH(QByteArray, bad);
    TSimSensor sensor(FastFlash());
    TSimCollector host(sensor);
    host.Talk("*UPDATE\r\nUPDATE\r\n");
    QVERIFY(sensor.Transferring());
    host.Talk(":020000040000FA\r\n");
    QCOMPARE(host.Talk(bad + "\r\n"), QByteArray("\x07"));
    QVERIFY(!sensor.Transferring());
    QVERIFY(sensor.UpdateMode());
    QCOMPARE(sensor.UpdateRecords(), 1);
    // The rest of the file is no longer taken as records.
    host.Talk(":00000001FF\r\n");
    QCOMPARE(sensor.UpdateRecords(), 1);
    QVERIFY(!host.All.contains("update successful"));
}

// The host's abort path: ESC, "Q" without a line end, later "EXIT".
void TstSimUpdate::abortPathAfterBell() {
    TSimSensor sensor(FastFlash());
    TSimCollector host(sensor);
    host.Talk("*UPDATE\r\nB115K2\r\nUPDATE\r\n");
    QCOMPARE(host.Talk(":00000001FE\r\n"), QByteArray("\x07"));
    host.Talk("\x1b");
    host.Talk("Q");
    QVERIFY(!sensor.UpdateMode());
    QCOMPARE(sensor.LineRate(), 9600);
    QVERIFY(host.Talk("EXIT\r\n").endsWith("E01\r\n->"));
    QCOMPARE(host.Talk("SID\r\n"), QByteArray("SID\r\n1\r\n->"));
}

void TstSimUpdate::escCancelsTransfer() {
    TSimSensor sensor(FastFlash());
    TSimCollector host(sensor);
    host.Talk("*UPDATE\r\nUPDATE\r\n:0200");
    host.Talk("\x1b");
    QVERIFY(!sensor.Transferring());
    QVERIFY(sensor.UpdateMode());
    QVERIFY(host.Talk("EXIT\r\n").endsWith("->"));
    QVERIFY(!sensor.UpdateMode());
}

void TstSimUpdate::updateRefused() {
    TSimSensor sensor(FastFlash("5"));
    TSimCollector host(sensor);
    QCOMPARE(ExtractReply(host.Talk("*UPDATE\r\n"), "\r\n", "\r\n"), QByteArray("E03"));
    QVERIFY(!sensor.UpdateMode());
}

void TstSimUpdate::faultMute() {
    TSimSensor sensor;
    TSimCollector host(sensor);
    TSimFaults faults;
    faults.Mute = true;
    sensor.SetFaults(faults);
    QCOMPARE(host.Talk("SID\r\nINFO\r\n"), QByteArray());
    QCOMPARE(sensor.ReceivedBytes(), QByteArray("SID\r\nINFO\r\n"));
    sensor.ClearFaults();
    QCOMPARE(host.Talk("SID\r\n"), QByteArray("SID\r\n1\r\n->"));
}

void TstSimUpdate::faultSlowAnswer() {
    TSimSensor sensor;
    TSimCollector host(sensor);
    TSimFaults faults;
    faults.AnswerDelayMs = 300;
    sensor.SetFaults(faults);
    QCOMPARE(host.Talk("SID\r\n"), QByteArray("SID\r\n")); // the echo at once
    QTRY_COMPARE_WITH_TIMEOUT(host.All, QByteArray("SID\r\n1\r\n->"), 20000);
    const QList<TSimTraceEntry> trace = sensor.Trace();
    QCOMPARE(trace.size(), 3);
    QVERIFY(trace.at(2).TimeUs - trace.at(1).TimeUs >= 250000);
}

void TstSimUpdate::faultSplitAnswer() {
    TSimSensor sensor;
    TSimCollector host(sensor);
    TSimFaults faults;
    faults.SplitPieces = 3;
    faults.SplitPauseMs = 20;
    sensor.SetFaults(faults);
    host.Talk("INFO\r\n");
    const int echoChunks = host.Chunks;
    QTRY_VERIFY_WITH_TIMEOUT(host.All.endsWith("->"), 20000);
    QCOMPARE(host.Chunks - echoChunks, 3);
    QVERIFY(ExtractReply(host.All, "INFO\r\n", "->").startsWith("ORX 9 "));
}

void TstSimUpdate::faultNoiseBeforeEcho() {
    TSimSensor sensor;
    TSimCollector host(sensor);
    TSimFaults faults;
    faults.NoiseBeforeEcho = QByteArray("\x00\xfe#~", 4);
    sensor.SetFaults(faults);
    const QByteArray out = host.Talk(" SID\r\n");
    QVERIFY(out.startsWith(faults.NoiseBeforeEcho));
    QCOMPARE(ExtractReply(out, "SID\r\n", "\r\n"), QByteArray("1"));
}

void TstSimUpdate::faultErrorForKey() {
    TSimSensor sensor;
    TSimCollector host(sensor);
    TSimFaults faults;
    faults.ErrorKeys.insert(QStringLiteral("S1ON"), QStringLiteral("E07"));
    sensor.SetFaults(faults);
    QCOMPARE(ExtractReply(host.Talk("s1on\r\n"), "s1on\r\n", "\r\n"), QByteArray("E07"));
    QVERIFY(host.Talk("S1ON 1\r\n").contains("E07"));
    QCOMPARE(sensor.Value("S1ON"), QString("0"));
    QCOMPARE(ExtractReply(host.Talk("S2ON\r\n"), "S2ON\r\n", "\r\n"), QByteArray("0"));
}

void TstSimUpdate::faultBellDuringUpdate() {
    TSimSensor sensor(FastFlash());
    TSimCollector host(sensor);
    TSimFaults faults;
    faults.BellAfterRecords = 2;
    sensor.SetFaults(faults);
    host.Talk("*UPDATE\r\nUPDATE\r\n");
    QByteArray out;
    for (const QByteArray& line : kFirmware.split('\n')) {
        if (out.contains('\x07')) break; // the host stops at the BEL
        out += host.Talk(line + '\n');
    }
    QCOMPARE(out, QByteArray("\x07"));
    QCOMPARE(sensor.UpdateRecords(), 2);
    QVERIFY(!sensor.Transferring());
}

void TstSimUpdate::faultHangUp() {
    TSimSensor sensor;
    QSignalSpy hangUps(&sensor, &TSimSensor::HangUpRequested);
    sensor.HangUp();
    QCOMPARE(hangUps.size(), 1);
}

void TstSimUpdate::traceRecordsBothDirections() {
    TSimSensor sensor;
    TSimCollector host(sensor);
    host.Talk("SID\r\n");
    const QList<TSimTraceEntry> trace = sensor.Trace();
    QVERIFY(trace.size() >= 2);
    QVERIFY(trace.at(0).FromHost);
    QCOMPARE(trace.at(0).Bytes, QByteArray("SID\r\n"));
    QByteArray sent;
    for (qsizetype i = 1; i < trace.size(); ++i) {
        QVERIFY(!trace.at(i).FromHost);
        QVERIFY(trace.at(i).TimeUs >= trace.at(i - 1).TimeUs);
        sent += trace.at(i).Bytes;
    }
    QCOMPARE(sent, QByteArray("SID\r\n1\r\n->"));
    QCOMPARE(sensor.SentBytes(), sent);
    sensor.SetTraceLimit(4);
    QCOMPARE(sensor.Trace().size(), 1);
    sensor.ClearTrace();
    QVERIFY(sensor.Trace().isEmpty());
}

QTEST_GUILESS_MAIN(TstSimUpdate)
#include "tst_simupdate.moc"
