// SPDX-License-Identifier: MIT
// The settings file of --config, checked before anything opens it: the
// built program, run with a pipe, a folder, a device, a dangling link or a
// huge file as its settings, ends at once with the usage exit code and
// says what the file is, whether it was to show its window or run a
// service command. A settings file that does not exist yet is fine.
#include "CommandLine.h"
#include "ServiceCommands.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <sys/stat.h>

class TestConfigSwitch : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_run;

    QString Path(const QString& name) const { return m_dir.filePath(name); }

    // Runs the program to its end; false when it did not end in time.
    bool Run(const QStringList& arguments) {
        m_run = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), Path(QStringLiteral("home")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        m_run->setProcessEnvironment(env);
        m_run->start(QStringLiteral(ORXTERM_EXE), arguments);
        // A run that hangs on the pipe fails here rather than passing.
        return m_run->waitForFinished(60000);
    }

private slots:
    void initTestCase() {
        QVERIFY(QDir().mkpath(Path(QStringLiteral("folder"))));
        QCOMPARE(::mkfifo(QFile::encodeName(Path(QStringLiteral("fifo"))).constData(), 0600), 0);
        QVERIFY(QFile::link(Path(QStringLiteral("gone")), Path(QStringLiteral("dangling"))));
        QFile big(Path(QStringLiteral("big.conf")));
        QVERIFY(big.open(QIODevice::WriteOnly));
        QVERIFY(big.resize(MaxConfigBytes + 1));
    }
    void cleanup() {
        if (m_run && m_run->state() != QProcess::NotRunning) {
            m_run->kill();
            m_run->waitForFinished(5000);
        }
        m_run.reset();
    }

    void refused_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("what");
        QTest::addColumn<QStringList>("arguments");
        const struct {
            const char* tag;
            QString name;
            QString what;
        } files[] = {
            {"pipe", QStringLiteral("fifo"),
             QStringLiteral("is a named pipe (FIFO), not a regular file")},
            {"folder", QStringLiteral("folder"), QStringLiteral("is a folder")},
            {"device", QStringLiteral("/dev/zero"),
             QStringLiteral("is a device, not a regular file")},
            {"dangling link", QStringLiteral("dangling"),
             QStringLiteral("is a symbolic link to a file that does not exist")},
            {"huge", QStringLiteral("big.conf"),
             QStringLiteral("is too large for a settings file (over 1 MB)")},
        };
        for (const auto& f : files) {
            QTest::addRow("%s, window", f.tag) << f.name << f.what << QStringList{};
            QTest::addRow("%s, service command", f.tag)
                << f.name << f.what << QStringList{QStringLiteral("info")};
        }
    }
    void refused() {
        QFETCH(QString, name);
        QFETCH(QString, what);
        QFETCH(QStringList, arguments);
        const QString path = name.startsWith(u'/') ? name : Path(name);
        QVERIFY(Run(arguments << QStringLiteral("--config=") + path));
        QCOMPARE(m_run->exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_run->exitCode(), ServiceExit::Usage);
        QCOMPARE(QString::fromLocal8Bit(m_run->readAllStandardError()),
                 QStringLiteral("orxterm: --config: %1: %2\n").arg(path, what));
    }

    // A settings file that does not exist yet, or a small regular one,
    // passes the check (--version ends the run right after it).
    void accepted_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("not there yet") << "new.conf";
        QTest::newRow("regular") << "small.conf";
    }
    void accepted() {
        QFETCH(QString, name);
        if (name == u"small.conf") {
            QFile small(Path(name));
            QVERIFY(small.open(QIODevice::WriteOnly));
            small.write("[Option]\nLanguage=0\n");
        }
        QVERIFY(Run({QStringLiteral("--config=") + Path(name), QStringLiteral("--version")}));
        QCOMPARE(m_run->exitCode(), 0);
        QCOMPARE(m_run->readAllStandardError(), QByteArray());
        QVERIFY(m_run->readAllStandardOutput().startsWith("ORXTERM"));
    }
};

QTEST_GUILESS_MAIN(TestConfigSwitch)
#include "tst_configswitch.moc"
