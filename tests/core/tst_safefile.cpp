// SPDX-License-Identifier: MIT
// The user's files: what a path is and which paths readers and writers
// refuse; replacing a file on a full disk leaves the old one untouched;
// a record appended to a full disk is taken back whole.
#include "FileKind.h"
#include "FullFileSystem.h"
#include "Labels.h"
#include "SafeFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
QByteArray Contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QString NoSpace() {
    return QStringLiteral(": ") + qt_error_string(ENOSPC);
}
} // namespace

class TestSafeFile : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    int m_socket = -1;

    QString Path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase() {
        SetLabelFilePath(QStringLiteral(ORX_SOURCE_DIR "/labels/orxterm.lab"));
        QVERIFY(Write(Path(QStringLiteral("file.txt")), "text\n"));
        QVERIFY(QFile::link(Path(QStringLiteral("file.txt")), Path(QStringLiteral("link.txt"))));
        QVERIFY(QDir().mkpath(Path(QStringLiteral("folder"))));
        QCOMPARE(::mkfifo(QFile::encodeName(Path(QStringLiteral("fifo"))).constData(), 0600), 0);
        QVERIFY(QFile::link(Path(QStringLiteral("gone")), Path(QStringLiteral("dangling"))));
        QVERIFY(QFile::link(Path(QStringLiteral("loop2")), Path(QStringLiteral("loop1"))));
        QVERIFY(QFile::link(Path(QStringLiteral("loop1")), Path(QStringLiteral("loop2"))));
        m_socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
        QVERIFY(m_socket >= 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(Path(QStringLiteral("socket")));
        QVERIFY(size_t(name.size()) < sizeof address.sun_path);
        std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
        QCOMPARE(::bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    }
    void cleanupTestCase() {
        if (m_socket >= 0) ::close(m_socket);
    }

    // Each kind of path: what it is called, whether a reader takes it,
    // whether a writer may put a file there. Opening must not block on the
    // pipe (a hang here ends the test by its time limit).
    void kinds_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("readable");
        QTest::addColumn<bool>("writable");
        QTest::addColumn<QString>("reason");
        const auto row = [](const char* tag, const QString& name, TFileKind kind, bool readable,
                            bool writable, const QString& reason) {
            QTest::newRow(tag) << name << int(kind) << readable << writable << reason;
        };
        row("regular file", "file.txt", TFileKind::Regular, true, true, QString());
        row("link to a file", "link.txt", TFileKind::Regular, true, true, QString());
        row("missing", "absent.txt", TFileKind::Missing, false, true, qt_error_string(ENOENT));
        row("folder", "folder", TFileKind::Folder, false, false, LabelText(260));
        row("named pipe", "fifo", TFileKind::Fifo, false, false, LabelText(261));
        row("device", "/dev/zero", TFileKind::Device, false, false, LabelText(262));
        row("socket", "socket", TFileKind::Socket, false, false, LabelText(263));
        row("dangling link", "dangling", TFileKind::DanglingLink, false, false, LabelText(264));
        row("link loop", "loop1", TFileKind::LinkLoop, false, false, LabelText(265));
        row("through a file", "file.txt/x", TFileKind::Unreachable, false, false,
            qt_error_string(ENOTDIR));
    }
    void kinds() {
        QFETCH(QString, name);
        QFETCH(int, kind);
        QFETCH(bool, readable);
        QFETCH(bool, writable);
        QFETCH(QString, reason);
        const QString path = name.startsWith(u'/') ? name : Path(name);
        QCOMPARE(int(FileKindOf(path)), kind);
        QString error;
        QCOMPARE(CheckRegularFile(path, &error), readable);
        if (!readable) QCOMPARE(error, path + QStringLiteral(": ") + reason);
        error.clear();
        QCOMPARE(CheckFileTarget(path, &error), writable);
        if (!writable) QCOMPARE(error, path + QStringLiteral(": ") + reason);

        QFile file;
        error.clear();
        QCOMPARE(OpenRegularFile(file, path, &error), readable);
        QCOMPARE(file.isOpen(), readable);
        if (readable) QCOMPARE(file.readAll(), QByteArray("text\n"));
        if (!readable) QCOMPARE(error, path + QStringLiteral(": ") + reason);
    }

    // A file replaced in one piece, from bytes or a writer; a writer that
    // gives up leaves the old file and its own reason; the targets that
    // are no regular file are refused and stay what they were.
    void replace() {
        const QString path = Path(QStringLiteral("replace.txt"));
        QString error;
        QVERIFY2(WriteFileSafely(path, QByteArray("first"), &error), qPrintable(error));
        QCOMPARE(Contents(path), QByteArray("first"));
        QVERIFY(WriteFileSafely(
            path,
            [](TSafeFileSink& sink) {
                QVERIFY(sink.Write("sec"));
                QVERIFY(sink.Write("ond"));
            },
            &error));
        QCOMPARE(Contents(path), QByteArray("second"));
        QVERIFY(!WriteFileSafely(
            path,
            [](TSafeFileSink& sink) {
                sink.Write("half");
                sink.Fail(QStringLiteral("source: gone"));
                QVERIFY(!sink.Write("more"));
            },
            &error));
        QCOMPARE(error, QStringLiteral("source: gone"));
        QCOMPARE(Contents(path), QByteArray("second"));

        QVERIFY(!WriteFileSafely(Path(QStringLiteral("fifo")), QByteArray("x"), &error));
        QCOMPARE(error, Path(QStringLiteral("fifo")) + QStringLiteral(": ") + LabelText(261));
        QCOMPARE(int(FileKindOf(Path(QStringLiteral("fifo")))), int(TFileKind::Fifo));
        QVERIFY(!WriteFileSafely(Path(QStringLiteral("folder")), QByteArray("x"), &error));
        QVERIFY(QFileInfo(Path(QStringLiteral("folder"))).isDir());
        QVERIFY(!WriteFileSafely(Path(QStringLiteral("no/such/x.txt")), QByteArray("x"), &error));
        QVERIFY(error.startsWith(Path(QStringLiteral("no/such/x.txt")) + u':'));
    }

    // On a full disk, from the start or part way through a file bigger
    // than the space left: the old file stays byte for byte, nothing else
    // is left behind, and the error names the system's reason.
    void fullDisk_data() {
        QTest::addColumn<qint64>("leaveFree");
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("writer");
        QTest::newRow("full, bytes") << qint64(0) << 100 << false;
        QTest::newRow("part way, bytes") << qint64(64 * 1024) << (1 << 20) << false;
        QTest::newRow("part way, small blocks") << qint64(20000) << 60000 << true;
    }
    void fullDisk() {
        QFETCH(qint64, leaveFree);
        QFETCH(int, size);
        QFETCH(bool, writer);
        TFullFileSystem disk;
        QVERIFY2(disk.Mounted(), qPrintable(disk.Error()));
        const QString path = disk.FilePath(QStringLiteral("good.txt"));
        const QByteArray good = "the good file\r\n";
        QVERIFY(Write(path, good));
        QVERIFY(disk.Fill(leaveFree));
        const QByteArray bytes(size, 'n');
        QString error;
        bool written = false;
        if (!writer) {
            written = WriteFileSafely(path, bytes, &error);
        } else {
            written = WriteFileSafely(
                path,
                [&](TSafeFileSink& sink) {
                    // In blocks below the device's buffer: the failure
                    // shows only when a buffer is flushed.
                    for (qsizetype at = 0; at < bytes.size(); at += 1000)
                        sink.Write(QByteArrayView(bytes).sliced(
                            at, std::min<qsizetype>(1000, bytes.size() - at)));
                },
                &error);
        }
        QVERIFY(!written);
        QCOMPARE(error, path + NoSpace());
        QCOMPARE(Contents(path), good);
        QCOMPARE(disk.Files(), QStringList{QStringLiteral("good.txt")});
    }

    // A log on a full disk: rows go in whole until the space ends; the row
    // that did not fit is taken back, so the file ends with its last
    // complete row; a log that has gone is not created anew.
    void appendWholeRecords() {
        TFullFileSystem disk;
        QVERIFY2(disk.Mounted(), qPrintable(disk.Error()));
        const QString path = disk.FilePath(QStringLiteral("log.csv"));
        QVERIFY(Write(path, "header\r\n"));
        QVERIFY(disk.Fill());
        TAppendFile log;
        QString error;
        QVERIFY2(log.Open(path, &error), qPrintable(error));
        const QByteArray row = "12345.678;1.234;99.5;14:25:01\r\n";
        int rows = 0;
        while (log.Append(row, &error))
            ++rows;
        QVERIFY(rows > 10); // the rest of the header's page took them
        QCOMPARE(error, path + NoSpace());
        const QByteArray bytes = Contents(path);
        QCOMPARE(bytes.size(), 8 + rows * row.size());
        QVERIFY(bytes.endsWith(row));
        QVERIFY(!log.Append(row, &error)); // and again: still whole
        QCOMPARE(Contents(path), bytes);
        log.Close();
        QVERIFY(!AppendToFile(path, row, &error));
        QCOMPARE(Contents(path), bytes);

        QVERIFY(QFile::remove(path));
        QVERIFY(!AppendToFile(path, row, &error));
        QCOMPARE(error, path + QStringLiteral(": ") + qt_error_string(ENOENT));
        QVERIFY(!QFile::exists(path));
        QVERIFY(!AppendToFile(Path(QStringLiteral("fifo")), row, &error));
        QCOMPARE(error, Path(QStringLiteral("fifo")) + QStringLiteral(": ") + LabelText(261));
    }
};

QTEST_GUILESS_MAIN(TestSafeFile)
#include "tst_safefile.moc"
