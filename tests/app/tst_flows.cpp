// SPDX-License-Identifier: MIT
// The flows (identification, reads, sends) without any window: a core
// application, the service commands' link, and the simulated sensor on a
// pseudo-terminal or over TCP. What each flow returns is what the sensor
// did: a set read, the lines it refused, a link that went away.
#include "AutoUpdateFlow.h"
#include "FirmwareFlow.h"
#include "ParameterCatalogue.h"
#include "ReadFlow.h"
#include "ServiceLink.h"
#include "TSimHex.h"
#include "TSimPty.h"
#include "TSimSensor.h"
#include "TSimTcpServer.h"
#include "WriteFlow.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

Q_DECLARE_METATYPE(TFlowResult)

namespace {
// Answers the flows' questions from a list, and keeps what was asked.
class TScriptedQuestions : public TFlowQuestions {
public:
    QList<TMsgResult> Answers;
    QList<TFlowQuestion> Asked;
    TMsgResult Ask(TFlowQuestion question, const QString&, TMsgButtons) override {
        Asked << question;
        return Answers.isEmpty() ? mrNo : Answers.takeFirst();
    }
};

// The transfer's steps on their own, with the lines handed over counted.
class TPlainSteps : public TTransferSteps {
public:
    explicit TPlainSteps(TFlowHost& host) : Transfer(host) {}
    TLineTransfer Transfer;
    TTransferStop Send(const QList<QByteArray>& lines) override { return Transfer.RunSend(lines); }
    TTransferStop Wait(int limitMs) override { return Transfer.RunWait(limitMs); }
};

QList<QByteArray> HexLines(int records) {
    QList<QByteArray> lines = MakeHexFile(records).split('\n');
    for (QByteArray& line : lines)
        line = line.trimmed();
    lines.removeAll(QByteArray());
    return lines;
}

QStringList SetLines(const QString& text) {
    QStringList lines;
    for (const QString& line : text.split(u'\n'))
        if (!line.startsWith(QLatin1String("REM")) && !line.isEmpty()) lines << line;
    return lines;
}
} // namespace

class TestFlows : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<TSimPty> m_sim;
    std::unique_ptr<TSimTcpServer> m_tcp;
    std::unique_ptr<TServiceLink> m_link;
    QStringList m_said;

    TSimSensor& Sensor() { return m_tcp ? m_tcp->Sensor() : m_sim->Sensor(); }
    QString Path(const char* name) const { return m_dir.filePath(QLatin1String(name)); }

    // The sensor on a pseudo-terminal (or over TCP) and the link to it,
    // identified; its output on as a sensor in the field has it.
    bool Connect(bool tcp, const TSimOptions& options = {}) {
        TSwitches switches;
        switches.Config = Path("orxterm.conf");
        if (tcp) {
            m_tcp = std::make_unique<TSimTcpServer>(options);
            if (!m_tcp->Listen()) return false;
            switches.LinkMode = TLinkMode::Telnet;
            switches.Address = QStringLiteral("127.0.0.1:%1").arg(m_tcp->Port());
        } else {
            m_sim = std::make_unique<TSimPty>(options);
            m_sim->SetLinkPath(Path("sim"));
            if (!m_sim->Start()) return false;
            switches.LinkMode = TLinkMode::Local;
            switches.Port = m_sim->DevicePath();
        }
        Sensor().SetValue(QStringLiteral("S1ON"), QStringLiteral("1"));
        m_link = std::make_unique<TServiceLink>(switches,
                                                [this](const QString& text) { m_said << text; });
        return m_link->Connect() == TServiceLink::TConnect::Connected;
    }

private slots:
    void init() { QVERIFY(m_dir.isValid()); }
    void cleanup() {
        if (m_link) m_link->Close();
        m_link.reset();
        m_sim.reset();
        m_tcp.reset();
        m_said.clear();
    }

    // Identified on connect, a set read into a file and for a comparison:
    // the same set, the sensor out of system mode with its output back on,
    // over the serial line and over TCP alike.
    void readsTheSet_data() {
        QTest::addColumn<bool>("tcp");
        QTest::newRow("pty") << false;
        QTest::newRow("tcp") << true;
    }
    void readsTheSet() {
        QFETCH(bool, tcp);
        QVERIFY(Connect(tcp));
        QCOMPARE(m_link->Sensor().Identity().SerialNumber, Sensor().Serial());
        QCOMPARE(m_link->Sensor().Identity().SensorPort, 1);

        const QString file = Path("set.par");
        const TReadResult read = TReadFlow(*m_link).Read(TReadTarget::File, file);
        QCOMPARE(read.Outcome, TFlowResult::Done);
        QVERIFY(read.Message.isEmpty());
        QVERIFY(read.Restored);
        QVERIFY(!read.Info.isEmpty());
        QVERIFY(read.Text.contains(QStringLiteral("\nAVERAGE")));
        QFile saved(file);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QVERIFY(saved.readAll().contains("REM ORX"));
        QTRY_VERIFY_WITH_TIMEOUT(!Sensor().SystemMode(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(Sensor().Value(QStringLiteral("S1ON")), QStringLiteral("1"),
                                  10000);

        const TReadResult compare = TReadFlow(*m_link).Read(TReadTarget::Compare);
        QCOMPARE(compare.Outcome, TFlowResult::Done);
        QVERIFY(compare.Info.isEmpty()); // a comparison asks only for the set
        QCOMPARE(SetLines(compare.Text), SetLines(read.Text));
        QTRY_VERIFY_WITH_TIMEOUT(!Sensor().SystemMode(), 10000);
    }

    // A sensor that stops answering, and one whose answers are lost: no
    // set, no file, label 105's reason, and no system mode left behind.
    void silentSensorGivesNoSet() {
        QVERIFY(Connect(false));
        TSimFaults faults;
        faults.Silent = true;
        Sensor().SetFaults(faults);
        const QString file = Path("none.par");
        const TReadResult read = TReadFlow(*m_link).Read(TReadTarget::File, file);
        QCOMPARE(read.Outcome, TFlowResult::NoAnswer);
        QVERIFY(!read.HasSet());
        QVERIFY(!read.Message.isEmpty());
        QVERIFY(!QFile::exists(file));
        QVERIFY(!Sensor().SystemMode());
    }

    // The sensor's constant differs from the file's: the question decides,
    // and Cancel sends nothing of the set.
    void constantQuestionDecides_data() {
        QTest::addColumn<QList<TMsgResult>>("answers");
        QTest::addColumn<TFlowResult>("outcome");
        QTest::addColumn<bool>("averageSent");
        QTest::newRow("Yes keeps the sensor's")
            << QList<TMsgResult>{mrYes} << TFlowResult::Done << true;
        QTest::newRow("Cancel sends nothing")
            << QList<TMsgResult>{mrCancel} << TFlowResult::ConstantDiffers << false;
    }
    void constantQuestionDecides() {
        QFETCH(QList<TMsgResult>, answers);
        QFETCH(TFlowResult, outcome);
        QFETCH(bool, averageSent);
        TSimOptions options;
        options.Model = QStringLiteral("7"); // the constant is checked on 16-bit firmware
        QVERIFY(Connect(false, options));
        TScriptedQuestions questions;
        questions.Answers = answers;
        TWriteFlow flow(*m_link, questions);
        const QStringList set = {QStringLiteral("CONSTANT 1234"), QStringLiteral("AVERAGE 420")};
        const TWriteResult result = flow.Send([&set] { return set; }, false, false);
        QCOMPARE(result.Outcome, outcome);
        QCOMPARE(questions.Asked.value(0), TFlowQuestion::ConstantDiffers);
        QCOMPARE(Sensor().Value(QStringLiteral("AVERAGE")) == QStringLiteral("420"), averageSent);
        QTRY_VERIFY_WITH_TIMEOUT(!Sensor().SystemMode(), 10000);
    }

    // A line the sensor refuses is in the result with its answer; the
    // rest is taken, and the outcome is a sensor error, not done. A set
    // that is taken whole is stored when the question says so.
    void refusedLinesAndStore() {
        QVERIFY(Connect(false));
        TSimFaults faults;
        faults.ErrorKeys.insert(QStringLiteral("FB2TYPE"), QStringLiteral("E05"));
        Sensor().SetFaults(faults);
        TScriptedQuestions questions;
        questions.Answers = {mrYes};
        int reported = 0;
        TWriteFlow flow(*m_link, questions,
                        [&reported](const QString&, qsizetype done, qsizetype total) {
                            if (total > 0 && done == total) ++reported;
                        });
        TWriteResult result = flow.Send(
            [] {
                return QStringList{QStringLiteral("AVERAGE 420"), QStringLiteral("FB2TYPE 1")};
            },
            true, false);
        QCOMPARE(result.Outcome, TFlowResult::SensorError);
        QCOMPARE(result.Refused.size(), 1);
        QCOMPARE(result.Refused.first().Line, QStringLiteral("FB2TYPE 1"));
        QCOMPARE(result.Refused.first().Answer, QStringLiteral("E05"));
        QVERIFY(!result.Taken);
        QVERIFY(!result.Stored);
        QVERIFY(questions.Asked.isEmpty()); // no store question after a refusal
        QCOMPARE(reported, 1);
        QCOMPARE(Sensor().Value(QStringLiteral("AVERAGE")), QStringLiteral("420"));

        Sensor().ClearFaults();
        result = flow.Send([] { return QStringList{QStringLiteral("AVERAGE 421")}; }, true, false);
        QCOMPARE(result.Outcome, TFlowResult::Done);
        QVERIFY(result.Taken);
        QVERIFY(result.Stored);
        QCOMPARE(questions.Asked, QList<TFlowQuestion>{TFlowQuestion::StoreSet});
        QCOMPARE(Sensor().StoredValue(QStringLiteral("AVERAGE")), QStringLiteral("421"));
        QVERIFY(!Sensor().SystemMode());
    }

    // The device goes away in the middle of a set: the flow says so, the
    // lines handed over are fewer than the set's, and the way out of system
    // mode is owed to the sensor.
    void deviceRemovedWhileSending() {
        QVERIFY(Connect(false));
        TScriptedQuestions questions;
        QStringList set;
        for (int i = 0; i < 20; ++i)
            set << QStringLiteral("AVERAGE %1").arg(100 + i);
        TWriteFlow flow(*m_link, questions, [this](const QString&, qsizetype done, qsizetype) {
            if (done == 3) QTimer::singleShot(0, m_sim.get(), [this] { m_sim->Unplug(); });
        });
        const TWriteResult result = flow.Send([&set] { return set; }, true, false);
        QCOMPARE(result.Outcome, TFlowResult::NoLink);
        QVERIFY(!result.Message.isEmpty());
        QVERIFY(result.Sent < result.Lines.size());
        QVERIFY(!result.Stored);
        QVERIFY(questions.Asked.isEmpty());
        QVERIFY(m_link->Owed().contains(QByteArrayLiteral("*EXIT\r\n")));
    }

    // The firmware update without its dialog: done only on the sensor's
    // report, and a refused line (BEL) ends it as a sensor error with the
    // sensor released from its update mode.
    void firmwareUpdate_data() {
        QTest::addColumn<int>("bellAfter");
        QTest::addColumn<TFlowResult>("outcome");
        QTest::newRow("flashed") << -1 << TFlowResult::Done;
        QTest::newRow("refused") << 4 << TFlowResult::SensorError;
    }
    void firmwareUpdate() {
        QFETCH(int, bellAfter);
        QFETCH(TFlowResult, outcome);
        TSimOptions options;
        options.FlashStepMs = 10;
        QVERIFY(Connect(false, options));
        TSimFaults faults;
        faults.BellAfterRecords = bellAfter;
        Sensor().SetFaults(faults);
        TPlainSteps steps(*m_link);
        int rateChanges = 0;
        TFirmwareFlow flow(*m_link, steps);
        flow.PortChanged = [&rateChanges] { ++rateChanges; };
        const QList<QByteArray> lines = HexLines(12);
        const TFirmwareResult result = flow.Update(lines);
        QCOMPARE(result.Outcome, outcome);
        QVERIFY(rateChanges > 0);
        QVERIFY(!Sensor().UpdateMode());
        if (outcome == TFlowResult::Done) {
            QVERIFY(result.Message.isEmpty());
            QCOMPARE(Sensor().UpdateRecords(), int(lines.size()));
        } else {
            QCOMPARE(result.Stop, TTransferStop::Refused);
            QVERIFY(!result.Message.isEmpty());
            QVERIFY(Sensor().UpdateRecords() < int(lines.size()));
            QVERIFY(Sensor().ReceivedBytes().contains("\033Q"));
        }
        // The port is open again at its rate and the sensor answers.
        QTRY_VERIFY_WITH_TIMEOUT(m_link->PortOpen(), 10000);
        QCOMPARE(m_link->Sensor().Identity().SerialNumber, Sensor().Serial());
    }

    // Auto Update of one key: the sensor's read-back is the result; a
    // system key goes through system mode and leaves it; a refusal is a
    // sensor error; a link that goes away owes the way out of system mode.
    void autoUpdate() {
        QVERIFY(Connect(false));
        TAutoUpdateFlow flow(*m_link);
        const TParameterDef& average = *FindParameterKey(QStringLiteral("AVERAGE"));
        TAutoUpdateResult result =
            flow.Exchange(average, QStringLiteral("AVERAGE"), QStringLiteral("420"));
        QCOMPARE(result.Outcome, TFlowResult::Done);
        QCOMPARE(result.Value, QStringLiteral("420"));
        QCOMPARE(Sensor().Value(QStringLiteral("AVERAGE")), QStringLiteral("420"));

        const TParameterDef& lamp = *FindParameterKey(QStringLiteral("LAMP"));
        QVERIFY(TAutoUpdateFlow::NeedsSystemMode(lamp));
        result = flow.Exchange(lamp, QStringLiteral("LAMP"), QStringLiteral("20"));
        QCOMPARE(result.Outcome, TFlowResult::Done);
        QCOMPARE(Sensor().Value(QStringLiteral("LAMP")), QStringLiteral("20"));
        QTRY_VERIFY_WITH_TIMEOUT(!Sensor().SystemMode(), 10000);

        TSimFaults faults;
        faults.ErrorKeys.insert(QStringLiteral("AVERAGE"), QStringLiteral("E05"));
        Sensor().SetFaults(faults);
        result = flow.Exchange(average, QStringLiteral("AVERAGE"), QStringLiteral("7"));
        QCOMPARE(result.Outcome, TFlowResult::SensorError);
        QVERIFY(result.Value.isEmpty());

        Sensor().SetFaults({});
        m_sim->Unplug();
        QTRY_VERIFY_WITH_TIMEOUT(!m_link->LinkUp(), 10000);
        result = flow.Exchange(lamp, QStringLiteral("LAMP"), QStringLiteral("21"));
        QCOMPARE(result.Outcome, TFlowResult::NoLink);
        QVERIFY(m_link->Owed().contains(QByteArrayLiteral("*EXIT\r\n")));
    }

    // No link at all: every flow says so and sends nothing.
    void noLink() {
        TSwitches switches;
        switches.Config = Path("orxterm.conf");
        switches.LinkMode = TLinkMode::Local;
        switches.Port = Path("no-such-device");
        m_link = std::make_unique<TServiceLink>(switches, [](const QString&) {});
        QCOMPARE(m_link->Connect(), TServiceLink::TConnect::NoLink);
        QCOMPARE(TReadFlow(*m_link).Read(TReadTarget::Compare).Outcome, TFlowResult::NoLink);
        TScriptedQuestions questions;
        QCOMPARE(
            TWriteFlow(*m_link, questions).Send([] { return QStringList{}; }, false, false).Outcome,
            TFlowResult::NoLink);
    }
};

QTEST_GUILESS_MAIN(TestFlows)
#include "tst_flows.moc"
