// SPDX-License-Identifier: MIT
// The simulated sensor's command behaviour: line discipline and framing,
// identity, parameters, system mode, working and permanent set, the
// measurement output and robustness against hostile input.
#include "SimTestUtil.h"
#include "TSimFormat.h"
#include "TSimProfile.h"
#include "TSimSensor.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

namespace {

TSimOptions Model(const char* name, int sid = 1) {
    TSimOptions options;
    options.Model = QLatin1String(name);
    options.Sid = sid;
    return options;
}

QList<QByteArray> Lines(const QByteArray& text) {
    QList<QByteArray> lines = text.split('\n');
    for (QByteArray& line : lines)
        line = line.trimmed();
    lines.removeAll(QByteArray());
    return lines;
}

// Measurement lines in everything sent so far: the lines between CR LF
// that are not echoes, answers or prompts of the commands given.
QList<QByteArray> MeasurementLines(const QByteArray& all, qsizetype from) {
    QList<QByteArray> result;
    for (const QByteArray& line : all.mid(from).split('\n')) {
        if (line.endsWith('\r')) result << line.chopped(1);
    }
    return result;
}

} // namespace

class TstSimSensor : public QObject {
    Q_OBJECT
private slots:
    void lineDiscipline_data();
    void lineDiscipline();
    void hostFraming();
    void identityByModel_data();
    void identityByModel();
    void parameterQuery_data();
    void parameterQuery();
    void parameterSet_data();
    void parameterSet();
    void systemMode();
    void readListing();
    void groupListings_data();
    void groupListings();
    void workingAndPermanentSet();
    void lineFormats_data();
    void lineFormats();
    void profileDeterministicAndPlausible();
    void measurementOutput();
    void measurementLengthCounter();
    void lengthRefusedWithoutCounter();
    void otherInterfaceStaysSilent();
    void splitAnswerNotInterleaved();
    void flowControl();
    void endlessLineIsCut();
    void randomInputIsHarmless();
    void serviceCommands_data();
    void serviceCommands();
};

void TstSimSensor::lineDiscipline_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("output");
    QTest::newRow("command") << QByteArray("SID\r\n") << QByteArray("SID\r\n1\r\n->");
    QTest::newRow("lower case") << QByteArray("sid\r") << QByteArray("sid\r\n1\r\n->");
    QTest::newRow("blanks trimmed") << QByteArray(" SID  \r\n") << QByteArray(" SID  \r\n1\r\n->");
    QTest::newRow("attention") << QByteArray("\r\x11\x1b") << QByteArray("\r\n->");
    QTest::newRow("empty line") << QByteArray("\r\n") << QByteArray("\r\n->");
    QTest::newRow("LF alone") << QByteArray("\n\n") << QByteArray();
    QTest::newRow("ESC cancels") << QByteArray("INF\x1bSID\r\n")
                                 << QByteArray("INF\r\n->SID\r\n1\r\n->");
    QTest::newRow("backspace") << QByteArray("SIX\bD\r") << QByteArray("SIX\b \bD\r\n1\r\n->");
    QTest::newRow("XON not input") << QByteArray("S\x11ID\r") << QByteArray("SID\r\n1\r\n->");
    QTest::newRow("two commands") << QByteArray("S1ON\r\nS1ON 0\r\n")
                                  << QByteArray("S1ON\r\n0\r\n->S1ON 0\r\n->");
    QTest::newRow("unknown") << QByteArray("XYZ\r\n") << QByteArray("XYZ\r\nE01\r\n->");
    QTest::newRow("file header") << QByteArray("REM PARAMETER FILE\r\n")
                                 << QByteArray("REM PARAMETER FILE\r\nE01\r\n->");
    QTest::newRow("serial line") << QByteArray("S/N 123\r\n") << QByteArray("S/N 123\r\nE01\r\n->");
}

void TstSimSensor::lineDiscipline() {
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, output);
    TSimSensor sensor;
    TSimCollector host(sensor);
    QCOMPARE(host.Talk(input), output);
}

// The host's own extraction rules applied to the sensor's answers.
void TstSimSensor::hostFraming() {
    TSimSensor sensor;
    TSimCollector host(sensor);
    host.Talk("\r\x11\x1b");
    host.Talk(" ");
    QCOMPARE(ExtractReply(host.Talk("SID\r\n"), "SID\r\n", "\r\n"), QByteArray("1"));
    QCOMPARE(ExtractReply(host.Talk(" S1ON\r\nS1ON 0\r\n"), "S1ON\r\n", "\r\n"), QByteArray("0"));
    const QByteArray info = ExtractReply(host.Talk("INFO\r\n"), "INFO\r\n", "->");
    QVERIFY(info.startsWith("ORX 9 "));
    QVERIFY(info.endsWith("\r\n"));
    QVERIFY(info.contains("\r\nS/N 40001\r\n"));
    QVERIFY(!ExtractReply(host.Talk("POST\r\n"), "POST\r\n", "->").isEmpty());
    // Auto-update style: value line ended by CR only, then the query.
    host.Talk("AVERAGE 250\r");
    QCOMPARE(ExtractReply(host.Talk("AVERAGE\r"), "AVERAGE\r\n", "\r\n"), QByteArray("250 ms"));
}

void TstSimSensor::identityByModel_data() {
    QTest::addColumn<QString>("model");
    QTest::addColumn<bool>("firmware32");
    QTest::addColumn<QByteArray>("onlyKey");
    QTest::addColumn<QByteArray>("missingKey");
    QTest::newRow("9") << "9" << true << QByteArray("INC2FACTOR") << QByteArray("INCFACTOR");
    QTest::newRow("7") << "7" << false << QByteArray("INCFACTOR") << QByteArray("INC1ON");
    QTest::newRow("5") << "5" << false << QByteArray("INCON") << QByteArray("OUT0LEVEL");
}

void TstSimSensor::identityByModel() {
    QFETCH(QString, model);
    QFETCH(bool, firmware32);
    QFETCH(QByteArray, onlyKey);
    QFETCH(QByteArray, missingKey);
    TSimOptions options;
    options.Model = model;
    options.Serial = QStringLiteral("12345");
    TSimSensor sensor(options);
    TSimCollector host(sensor);
    const QList<QByteArray> info = Lines(ExtractReply(host.Talk("INFO\r\n"), "INFO\r\n", "->"));
    QVERIFY(info.size() >= 3);
    QVERIFY(info.at(0).startsWith("ORX " + model.toLatin1() + ' '));
    QCOMPARE(info.at(0).toLower().contains("32bit"), firmware32);
    QVERIFY(info.contains("S/N 12345"));
    const QByteArray post = ExtractReply(host.Talk("POST\r\n"), "POST\r\n", "->");
    QCOMPARE(post == "E01\r\n", !firmware32);
    QVERIFY(!host.Talk(onlyKey + "\r").contains("E01"));
    QVERIFY(host.Talk(missingKey + "\r").contains("\r\nE01\r\n"));
}

void TstSimSensor::parameterQuery_data() {
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("unit") << QByteArray("AVERAGE") << QByteArray("100 ms");
    QTest::newRow("any case") << QByteArray("aVeRaGe") << QByteArray("100 ms");
    QTest::newRow("format with blank") << QByteArray("S1FORMAT") << QByteArray("V*60:6:3' m/min'");
    QTest::newRow("time") << QByteArray("S1TIME") << QByteArray("1000 ms");
    QTest::newRow("switch") << QByteArray("S1ON") << QByteArray("0");
    QTest::newRow("system outside") << QByteArray("CONSTANT") << QByteArray("E02");
    QTest::newRow("unknown key") << QByteArray("AVERAGEX") << QByteArray("E01");
}

void TstSimSensor::parameterQuery() {
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, answer);
    TSimSensor sensor;
    TSimCollector host(sensor);
    QCOMPARE(ExtractReply(host.Talk(command + "\r\n"), command + "\r\n", "\r\n"), answer);
}

void TstSimSensor::parameterSet_data() {
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("plain") << QByteArray("AVERAGE 200") << QByteArray("->") << "AVERAGE"
                           << "200";
    QTest::newRow("unit dropped") << QByteArray("average 250 ms") << QByteArray("->") << "AVERAGE"
                                  << "250";
    QTest::newRow("out of range") << QByteArray("AVERAGE 0") << QByteArray("E05\r\n->") << "AVERAGE"
                                  << "100";
    QTest::newRow("not a number") << QByteArray("S1ON x") << QByteArray("E05\r\n->") << "S1ON"
                                  << "0";
    QTest::newRow("whole text") << QByteArray("S2FORMAT R:5:1' %'") << QByteArray("->")
                                << "S2FORMAT"
                                << "R:5:1' %'";
    QTest::newRow("system outside") << QByteArray("LAMP 20") << QByteArray("E02\r\n->") << "LAMP"
                                    << "31";
}

void TstSimSensor::parameterSet() {
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, answer);
    QFETCH(QString, key);
    QFETCH(QString, value);
    TSimSensor sensor;
    TSimCollector host(sensor);
    QCOMPARE(host.Talk(command + "\r\n"), command + "\r\n" + answer);
    QCOMPARE(sensor.Value(key), value);
}

void TstSimSensor::systemMode() {
    TSimSensor sensor;
    TSimCollector host(sensor);
    host.Talk("*SYSTEM\r\n");
    QVERIFY(host.Talk("tarvek\r\n").contains("E02"));
    QVERIFY(!sensor.SystemMode());
    QVERIFY(host.Talk("CONSTANT\r\n").contains("\r\nE02\r\n"));

    host.Talk("*SYSTEM\r\n");
    host.Talk("TARVEK\r\n");
    QVERIFY(sensor.SystemMode());
    QCOMPARE(ExtractReply(host.Talk("CONSTANT\r\n"), "CONSTANT\r\n", "\r\n"), QByteArray("24716"));
    QVERIFY(host.Talk("LAMP 20\r\n").endsWith("LAMP 20\r\n->"));
    QCOMPARE(sensor.Value("LAMP"), QString("20"));
    // Factory values stay as they are, even in system mode.
    QVERIFY(host.Talk("CONSTANT 1\r\n").contains("E05"));
    QVERIFY(host.Talk("FB2TYPE 3\r\n").contains("E05"));
    QCOMPARE(sensor.Value("CONSTANT"), QString("24716"));

    host.Talk("*EXIT\r\n");
    QVERIFY(!sensor.SystemMode());
    QVERIFY(host.Talk("LAMP\r\n").contains("\r\nE02\r\n"));
}

void TstSimSensor::readListing() {
    TSimSensor sensor;
    TSimCollector host(sensor);
    const auto read = [&] { return Lines(ExtractReply(host.Talk("READ\r\n"), "READ\r\n", "->")); };
    const QList<QByteArray> normal = read();
    host.Talk("*SYSTEM\r\nTARVEK\r\n");
    const QList<QByteArray> system = read();
    QCOMPARE(system.size(), sensor.Parameters().Defs().size());
    QCOMPARE(system.size() - normal.size(), sensor.Parameters().Group(2).size());
    static const QRegularExpression layout(QStringLiteral("^[A-Z0-9]{1,13} +\\S"));
    for (const QByteArray& line : system) {
        QVERIFY2(layout.match(QString::fromLatin1(line)).hasMatch(), line.constData());
        QVERIFY2(line.size() > 14 && line.at(13) == ' ' && line.at(14) != ' ', line.constData());
    }
    QVERIFY(system.contains("AVERAGE       100 ms"));
    QVERIFY(system.contains("CONSTANT      24716"));
    QVERIFY(system.contains("S1FORMAT      V*60:6:3' m/min'"));
    QVERIFY(!normal.contains("CONSTANT      24716"));
}

void TstSimSensor::groupListings_data() {
    QTest::addColumn<QString>("model");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QStringList>("keys");
    QTest::newRow("PS1") << "9" << QByteArray("PS1")
                         << QStringList{"S1ON", "S1FORMAT", "S1INTERFACE", "S1OUTPUT", "S1TIME"};
    QTest::newRow("PS2") << "9" << QByteArray("ps2")
                         << QStringList{"S2ON", "S2FORMAT", "S2INTERFACE", "S2OUTPUT", "S2TIME"};
    QTest::newRow("PINC 16-bit") << "7" << QByteArray("PINC")
                                 << QStringList{"INCON", "INCVALUE", "INCOUTPUT", "INCFACTOR"};
    QTest::newRow("PAN") << "9" << QByteArray("PAN")
                         << QStringList{"ANON", "ANVALUE", "ANOUTPUT", "ANMIN", "ANMAX"};
    QTest::newRow("PECC") << "9" << QByteArray("PECC")
                          << QStringList{"ECCON", "ECCR1", "ECCR2", "ECCV1", "ECCV2"};
}

void TstSimSensor::groupListings() {
    QFETCH(QString, model);
    QFETCH(QByteArray, command);
    QFETCH(QStringList, keys);
    TSimOptions options;
    options.Model = model;
    TSimSensor sensor(options);
    TSimCollector host(sensor);
    QStringList got;
    for (const QByteArray& line : Lines(ExtractReply(host.Talk(command + "\r\n"), "\r\n", "->")))
        got << QString::fromLatin1(line.left(line.indexOf(' ')));
    QCOMPARE(got, keys);
    QVERIFY(host.All.contains("S1TIME        1000 ms") || !command.toUpper().startsWith("PS1"));
}

void TstSimSensor::workingAndPermanentSet() {
    TSimSensor sensor;
    TSimCollector host(sensor);
    host.Talk("AVERAGE 200\r\n");
    QCOMPARE(sensor.Value("AVERAGE"), QString("200"));
    QCOMPARE(sensor.StoredValue("AVERAGE"), QString("100"));
    host.Talk("*RESTORE\r\n");
    QCOMPARE(sensor.Value("AVERAGE"), QString("100"));

    host.Talk("AVERAGE 300\r\n");
    host.Talk("*STORE\r\n");
    QVERIFY(host.Talk("KELBOR\r\n").contains("E05"));
    QCOMPARE(sensor.StoredValue("AVERAGE"), QString("100"));
    host.Talk("*STORE\r\n");
    host.Talk("/KELBOR\r\n");
    QCOMPARE(sensor.StoredValue("AVERAGE"), QString("300"));

    host.Talk("AVERAGE 400\r\n");
    sensor.Restart();
    QCOMPARE(sensor.Value("AVERAGE"), QString("300"));
}

void TstSimSensor::lineFormats_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<double>("velocity");
    QTest::addColumn<double>("rate");
    QTest::addColumn<double>("length");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("short negative") << "s" << -1.0 << 100.0 << 0.0 << QByteArray("-0186A0 3E8");
    QTest::newRow("short positive") << "s" << 1.0 << 99.9 << 0.0 << QByteArray(" 0186A0 3E7");
    QTest::newRow("short zero") << "s" << -0.0 << 0.0 << 0.0 << QByteArray(" 000000 000");
    QTest::newRow("short clipped") << "s" << 500.0 << 150.0 << 0.0 << QByteArray(" FFFFFF 3E8");
    QTest::newRow("long") << "sl:h" << 1.0 << 100.0 << -10.0 << QByteArray(" 0186A0 3E8-000186A0");
    QTest::newRow("m/min") << "V*60:6:3' m/min'" << 1.0 << 90.0 << 0.0
                           << QByteArray("60.000 m/min");
    QTest::newRow("rate and text") << "R:5:1\" %\"" << 1.0 << 93.24 << 0.0 << QByteArray(" 93.2 %");
    QTest::newRow("huge width") << "V:999999:99" << 1.0 << 0.0 << 0.0
                                << QByteArray("                   1.000000000");
}

void TstSimSensor::lineFormats() {
    QFETCH(QString, format);
    QFETCH(double, velocity);
    QFETCH(double, rate);
    QFETCH(double, length);
    QFETCH(QByteArray, line);
    QCOMPARE(FormatSimLine(format, velocity, rate, length), line);
}

// Ten minutes of the strip: same seed, same run; it moves, stands still
// and keeps its signal rate high but for rare drop-outs.
void TstSimSensor::profileDeterministicAndPlausible() {
    TSimProfile a(7);
    TSimProfile b(7);
    TSimProfile other(8);
    int differs = 0;
    int moving = 0;
    int stopsAfterMoving = 0;
    int dropOuts = 0;
    int samples = 0;
    double vmax = 0;
    for (qint64 ms = 0; ms < 600000; ms += 10, ++samples) {
        const TSimSample s = a.At(ms);
        const TSimSample t = b.At(ms);
        QCOMPARE(s.Velocity, t.Velocity);
        QCOMPARE(s.Rate, t.Rate);
        differs += other.At(ms).Velocity != s.Velocity;
        QVERIFY(s.Rate >= 0 && s.Rate <= 100);
        dropOuts += s.Rate < 80;
        vmax = std::max(vmax, std::abs(s.Velocity));
        if (s.Velocity > 0.5)
            ++moving;
        else if (s.Velocity == 0 && moving > 0)
            ++stopsAfterMoving;
    }
    QVERIFY(differs > samples / 2);
    QVERIFY(moving > samples / 4);
    QVERIFY(stopsAfterMoving > 0);
    QVERIFY(vmax > 1 && vmax < 6);
    QVERIFY(dropOuts > 0);
    QVERIFY(dropOuts < samples / 50);
}

void TstSimSensor::measurementOutput() {
    TSimSensor sensor;
    TSimCollector host(sensor);
    host.Talk("S1FORMAT s\r\nS1OUTPUT 0\r\nS1TIME 10\r\n");
    const QByteArray answer = host.Talk("S1ON 1\r\n");
    QCOMPARE(answer, QByteArray("S1ON 1\r\n->")); // no line inside the answer
    const qsizetype from = host.All.size();
    QElapsedTimer clock;
    clock.start();
    QTRY_VERIFY_WITH_TIMEOUT(MeasurementLines(host.All, from).size() >= 30, 20000);
    const QList<QByteArray> lines = MeasurementLines(host.All, from);
    // Never more lines than the schedule allows (one per 10 ms).
    QVERIFY(lines.size() <= clock.elapsed() / 10 + 2);
    static const QRegularExpression layout(QStringLiteral("^[ -][0-9A-F]{6} [0-9A-F]{3}$"));
    for (const QByteArray& line : lines) {
        QVERIFY2(layout.match(QString::fromLatin1(line)).hasMatch(), line.constData());
        QVERIFY(line.mid(8, 3).toInt(nullptr, 16) <= 1000);
    }
    host.Talk("S1ON 0\r\n");
    const qint64 count = sensor.MeasurementLines();
    // Lines stop with the switch-off (a pause that can only hide a fault, never cause one).
    QTest::qWait(50);
    QCOMPARE(sensor.MeasurementLines(), count);
    QCOMPARE(host.Talk("SID\r\n"), QByteArray("SID\r\n1\r\n->"));
}

void TstSimSensor::measurementLengthCounter() {
    TSimSensor sensor;
    TSimCollector host(sensor);
    host.Talk("*SIMULATION 1 60\r\n"); // 60 m/min = 1 m/s
    QVERIFY(host.All.contains("SIMULATION ON"));
    host.Talk("START\r\nS1FORMAT sl:h\r\nS1TIME 20\r\nS1ON 1\r\n");
    const qsizetype from = host.All.size();
    QTRY_VERIFY_WITH_TIMEOUT(MeasurementLines(host.All, from).size() >= 10, 20000);
    host.Talk("S1ON 0\r\n");
    qint64 previous = -1;
    for (const QByteArray& line : MeasurementLines(host.All, from)) {
        if (line.size() != 20) continue; // the echo line of "S1ON 0"
        QCOMPARE(line.left(11), QByteArray(" 0186A0 3E8"));
        QCOMPARE(line.at(11), ' ');
        const qint64 length = line.mid(12).toLongLong(nullptr, 16);
        QVERIFY(length >= previous);
        previous = length;
    }
    QVERIFY(previous > 0);
    host.Talk("STOP\r\n");
    const double stopped = sensor.Length();
    QVERIFY(!sensor.LengthRunning());
    QCOMPARE(sensor.Length(), stopped);
}

void TstSimSensor::lengthRefusedWithoutCounter() {
    TSimSensor sensor(Model("5"));
    TSimCollector host(sensor);
    QCOMPARE(ExtractReply(host.Talk("S1FORMAT sl:h\r\n"), "\r\n", "->"), QByteArray("E04\r\n"));
    QCOMPARE(sensor.Value("S1FORMAT"), QString("V*60:6:3' m/min'"));
    QVERIFY(host.Talk("START\r\n").contains("E04"));
    QVERIFY(host.Talk("S1FORMAT s\r\n").endsWith("s\r\n->"));
}

void TstSimSensor::otherInterfaceStaysSilent() {
    TSimSensor sensor(Model("9", 2));
    TSimCollector host(sensor);
    QCOMPARE(ExtractReply(host.Talk("SID\r\n"), "SID\r\n", "\r\n"), QByteArray("2"));
    host.Talk("S1FORMAT V:7:4\r\nS1TIME 5\r\nS1ON 1\r\n"); // interface 1: not the host's
    host.Talk("S2FORMAT s\r\nS2TIME 20\r\nS2ON 1\r\n");
    const qsizetype from = host.All.size();
    QTRY_VERIFY_WITH_TIMEOUT(MeasurementLines(host.All, from).size() >= 10, 20000);
    for (const QByteArray& line : MeasurementLines(host.All, from))
        QCOMPARE(line.size(), 11);
}

// A split, delayed answer while lines stream at 1 ms: the lines wait
// until the whole answer is out.
void TstSimSensor::splitAnswerNotInterleaved() {
    TSimSensor sensor;
    TSimCollector host(sensor);
    host.Talk("S1FORMAT s\r\nS1TIME 1\r\nS1ON 1\r\n");
    QTRY_VERIFY_WITH_TIMEOUT(sensor.MeasurementLines() > 20, 20000);
    TSimFaults faults;
    faults.SplitPieces = 4;
    faults.SplitPauseMs = 30;
    sensor.SetFaults(faults);
    const qsizetype from = host.All.size();
    host.Talk("INFO\r\n");
    QTRY_VERIFY_WITH_TIMEOUT(host.All.indexOf("LENGTH COUNTER YES\r\n->", from) > 0, 20000);
    const QByteArray tail = host.All.mid(from);
    const QByteArray info = ExtractReply(tail, "INFO\r\n", "->");
    QVERIFY(info.startsWith("ORX 9 "));
    QCOMPARE(Lines(info).size(), 5);
    host.Talk("S1ON 0\r\n");
}

void TstSimSensor::flowControl() {
    TSimSensor sensor;
    TSimCollector host(sensor);
    QCOMPARE(host.Talk("\x13SID\r\n"), QByteArray());
    QVERIFY(sensor.OutputPaused());
    QCOMPARE(host.Talk("\x11"), QByteArray("SID\r\n1\r\n->"));
    QVERIFY(!sensor.OutputPaused());
}

void TstSimSensor::endlessLineIsCut() {
    TSimSensor sensor;
    TSimCollector host(sensor);
    const QByteArray echo = host.Talk(QByteArray(100000, 'A'));
    QCOMPARE(echo.size(), 256);
    QCOMPARE(host.Talk("\r"), QByteArray("\r\nE01\r\n->"));
    QCOMPARE(host.Talk("SID\r"), QByteArray("SID\r\n1\r\n->"));
}

void TstSimSensor::randomInputIsHarmless() {
    TSimSensor sensor;
    TSimCollector host(sensor);
    QRandomGenerator random(42);
    for (int round = 0; round < 200; ++round) {
        QByteArray chunk(int(random.bounded(1, 2000)), '\0');
        for (char& c : chunk)
            c = char(random.bounded(256));
        if (round % 10 == 0) chunk += "*SYSTEM\rTARVEK\r*UPDATE\rUPDATE\r:00000001FF\r";
        sensor.Receive(chunk);
    }
    sensor.SetTraceLimit(1024);
    QVERIFY(sensor.SentBytes().size() <= 1024 + 4096);
    // Whatever state the noise left: ESC, leave update mode, restart.
    sensor.Restart();
    QCOMPARE(host.Talk("\x1b\rSID\r"), QByteArray("\r\n->SID\r\n1\r\n->"));
}

void TstSimSensor::serviceCommands_data() {
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("TEST") << QByteArray("TEST") << QByteArray("TEST OK");
    QTest::newRow("TESYSTEM") << QByteArray("TESYSTEM") << QByteArray("TESYSTEM OK");
    QTest::newRow("TESTAN") << QByteArray("TESTAN") << QByteArray("TESTAN OK");
    QTest::newRow("TESTFB") << QByteArray("TESTFB") << QByteArray("TESTFB OK");
    QTest::newRow("TESTPS") << QByteArray("TESTPS") << QByteArray("TESTPS OK");
    QTest::newRow("TESTQ") << QByteArray("TESTQ") << QByteArray("TESTQ OK");
    QTest::newRow("TEMPERATURE") << QByteArray("TEMPERATURE") << QByteArray("TEMPERATURE ");
    QTest::newRow("SETAUTO") << QByteArray("SETAUTO") << QByteArray("SETAUTO OK");
    QTest::newRow("simulation on")
        << QByteArray("*SIMULATION 1 50") << QByteArray("SIMULATION ON 50");
    QTest::newRow("simulation off")
        << QByteArray("*SIMULATION 0 0") << QByteArray("SIMULATION OFF");
    QTest::newRow("simulation bad") << QByteArray("*SIMULATION x") << QByteArray("E05");
    QTest::newRow("V") << QByteArray("V") << QByteArray(" m/s");
}

void TstSimSensor::serviceCommands() {
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, expected);
    TSimSensor sensor;
    TSimCollector host(sensor);
    const QByteArray answer = host.Talk(command + "\r\n");
    QVERIFY2(answer.contains(expected), answer.constData());
    QVERIFY(answer.endsWith("\r\n->"));
    QCOMPARE(sensor.Value("AVERAGE"), QString("100")); // harmless
}

QTEST_GUILESS_MAIN(TstSimSensor)
#include "tst_simsensor.moc"
