// SPDX-License-Identifier: MIT
// The chart window: its raw-data buffer, the live probe and Stop, the zoom
// and move steps, and the CSV files (what Open refuses, its limit, the log,
// Save as and the bitmap on a full disk); a whole run against the
// simulated sensor with logging, Save as, Open, bitmap and print.
#include "FileDialogs.h"
#include "FullFileSystem.h"
#include "Labels.h"
#include "MeasurementCsv.h"
#include "MsgBox.h"
#include "PrintDialogs.h"
#include "SimulatedMainForm.h"
#include "TAccuTimer.h"
#include "TChartData.h"
#include "TGrafikDlg.h"
#include "TGraphicSetupDlg.h"
#include "TRohdaten.h"

#include <QAction>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <qcustomplot.h>

#include <memory>

#include <sys/stat.h>

namespace {
QByteArray Line(double velocity, double rate) {
    return QString::asprintf("%c%06X %03X", velocity < 0 ? '-' : '+',
                             unsigned(std::llround(std::abs(velocity) * 100000)),
                             unsigned(std::llround(rate * 10)))
        .toLatin1();
}

QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(bytes);
}

QString NoSpace() {
    return QStringLiteral(": ") + qt_error_string(ENOSPC);
}

QStringList FileLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}
} // namespace

class TestChart : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<TSimPty> m_sim;
    std::unique_ptr<TMainForm> m_main;

    bool Start() {
        TAppWindows w;
        return StartOnSimulatedSensor(m_dir.filePath(QStringLiteral("sim")), TSimOptions(), m_sim,
                                      m_main, w);
    }
    bool Ready() { return Identified(*m_main, m_main->Windows(), *m_sim); }
    TGrafikDlg& Chart() { return *m_main->Windows().GrafikDlg; }
    TGraphicSetupDlg& Setup() { return *m_main->Windows().GraphicSetupDlg; }

private slots:
    void init() { SetLabelFilePath(QStringLiteral(ORX_SOURCE_DIR "/labels/orxterm.lab")); }
    void cleanup() {
        TFileDialogs::SetResponder(nullptr);
        TFormMsgBox::SetResponder(nullptr);
        TPrintDialogs::SetResponder(nullptr);
        QLocale::setDefault(QLocale::c());
        if (m_main) m_main->StartUpTimer().stop();
        m_main.reset();
        m_sim.reset();
    }

    // The buffer keeps the newest Capacity lines and says how far back it
    // was cut; a record is 24 bytes whatever the line.
    void buffer() {
        TRohdaten buffer;
        buffer.SetCapacity(0); // refused
        buffer.SetCapacity(600);
        QCOMPARE(buffer.Capacity(), 600);
        for (int i = 0; i < 700; ++i) // 70 s of a 100 ms period
            buffer.Add(i * 0.1, Line(i, 50));
        QCOMPARE(buffer.Count(), 600);
        QVERIFY(buffer.Cut());
        QCOMPARE(buffer.CutSeconds(), 99 * 0.1);
        QCOMPARE(buffer.At(0).Seconds, 10.0);
        QCOMPARE(buffer.Newest().Packet(), Line(699, 50));
        QVERIFY(buffer.NewData());
        QVERIFY(buffer.MemoryBytes() <= 600 * sizeof(TMesswert));

        // Untrusted lines: long, binary, empty; the chart needs 11 characters.
        buffer.Add(70.0, QByteArray(100000, '\xff'));
        buffer.Add(70.1, QByteArray("+0186A0 3E8\0\x01garbage", 20));
        buffer.Add(70.2, QByteArray());
        QCOMPARE(buffer.Count(), 600);
        QCOMPARE(buffer.At(597).Packet().size(), TMesswert::KeptCharacters);
        QCOMPARE(buffer.At(598).Packet().first(11), QByteArrayView("+0186A0 3E8"));
        QCOMPARE(buffer.Newest().Packet().size(), 0);

        // A smaller capacity keeps the newest records.
        buffer.SetCapacity(10);
        QCOMPARE(buffer.Count(), 10);
        QCOMPARE(buffer.Newest().Seconds, 70.2);
        buffer.Add(71, Line(1, 1));
        QCOMPARE(buffer.At(0).Seconds, buffer.At(0).Seconds); // still ordered
        QVERIFY(buffer.At(0).Seconds < buffer.At(9).Seconds);
        buffer.Clear();
        QCOMPARE(buffer.Count(), 0);
        QVERIFY(!buffer.NewData() && !buffer.Cut());
    }

    void zoomSteps_data() {
        QTest::addColumn<double>("lower");
        QTest::addColumn<double>("upper");
        QTest::addColumn<QString>("step");
        QTest::addColumn<double>("newLower");
        QTest::addColumn<double>("newUpper");
        QTest::newRow("zoom in") << 0.0 << 100.0 << "in" << 20.0 << 80.0;
        QTest::newRow("zoom out") << 20.0 << 80.0 << "out" << 8.0 << 92.0;
        QTest::newRow("move left") << 0.0 << 60.0 << "left" << 6.0 << 66.0;
        QTest::newRow("move right") << 0.0 << 60.0 << "right" << -6.0 << 54.0;
        QTest::newRow("negative span") << -50.0 << -10.0 << "in" << -42.0 << -18.0;
    }
    void zoomSteps() {
        QFETCH(double, lower);
        QFETCH(double, upper);
        QFETCH(QString, step);
        QFETCH(double, newLower);
        QFETCH(double, newUpper);
        const TAxisSpan span{lower, upper};
        const TAxisSpan result = step == u"in"     ? ZoomSpan(span, 120)
                                 : step == u"out"  ? ZoomSpan(span, 80)
                                 : step == u"left" ? MoveSpan(span, 0.1)
                                                   : MoveSpan(span, -0.1);
        QCOMPARE(result.Lower, newLower);
        QCOMPARE(result.Upper, newUpper);
    }

    void parseCsvLine_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<double>("time");
        QTest::addColumn<double>("velocity");
        QTest::addColumn<double>("rate");
        QTest::newRow("German row")
            << QByteArray("12,345;0,500;99,5;14:25:01") << true << 12.345 << 0.5 << 99.5;
        QTest::newRow("point row, no clock")
            << QByteArray("1.5;-2.25;3") << true << 1.5 << -2.25 << 3.0;
        QTest::newRow("blanks, sign, exponent")
            << QByteArray("  +1e1; -2.5E-1;.5;x") << true << 10.0 << -0.25 << 0.5;
        QTest::newRow("two fields") << QByteArray("1;2") << false << 1.0 << 2.0 << 0.0;
        QTest::newRow("empty field") << QByteArray("1;;3") << false << 1.0 << 0.0 << 3.0;
        QTest::newRow("trailing text") << QByteArray("4abc;2;3") << false << 4.0 << 2.0 << 3.0;
        QTest::newRow("trailing blank") << QByteArray("4 ;2;3") << false << 4.0 << 2.0 << 3.0;
        QTest::newRow("no numbers") << QByteArray("inf;nan;0x10") << false << 0.0 << 0.0 << 0.0;
        QTest::newRow("header") << QByteArray("time[s];velocity[m/s];rate[%];clock") << false << 0.0
                                << 0.0 << 0.0;
        QTest::newRow("overflow") << QByteArray("1e999;1;1") << false << 0.0 << 1.0 << 1.0;
        QTest::newRow("overlong third field")
            << QByteArray("1;2;" + QByteArray(400, '3')) << false << 1.0 << 2.0 << 0.0;
    }
    void parseCsvLine() {
        QFETCH(QByteArray, line);
        QFETCH(bool, valid);
        QFETCH(double, time);
        QFETCH(double, velocity);
        QFETCH(double, rate);
        double t = -1, v = -1, r = -1;
        QCOMPARE(ParseCsvLine(line, t, v, r), valid);
        QCOMPARE(t, time);
        QCOMPARE(v, velocity);
        if (valid || rate != 0.0) QCOMPARE(r, rate);
    }

    // Rows and names of the CSV files: no group separators, the locale's
    // decimal comma, the clock wrapping at midnight, the log's name.
    void csvFormat() {
        const QLocale german(QLocale::German, QLocale::Germany);
        QCOMPARE(CsvRow(1234.5, -0.5, 99.96, QStringLiteral("14:25:01"), german),
                 QStringLiteral("1234,500;-0,500;100,0;14:25:01"));
        QCOMPARE(CsvRow(1.0, 2.0, 3.0, QStringLiteral("x"), QLocale::c()),
                 QStringLiteral("1.000;2.000;3.0;x"));
        QCOMPARE(CsvHeader(0), QStringLiteral("time[s];velocity[m/s];rate[%];clock"));
        QCOMPARE(CsvHeader(1), QStringLiteral("time[s];velocity[m/min];rate[%];clock"));
        const double start = DayFraction(QTime(23, 59, 58));
        QCOMPARE(ElapsedToClock(start, 3.0, german), QStringLiteral("00:00:01"));
        QCOMPARE(ElapsedToClock(0, 3600.0, german), QStringLiteral("01:00:00"));
        QVERIFY(!ClockText(QTime(14, 25, 1), QLocale(QLocale::English, QLocale::UnitedStates))
                     .contains(QStringLiteral("UTC")));
        const QDateTime at(QDate(2024, 1, 31), QTime(14, 25, 1));
        QCOMPARE(CsvLogFileName(QStringLiteral("/data/"), at, QStringLiteral("_Log")),
                 QStringLiteral("/data/20240131_142501_Log.csv"));
        QCOMPARE(CsvLogFileName(QStringLiteral("/data"), at, QStringLiteral("_Log")),
                 QStringLiteral("/data/20240131_142501_Log.csv"));
        QVERIFY(
            CsvLogFileName(QString(), at, QStringLiteral("_x"))
                .startsWith(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
                            u'/'));
    }

    // A file written under a German locale opens as the same points, bad
    // rows as gaps, out of order rows sorted; the header names the unit.
    void csvRoundTrip() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        TChartData data;
        data.Add(0.1, 1.5, 99.5, false);
        data.Add(0.2, -0.25, 50, true);
        data.Add(1234.567, 3.125, 0.5, false);
        const QString path = m_dir.filePath(QStringLiteral("run.csv"));
        QString error;
        QVERIFY2(SaveCsv(path, data, 1, DayFraction(QTime(10, 0, 0)), &error), qPrintable(error));
        const QStringList lines = FileLines(path);
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0], CsvHeader(1));
        QCOMPARE(lines[1], QStringLiteral("0,100;1,500;99,5;10:00:00"));
        QCOMPARE(lines[3].left(22), QStringLiteral("1234,567;3,125;0,5;10:"));

        QFile file(path);
        QVERIFY(file.open(QIODevice::Append));
        file.write("0,05;1;2;x\r\nbroken row\r\n7;8"); // no CR LF at the end
        file.close();
        TChartData read;
        bool metersPerSecond = true;
        QVERIFY(ReadCsv(path, read, metersPerSecond, &error));
        QVERIFY(!metersPerSecond);
        QCOMPARE(read.Count(), 6);
        QCOMPARE(read.Time(0), 0.0); // the broken row: a gap at 0
        QVERIFY(read.Gap(0));
        QCOMPARE(read.Time(1), 0.05);
        QCOMPARE(read.Time(2), 0.1);
        QCOMPARE(read.Velocity(2), 1.5);
        QCOMPARE(read.Rate(2), 99.5);
        QVERIFY(!read.Gap(3)); // a gap is saved with its value and reads back as a point
        QCOMPARE(read.Time(4), 7.0);
        QCOMPARE(read.Time(5), 1234.567);

        QVERIFY(
            !ReadCsv(m_dir.filePath(QStringLiteral("missing.csv")), read, metersPerSecond, &error));
        QVERIFY(error.contains(QStringLiteral("missing.csv")));
    }

    // Open refuses what is no regular file at once (a pipe or /dev/zero
    // would never end) and says what it is; a file longer than the limit
    // opens with its first rows and a note that the rest was left out.
    void csvOpenRefusalsAndLimit_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("label");
        QTest::newRow("pipe") << "pipe.csv" << 261;
        QTest::newRow("device") << "/dev/zero" << 262;
        QTest::newRow("folder") << "folder.csv" << 260;
    }
    void csvOpenRefusalsAndLimit() {
        QFETCH(QString, path);
        QFETCH(int, label);
        if (!path.startsWith(u'/')) path = m_dir.filePath(path);
        if (path.endsWith(QStringLiteral("pipe.csv")) && !QFileInfo::exists(path))
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        if (path.endsWith(QStringLiteral("folder.csv"))) QVERIFY(QDir().mkpath(path));
        TChartData read;
        read.Add(1, 2, 3, false);
        bool metersPerSecond = true;
        QString error;
        QVERIFY(!ReadCsv(path, read, metersPerSecond, &error));
        QCOMPARE(error, path + QStringLiteral(": ") + LabelText(label));

        const QString rows = m_dir.filePath(QStringLiteral("rows.csv"));
        QByteArray text = CsvHeader(0).toUtf8() + "\r\n";
        for (int i = 0; i < 25; ++i)
            text += QByteArray::number(i) + ";1;2;x\r\n";
        Write(rows, text);
        error.clear();
        QVERIFY(ReadCsv(rows, read, metersPerSecond, &error, 25)); // just fits
        QCOMPARE(read.Count(), 25);
        QCOMPARE(error, QString());
        QVERIFY(ReadCsv(rows, read, metersPerSecond, &error, 10));
        QCOMPARE(read.Count(), 10);
        QCOMPARE(read.Time(9), 9.0);
        QCOMPARE(error, rows + QStringLiteral(": ") + LabelText(268).arg(10));
    }

    // Save as over a good file on a full disk, full from the start or with
    // room for only part of the points: the good file stays as it was and
    // the error names the system's reason.
    void csvSaveOnFullDisk_data() {
        QTest::addColumn<qint64>("leaveFree");
        QTest::addColumn<int>("points");
        QTest::newRow("full") << qint64(0) << 10;
        QTest::newRow("room for part of it") << qint64(64 * 1024) << 20000;
    }
    void csvSaveOnFullDisk() {
        QFETCH(qint64, leaveFree);
        QFETCH(int, points);
        TFullFileSystem disk;
        QVERIFY2(disk.Mounted(), qPrintable(disk.Error()));
        const QString path = disk.FilePath(QStringLiteral("run.csv"));
        TChartData data;
        data.Add(0.1, 1.5, 99.5, false);
        QString error;
        QVERIFY2(SaveCsv(path, data, 0, 0, &error), qPrintable(error));
        const QByteArray good = Read(path);
        QVERIFY(disk.Fill(leaveFree));
        for (int i = 0; i < points; ++i)
            data.Add(i, 1, 2, false);
        QVERIFY(!SaveCsv(path, data, 0, 0, &error));
        QCOMPARE(error, path + NoSpace());
        QCOMPARE(Read(path), good);
        QCOMPARE(disk.Files(), QStringList{QStringLiteral("run.csv")});
    }

    // The log on a full disk, one row per call as the chart writes it and
    // kept open as the service command writes it: the row that does not
    // fit is taken back, the file ends with its last complete row.
    void csvLogOnFullDisk_data() {
        QTest::addColumn<bool>("keptOpen");
        QTest::newRow("a row per call") << false;
        QTest::newRow("kept open") << true;
    }
    void csvLogOnFullDisk() {
        QFETCH(bool, keptOpen);
        TFullFileSystem disk;
        QVERIFY2(disk.Mounted(), qPrintable(disk.Error()));
        const QString path = disk.FilePath(QStringLiteral("log.csv"));
        TCsvLogFile log;
        QString error;
        QVERIFY2(keptOpen ? log.Create(path, 1, &error) : CreateCsvLog(path, 1, &error),
                 qPrintable(error));
        QVERIFY(disk.Fill());
        const QString row = CsvRow(12.345, 0.5, 99.5, QStringLiteral("14:25:01"));
        int rows = 0;
        while (keptOpen ? log.Append(row, &error) : AppendCsvLog(path, row, &error))
            ++rows;
        QVERIFY(rows > 10);
        QCOMPARE(error, path + NoSpace());
        const QStringList lines = FileLines(path);
        QCOMPARE(lines.size(), rows + 1);
        QCOMPARE(lines.first(), CsvHeader(1));
        QCOMPARE(lines.last(), row);
        QVERIFY(Read(path).endsWith("\r\n"));
    }

    // Save as bitmap on a full disk: the chart is drawn in memory, the
    // existing bitmap stays as it was, the message says why.
    void bitmapOnFullDisk() {
        TFullFileSystem disk(16 << 20);
        QVERIFY2(disk.Mounted(), qPrintable(disk.Error()));
        const TAppWindows w = CreateWindows({});
        m_main.reset(w.MainForm);
        m_main->SaveTextDir(disk.Path());
        const QString bmp = disk.FilePath(QStringLiteral("chart.bmp"));
        TFileDialogs::SetResponder([&bmp](const TFileDialogRequest&) { return bmp; });
        QStringList messages;
        TFormMsgBox::SetResponder([&messages](const TMsgBoxRequest& r) {
            messages << r.text;
            return mrOk;
        });
        TGrafikDlg& chart = *w.GrafikDlg;
        chart.acSaveAsBmpExecute();
        QCOMPARE(messages, QStringList());
        const QByteArray good = Read(bmp);
        QVERIFY(good.startsWith("BM"));
        // Room for a part of it only.
        QVERIFY(disk.Fill(good.size() / 2));
        chart.acSaveAsBmpExecute();
        QCOMPARE(messages, QStringList{bmp + NoSpace()});
        QCOMPARE(Read(bmp), good);
        QCOMPARE(disk.Files(), QStringList{QStringLiteral("chart.bmp")});
    }

    // A run on the simulated sensor: the live chart gains one point per
    // probe and keeps 100, malformed lines are gaps, Stop plots every line
    // of the buffer; the action states follow the run.
    void probeAndStop() {
        QVERIFY(Start());
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 10000);
        TGrafikDlg& w = Chart();
        Setup().SetVUnit(1);
        Setup().SetDataLog(false);
        w.FormShow();
        QVERIFY(w.btnStart->isEnabled());
        QVERIFY(!w.acZoomIn->isEnabled() && !w.acResetZoom->isEnabled());
        // The sensor runs, but its lines are lost: the test feeds its own.
        TSimFaults silent;
        silent.Silent = true;
        m_sim->Sensor().SetFaults(silent);
        w.btnStartClick();
        QCOMPARE(int(w.MeasureState()), int(TGrafikDlg::TMeasureState::Running));
        QVERIFY(w.btnStop->isEnabled() && !w.btnSetup->isEnabled() && !w.acPrint->isEnabled());
        QVERIFY(!w.acOpen->isEnabled()); // a file opened now would mix with the run
        QCOMPARE(w.Panel0->text(), QStringLiteral("0 s"));
        w.acTimerProbe->stop();
        double now = 0;
        w.SetClock([&now] { return now; });
        for (int tick = 0; tick < 150; ++tick) {
            for (int i = 0; i < 5; ++i) { // a 20 ms period
                now = tick * 0.1 + i * 0.02;
                w.ReceiveLine(tick == 120 && i == 4 ? QByteArray("+01X6A0 3E8")
                                                    : Line(tick * 0.01 + i * 0.001, 50));
            }
            w.acTimerProbeTimer();
        }
        QCOMPARE(w.Points().Count(), 100);
        QCOMPARE(w.Points().Time(0), 50 * 0.1 + 0.08); // the newest line of tick 50
        QCOMPARE(w.Points().Velocity(99), (149 * 0.01 + 0.004) * 60);
        QVERIFY(w.Points().Gap(70)); // tick 120: a gap carrying the last value
        QCOMPARE(w.Points().Velocity(70), w.Points().Velocity(69));
        QCOMPARE(w.Series1->dataCount(), 100);
        QVERIFY(std::isnan(w.Series1->data()->at(70)->value));

        m_sim->Sensor().ClearTrace();
        w.btnStopClick();
        QTRY_VERIFY_WITH_TIMEOUT(m_sim->Sensor().ReceivedBytes().endsWith("S1ON 0\r\n"), 5000);
        QCOMPARE(int(w.MeasureState()), int(TGrafikDlg::TMeasureState::Stopped));
        QCOMPARE(w.Points().Count(), 750);
        QCOMPARE(w.Series2->dataCount(), 750);
        QCOMPARE(w.ProgressBar->value(), 750);
        QVERIFY(w.btnStart->isEnabled() && !w.btnStop->isEnabled() && w.acPrint->isEnabled());
        QVERIFY(w.acOpen->isEnabled());
        QVERIFY(w.acZoomIn->isEnabled() && !w.acResetZoom->isEnabled() && w.MouseZoomEnabled());

        // Zoom, move and Reset: the scaling before the first step comes back.
        const TAxisSpan left = w.AxisSpan(TGrafikDlg::Left);
        const TAxisSpan bottom = w.AxisSpan(TGrafikDlg::Bottom);
        w.acZoomInExecute();
        QCOMPARE(w.AxisSpan(TGrafikDlg::Left), ZoomSpan(left, 120));
        QVERIFY(w.acResetZoom->isEnabled() && !w.AxisAuto(TGrafikDlg::Bottom));
        w.acMoveLeftExecute();
        QCOMPARE(w.AxisSpan(TGrafikDlg::Bottom), MoveSpan(ZoomSpan(bottom, 120), 0.1));
        w.acResetZoomExecute();
        QCOMPARE(w.AxisSpan(TGrafikDlg::Left), left);
        QCOMPARE(w.AxisSpan(TGrafikDlg::Bottom), bottom);
        QVERIFY(!w.acResetZoom->isEnabled() && w.AxisAuto(TGrafikDlg::Bottom));

        // Auto scale: one click fits every axis, Reset zoom goes back.
        w.acZoomInExecute();
        w.sbAutoScale->click();
        for (auto axis : {TGrafikDlg::Left, TGrafikDlg::Right, TGrafikDlg::Bottom})
            QVERIFY(w.AxisAuto(axis));
        QVERIFY(w.AxisSpan(TGrafikDlg::Bottom).Lower != ZoomSpan(bottom, 120).Lower);
        QVERIFY(w.acResetZoom->isEnabled());
        w.acResetZoomExecute();
        QCOMPARE(w.AxisSpan(TGrafikDlg::Left), left);
        QCOMPARE(w.AxisSpan(TGrafikDlg::Bottom), bottom);

        // A right drag pans: the spans move and keep their width, and no
        // zoom rectangle takes over on release.
        {
            w.resize(800, 600);
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            w.Chart->replot();
            const QPoint from = w.Chart->axisRect()->rect().center();
            const QPoint to = from + QPoint(40, 30);
            auto send = [&w](QEvent::Type type, QPoint at, Qt::MouseButton button,
                             Qt::MouseButtons held) {
                QMouseEvent event(type, QPointF(at), w.Chart->mapToGlobal(QPointF(at)), button,
                                  held, Qt::NoModifier);
                QCoreApplication::sendEvent(w.Chart, &event);
            };
            send(QEvent::MouseButtonPress, from, Qt::RightButton, Qt::RightButton);
            send(QEvent::MouseMove, to, Qt::NoButton, Qt::RightButton);
            send(QEvent::MouseButtonRelease, to, Qt::RightButton, Qt::NoButton);
            const TAxisSpan panned = w.AxisSpan(TGrafikDlg::Bottom);
            QVERIFY2(panned.Lower < bottom.Lower,
                     qPrintable(QStringLiteral("%1 %2 -> %3 %4 at %5,%6")
                                    .arg(bottom.Lower)
                                    .arg(bottom.Upper)
                                    .arg(panned.Lower)
                                    .arg(panned.Upper)
                                    .arg(from.x())
                                    .arg(from.y())));
            QVERIFY(qFuzzyCompare(panned.Upper - panned.Lower, bottom.Upper - bottom.Lower));
            const TAxisSpan pannedLeft = w.AxisSpan(TGrafikDlg::Left);
            QVERIFY(qFuzzyCompare(pannedLeft.Upper - pannedLeft.Lower, left.Upper - left.Lower));
            QCOMPARE(w.Chart->selectionRectMode(), QCP::srmZoom);
            w.acResetZoomExecute();
            w.hide();
        }

        // A smaller buffer for the next run: the oldest lines are dropped.
        Setup().SetPeriod(1);
        Setup().SetUpdate(10);
        Setup().SetXNumber(100);
        m_sim->Sensor().ClearTrace();
        w.btnStartClick();
        QTRY_VERIFY_WITH_TIMEOUT(m_sim->Sensor().ReceivedBytes().endsWith("S1ON 1\r\n"), 5000);
        QVERIFY(m_sim->Sensor().ReceivedBytes().contains("S1TIME 10\r\n"));
        QCOMPARE(w.Points().Count(), 0);
        QVERIFY(!w.acZoomIn->isEnabled() && !w.MouseZoomEnabled());
        w.acTimerProbe->stop();
        for (int i = 0; i < 250; ++i) {
            now = i * 0.01;
            w.ReceiveLine(Line(1, 1));
        }
        w.acTimerProbeTimer();
        QCOMPARE(w.Rohdaten().Count(), 100);
        QCOMPARE(w.Panel0->text(), QStringLiteral("1 s")); // cut at 1.49 s
        QCOMPARE(w.ProgressBar->maximum(), 100);
        w.done(QDialog::Rejected);
        QCOMPARE(int(w.MeasureState()), int(TGrafikDlg::TMeasureState::Idle));
        QVERIFY(!w.acTimerProbe->isActive());
    }

    // What an operator does: Start with logging on, watch, Stop, save the
    // run as CSV, bitmap and PDF, open the CSV again; the log ends visibly
    // when its file goes away; the channel is restored on closing.
    void runOnSensor() {
        QVERIFY(Start());
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 10000);
        m_main->SaveTextDir(m_dir.path());
        TGrafikDlg& w = Chart();
        Setup().SetDataLog(true);
        Setup().SetVUnit(0);
        Setup().SetUpdate(20);
        Setup().SetPeriod(60);
        Setup().SetXNumber(3000);
        Setup().SetDataLogName(QStringLiteral("_Run"));
        w.FormShow();
        QVERIFY(w.btnStart->isEnabled());
        w.btnStartClick();
        const QString log = w.LogFileName();
        QVERIFY(log.startsWith(m_dir.path() + u'/') && log.endsWith(QStringLiteral("_Run.csv")));
        QCOMPARE(w.windowTitle(), QFileInfo(log).fileName());
        QTRY_VERIFY_WITH_TIMEOUT(FileLines(log).size() >= 6, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(w.Rohdaten().Count() >= 60, 20000);
        QCOMPARE(FileLines(log).first(), CsvHeader(0));
        // Lines come every 20 ms, the log has one row per probe.
        QVERIFY(FileLines(log).size() - 1 < w.Rohdaten().Count());

        // The log file vanishes: logging ends and says so, the run goes on.
        QVERIFY(QFile::remove(log));
        QTRY_VERIFY_WITH_TIMEOUT(w.LogFileName().isEmpty(), 5000);
        QCOMPARE(w.windowTitle(), LabelText(62));
        QVERIFY(w.Panel2->text().contains(LabelText(836)));
        QVERIFY(w.Panel2->toolTip().contains(QFileInfo(log).fileName()));
        QVERIFY(!QFile::exists(log));
        const qsizetype before = w.Rohdaten().Count();
        QTRY_VERIFY_WITH_TIMEOUT(w.Rohdaten().Count() > before + 10, 10000);

        w.btnStopClick();
        const qsizetype points = w.Points().Count();
        QCOMPARE(points, w.Rohdaten().Count());

        // Save as: the message, then every point.
        QStringList messages;
        TFormMsgBox::SetResponder([&messages](const TMsgBoxRequest& r) {
            messages << r.text;
            return mrOk;
        });
        const QString csv = m_dir.filePath(QStringLiteral("saved.csv"));
        const QString bmp = m_dir.filePath(QStringLiteral("chart.bmp"));
        QList<TFileDialogRequest> requests;
        QString answer = csv;
        TFileDialogs::SetResponder([&](const TFileDialogRequest& r) {
            requests << r;
            return answer;
        });
        w.acSaveAsExecute();
        QCOMPARE(requests.last().directory, m_dir.path());
        QCOMPARE(requests.last().defaultSuffix, QStringLiteral("csv"));
        QCOMPARE(messages,
                 QStringList{QStringLiteral("%1 %2 saved.csv").arg(points).arg(LabelText(87))});
        QCOMPARE(FileLines(csv).size(), points + 1);

        answer = bmp;
        w.acSaveAsBmpExecute();
        const QImage image(bmp);
        QCOMPARE(image.size(), w.Chart->size());
        QCOMPARE(image.pixelColor(1, 1), QColor(Qt::white));

        const QString pdf = m_dir.filePath(QStringLiteral("chart.pdf"));
        // The page is laid out at the screen's resolution, so texts keep
        // their size to the chart, and starts in landscape like the chart.
        int printDpi = 0;
        QPageLayout::Orientation orientation = QPageLayout::Portrait;
        TPrintDialogs::SetResponder([&](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            printDpi = printer.resolution();
            orientation = printer.pageLayout().orientation();
            return true;
        });
        w.acPrintExecute();
        QCOMPARE(printDpi, w.Chart->logicalDpiX());
        QCOMPARE(orientation, QPageLayout::Landscape);
        QFile printed(pdf);
        QVERIFY(printed.open(QIODevice::ReadOnly));
        QVERIFY(printed.read(5) == "%PDF-" && printed.size() > 2000);

        // Open: the saved run comes back as the same points.
        const TChartData shown = w.Points();
        answer = csv;
        w.acZoomInExecute();
        w.acOpenExecute();
        QCOMPARE(w.Points().Count(), points);
        for (qsizetype i = 0; i < points; i += 7) {
            QVERIFY(std::abs(w.Points().Time(i) - shown.Time(i)) < 0.0006);
            QVERIFY(std::abs(w.Points().Velocity(i) - shown.Velocity(i)) < 0.0006);
        }
        QVERIFY(w.acZoomIn->isEnabled() && !w.acResetZoom->isEnabled());
        QCOMPARE(w.Chart->yAxis->label(), LabelText(831) + QStringLiteral(" in m/s"));

        // Closing restores the sensor's channel.
        m_sim->Sensor().ClearTrace();
        w.done(QDialog::Rejected);
        QTRY_VERIFY_WITH_TIMEOUT(m_sim->Sensor().ReceivedBytes().endsWith("S1ON 0\r\n"), 5000);
        QVERIFY2(m_sim->Sensor().ReceivedBytes().contains("S1FORMAT "),
                 m_sim->Sensor().ReceivedBytes().constData());
    }

    // A log that cannot be created: the error is shown, the sensor is not
    // started and the window is as before.
    void logCannotBeCreated() {
        QVERIFY(Start());
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 10000);
        m_main->SaveTextDir(m_dir.filePath(QStringLiteral("no/such/folder")));
        QStringList errors;
        TFormMsgBox::SetResponder([&errors](const TMsgBoxRequest& r) {
            errors << r.text;
            return mrOk;
        });
        TGrafikDlg& w = Chart();
        Setup().SetDataLog(true);
        w.FormShow();
        m_sim->Sensor().ClearTrace();
        w.btnStartClick();
        QCOMPARE(errors.size(), 1);
        QVERIFY(errors.first().contains(QStringLiteral("no/such/folder")));
        QCOMPARE(int(w.MeasureState()), int(TGrafikDlg::TMeasureState::Idle));
        QVERIFY(w.btnStart->isEnabled() && w.btnSetup->isEnabled() && !w.btnStop->isEnabled());
        QTest::qWait(300); // nothing may reach the sensor; there is no event to wait for
        QVERIFY(!m_sim->Sensor().ReceivedBytes().contains("ON 1"));
        w.done(QDialog::Rejected);
    }
};

QTEST_MAIN(TestChart)
#include "tst_chart.moc"
