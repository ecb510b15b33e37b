// SPDX-License-Identifier: MIT
// A port that does not open, told in words: the lock file's PID and the
// process behind it, the texts for a port that is forbidden, busy or
// missing in both languages, the real failures of a missing and a held
// device; and the port lists: by-id names, the first start's proposal and
// the combo that shows descriptions but stores the name.
#include "Labels.h"
#include "PortProblem.h"
#include "TComPort.h"
#include "TComPortSetupDlg.h"
#include "TComSetupDlg.h"
#include "TSimPty.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {
bool Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

TSerialPortEntry Entry(const char* name, bool usb = false) {
    TSerialPortEntry e;
    e.Name = QLatin1String(name);
    e.Location = QStringLiteral("/dev/") + e.Name;
    e.Usb = usb;
    return e;
}
} // namespace

class TestPortProblem : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    QString Path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        SetLabelFilePath(QStringLiteral(ORX_SOURCE_DIR "/labels/orxterm.lab"));
    }
    void cleanup() { SetCurrentLanguage(0); }

    void lockFilePid() {
        QVERIFY(Write(Path("text"), "      4242\n"));
        QCOMPARE(ReadLockPid(Path("text")), std::optional<qint64>(4242));
        // The serial port library's own form: PID, program, host.
        QVERIFY(Write(Path("qt"), "977\norxterm\nbench\n"));
        QCOMPARE(ReadLockPid(Path("qt")), std::optional<qint64>(977));
        const qint32 binary = 31337;
        QVERIFY(Write(Path("binary"), QByteArray(reinterpret_cast<const char*>(&binary), 4)));
        QCOMPARE(ReadLockPid(Path("binary")), std::optional<qint64>(31337));

        QVERIFY(Write(Path("empty"), ""));
        QVERIFY(Write(Path("words"), "no pid in here\n"));
        QVERIFY(Write(Path("zero"), "0\n"));
        QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("folder")));
        QVERIFY(::mkfifo(QFile::encodeName(Path("fifo")).constData(), 0600) == 0);
        QVERIFY(QFile::link(Path("text"), Path("link")));
        for (const char* name : {"empty", "words", "zero", "folder", "fifo", "link", "absent"})
            QVERIFY2(!ReadLockPid(Path(QLatin1String(name))), name); // a fifo must not block
    }

    void lockHolder() {
        const QString locks = Path("locks");
        const QString proc = Path("proc");
        QVERIFY(QDir().mkpath(locks) && QDir().mkpath(proc + "/4242"));
        QVERIFY(Write(proc + "/4242/comm", "holder-prog\n"));
        QVERIFY(Write(locks + "/LCK..ttyFake0", "4242\n"));
        TLockHolder h =
            FindLockHolder(QStringLiteral("/dev/ttyFake0"), {Path("none"), locks}, proc);
        QCOMPARE(h.Pid, qint64(4242));
        QCOMPARE(h.Program, QStringLiteral("holder-prog"));

        // A lock whose process has ended names nobody.
        QVERIFY(Write(locks + "/LCK..ttyFake1", "4243\n"));
        QCOMPARE(FindLockHolder(QStringLiteral("/dev/ttyFake1"), {locks}, proc).Pid, qint64(0));
        QCOMPARE(FindLockHolder(QStringLiteral("/dev/ttyFake2"), {locks}, proc).Pid, qint64(0));

        // The real process table: this test itself.
        QVERIFY(Write(locks + "/LCK..ttyFake3", QByteArray::number(qint64(::getpid()))));
        h = FindLockHolder(QStringLiteral("/dev/ttyFake3"), {locks});
        QCOMPARE(h.Pid, qint64(::getpid()));
        QVERIFY2(QStringLiteral("tst_portproblem").startsWith(h.Program) && !h.Program.isEmpty(),
                 qPrintable(h.Program));
    }

    void deviceGroupFallsBack() {
        QCOMPARE(DeviceGroup(Path("no-such-device")), QStringLiteral("dialout"));
        QVERIFY(Write(Path("device"), ""));
        QVERIFY(!DeviceGroup(Path("device")).isEmpty());
    }

    void messages_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QStringList>("expected"); // short, fix; per case below
        QTest::newRow("English") << 0
                                 << QStringList{
                                        "ttyUSB0: permission denied",
                                        "Only members of the group uucp may open the port. Add "
                                        "your user to the group:\nsudo usermod -aG uucp alice\n"
                                        "Then log out and log in again.",
                                        "ttyUSB0: in use by holder-prog (process 4242)",
                                        "Close holder-prog (process 4242) or choose another port.",
                                        "ttyUSB0: in use by another program",
                                        "Close the other program or choose another port.",
                                        "ttyUSB0: not present",
                                        "Ports present: ttyACM0, ttyS0",
                                        "No serial port is present. Connect the adapter.",
                                    };
        QTest::newRow("German")
            << 1
            << QStringList{
                   "ttyUSB0: Zugriff verweigert",
                   "Nur Mitglieder der Gruppe uucp dürfen den Anschluss öffnen. Fügen Sie Ihren "
                   "Benutzer der Gruppe hinzu:\nsudo usermod -aG uucp alice\nMelden Sie sich "
                   "danach ab und wieder an.",
                   "ttyUSB0: belegt von holder-prog (Prozess 4242)",
                   "Beenden Sie holder-prog (Prozess 4242) oder wählen Sie einen anderen "
                   "Anschluss.",
                   "ttyUSB0: von einem anderen Programm belegt",
                   "Beenden Sie das andere Programm oder wählen Sie einen anderen Anschluss.",
                   "ttyUSB0: nicht vorhanden",
                   "Vorhandene Anschlüsse: ttyACM0, ttyS0",
                   "Es ist kein serieller Anschluss vorhanden. Schließen Sie den Adapter an.",
               };
    }
    void messages() {
        QFETCH(int, language);
        QFETCH(QStringList, expected);
        SetCurrentLanguage(language);
        using F = TComPort::TOpenFailure;
        TPortProblem p;
        p.Port = QStringLiteral(" ttyUSB0");
        p.Failure = F::Permission;
        p.Group = QStringLiteral("uucp");
        p.User = QStringLiteral("alice");
        QCOMPARE(p.ShortText(), expected[0]);
        QCOMPARE(p.FixText(), expected[1]);

        p.Failure = F::Busy;
        p.Holder = {4242, QStringLiteral("holder-prog")};
        QCOMPARE(p.ShortText(), expected[2]);
        QCOMPARE(p.FixText(), expected[3]);
        p.Holder = {};
        QCOMPARE(p.ShortText(), expected[4]);
        QCOMPARE(p.FixText(), expected[5]);

        p.Failure = F::NotFound;
        p.Present = QStringList{"ttyACM0", "ttyS0", "ttyUSB0"}; // itself is not offered
        QCOMPARE(p.ShortText(), expected[6]);
        QCOMPARE(p.FixText(), expected[7]);
        p.Present.clear();
        QCOMPARE(p.FixText(), expected[8]);

        p.Failure = F::None;
        QVERIFY(p.ShortText().isEmpty() && !p.IsProblem());
    }

    // The real failures: a path that does not exist, and a pty that
    // another port holds.
    void realFailures() {
        TComPort missing;
        missing.SetPort(Path("gone"));
        QVERIFY(!missing.Open());
        TPortProblem p = DescribeOpenFailure(missing);
        QCOMPARE(p.Failure, TComPort::TOpenFailure::NotFound);
        QCOMPARE(p.ShortText(), Path("gone") + QStringLiteral(": not present"));
        QVERIFY(!p.FixText().isEmpty());

        TSimPty sim;
        sim.SetLinkPath(Path("orxsim"));
        QVERIFY(sim.Start());
        TComPort first, second;
        first.SetPort(sim.DevicePath());
        second.SetPort(sim.DevicePath());
        QVERIFY(first.Open());
        QVERIFY(!second.Open());
        p = DescribeOpenFailure(second);
        QCOMPARE(p.Failure, TComPort::TOpenFailure::Busy);
        QVERIFY2(p.ShortText().startsWith(sim.DevicePath() + QStringLiteral(": in use by")),
                 qPrintable(p.ShortText()));
        // Where a lock names the holder, it is this process.
        QVERIFY(p.Holder.Pid == 0 || p.Holder.Pid == ::getpid());
    }

    void byIdNames() {
        const QString dev = Path("dev");
        const QString byId = Path("by-id");
        QVERIFY(QDir().mkpath(dev) && QDir().mkpath(byId));
        QVERIFY(Write(dev + "/ttyFake0", "") && Write(dev + "/ttyFake1", ""));
        QVERIFY(QFile::link(QStringLiteral("../dev/ttyFake0"), byId + "/usb-Maker_Probe_A1-if00"));
        QVERIFY(QFile::link(QStringLiteral("../dev/ttyFake0"), byId + "/usb-Maker_Probe_A1-if01"));
        QVERIFY(QFile::link(dev + "/ttyFake1", byId + "/usb-Other_Cable_7-port0"));
        QVERIFY(QFile::link(QStringLiteral("../dev/ttyGone"), byId + "/usb-Unplugged-port0"));
        const QHash<QString, QString> names = SerialByIdNames(byId);
        QCOMPARE(names.size(), 2); // the dangling link names nothing
        QCOMPARE(names.value(QFileInfo(dev + "/ttyFake0").canonicalFilePath()),
                 QStringLiteral("usb-Maker_Probe_A1-if00"));
        QCOMPARE(names.value(QFileInfo(dev + "/ttyFake1").canonicalFilePath()),
                 QStringLiteral("usb-Other_Cable_7-port0"));
        QVERIFY(SerialByIdNames(Path("no-such-folder")).isEmpty());
    }

    void firstStartProposal() {
        auto none = [](const QString&) { return false; };
        QCOMPARE(ProposePort({Entry("ttyS0"), Entry("ttyS1"), Entry("ttyUSB0")}, none),
                 QStringLiteral("ttyUSB0"));
        QCOMPARE(ProposePort({Entry("ttyACM0"), Entry("ttyS0")}, none), QStringLiteral("ttyACM0"));
        QCOMPARE(ProposePort({Entry("ttyS0"), Entry("ttyXR0", true)}, none),
                 QStringLiteral("ttyXR0"));
        // Without an adapter only a port that opens is proposed.
        QCOMPARE(ProposePort({Entry("ttyS0"), Entry("ttyS1")}, none), QString());
        QCOMPARE(ProposePort({Entry("ttyS0"), Entry("ttyS1")},
                             [](const QString& at) { return at == QLatin1String("/dev/ttyS1"); }),
                 QStringLiteral("ttyS1"));
        QCOMPARE(ProposePort({}, none), QString());
    }

    // The list shows what each port is; the field and the stored value
    // stay the port's name, and a typed path stays as typed.
    void portComboStoresTheName() {
        TSerialPortEntry usb = Entry("ttyUSB0", true);
        usb.Description = QStringLiteral("FT232R USB UART");
        usb.Manufacturer = QStringLiteral("FTDI");
        usb.ById = QStringLiteral("usb-FTDI_FT232R_USB_UART_A10-if00-port0");
        TComSetupDlg dlg;
        dlg.FormShow(TLinkSettings{TLinkMode::Local, QStringLiteral("ttyUSB0")},
                     {Entry("ttyS0"), usb});
        QComboBox* combo = dlg.Combo_Port;
        QCOMPARE(combo->itemText(1), QStringLiteral("ttyUSB0 - FT232R USB UART (FTDI) - "
                                                    "usb-FTDI_FT232R_USB_UART_A10-if00-port0"));
        QCOMPARE(combo->currentText(), QStringLiteral("ttyUSB0"));
        QCOMPARE(dlg.Values().Port, QStringLiteral("ttyUSB0"));
        combo->setCurrentIndex(0);
        QCOMPARE(dlg.Values().Port, QStringLiteral("ttyS0"));
        combo->setCurrentIndex(1); // the list's text in the field still means the name
        QCOMPARE(dlg.Values().Port, QStringLiteral("ttyUSB0"));
        emit combo->activated(1);
        QCOMPARE(combo->currentText(), QStringLiteral("ttyUSB0"));
        combo->setEditText(QStringLiteral("/dev/pts/7 "));
        QCOMPARE(dlg.Values().Port, QStringLiteral("/dev/pts/7"));

        // The reason beside the field, while the field names that port.
        TPortProblem p;
        p.Failure = TComPort::TOpenFailure::NotFound;
        p.Port = QStringLiteral("ttyUSB1");
        p.Present = {QStringLiteral("ttyUSB0")};
        dlg.FormShow(TLinkSettings{TLinkMode::Local, QStringLiteral("ttyUSB1")}, {usb});
        dlg.SetPortProblem(p);
        QVERIFY(!dlg.lb_PortProblem->isHidden());
        QVERIFY(dlg.lb_PortProblem->text().contains(p.ShortText()));
        QVERIFY(dlg.lb_PortProblem->text().contains(p.FixText()));
        emit combo->activated(0);
        QVERIFY(dlg.lb_PortProblem->isHidden());
        combo->setEditText(QStringLiteral("ttyUSB1"));
        QVERIFY(!dlg.lb_PortProblem->isHidden());
        dlg.SetPortProblem({});
        QVERIFY(dlg.lb_PortProblem->isHidden());
    }
};

QTEST_MAIN(TestPortProblem)
#include "tst_portproblem.moc"
