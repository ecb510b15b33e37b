// SPDX-License-Identifier: MIT
// Label file lookups: fallbacks, accelerator handling, languages, edits of
// the file while the program runs, and files that are not label files or
// no files at all.
#include "LabelFile.h"
#include "Labels.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

class TestLabels : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_path;

    void Write(const QByteArray& bytes) {
        QFile f(m_path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        f.close();
    }

private slots:
    void init() {
        m_path = m_dir.filePath(QStringLiteral("orxterm.lab"));
        SetLabelFilePath(m_path);
        SetCurrentLanguage(0);
        Write("[10]\nD=&Datei\nE=&File\n"
              "[11]\r\nD = A&&B \r\nE=\"Quoted, with comma\"\r\n"
              "[12]\nD=KEY\nE=\n"
              "[13]\ne=lower-case key\n"
              "[14]\nE=first\nE=second\n"
              "[15]\nD=Größe\nE=Size\n");
    }

    void languageLetter_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("letter");
        QTest::newRow("english 0") << 0 << "E";
        QTest::newRow("german 1") << 1 << "D";
        QTest::newRow("unknown 5") << 5 << "E";
        QTest::newRow("negative") << -1 << "E";
    }
    void languageLetter() {
        QFETCH(int, language);
        QFETCH(QString, letter);
        QCOMPARE(LanguageLetter(language), letter);
    }

    void lookup_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<int>("number");
        QTest::addColumn<bool>("strip");
        QTest::addColumn<QString>("text");
        QTest::newRow("raw keeps &") << 1 << 10 << false << "&Datei";
        QTest::newRow("strip drops first &") << 1 << 10 << true << "Datei";
        QTest::newRow("only the first & goes") << 1 << 11 << true << "A&B";
        QTest::newRow("value trimmed") << 1 << 11 << false << "A&&B";
        QTest::newRow("quotes removed, comma kept") << 0 << 11 << true << "Quoted, with comma";
        QTest::newRow("literal KEY") << 1 << 12 << true << "KEY [12]";
        QTest::newRow("empty value") << 0 << 12 << true << "KEY [12]";
        QTest::newRow("missing section") << 0 << 104 << true << "KEY [104]";
        QTest::newRow("missing key") << 1 << 13 << false << "KEY [13]";
        QTest::newRow("key case-insensitive") << 0 << 13 << false << "lower-case key";
        QTest::newRow("first occurrence wins") << 0 << 14 << false << "first";
        QTest::newRow("utf-8") << 1 << 15 << false << QString::fromUtf8("Größe");
        QTest::newRow("language 5 is English") << 5 << 10 << false << "&File";
    }
    void lookup() {
        QFETCH(int, language);
        QFETCH(int, number);
        QFETCH(bool, strip);
        QFETCH(QString, text);
        QCOMPARE(LookupLabel(language, number, strip), text);
    }

    void currentLanguage() {
        SetCurrentLanguage(1);
        QCOMPARE(LabelText(10), QStringLiteral("Datei"));
        QCOMPARE(RawLabelText(10), QStringLiteral("&Datei"));
        SetCurrentLanguage(0);
        QCOMPARE(LabelText(10), QStringLiteral("File"));
    }

    void missingFile() {
        SetLabelFilePath(m_dir.filePath(QStringLiteral("nothing-here.lab")));
        QCOMPARE(LabelText(10), QStringLiteral("KEY [10]"));
        QCOMPARE(RawLabelText(1), QStringLiteral("KEY [1]"));
    }

    // What is no regular file reads as empty and does not hang the lookup
    // (a pipe would wait for a writer at its opening).
    void notAFile_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("pipe") << "pipe.lab";
        QTest::newRow("device") << "/dev/zero";
        QTest::newRow("folder") << ".";
    }
    void notAFile() {
        QFETCH(QString, path);
        if (path == u"pipe.lab") {
            path = m_dir.filePath(path);
            QVERIFY(QFileInfo::exists(path) ||
                    ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        } else if (path == u".") {
            path = m_dir.path();
        }
        SetLabelFilePath(path);
        QCOMPARE(LabelText(10), QStringLiteral("KEY [10]"));
    }

    // An edited file takes effect at the next lookup, even when the size
    // stays the same.
    void editedFileIsReread() {
        QCOMPARE(LabelText(10), QStringLiteral("File"));
        Write("[10]\nD=&Datei\nE=&Fil2\n[11]\r\nD = A&&B \r\nE=\"Quoted, with comma\"\r\n");
        QFile f(m_path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(5),
                              QFileDevice::FileModificationTime));
        f.close();
        QCOMPARE(LabelText(10), QStringLiteral("Fil2"));
        QFile::remove(m_path);
        QCOMPARE(LabelText(10), QStringLiteral("KEY [10]"));
    }

    void garbageFiles_data() {
        QTest::addColumn<QByteArray>("bytes");
        QByteArray random(64 * 1024, '\0');
        QRandomGenerator rng(1234);
        for (char& c : random)
            c = char(rng.bounded(256));
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("binary") << random;
        QTest::newRow("truncated section") << QByteArray("[10\nE=File");
        QTest::newRow("truncated value") << QByteArray("[10]\nE");
        QTest::newRow("latin-1") << QByteArray("[10]\nE=Gr\xf6\xdf"
                                               "e\n");
        QTest::newRow("no line end, long") << QByteArray("[10]\nE=") + QByteArray(100000, 'x');
    }
    void garbageFiles() {
        QFETCH(QByteArray, bytes);
        Write(bytes);
        const QString text = LabelText(10);
        QVERIFY(!text.isEmpty());
        QVERIFY(text.size() <= TLabelFile::MaxValueLength);
        QCOMPARE(LabelText(99999), QStringLiteral("KEY [99999]"));
    }

    void latin1Fallback() {
        Write("[10]\nE=Gr\xf6\xdf"
              "e\n");
        QCOMPARE(LabelText(10), QString::fromUtf8("Größe"));
    }
};

QTEST_GUILESS_MAIN(TestLabels)
#include "tst_labels.moc"
