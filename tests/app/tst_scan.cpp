// SPDX-License-Identifier: MIT
// The sensor finder: "orxterm scan" run as the real program against
// simulated sensors on pseudo-terminals (one at any rate, one that insists
// on 38400 bit/s), a port nobody answers on and one that is not there; and
// the finder in this process with a busy port and a port's own settings
// that must be left as they were.
#include "Labels.h"
#include "SensorFinder.h"
#include "ServiceCommands.h"
#include "TComSetupDlg.h"
#include "TSensorFinderDlg.h"
#include "TSimPty.h"
#include "TSimSensor.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QPushButton>
#include <QSerialPort>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <memory>
#include <termios.h>
#include <unistd.h>

namespace {
// A pseudo-terminal nobody answers on; the device path of its other end.
class TSilentPty {
public:
    TSilentPty() {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) return;
        m_path = QString::fromLocal8Bit(::ptsname(m_master));
    }
    ~TSilentPty() {
        if (m_master >= 0) ::close(m_master);
    }
    QString Path() const { return m_path; }
    // Sets the line rate as a program before would have left it.
    bool SetSpeed(speed_t speed) {
        termios tio{};
        return ::tcgetattr(m_master, &tio) == 0 && cfsetospeed(&tio, speed) == 0 &&
               cfsetispeed(&tio, speed) == 0 && ::tcsetattr(m_master, TCSANOW, &tio) == 0;
    }
    // The line rate set on the pty, in the termios speed code.
    speed_t Speed() const {
        termios tio{};
        return ::tcgetattr(m_master, &tio) == 0 ? cfgetospeed(&tio) : speed_t(0);
    }

private:
    int m_master = -1;
    QString m_path;
};
} // namespace

class TestScan : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_run;

    std::unique_ptr<TSimPty> Sensor(const char* link, const char* serial, int requiredRate) {
        TSimOptions options;
        options.Serial = QLatin1String(serial);
        options.RequiredRate = requiredRate;
        auto sim = std::make_unique<TSimPty>(options);
        sim->SetLinkPath(m_dir.filePath(QLatin1String(link)));
        return sim->Start() ? std::move(sim) : nullptr;
    }
    int Run(const QStringList& arguments) {
        m_run = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
        m_run->setProcessEnvironment(env);
        m_run->start(QStringLiteral(ORXTERM_EXE), QStringList{QStringLiteral("scan")} + arguments);
        [&] { QTRY_VERIFY_WITH_TIMEOUT(m_run->state() == QProcess::NotRunning, 60000); }();
        return m_run->exitStatus() == QProcess::NormalExit ? m_run->exitCode() : -1;
    }
    QString Out() const { return QString::fromLocal8Bit(m_run->readAllStandardOutput()); }
    QString Err() const { return QString::fromLocal8Bit(m_run->readAllStandardError()); }

private slots:
    // Both sensors are found with their device, rate and identity; the
    // silent and the missing port are passed over; the JSON says the same.
    void findsSensorsAtTheirRates() {
        const auto a = Sensor("a", "31001", 0);
        const auto b = Sensor("b", "31002", 38400);
        QVERIFY(a && b);
        TSilentPty silent;
        QVERIFY(!silent.Path().isEmpty());
        const QString missing = m_dir.filePath(QStringLiteral("none"));
        const QStringList ports{QStringLiteral("--port=") + a->DevicePath(),
                                QStringLiteral("--port=") + b->DevicePath(),
                                QStringLiteral("--port=") + silent.Path(),
                                QStringLiteral("--port=") + missing};
        QCOMPARE(Run(ports + QStringList{QStringLiteral("--rates=9600,38400")}), 0);
        const QStringList lines = Out().split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines.at(0), QStringLiteral("%1  9600 bit/s  S/N 31001  ORX 9  V4.07 32bit "
                                             "2023-11-20  interface 1")
                                  .arg(a->DevicePath()));
        QVERIFY2(
            lines.at(1).startsWith(b->DevicePath() + QStringLiteral("  38400 bit/s  S/N 31002")),
            qPrintable(lines.at(1)));

        QCOMPARE(Run(ports + QStringList{QStringLiteral("--rates"), QStringLiteral("38400,9600"),
                                         QStringLiteral("--json")}),
                 0);
        QJsonParseError error{};
        const QJsonObject doc =
            QJsonDocument::fromJson(m_run->readAllStandardOutput(), &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        const QJsonArray sensors = doc.value(QStringLiteral("sensors")).toArray();
        QCOMPARE(sensors.size(), 2);
        const QJsonObject first = sensors.at(0).toObject();
        QCOMPARE(first.value(QStringLiteral("device")).toString(), a->DevicePath());
        QCOMPARE(first.value(QStringLiteral("rate")).toInt(), 38400); // the first rate tried
        QCOMPARE(first.value(QStringLiteral("serialNumber")).toString(), QStringLiteral("31001"));
        QCOMPARE(first.value(QStringLiteral("model")).toString(), QStringLiteral("9"));
        QCOMPARE(first.value(QStringLiteral("interface")).toInt(), 1);
        QCOMPARE(sensors.at(1).toObject().value(QStringLiteral("rate")).toInt(), 38400);
        QCOMPARE(doc.value(QStringLiteral("silent")).toArray(), QJsonArray{silent.Path()});
        QCOMPARE(doc.value(QStringLiteral("missing")).toArray(), QJsonArray{missing});
    }

    // Nothing found: exit 3 and what was tried; a rate the dialog does not
    // offer is a usage error.
    void nothingFound() {
        TSilentPty silent1, silent2;
        QCOMPARE(
            Run({QStringLiteral("--port=") + silent1.Path(),
                 QStringLiteral("--port=") + silent2.Path(), QStringLiteral("--rates=9600,19200")}),
            int(ServiceExit::NoAnswer));
        const QString err = Err();
        QVERIFY2(err.contains(QStringLiteral("no sensor found")) && err.contains(silent1.Path()) &&
                     err.contains(silent2.Path()) && err.contains(QStringLiteral("9600,19200")),
                 qPrintable(err));
        QCOMPARE(Out(), QString());
        QCOMPARE(Run({QStringLiteral("--port=") + silent1.Path(), QStringLiteral("--rates=12345")}),
                 int(ServiceExit::Usage));
    }

    // In this process: a port another program holds is skipped with its
    // holder, a silent port gets its own line rate back, every probe is
    // counted, and a sensor found is told as it is found.
    void busyAndLeftAsFound() {
        const auto a = Sensor("c", "31003", 19200);
        QVERIFY(a);
        TSilentPty silent;
        QSerialPort holder(silent.Path());
        QVERIFY(holder.open(QIODevice::ReadWrite));
        holder.setBaudRate(4800);
        TSilentPty alone;
        QVERIFY(alone.SetSpeed(B2400));
        const speed_t before = alone.Speed();
        QCOMPARE(before, speed_t(B2400));

        TSensorFinder finder;
        QList<TFoundSensor> found;
        int finished = 0;
        finder.SensorFound = [&found](const TFoundSensor& s) { found << s; };
        finder.Finished = [&finished] { ++finished; };
        finder.Start({{a->DevicePath(), QStringLiteral("usb-Test_Adapter")},
                      {silent.Path(), {}},
                      {alone.Path(), {}}},
                     {9600, 19200});
        QVERIFY(finder.Running());
        QTRY_COMPARE_WITH_TIMEOUT(finished, 1, 30000);
        const TScanResult& r = finder.Result();
        QCOMPARE(found.size(), 1);
        QCOMPARE(r.Found.size(), 1);
        QCOMPARE(r.Found.at(0).Rate, 19200);
        QCOMPARE(r.Found.at(0).ById, QStringLiteral("usb-Test_Adapter"));
        QCOMPARE(r.Skipped.size(), 1);
        QCOMPARE(r.Skipped.at(0).Problem.Failure, TComPort::TOpenFailure::Busy);
        QCOMPARE(r.Skipped.at(0).Problem.Holder.Pid, qint64(QCoreApplication::applicationPid()));
        QCOMPARE(r.Silent, QStringList{alone.Path()});
        QCOMPARE(finder.ProbesDone(), finder.ProbesTotal());
        QCOMPARE(alone.Speed(), before); // left at its rate
        QVERIFY(holder.isOpen());
    }

    // The stored rate goes first; rates below 1200 bit/s are not tried
    // unless asked for; a slow rate waits for its exchange to cross.
    void rates() {
        const QList<int> rates = TSensorFinder::DefaultRates(57600);
        QCOMPARE(rates.first(), 57600);
        QCOMPARE(rates.count(57600), 1);
        QVERIFY(!rates.contains(300) && rates.contains(921600));
        QCOMPARE(TSensorFinder::DefaultRates(300).first(), 9600);
        QVERIFY(TSensorFinder::ProbeTimeoutMs(1200) > 2 * TSensorFinder::ProbeTimeoutMs(115200));
        QVERIFY(!TSensorFinder::KnownRate(12345) && TSensorFinder::KnownRate(110));
    }

    // The window: the dialog lists the connected sensor and what the scan
    // finds, with its progress; the connection dialog's button puts the
    // chosen port and rate into its fields.
    void findSensorWindow() {
        SetLabelFilePath(QStringLiteral(ORX_SOURCE_DIR "/labels/orxterm.lab"));
        const auto a = Sensor("d", "31004", 57600);
        QVERIFY(a);
        TSensorFinderDlg dialog;
        TSensorIdentity known;
        known.SerialNumber = QStringLiteral("30000");
        dialog.AddKnown({QStringLiteral("ttyUSB9"), {}, 115200, known});
        dialog.show();
        dialog.Start({{a->DevicePath(), {}}}, {9600, 57600});
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.Finder().Running(), 30000);
        QTRY_COMPARE_WITH_TIMEOUT(dialog.List()->rowCount(), 2, 5000);
        QCOMPARE(dialog.List()->item(1, 2)->text(), QStringLiteral("31004"));
        QCOMPARE(dialog.List()->item(1, 1)->text(), QStringLiteral("57600"));
        QTRY_COMPARE_WITH_TIMEOUT(dialog.StatusText(), LabelText(183).arg(2), 5000); // told last
        dialog.List()->selectRow(1);
        TFoundSensor chosen;
        QVERIFY(dialog.UseButton()->isEnabled() && dialog.Current(&chosen));
        QCOMPARE(chosen.Rate, 57600);

        TComSetupDlg setup;
        setup.FindSensor = [&](QString* port, int* rate) {
            *port = chosen.Device;
            *rate = chosen.Rate;
            return true;
        };
        TLinkSettings settings;
        settings.Mode = TLinkMode::Telnet;
        setup.FormShow(settings, {});
        QVERIFY(!setup.btn_FindSensor->isHidden());
        setup.btn_FindSensor->click();
        QCOMPARE(setup.Values().Port, a->DevicePath());
        QCOMPARE(setup.Values().BaudRate, TBaudRate::br57600);
        QCOMPARE(setup.Values().Mode, TLinkMode::Local);
    }

    // Probes end at once when there is nothing to probe.
    void noPorts() {
        TSensorFinder finder;
        int finished = 0;
        finder.Finished = [&finished] { ++finished; };
        finder.Start({}, {9600});
        QCOMPARE(finished, 0); // told after Start has returned
        QTRY_COMPARE_WITH_TIMEOUT(finished, 1, 5000);
        QVERIFY(finder.Result().Found.isEmpty());
    }
};

QTEST_MAIN(TestScan)
#include "tst_scan.moc"
