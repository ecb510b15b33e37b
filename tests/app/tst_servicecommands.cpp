// SPDX-License-Identifier: MIT
// The service commands, each run as the real program against a simulated
// sensor (on a pseudo-terminal, once over TCP): exit codes, files, what
// reached the sensor, an interrupted send leaving system mode; and the
// comparison of two parameter sets.
#include "ParameterCompare.h"
#include "ServiceCommands.h"
#include "TSimHex.h"
#include "TSimPty.h"
#include "TSimSensor.h"
#include "TSimTcpServer.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {
QStringList ReadLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QStringList lines = QString::fromLatin1(file.readAll()).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

bool WriteLines(const QString& path, const QStringList& lines) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write((lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toLatin1()) > 0;
}

// A parameter file's line for `key` replaced by "key value".
QStringList WithValue(QStringList lines, const QString& key, const QString& value) {
    for (QString& line : lines)
        if (line.startsWith(key + u' ')) line = key + u' ' + value;
    return lines;
}
} // namespace

class TestServiceCommands : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<TSimPty> m_sim;
    std::unique_ptr<QProcess> m_run;
    QString m_data;
    int m_case = 0;

    bool StartSensor(const QString& model = QStringLiteral("9")) {
        TSimOptions options;
        options.Model = model;
        m_sim = std::make_unique<TSimPty>(options);
        m_sim->SetLinkPath(m_dir.filePath(QStringLiteral("sim")));
        return m_sim->Start();
    }
    TSimSensor& Sensor() { return m_sim->Sensor(); }
    QString Path(const char* name) const { return m_dir.filePath(QLatin1String(name)); }

    // Starts orxterm with `arguments` on the simulated sensor's pty (the
    // sensor answers while the test's event loop runs).
    void Launch(QStringList arguments, bool onPty = true,
                const QList<QPair<QString, QString>>& environment = {}) {
        m_run = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), Path("config"));
        // Each test case its own service record.
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_data);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        for (const auto& [name, value] : environment)
            if (value.isNull())
                env.remove(name);
            else
                env.insert(name, value);
        m_run->setProcessEnvironment(env);
        if (onPty) arguments << QStringLiteral("--port=") + m_sim->DevicePath();
        m_run->start(QStringLiteral(ORXTERM_EXE), arguments);
    }
    // Waits for the run to end; its exit code.
    int Finished() {
        [&] { QTRY_VERIFY_WITH_TIMEOUT(m_run->state() == QProcess::NotRunning, 60000); }();
        return m_run->exitStatus() == QProcess::NormalExit ? m_run->exitCode() : -1;
    }
    QString Output() { return QString::fromLocal8Bit(m_run->readAllStandardOutput()); }

    QJsonObject JsonOutput() {
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(m_run->readAllStandardOutput(), &error);
        if (error.error != QJsonParseError::NoError) qWarning() << error.errorString();
        return doc.object();
    }

private slots:
    void init() { m_data = m_dir.filePath(QStringLiteral("data%1").arg(++m_case)); }
    void cleanup() {
        if (m_run && m_run->state() != QProcess::NotRunning) {
            m_run->kill();
            m_run->waitForFinished(5000);
        }
        m_run.reset();
        m_sim.reset();
    }

    void usage_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("read without a file") << QStringList{QStringLiteral("read")};
        QTest::newRow("log without seconds")
            << QStringList{QStringLiteral("log"), QStringLiteral("x.csv")};
        QTest::newRow("both constant options")
            << QStringList{QStringLiteral("write"), QStringLiteral("x.par"),
                           QStringLiteral("--keep-constant"), QStringLiteral("--send-constant")};
        QTest::newRow("unknown option")
            << QStringList{QStringLiteral("info"), QStringLiteral("--bogus")};
        QTest::newRow("unknown option before the command")
            << QStringList{QStringLiteral("--prot=/dev/null"), QStringLiteral("info")};
        QTest::newRow("single dash is no file")
            << QStringList{QStringLiteral("read"), QStringLiteral("-x.par")};
        // Without a command it is the window's command line: refused before
        // any window exists.
        QTest::newRow("window, unknown option") << QStringList{QStringLiteral("--prot=/dev/null")};
    }
    void usage() {
        QFETCH(QStringList, arguments);
        Launch(arguments, false);
        QCOMPARE(Finished(), ServiceExit::Usage);
        const QByteArray error = m_run->readAllStandardError();
        QVERIFY2(error.contains("Service commands") || error.contains("Usage:"), error);
    }

    // The command may follow the switches, the file may come first, and the
    // port may lead.
    void anyOrder() {
        QVERIFY(StartSensor());
        Launch({QStringLiteral("debug"), QStringLiteral("info")});
        QCOMPARE(Finished(), ServiceExit::Done);
        QVERIFY(Output().contains(QStringLiteral("serial number: 40001")));

        const QString file = Path("order.par");
        Launch({QStringLiteral("-DEBUG"), file, QStringLiteral("read")});
        QCOMPARE(Finished(), ServiceExit::Done);
        QVERIFY(QFileInfo(file).size() > 0);

        Launch({QStringLiteral("--port=") + m_sim->DevicePath(), QStringLiteral("local"),
                QStringLiteral("compare"), file},
               false);
        QCOMPARE(Finished(), ServiceExit::Done);
    }

    void info() {
        QVERIFY(StartSensor());
        Launch({QStringLiteral("info")});
        QCOMPARE(Finished(), ServiceExit::Done);
        const QString out = Output();
        QVERIFY2(out.contains(QStringLiteral("serial number: ") + Sensor().Serial()),
                 qPrintable(out));
        QVERIFY(out.contains(QStringLiteral("32-bit: yes")));
        QVERIFY(out.contains(QStringLiteral("interface: 1")));
    }

    void noLink() {
        Launch({QStringLiteral("info"), QStringLiteral("--port=") + Path("nothing-here")}, false);
        QCOMPARE(Finished(), ServiceExit::NoLink);
    }

    // A second run on a port that the first one holds: busy, with the reason.
    void portBusy() {
        QVERIFY(StartSensor());
        Launch({QStringLiteral("log"), Path("first.csv"), QStringLiteral("--seconds=8")});
        QTRY_VERIFY_WITH_TIMEOUT(Sensor().ReceivedBytes().contains("S1ON 1\r\n"), 20000);
        auto first = std::move(m_run);
        Launch({QStringLiteral("info")});
        QCOMPARE(Finished(), ServiceExit::PortBusy);
        QVERIFY(QString::fromLocal8Bit(m_run->readAllStandardError()).contains(u"lock"));
        m_run = std::move(first);
        QCOMPARE(Finished(), ServiceExit::Done);
    }

    // Read into a file, change three values, compare, send with the
    // factory constant kept: the sensor has the file's values and has
    // left system mode with its output on.
    // A display that is not there (an ssh session from a Wayland desktop,
    // a cron job) does not matter to a service command that needs no window.
    void infoWithoutDisplay() {
        QVERIFY(StartSensor());
        Launch({QStringLiteral("info")}, true,
               {{QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland")},
                {QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("no-such-display")},
                {QStringLiteral("DISPLAY"), QString()}});
        QCOMPARE(Finished(), ServiceExit::Done);
        QVERIFY(Output().contains(QStringLiteral("serial number: ") + Sensor().Serial()));
    }

    void readCompareWrite() {
        QVERIFY(StartSensor(QStringLiteral("7"))); // 16-bit: the constant is asked about
        Sensor().SetValue(QStringLiteral("S1ON"), QStringLiteral("1")); // the output runs
        const QString par = Path("sensor.par");
        Launch({QStringLiteral("read"), par});
        QCOMPARE(Finished(), ServiceExit::Done);
        QVERIFY(!Sensor().SystemMode());
        QCOMPARE(Sensor().Value(QStringLiteral("S1ON")), QStringLiteral("1"));
        const QStringList read = ReadLines(par);
        QCOMPARE(read.first(), QStringLiteral("REM PARAMETER FILE"));
        QVERIFY(read.contains(QStringLiteral("REM S/N ") + Sensor().Serial()));
        QVERIFY(Sensor().ReceivedBytes().contains("READ\r\n"));

        const QString changed = Path("changed.par");
        const QString constant = Sensor().Value(QStringLiteral("CONSTANT"));
        QVERIFY(
            WriteLines(changed, WithValue(WithValue(WithValue(read, QStringLiteral("AVERAGE"),
                                                              QStringLiteral("200 ms")),
                                                    QStringLiteral("MINRATE"), QStringLiteral("7")),
                                          QStringLiteral("CONSTANT"), QStringLiteral("1234"))));
        Sensor().ClearTrace();
        Launch({QStringLiteral("compare"), changed});
        QCOMPARE(Finished(), ServiceExit::Done);
        // The link's identification, then the set read once as the
        // window's Compare reads it: no second identification, no INFO.
        const QByteArray heard = Sensor().ReceivedBytes();
        QCOMPARE(heard.count("SID\r\n"), 2);
        QCOMPARE(heard.count("INFO\r\n"), 1);
        QCOMPARE(heard.count("READ\r\n"), 1);
        QStringList rows = Output().split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(rows.size(), 4); // the heading and three keys
        QVERIFY(rows[1].startsWith(QStringLiteral("AVERAGE")) &&
                rows[1].contains(QStringLiteral("200 ms")));
        QVERIFY(rows[2].startsWith(QStringLiteral("MINRATE")));
        QVERIFY(rows[3].startsWith(QStringLiteral("CONSTANT !")) && rows[3].contains(constant));

        // Without an answer for the differing constant nothing is sent.
        Sensor().ClearTrace();
        Launch({QStringLiteral("write"), changed});
        QCOMPARE(Finished(), ServiceExit::ConstantDiffers);
        QVERIFY(!Sensor().SystemMode());
        const QByteArray wire = Sensor().ReceivedBytes();
        QVERIFY(!wire.contains("AVERAGE"));
        QCOMPARE(Sensor().Value(QStringLiteral("MINRATE")) == QStringLiteral("7"), false);

        Launch({QStringLiteral("write"), changed, QStringLiteral("--keep-constant")});
        QCOMPARE(Finished(), ServiceExit::Done);
        QVERIFY(!Sensor().SystemMode());
        QCOMPARE(Sensor().Value(QStringLiteral("MINRATE")), QStringLiteral("7"));
        QCOMPARE(Sensor().Value(QStringLiteral("CONSTANT")), constant);
        QCOMPARE(Sensor().Value(QStringLiteral("S1ON")), QStringLiteral("1"));
        QVERIFY(Sensor().StoredValue(QStringLiteral("MINRATE")) !=
                QStringLiteral("7")); // no --store
    }

    // SIGTERM in the middle of a send: the sensor leaves system mode and
    // gets its output back before the program ends.
    void interruptedWrite() {
        QVERIFY(StartSensor());
        Sensor().SetValue(QStringLiteral("S1ON"), QStringLiteral("1"));
        const QString par = Path("sensor.par");
        Launch({QStringLiteral("read"), par});
        QCOMPARE(Finished(), ServiceExit::Done);
        Sensor().ClearTrace();
        Launch({QStringLiteral("write"), par});
        QTRY_VERIFY_WITH_TIMEOUT(
            Sensor().SystemMode() && Sensor().ReceivedBytes().contains("CALFACTOR"), 30000);
        m_run->terminate();
        QCOMPARE(Finished(), ServiceExit::Cancelled);
        QTRY_VERIFY_WITH_TIMEOUT(!Sensor().SystemMode(), 5000);
        QCOMPARE(Sensor().Value(QStringLiteral("S1ON")), QStringLiteral("1"));
        QVERIFY(!Sensor().ReceivedBytes().contains("S2TIME")); // the rest was not sent
    }

    void log() {
        QVERIFY(StartSensor());
        Sensor().SetValue(QStringLiteral("S1ON"), QStringLiteral("1"));
        const QString format = Sensor().Value(QStringLiteral("S1FORMAT"));
        const QString csv = Path("run.csv");
        Launch({QStringLiteral("log"), csv, QStringLiteral("--seconds"), QStringLiteral("2"),
                QStringLiteral("--period=50")});
        QCOMPARE(Finished(), ServiceExit::Done);
        const QStringList rows = ReadLines(csv);
        QCOMPARE(rows.first(), QStringLiteral("time[s];velocity[m/s];rate[%];clock"));
        QVERIFY2(rows.size() > 20, qPrintable(QString::number(rows.size())));
        QVERIFY(Sensor().ReceivedBytes().contains("S1TIME 50\r\n"));
        QCOMPARE(Sensor().Value(QStringLiteral("S1FORMAT")), format);
        QCOMPARE(Sensor().Value(QStringLiteral("S1ON")), QStringLiteral("1"));
    }

    // A log whose sensor goes away or stops sending does not end "done":
    // the lost port ends it at once (exit 2); lines that stop coming while
    // the link stands are told and the run ends as no answer (exit 3).
    void logFailures_data() {
        QTest::addColumn<bool>("unplug");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("told");
        QTest::newRow("sensor gone")
            << true << ServiceExit::NoLink << "link to the sensor was lost";
        QTest::newRow("lines stop") << false << ServiceExit::NoAnswer << "no measurement line";
    }
    void logFailures() {
        QFETCH(bool, unplug);
        QFETCH(int, exitCode);
        QFETCH(QString, told);
        QVERIFY(StartSensor());
        Launch({QStringLiteral("log"), Path("gone.csv"), QStringLiteral("--seconds=8"),
                QStringLiteral("--period=50")});
        QTRY_VERIFY_WITH_TIMEOUT(Sensor().MeasurementLines() > 5, 30000);
        if (unplug)
            m_sim->Unplug();
        else
            Sensor().SetValue(QStringLiteral("S1ON"), QStringLiteral("0"));
        QCOMPARE(Finished(), exitCode);
        const QString err = QString::fromLocal8Bit(m_run->readAllStandardError());
        QVERIFY2(err.contains(told), qPrintable(err));
        QVERIFY(!err.contains(QStringLiteral("orxterm: done")));
        QVERIFY(ReadLines(Path("gone.csv")).size() > 1); // the rows that came are kept
    }

    // The firmware update with its progress; refused over TCP.
    void update() {
        QVERIFY(StartSensor());
        const QString hex = Path("firmware.hex");
        {
            QFile file(hex);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(MakeHexFile(40)) > 0);
        }
        Launch({QStringLiteral("update"), hex});
        QCOMPARE(Finished(), ServiceExit::Done);
        const QString progress = QString::fromLocal8Bit(m_run->readAllStandardError());
        QVERIFY2(progress.contains(QStringLiteral("sent 100 %")), qPrintable(progress));
        QVERIFY(!Sensor().UpdateMode());
        QVERIFY(Sensor().ReceivedBytes().contains("EXIT"));
        // The service record names the file and its SHA-256.
        Launch({QStringLiteral("record"), Sensor().Serial()}, false);
        QCOMPARE(Finished(), ServiceExit::Done);
        const QString record = QString::fromLocal8Bit(m_run->readAllStandardOutput());
        QFile file(hex);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString sha = QString::fromLatin1(
            QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex());
        QVERIFY2(record.contains(QStringLiteral("FirmwareUpdate")) &&
                     record.contains(QStringLiteral("firmware.hex")) && record.contains(sha),
                 qPrintable(record));

        TSimTcpServer server;
        QVERIFY(server.Listen());
        Launch({QStringLiteral("update"), hex, QStringLiteral("telnet"),
                QStringLiteral("--address=127.0.0.1:%1").arg(server.Port())},
               false);
        QCOMPARE(Finished(), ServiceExit::NoLink);
        QVERIFY(!server.Sensor().ReceivedBytes().contains("UPDATE"));
    }

    // Over TCP to the sensor's own network port.
    void infoOverTcp() {
        TSimTcpServer server;
        QVERIFY(server.Listen());
        Launch({QStringLiteral("info"), QStringLiteral("telnet"),
                QStringLiteral("--address=127.0.0.1:%1").arg(server.Port())},
               false);
        QCOMPARE(Finished(), ServiceExit::Done);
        QVERIFY(Output().contains(QStringLiteral("serial number: ") + server.Sensor().Serial()));
    }

    void compareSets() {
        const QStringList ours = {QStringLiteral("REM PARAMETER FILE"),
                                  QStringLiteral("AVERAGE 100 ms"), QStringLiteral("CONSTANT 5"),
                                  QStringLiteral("NEWKEY 1"), QStringLiteral("*EXIT")};
        const QStringList sensor = {QStringLiteral("AVERAGE      100  ms"),
                                    QStringLiteral("CONSTANT     6"),
                                    QStringLiteral("ONLYSENSOR 2")};
        const auto differing = CompareParameterSets(ours, sensor, false);
        QCOMPARE(differing.size(), 2);
        QCOMPARE(differing[0].Key, QStringLiteral("CONSTANT"));
        QVERIFY(differing[0].FactoryConstant);
        QVERIFY(differing[1].Key == u"NEWKEY" && !differing[1].InSensor);
        QCOMPARE(CompareParameterSets(ours, sensor, true).size(), 4);
        // A unit after the same number is the same value; another number is not.
        QVERIFY(TParameterDifference::SameParameterValue(QStringLiteral("20"),
                                                         QStringLiteral("20 m/s")));
        QVERIFY(!TParameterDifference::SameParameterValue(QStringLiteral("2"),
                                                          QStringLiteral("20 m/s")));
        QVERIFY(
            !TParameterDifference::SameParameterValue(QStringLiteral("1"), QStringLiteral("1 2")));
    }
    // The service record: a read, then a write of a changed AVERAGE, both
    // listed newest first with the write's change beneath it.
    void recordReadAndWrite() {
        QVERIFY(StartSensor());
        const QString serial = Sensor().Serial();
        const QString par = Path("record.par");
        Launch({QStringLiteral("read"), par});
        QCOMPARE(Finished(), ServiceExit::Done);
        QCOMPARE(Sensor().Value(QStringLiteral("AVERAGE")), QStringLiteral("100"));
        QVERIFY(WriteLines(
            par, WithValue(ReadLines(par), QStringLiteral("AVERAGE"), QStringLiteral("420"))));
        Launch({QStringLiteral("write"), par, QStringLiteral("--keep-constant")});
        QCOMPARE(Finished(), ServiceExit::Done);
        QCOMPARE(Sensor().Value(QStringLiteral("AVERAGE")), QStringLiteral("420"));

        Launch({QStringLiteral("record"), serial}, false);
        QCOMPARE(Finished(), ServiceExit::Done);
        const QStringList lines = Output().split(u'\n', Qt::SkipEmptyParts);
        const auto find = [&lines](const QString& word, qsizetype from = 0) {
            for (qsizetype i = from; i < lines.size(); ++i)
                if (!lines[i].startsWith(u' ') && lines[i].contains(word)) return i;
            return qsizetype(-1);
        };
        const qsizetype write = find(QStringLiteral("Write"));
        const qsizetype read = find(QStringLiteral("ReadToFile"));
        QVERIFY2(write >= 0 && read > write, qPrintable(lines.join(u'\n'))); // newest first
        QVERIFY(lines[write].contains(QStringLiteral("Done")));
        // Only what changed, beneath the write.
        QCOMPARE(lines.value(write + 1).trimmed(), QStringLiteral("AVERAGE 100 -> 420"));
        QVERIFY(lines.value(write + 2).isEmpty() || !lines.value(write + 2).startsWith(u' '));
        QVERIFY(find(QStringLiteral("Identify")) >= 0); // every link's identification

        Launch({QStringLiteral("record"), serial, QStringLiteral("--json")}, false);
        QCOMPARE(Finished(), ServiceExit::Done);
        const QJsonObject json = JsonOutput();
        QCOMPARE(json.value(QStringLiteral("serial")).toString(), serial);
        QVERIFY(json.value(QStringLiteral("events")).toArray().size() >= 4);

        // A date after every event: nothing printed, the sensor still known.
        Launch({QStringLiteral("record"), serial, QStringLiteral("--since"),
                QDate::currentDate().addDays(2).toString(Qt::ISODate)},
               false);
        QCOMPARE(Finished(), ServiceExit::Done);
        QVERIFY(Output().isEmpty());

        // The sensors known, each with its last event.
        Launch({QStringLiteral("record")}, false);
        QCOMPARE(Finished(), ServiceExit::Done);
        const QString sensors = Output();
        QVERIFY2(sensors.contains(serial) && sensors.contains(QStringLiteral("Write")),
                 qPrintable(sensors));

        Launch({QStringLiteral("record"), QStringLiteral("99999")}, false);
        QCOMPARE(Finished(), ServiceExit::NoAnswer);
        QVERIFY(Output().isEmpty());
        Launch({QStringLiteral("record"), serial, QStringLiteral("--since=yesterday")}, false);
        QCOMPARE(Finished(), ServiceExit::Usage);
    }

    // Before anything was recorded: no sensor known, and no database made.
    void recordEmpty() {
        Launch({QStringLiteral("record"), QStringLiteral("40001")}, false);
        QCOMPARE(Finished(), ServiceExit::NoAnswer);
        Launch({QStringLiteral("record")}, false);
        QCOMPARE(Finished(), ServiceExit::Done);
        QVERIFY(Output().isEmpty());
        QVERIFY(!QFileInfo::exists(m_data));
    }

    void infoAndCompareJson() {
        QVERIFY(StartSensor());
        Launch({QStringLiteral("info"), QStringLiteral("--json")});
        QCOMPARE(Finished(), ServiceExit::Done);
        const QJsonObject info = JsonOutput();
        QCOMPARE(info.value(QStringLiteral("serial")).toString(), Sensor().Serial());
        QVERIFY(!info.value(QStringLiteral("softwareVersion")).toString().isEmpty());
        QCOMPARE(info.value(QStringLiteral("firmware32Bit")).toBool(), true);
        QCOMPARE(info.value(QStringLiteral("interface")).toInt(), 1);

        const QString par = Path("json.par");
        Launch({QStringLiteral("read"), par});
        QCOMPARE(Finished(), ServiceExit::Done);
        QVERIFY(WriteLines(
            par, WithValue(ReadLines(par), QStringLiteral("AVERAGE"), QStringLiteral("300"))));
        Launch({QStringLiteral("compare"), par, QStringLiteral("--json")});
        QCOMPARE(Finished(), ServiceExit::Done);
        // The progress stays on standard error.
        QVERIFY(m_run->readAllStandardError().contains("parameters differ"));
        const QJsonObject compare = JsonOutput();
        const QJsonArray rows = compare.value(QStringLiteral("rows")).toArray();
        QCOMPARE(rows.size(), 1);
        const QJsonObject row = rows.first().toObject();
        QCOMPARE(row.value(QStringLiteral("key")).toString(), QStringLiteral("AVERAGE"));
        QCOMPARE(row.value(QStringLiteral("file")).toString(), QStringLiteral("300"));
        QVERIFY(row.value(QStringLiteral("sensor")).toString().startsWith(u"100"));
        QCOMPARE(row.value(QStringLiteral("differs")).toBool(), true);

        Launch({QStringLiteral("compare"), par, QStringLiteral("--json"), QStringLiteral("--all")});
        QCOMPARE(Finished(), ServiceExit::Done);
        QVERIFY(JsonOutput().value(QStringLiteral("rows")).toArray().size() > 10);
    }

    // A record that cannot be written is told on standard error; the
    // flows end as they would without it.
    void recordNotWritable() {
        QVERIFY(StartSensor());
        QFile blocker(Path("blocker"));
        QVERIFY(blocker.open(QIODevice::WriteOnly) && blocker.write("x") == 1);
        blocker.close();
        m_data = Path("blocker"); // a file where the folder should be
        Launch({QStringLiteral("info")});
        QCOMPARE(Finished(), ServiceExit::Done);
        QVERIFY(m_run->readAllStandardError().contains("service record cannot be written"));
        QVERIFY(Output().contains(QStringLiteral("serial number: ") + Sensor().Serial()));
        Launch({QStringLiteral("read"), Path("unrecorded.par")});
        QCOMPARE(Finished(), ServiceExit::Done);
        QVERIFY(m_run->readAllStandardError().contains("service record cannot be written"));
        QVERIFY(QFileInfo(Path("unrecorded.par")).size() > 0);
    }
};

QTEST_MAIN(TestServiceCommands)
#include "tst_servicecommands.moc"
