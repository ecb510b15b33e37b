// SPDX-License-Identifier: MIT
// Chart benchmark, four figures:
//  1. the raw-data buffer filled to 1,000,000 records: bytes per record,
//     from the buffer's own count and from the heap;
//  2. Stop's plot of that full buffer: every record decoded and plotted,
//     timed until the chart's first replot has been drawn;
//  3. a live run at Update = 1 ms against orxsim running as a process of
//     its own on a pty: this process's CPU use while the chart runs, with
//     the lines received and the points plotted;
//  4. Open of a 1,000,000-row CSV file until the chart has drawn it.
//
//   chart_bench [LIVE_SECONDS]      (default 10)
//
// Runs on the offscreen platform with a settings folder of its own.
#include "BenchWait.h"
#include "FileDialogs.h"
#include "Labels.h"
#include "MeasurementCsv.h"
#include "TAccuTimer.h"
#include "TComPort.h"
#include "TGrafikDlg.h"
#include "TGraphicSetupDlg.h"
#include "TMainForm.h"
#include "TRohdaten.h"
#include "Windows.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <qcustomplot.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <memory>
#include <sys/resource.h>

namespace {
QByteArray Line(int i) {
    const double velocity = 2.5 + 1.5 * std::sin(i / 5000.0);
    return QString::asprintf("+%06X %03X", unsigned(velocity * 100000), unsigned(500 + i % 400))
        .toLatin1();
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs `work` and waits for the chart's next replot to have been drawn.
double TimeUntilDrawn(QCustomPlot* chart, const std::function<void()>& work) {
    bool drawn = false;
    const auto connection =
        QObject::connect(chart, &QCustomPlot::afterReplot, chart, [&drawn] { drawn = true; });
    QElapsedTimer clock;
    clock.start();
    work();
    const bool ok = WaitFor([&drawn] { return drawn; }, 60000);
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    QObject::disconnect(connection);
    return ok ? ms : -1;
}
} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    QApplication app(argc, argv);
    const int liveSeconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    SetLabelFilePath(QStringLiteral(ORX_SOURCE_DIR "/labels/orxterm.lab"));
    constexpr int Records = 1000000;

    // 1. The buffer's memory.
    {
        // Large blocks come from mmap and are counted apart.
        auto heapBytes = [] { return mallinfo2().uordblks + mallinfo2().hblkhd; };
        const std::size_t heapBefore = heapBytes();
        auto buffer = std::make_unique<TRohdaten>();
        buffer->SetCapacity(Records);
        for (int i = 0; i < Records + 1000; ++i)
            buffer->Add(i * 0.001, Line(i));
        const std::size_t heap = heapBytes() - heapBefore;
        std::printf("buffer: %lld records, %.1f bytes per record (own count), %.1f bytes per "
                    "record (heap)\n",
                    static_cast<long long>(buffer->Count()),
                    double(buffer->MemoryBytes()) / double(buffer->Count()),
                    double(heap) / double(buffer->Count()));
    }

    // The program's windows, first without a sensor (the port is a folder).
    {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("OrxTerm"),
                           QStringLiteral("OrxTerm"));
        settings.setValue(QStringLiteral("ComPort/Port"), home.filePath(QStringLiteral("sim")));
    }
    const TAppWindows w = CreateWindows({});
    std::unique_ptr<TMainForm> main(w.MainForm);
    TGrafikDlg& chart = *w.GrafikDlg;
    TGraphicSetupDlg& setup = *w.GraphicSetupDlg;

    // 2. Stop's plot of a full buffer.
    {
        setup.SetUpdate(1);
        setup.SetPeriod(1000);
        setup.SetXNumber(Records);
        chart.show();
        double now = 0;
        chart.SetClock([&now] { return now; });
        chart.btnStartClick(); // no link: the commands go nowhere
        chart.acTimerProbe->stop();
        for (int i = 0; i < Records; ++i) {
            now = i * 0.001;
            chart.ReceiveLine(Line(i));
        }
        chart.btnStopClick();
        for (int run = 0; run < 3; ++run) {
            const double ms = TimeUntilDrawn(chart.Chart, [&chart] { chart.PlotBuffer(); });
            std::printf("stop: %lld records decoded, %d points plotted and drawn in %.1f ms "
                        "(target 300 ms)\n",
                        static_cast<long long>(chart.Rohdaten().Count()),
                        chart.Series1->dataCount(), ms);
        }
        chart.SetClock(nullptr);
    }

    // 4. Open of a 1,000,000-row CSV file.
    {
        const QString path = home.filePath(QStringLiteral("big.csv"));
        QString error;
        if (!SaveCsv(path, chart.Points(), 0, 0.5, &error)) {
            std::fprintf(stderr, "chart_bench: %s\n", qPrintable(error));
            return 1;
        }
        TFileDialogs::SetResponder([&path](const TFileDialogRequest&) { return path; });
        for (int run = 0; run < 3; ++run) {
            const double ms = TimeUntilDrawn(chart.Chart, [&chart] { chart.acOpenExecute(); });
            std::printf("open: %lld rows (%.1f MiB) read and drawn in %.1f ms (target 2000 ms)\n",
                        static_cast<long long>(chart.Points().Count()),
                        double(QFile(path).size()) / 1048576.0, ms);
        }
        TFileDialogs::SetResponder(nullptr);
        chart.done(QDialog::Rejected);
    }

    // 3. A live run at 1 ms against orxsim in its own process.
    QProcess sim;
    const QString link = home.filePath(QStringLiteral("sim"));
    sim.start(QStringLiteral(ORXSIM_PATH),
              {QStringLiteral("--pty"), QStringLiteral("--link"), link});
    if (!WaitFor([&link] { return QFile::exists(link); }, 10000)) {
        std::fprintf(stderr, "chart_bench: orxsim did not start\n");
        return 1;
    }
    main->FormShow();
    if (!WaitFor([&] { return main->ComPort()->Connected() && !main->SensorBusy(); }, 15000)) {
        std::fprintf(stderr, "chart_bench: the port did not open\n");
        return 1;
    }
    setup.SetXNumber(100000);
    chart.show();
    if (!WaitFor([&chart] { return chart.btnStart->isEnabled(); }, 10000)) {
        std::fprintf(stderr, "chart_bench: the output channel could not be prepared\n");
        return 1;
    }
    chart.btnStartClick();
    // Measured once the lines flow.
    WaitFor([&chart] { return chart.Rohdaten().Count() > 100; }, 10000);
    const qsizetype linesBefore = chart.Rohdaten().Count();
    const double cpuBefore = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    WaitFor([] { return false; }, liveSeconds * 1000);
    const double cpu = CpuSeconds() - cpuBefore;
    const double seconds = double(wall.nsecsElapsed()) / 1e9;
    const qsizetype lines = chart.Rohdaten().Count() - linesBefore;
    std::printf("live: Update 1 ms for %.1f s: %lld lines received (%.0f per s), %d points on "
                "the chart, CPU %.1f %% of one core (target 25 %%)\n",
                seconds, static_cast<long long>(lines), double(lines) / seconds,
                chart.Series1->dataCount(), 100.0 * cpu / seconds);
    chart.btnStopClick();
    chart.done(QDialog::Rejected);
    main->ClosePort();
    sim.terminate();
    sim.waitForFinished(5000);
    return 0;
}
