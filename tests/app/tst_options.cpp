// SPDX-License-Identifier: MIT
// Reading the "Option" settings (defaults, order, read errors, garbled
// files) and scanning the command-line switches.
#include "CommandLine.h"
#include "OptionSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class TestOptions : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    QString WriteConf(const QByteArray& bytes) {
        static int n = 0;
        const QString path = m_dir.filePath(QStringLiteral("conf%1.conf").arg(++n));
        QFile f(path);
        if (f.open(QIODevice::WriteOnly)) f.write(bytes);
        return path;
    }

private slots:
    void defaultsWhenEmpty() {
        QSettings s(WriteConf(""), QSettings::IniFormat);
        TOptions o = TOptions::Defaults();
        QVERIFY(ReadOptions(s, o));
        const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QCOMPARE(o.ParaDir, docs);
        QCOMPARE(o.FirmDir, docs);
        QCOMPARE(o.TextDir, docs);
        QCOMPARE(o.Language, 0);
        QCOMPARE(o.LocalServer, false);
        QCOMPARE(o.Mode, TLinkMode::Local);
        QCOMPARE(o.TCPServerPort, 10001);
        QCOMPARE(o.TCPServerIP, QStringLiteral("0.0.0.0"));
        QCOMPARE(o.TCPServerDelay, 100);
        QCOMPARE(o.TCPClientPort, 10001);
        QCOMPARE(o.TCPClientIP, QStringLiteral("127.0.0.1"));
        QCOMPARE(o.TCPTelnetIP, QStringLiteral("127.0.0.1"));
    }

    // A fresh account has no documents folder: the default is created on
    // first use, a folder the user chose is never created or replaced.
    void defaultFolderOnFreshAccount() {
        const QByteArray home = qgetenv("HOME");
        const QByteArray config = qgetenv("XDG_CONFIG_HOME");
        const QString fresh = m_dir.filePath(QStringLiteral("fresh"));
        QVERIFY(QDir().mkpath(fresh));
        qputenv("HOME", QFile::encodeName(fresh));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(fresh + QStringLiteral("/.config")));
        const QString documents = fresh + QStringLiteral("/Documents");
        const QString chosen = fresh + QStringLiteral("/chosen");
        QVERIFY(!QFileInfo::exists(documents));

        const QString inUse = TOptions::FolderInUse(TOptions::Defaults().ParaDir);
        const QString empty = TOptions::FolderInUse(QString());
        const QString kept = TOptions::FolderInUse(chosen);
        qputenv("HOME", home);
        if (config.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", config);

        QCOMPARE(inUse, documents);
        QVERIFY(QFileInfo(documents).isDir());
        QCOMPARE(empty, documents);
        QCOMPARE(kept, chosen);
        QVERIFY(!QFileInfo::exists(chosen));
    }

    void storedValuesAsText() {
        QSettings s(WriteConf("[Option]\nLanguage=1\nLocalServer=1\nMode=2\nTCPServerDelay=0\n"
                              "TCPClientIP=192.0.2.7\nParaDir=/srv/par\n"),
                    QSettings::IniFormat);
        TOptions o = TOptions::Defaults();
        QVERIFY(ReadOptions(s, o));
        QCOMPARE(o.Language, 1);
        QCOMPARE(o.LocalServer, true);
        QCOMPARE(o.Mode, TLinkMode::Remote);
        QCOMPARE(o.TCPServerDelay, 0);
        QCOMPARE(o.TCPClientIP, QStringLiteral("192.0.2.7"));
        QCOMPARE(o.ParaDir, QStringLiteral("/srv/par"));
    }

    // A hand-edited value of megabytes is cut when read.
    void oversizedTextIsCut() {
        QSettings s(WriteConf("[Option]\nTCPServerIP=" + QByteArray(10 << 20, '1') + "\n"),
                    QSettings::IniFormat);
        TOptions o = TOptions::Defaults();
        QVERIFY(ReadOptions(s, o));
        QCOMPARE(o.TCPServerIP.size(), MaxOptionText);
    }

    // A value that cannot be read deletes the group; what was read before
    // stays, the rest keeps its default.
    void readErrorDeletesGroup() {
        const QString path = WriteConf("[Option]\nParaDir=/srv/par\nLanguage=1\nMode=abc\n"
                                       "TCPServerPort=4000\n[ComPort]\nPort=ttyS0\n");
        {
            QSettings s(path, QSettings::IniFormat);
            TOptions o = TOptions::Defaults();
            QVERIFY(!ReadOptions(s, o));
            QCOMPARE(o.ParaDir, QStringLiteral("/srv/par"));
            QCOMPARE(o.Language, 1);
            QCOMPARE(o.Mode, TLinkMode::Local);
            QCOMPARE(o.TCPServerPort, 10001);
        }
        QSettings again(path, QSettings::IniFormat);
        QVERIFY(!again.childGroups().contains(QStringLiteral("Option")));
        QCOMPARE(again.value(QStringLiteral("ComPort/Port")).toString(), QStringLiteral("ttyS0"));
    }

    void garbledFile_data() {
        QTest::addColumn<QByteArray>("bytes");
        QByteArray binary;
        for (int i = 0; i < 4096; ++i)
            binary.append(char((i * 7919) & 0xff));
        QTest::newRow("binary") << binary;
        QTest::newRow("truncated") << QByteArray("[Option]\nLanguage=1\nMo");
        QTest::newRow("broken section") << QByteArray("[Opt\n=\n==\n[Option]\nTCPClientPort=\n");
    }
    void garbledFile() {
        QFETCH(QByteArray, bytes);
        QSettings s(WriteConf(bytes), QSettings::IniFormat);
        TOptions o = TOptions::Defaults();
        ReadOptions(s, o); // must not crash; defaults where nothing readable
        QVERIFY(o.TCPServerDelay == 100);
        QCOMPARE(o.TCPClientPort, 10001);
    }

    void switches_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("debug");
        QTest::addColumn<int>("mode"); // -1 = not set
        QTest::addColumn<bool>("server");
        QTest::newRow("none") << QStringList{} << false << -1 << false;
        QTest::newRow("debug any case") << QStringList{"DeBuG"} << true << -1 << false;
        QTest::newRow("server then telnet")
            << QStringList{"server", "telnet"} << false << 1 << true;
        QTest::newRow("telnet then server")
            << QStringList{"telnet", "server"} << false << 0 << true;
        QTest::newRow("remote then local") << QStringList{"REMOTE", "local"} << false << 0 << false;
        QTest::newRow("dashes accepted") << QStringList{"--remote", "-debug"} << true << 2 << false;
        QTest::newRow("unknown ignored")
            << QStringList{"foo", "remote", "bar"} << false << 2 << false;
    }
    void switches() {
        QFETCH(QStringList, args);
        QFETCH(bool, debug);
        QFETCH(int, mode);
        QFETCH(bool, server);
        const TSwitches s = TSwitches::Scan(args);
        QCOMPARE(s.Debug, debug);
        QCOMPARE(s.LinkMode ? int(*s.LinkMode) : -1, mode);
        QCOMPARE(s.LocalServer.value_or(false), server);
    }

    // A bare ".par" argument (what the file manager passes) names the file
    // for the editor; switches around it keep their meaning, and other
    // bare words are still ignored.
    void parameterFileArgument_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("file"); // empty = none
        QTest::addColumn<int>("mode");
        QTest::newRow("none") << QStringList{"local", "notes.txt"} << QString() << 0;
        QTest::newRow("absolute path")
            << QStringList{"/home/u/line 3.par"} << QStringLiteral("/home/u/line 3.par") << -1;
        QTest::newRow("upper case, between switches")
            << QStringList{"telnet", "LINE3.PAR", "debug"} << QStringLiteral("LINE3.PAR") << 1;
        QTest::newRow("last one counts")
            << QStringList{"a.par", "b.par"} << QStringLiteral("b.par") << -1;
        QTest::newRow("options are no file")
            << QStringList{"--config=x.par", "-x.par"} << QString() << -1;
    }
    void parameterFileArgument() {
        QFETCH(QStringList, args);
        QFETCH(QString, file);
        QFETCH(int, mode);
        const TSwitches s = TSwitches::Scan(args);
        QCOMPARE(s.ParameterFile.value_or(QString()), file);
        QCOMPARE(s.LinkMode ? int(*s.LinkMode) : -1, mode);
    }

    // What is refused before the window starts: options of neither the
    // program nor Qt. Qt's own, with their values, and the program's
    // switches and options in any spelling pass.
    void unknownOptions_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("unknown");
        QTest::newRow("misspelt port")
            << QStringList{"debug", "--prot=/dev/ttyUSB0"} << QStringList{"--prot=/dev/ttyUSB0"};
        QTest::newRow("dash before a file") << QStringList{"-x.par"} << QStringList{"-x.par"};
        QTest::newRow("program's own")
            << QStringList{"-debug",        "/remote", "--port=/dev/x", "--config=a.conf",
                           "--address=h:1", "-h",      "--version",     "LINE.PAR"}
            << QStringList{};
        QTest::newRow("Qt's own with values")
            << QStringList{"-platform", "offscreen", "--style=fusion",
                           "-reverse",  "-style",    "-bogus"}
            << QStringList{};
        QTest::newRow("after a Qt option's value")
            << QStringList{"-platform", "xcb", "--bogus"} << QStringList{"--bogus"};
    }
    void unknownOptions() {
        QFETCH(QStringList, args);
        QFETCH(QStringList, unknown);
        QCOMPARE(TSwitches::Scan(args).Unknown, unknown);
    }

    void helpListsSwitches() {
        const QString help = HelpText(QStringLiteral("orxterm"));
        for (const char* word : {"debug", "local", "telnet", "remote", "server"})
            QVERIFY2(help.contains(QLatin1String(word)), word);
        QVERIFY(VersionText().startsWith(QStringLiteral("ORXTERM ")));
    }
};

QTEST_GUILESS_MAIN(TestOptions)
#include "tst_options.moc"
