// SPDX-License-Identifier: MIT
// The service commands run as the real program against a simulated
// sensor that fails: its device removed, a line refused, the sensor gone
// mute or silent at READ, the port held by another run. The exit code says
// which, a file the run was to replace stays as it was, and nothing that
// did not happen is reported done.
#include "ServiceCommands.h"
#include "SetWatch.h"
#include "TSimPty.h"
#include "TSimSensor.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {
QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A parameter file's line for `key` replaced by "key value".
QByteArray WithValue(QByteArray set, const QByteArray& key, const QByteArray& value) {
    QList<QByteArray> lines = set.split('\n');
    for (QByteArray& line : lines)
        if (line.startsWith(key + ' ')) line = key + ' ' + value + '\r';
    return lines.join('\n');
}

enum class TFault { DeviceRemoved, Refused, Mute, Silent };
} // namespace

Q_DECLARE_METATYPE(TFault)

class TestServiceFailures : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<TSimPty> m_sim;
    std::unique_ptr<QProcess> m_run;
    std::unique_ptr<QProcess> m_first; // a run that holds the port

    TSimSensor& Sensor() { return m_sim->Sensor(); }
    QString Path(const char* name) const { return m_dir.filePath(QLatin1String(name)); }

    bool StartSensor() {
        m_sim = std::make_unique<TSimPty>();
        m_sim->SetLinkPath(Path("sim"));
        return m_sim->Start() && Sensor().SetValue(QStringLiteral("S1ON"), QStringLiteral("1"));
    }
    // The run's settings: only the language of its texts.
    bool WriteSettings(int language) {
        QDir().mkpath(Path("config/OrxTerm"));
        QFile file(Path("config/OrxTerm/OrxTerm.conf"));
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               file.write(QByteArray("[Option]\nLanguage=") + QByteArray::number(language) + '\n') >
                   0;
    }
    void Launch(QStringList arguments) {
        m_run = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), Path("config"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        m_run->setProcessEnvironment(env);
        arguments << QStringLiteral("--port=") + m_sim->DevicePath();
        m_run->start(QStringLiteral(ORXTERM_EXE), arguments);
    }
    int Finished() {
        [&] { QTRY_VERIFY_WITH_TIMEOUT(m_run->state() == QProcess::NotRunning, 90000); }();
        return m_run->exitStatus() == QProcess::NormalExit ? m_run->exitCode() : -1;
    }
    QString Errors() { return QString::fromLocal8Bit(m_run->readAllStandardError()); }
    // A good set read from the sensor into `path` by a run of its own.
    QByteArray ReadGoodSet(const QString& path) {
        Launch({QStringLiteral("read"), path});
        if (Finished() != ServiceExit::Done) return {};
        const QByteArray set = FileBytes(path);
        return set.contains("\r\nAVERAGE ") ? set : QByteArray();
    }
    static void Kill(std::unique_ptr<QProcess>& run) {
        if (run && run->state() != QProcess::NotRunning) {
            run->kill();
            run->waitForFinished(5000);
        }
        run.reset();
    }

private slots:
    void init() { QVERIFY(WriteSettings(0)); }
    void cleanup() {
        Kill(m_run);
        Kill(m_first);
        m_sim.reset();
    }

    // orxterm write with the sensor failing half-way through the set: no
    // "done", the exit code of the failure, nothing stored.
    void writeFails_data() {
        QTest::addColumn<TFault>("fault");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("device removed after 5 lines")
            << TFault::DeviceRemoved << ServiceExit::NoLink;
        QTest::newRow("AVERAGE refused") << TFault::Refused << ServiceExit::SensorError;
        QTest::newRow("mute from the 6th line") << TFault::Mute << ServiceExit::NoAnswer;
    }
    void writeFails() {
        QFETCH(TFault, fault);
        QVERIFY(StartSensor());
        const QString par = Path("sensor.par");
        const QByteArray good = ReadGoodSet(par);
        QVERIFY(!good.isEmpty());
        QFile file(par);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QVERIFY(file.write(WithValue(WithValue(good, "AVERAGE", "250 ms"), "MINRATE", "7")) > 0);
        file.close();
        const QString average = Sensor().StoredValue(QStringLiteral("AVERAGE"));
        const QString minrate = Sensor().StoredValue(QStringLiteral("MINRATE"));

        switch (fault) {
        case TFault::DeviceRemoved:
            WhenSetLinesReceived(Sensor(), this, 5, [this] {
                QTimer::singleShot(0, m_sim.get(), [this] { m_sim->Unplug(); });
            });
            break;
        case TFault::Refused: {
            TSimFaults refusing;
            refusing.ErrorKeys.insert(QStringLiteral("AVERAGE"), QStringLiteral("E05"));
            Sensor().SetFaults(refusing);
            break;
        }
        case TFault::Mute:
            WhenSetLinesReceived(Sensor(), this, 6, [this] {
                TSimFaults mute;
                mute.Mute = true;
                Sensor().SetFaults(mute);
            });
            break;
        default:
            QFAIL("no such fault for a send");
        }
        Sensor().ClearTrace();
        Launch({QStringLiteral("write"), par, QStringLiteral("--store")});
        QFETCH(int, exitCode);
        QCOMPARE(Finished(), exitCode);
        const QString errors = Errors();
        QVERIFY2(!errors.contains(QStringLiteral("orxterm: done")), qPrintable(errors));
        QVERIFY(!Sensor().ReceivedBytes().contains("*STORE"));
        QCOMPARE(Sensor().StoredValue(QStringLiteral("AVERAGE")), average);
        QCOMPARE(Sensor().StoredValue(QStringLiteral("MINRATE")), minrate);
    }

    // orxterm read into a file that holds a good set, READ bringing none:
    // the file is left byte for byte, and the exit code tells a silent
    // sensor (3) from a device that went away (2).
    void readFails_data() {
        QTest::addColumn<TFault>("fault");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("READ unanswered") << TFault::Silent << ServiceExit::NoAnswer;
        QTest::newRow("device removed at READ") << TFault::DeviceRemoved << ServiceExit::NoLink;
    }
    void readFails() {
        QFETCH(TFault, fault);
        QVERIFY(StartSensor());
        const QString par = Path("sensor.par");
        const QByteArray good = ReadGoodSet(par);
        QVERIFY(!good.isEmpty());
        connect(&Sensor(), &TSimSensor::Traced, this, [this, fault](const TSimTraceEntry& e) {
            if (!e.FromHost || !e.Bytes.contains("READ")) return;
            TSimFaults faults;
            faults.Silent = fault == TFault::Silent;
            faults.Mute = fault == TFault::DeviceRemoved;
            Sensor().SetFaults(faults);
            if (fault == TFault::DeviceRemoved)
                QTimer::singleShot(0, m_sim.get(), [this] { m_sim->Unplug(); });
        });
        Launch({QStringLiteral("read"), par});
        QFETCH(int, exitCode);
        QCOMPARE(Finished(), exitCode);
        QVERIFY(!Errors().contains(QStringLiteral("orxterm: done")));
        QCOMPARE(FileBytes(par), good);
        if (fault == TFault::Silent) {
            // The sensor heard the way out, though it could not say so.
            QVERIFY(!Sensor().SystemMode());
            QCOMPARE(Sensor().Value(QStringLiteral("S1ON")), QStringLiteral("1"));
        }
    }

    // A second run on the port the first one holds is told the port is
    // busy also when the settings' language is German, in which the
    // system's reason for the refusal comes.
    void portBusyInGerman() {
        QVERIFY(WriteSettings(1));
        QVERIFY(StartSensor());
        Launch({QStringLiteral("log"), Path("first.csv"), QStringLiteral("--seconds=600")});
        m_first = std::move(m_run);
        QTRY_VERIFY_WITH_TIMEOUT(Sensor().ReceivedBytes().contains("S1ON 1\r\n"), 60000);
        Launch({QStringLiteral("info")});
        QCOMPARE(Finished(), ServiceExit::PortBusy);
        const QString errors = Errors();
        QVERIFY2(errors.contains(QStringLiteral("Sperren")), qPrintable(errors)); // it is German
        // The first run goes on until it is ended.
        QCOMPARE(m_first->state(), QProcess::Running);
        m_first->terminate();
        m_run = std::move(m_first);
        QCOMPARE(Finished(), ServiceExit::Cancelled);
    }
};

QTEST_MAIN(TestServiceFailures)
#include "tst_servicefailures.moc"
