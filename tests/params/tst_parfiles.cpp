// SPDX-License-Identifier: MIT
// Parameter files on their own: the header line kinds, decoding, writing
// that never leaves a truncated file (a full disk included), the files
// that reading refuses, the folder scan over hostile content, and the
// browser and store dialog on a folder.
#include "FullFileSystem.h"
#include "Labels.h"
#include "MsgBox.h"
#include "ParameterFile.h"
#include "ParameterFileGrid.h"
#include "TMainForm.h"
#include "TParameterForm.h"
#include "TParameterReadForm.h"
#include "TParameterStoreForm.h"
#include "Windows.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

#include <sys/stat.h>

namespace {
void Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) f.write(bytes);
}

QByteArray Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}
} // namespace

class TestParFiles : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void init() {
        SetLabelFilePath(QStringLiteral(ORX_SOURCE_DIR "/labels/orxterm.lab"));
        TFormMsgBox::SetResponder(nullptr);
    }

    // Each line kind by its beginning, in the order of precedence.
    void headerLines_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::newRow("date") << "REM DATE 12.03.26 10:15:30"
                              << "date"
                              << "12.03.26 10:15:30";
        QTest::newRow("software") << "REM SOFTWARE V2"
                                  << "software"
                                  << "V2";
        QTest::newRow("ORX line") << "REM ORX 9 V4.07 32bit"
                                  << "software"
                                  << "9 V4.07 32bit";
        QTest::newRow("place") << "REM PLACE Halle 3 Süd"
                               << "place"
                               << "Halle 3 Süd";
        QTest::newRow("empty place") << "REM PLACE"
                                     << "place"
                                     << "";
        QTest::newRow("type") << "REM TYPE/OPTIONS ORX 9 / RS485"
                              << "type"
                              << "ORX 9 / RS485";
        QTest::newRow("S/N remark") << "REM S/N 40001"
                                    << "remarks"
                                    << "S/N 40001\r\n";
        QTest::newRow("serial") << "S/N 40001"
                                << "serial"
                                << "40001";
        QTest::newRow("small letters") << "rem place x"
                                       << "remarks"
                                       << "";
        QTest::newRow("first header") << "REM PARAMETER FILE"
                                      << "remarks"
                                      << "";
        QTest::newRow("long") << "REM PLACE " + QString(300, u'x') << "place" << QString(255, u'x');
    }
    void headerLines() {
        QFETCH(QString, line);
        QFETCH(QString, field);
        QFETCH(QString, value);
        const TParameterFileHeader h = ParseParameterFileHeader({line});
        const QString got = field == u"date"       ? h.Date
                            : field == u"software" ? h.Software
                            : field == u"place"    ? h.Place
                            : field == u"type"     ? h.Type
                            : field == u"serial"   ? h.SerialNumber
                                                   : h.Remarks;
        QCOMPARE(got, value);
    }

    // Latin-1 out, UTF-8 or Latin-1 in: umlauts survive both ways.
    void encodings() {
        const QString path = m_dir.filePath(QStringLiteral("enc.par"));
        QVERIFY(SaveParameterLines(path, {QStringLiteral("REM PLACE Süd"), QString()}, nullptr));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("REM PLACE S\xfc"
                                         "d\r\n\r\n"));
        QStringList lines;
        QVERIFY(ReadParameterLines(path, &lines, nullptr));
        QCOMPARE(lines, (QStringList{QStringLiteral("REM PLACE Süd"), QString()}));
        QCOMPARE(DecodeParameterText(QStringLiteral("Süd").toUtf8()), QStringLiteral("Süd"));
    }

    // A file that cannot be written says why, and an existing file stays
    // whole.
    void writeFailures() {
        QString error;
        QVERIFY(!SaveParameterLines(m_dir.filePath(QStringLiteral("no/such/folder/x.par")),
                                    {QStringLiteral("A 1")}, &error));
        QVERIFY(error.contains(QStringLiteral("x.par")));
        const QString folder = m_dir.filePath(QStringLiteral("taken.par"));
        QVERIFY(QDir().mkpath(folder)); // a folder where the file should go
        QVERIFY(!SaveParameterLines(folder, {QStringLiteral("A 1")}, &error));
        QVERIFY(QFileInfo(folder).isDir());
    }

    // Only text files of a sensible size are read: what is no regular
    // file, a file over the limit and a binary file are refused with what
    // they are; text in Latin-1 or UTF-8 with tabs and form feeds is fine.
    void readRefusals_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason"); // empty: read
        QTest::newRow("Latin-1, tab, form feed") << "latin.par"
                                                 << QByteArray("REM PLACE S\xfc"
                                                               "d\tx\f\r\nA 1\r\n")
                                                 << "";
        QTest::newRow("UTF-8") << "utf8.par"
                               << QByteArray("REM Pr\xc3\xbc"
                                             "fung\n")
                               << "";
        QTest::newRow("at the limit") << "limit.par" << QByteArray(MaxFileBytes, 'a') << "";
        QTest::newRow("over the limit")
            << "big.par" << QByteArray(MaxFileBytes + 1, 'a') << LabelText(266).arg(4);
        QTest::newRow("NUL bytes") << "nul.par" << QByteArray("A 1\r\n\0\0", 7)
                                   << LabelText(267).arg(QStringLiteral("00")).arg(5);
        QTest::newRow("escape") << "esc.par" << QByteArray("A \x1b[2J")
                                << LabelText(267).arg(QStringLiteral("1B")).arg(2);
        QTest::newRow("pipe") << "pipe.par" << QByteArray() << LabelText(261);
    }
    void readRefusals() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        const QString path = m_dir.filePath(name);
        if (name == u"pipe.par")
            QVERIFY(QFileInfo::exists(path) ||
                    ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        else
            Write(path, bytes);
        for (bool asBytes : {false, true}) {
            QStringList lines{QStringLiteral("stale")};
            QString error;
            QCOMPARE(ReadParameterLines(path, &lines, &error, asBytes), reason.isEmpty());
            if (reason.isEmpty()) {
                QVERIFY(!lines.isEmpty());
            } else {
                QCOMPARE(error, path + QStringLiteral(": ") + reason);
                QVERIFY(lines.isEmpty());
            }
        }
    }

    // A full disk: saving over a good file, with nothing left or with too
    // little for the new file, leaves the good file as it was and says why.
    void saveOnFullDisk_data() {
        QTest::addColumn<qint64>("leaveFree");
        QTest::addColumn<int>("lines");
        QTest::newRow("full") << qint64(0) << 10;
        QTest::newRow("space for part of it") << qint64(32 * 1024) << 20000;
    }
    void saveOnFullDisk() {
        QFETCH(qint64, leaveFree);
        QFETCH(int, lines);
        TFullFileSystem disk;
        QVERIFY2(disk.Mounted(), qPrintable(disk.Error()));
        const QString path = disk.FilePath(QStringLiteral("good.par"));
        QVERIFY(SaveParameterLines(path, {QStringLiteral("REM PLACE Süd"), QStringLiteral("A 1")},
                                   nullptr));
        const QByteArray good = Read(path);
        QVERIFY(disk.Fill(leaveFree));
        QStringList set;
        for (int i = 0; i < lines; ++i)
            set << QStringLiteral("KEY%1         %1").arg(i);
        QString error;
        QVERIFY(!SaveParameterLines(path, set, &error));
        QCOMPARE(error, path + QStringLiteral(": ") + qt_error_string(ENOSPC));
        QCOMPARE(Read(path), good);
        QCOMPARE(disk.Files(), QStringList{QStringLiteral("good.par")});
    }

    // Hand-written files are untrusted: binary bytes, a huge file, a line of
    // megabytes and a folder named like a file give sensible records; the
    // files that cannot be read keep an empty header.
    void hostileFolder() {
        const QString folder = m_dir.filePath(QStringLiteral("hostile"));
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/dir.par")));
        Write(folder + QStringLiteral("/Binary.PAR"), QByteArray("S/N 7\r\n\0\xff\xfe REM", 13));
        QByteArray big("S/N 42\r\n");
        big += QByteArray(100 << 20, 'x');
        Write(folder + QStringLiteral("/big.par"), big);
        Write(folder + QStringLiteral("/a.par"),
              "REM PLACE " + QByteArray(1 << 20, 'p') + "\rS/N 1\nREM TYPE/OPTIONS T\r\n");
        QList<TParameterFileHeader> records;
        QVERIFY(ScanParameterFiles(folder, &records, nullptr));
        QCOMPARE(records.size(), 3);
        QCOMPARE(records.at(0).FileName, QStringLiteral("a.par"));
        QCOMPARE(records.at(0).Place.size(), 255);
        QCOMPARE(records.at(0).SerialNumber, QStringLiteral("1"));
        QCOMPARE(records.at(0).Type, QStringLiteral("T"));
        // Too big and not text: listed, their headers skipped.
        QCOMPARE(records.at(1).FileName, QStringLiteral("big.par"));
        QCOMPARE(records.at(1).SerialNumber, QString());
        QCOMPARE(records.at(2).FileName, QStringLiteral("binary.par"));
        QCOMPARE(records.at(2).SerialNumber, QString());

        QString error;
        QVERIFY(!ScanParameterFiles(m_dir.filePath(QStringLiteral("nowhere")), &records, &error));
        QVERIFY(records.isEmpty() && !error.isEmpty());
        QVERIFY2(error.endsWith(LabelTextOr(270, QStringLiteral("is not an existing folder"))),
                 qPrintable(error));
    }

    // The browser lists the folder case-independently, shows a row's
    // details, opens a file into the editor and deletes after asking; the
    // store dialog takes a row's name and says No without one. A folder
    // that is none is reported once a scan and gives an empty list.
    void browserAndStoreDialog() {
        const QString folder = m_dir.filePath(QStringLiteral("browse"));
        QVERIFY(QDir().mkpath(folder));
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("OrxTerm"),
                           QStringLiteral("OrxTerm"));
        settings.clear();
        settings.setValue(QStringLiteral("Option/ParaDir"), folder);
        settings.sync();
        const TAppWindows w = CreateWindows({});
        std::unique_ptr<TMainForm> main(w.MainForm);
        main->FormShow();
        main->StartUpTimer().stop();
        Write(folder + QStringLiteral("/Zeta.par"), "S/N 2\r\nREM PLACE B\r\n");
        Write(folder + QStringLiteral("/alpha.par"),
              "REM PARAMETER FILE\r\nREM DATE x\r\nREM Bemerkung\r\nREM PLACE Süd\r\nREM "
              "TYPE/OPTIONS T9\r\nS/N 40001\r\nAVERAGE       150 ms\r\nINCFACTOR     1 2 3\r\n");
        TParameterReadForm& browser = *w.ParameterReadForm;
        QStringList boxes;
        TFormMsgBox::SetResponder([&boxes](const TMsgBoxRequest& r) {
            boxes << r.text;
            return mrYes;
        });
        browser.Prepare();
        QCOMPARE(browser.StringGrid1->rowCount(), 2);
        QCOMPARE(browser.StringGrid1->item(1, 0)->text(), QStringLiteral("zeta.par"));
        QCOMPARE(browser.Edit3->text(), QString::fromUtf8("Süd"));
        QCOMPARE(browser.Memo1->toPlainText(), QStringLiteral("Bemerkung\n"));
        browser.StringGrid1->setCurrentCell(1, 0);
        browser.BtnClearClick(); // deletes zeta.par after the question
        QCOMPARE(browser.StringGrid1->rowCount(), 1);
        browser.BtnOpenClick();
        QCOMPARE(browser.result(), int(QDialog::Accepted));
        QCOMPARE(boxes, QStringList{LabelText(114) + QStringLiteral(": zeta.par")});
        QVERIFY(!QFile::exists(folder + QStringLiteral("/Zeta.par")));
        TParameterForm& editor = *w.ParameterForm;
        QCOMPARE(editor.Value(101), QStringLiteral("150"));
        QCOMPARE(editor.Value(406), QStringLiteral("3"));
        QCOMPARE(editor.SerialNumberText(), QStringLiteral("40001"));
        QCOMPARE(editor.ed_standort->text(), QString::fromUtf8("Süd"));
        QVERIFY(!editor.IsMarked(101));

        TParameterStoreForm& store = *w.ParameterStoreForm;
        store.Prepare(browser.Records());
        store.BtnStore->click();
        QCOMPARE(store.result(), int(mrNo));
        store.StringGrid1->setCurrentCell(-1, -1);
        store.StringGrid1->setCurrentCell(0, 0);
        store.BtnStore->click();
        QCOMPARE(store.result(), int(QDialog::Accepted));
        QCOMPARE(store.FileName(), QStringLiteral("alpha.par"));

        boxes.clear();
        main->SaveParaDir(m_dir.filePath(QStringLiteral("gone")));
        QVERIFY(!browser.ScanParameterFiles());
        QVERIFY(!browser.ScanParameterFiles());
        QCOMPARE(boxes.size(), 2); // once per scan, not per file
        QVERIFY(browser.Records().isEmpty());
        TFormMsgBox::SetResponder(nullptr);
    }
};

QTEST_MAIN(TestParFiles)
#include "tst_parfiles.moc"
