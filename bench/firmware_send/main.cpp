// SPDX-License-Identifier: MIT
// Firmware transfer benchmark: a main window on a simulated sensor's pty
// puts the sensor into its transfer mode and sends an Intel-HEX file
// through the transfer dialog, at 115200 baud (2,000 lines) and at 38400
// baud (700 lines). The simulated sensor takes the bytes at the line rate
// the port has set, as a real line carries them, so the wire time is the
// floor. It prints the time until the sensor has taken the last record,
// lines per second, the two floors (one 1 ms tick a line, and the wire
// time at the port's rate), the ratio to the larger one (goal <= 1.05),
// and the longest the window waited for a 10 ms timer meanwhile.
//
//   firmware_send [RUNS]      (default 2 at each rate)
//
// Runs on the offscreen platform with a settings folder of its own.
#include "BenchWait.h"
#include "Labels.h"
#include "TComPort.h"
#include "TCommandEngine.h"
#include "TFlashDlg.h"
#include "TMainForm.h"
#include "TParameterForm.h"
#include "TSimHex.h"
#include "TSimPty.h"
#include "TSimSensor.h"
#include "Windows.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2;
    constexpr int Rate = 115200;
    SetLabelFilePath(QStringLiteral(ORX_SOURCE_DIR "/labels/orxterm.lab"));
    TSimOptions options;
    options.LineRate = Rate;
    options.FlashStepMs = 10;
    TSimPty sim(options);
    sim.SetLinkPath(home.filePath(QStringLiteral("sim")));
    sim.SetPacedInput(true);
    if (!sim.Start()) return 1;
    {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("OrxTerm"),
                           QStringLiteral("OrxTerm"));
        settings.setValue(QStringLiteral("ComPort/Port"), sim.DevicePath());
        settings.setValue(QStringLiteral("ComPort/BaudRate"), QString::number(Rate));
    }
    const TAppWindows w = CreateWindows({});
    std::unique_ptr<TMainForm> main(w.MainForm);
    main->FormShow();
    TSimSensor& sensor = sim.Sensor();
    if (!WaitFor([&] { return main->ComPort()->Connected(); }, 5000) ||
        !WaitFor([&] { return w.ParameterForm->SerialNumberText() == sensor.Serial(); }, 10000) ||
        !WaitFor([&] { return !main->SensorBusy(); }, 10000) || sim.HostLineRate() != Rate) {
        std::fprintf(stderr,
                     "firmware_send: the port did not open at %d or the sensor was not "
                     "identified\n",
                     Rate);
        return 1;
    }
    struct TRateRun {
        TBaudRate baud;
        int rate;
        int records;
    };
    for (const TRateRun& r :
         {TRateRun{TBaudRate::br115200, 115200, 1998}, TRateRun{TBaudRate::br38400, 38400, 698}}) {
        main->ComPort()->SetBaudRate(r.baud);
        if (!WaitFor([&] { return sim.HostLineRate() == r.rate; }, 5000)) {
            std::fprintf(stderr, "firmware_send: the port did not change to %d\n", r.rate);
            return 1;
        }
        // With the address and end records: two lines more than records.
        const QByteArray file = MakeHexFile(r.records);
        QList<QByteArray> lines;
        for (const QByteArray& line : file.split('\n'))
            if (!line.isEmpty()) lines.append(line.chopped(1));
        const double wireMs = double(file.size()) * 10.0 * 1000.0 / r.rate;
        const double tickMs = double(lines.size());
        for (int run = 0; run < runs; ++run) {
            main->Engine().SetCmd(QByteArrayLiteral("*UPDATE\r\n"));
            main->Engine().SetCmd(QByteArrayLiteral("UPDATE\r\n"));
            if (!WaitFor([&] { return sensor.Transferring(); }, 5000)) {
                std::fprintf(stderr, "firmware_send: the sensor did not start its transfer\n");
                return 1;
            }
            TGapProbe probe;
            QElapsedTimer clock;
            clock.start();
            const int result = w.FlashDlg->SendLines(QStringLiteral("bench"), QString(), lines);
            const bool done =
                result == TFlashDlg::ResultOk &&
                WaitFor([&] { return sensor.UpdateRecords() == int(lines.size()); }, 60000);
            const double ms = double(clock.nsecsElapsed()) / 1e6;
            probe.Stop();
            if (!done) {
                std::fprintf(stderr, "firmware_send: run %d did not finish (%d of %lld records)\n",
                             run, sensor.UpdateRecords(), static_cast<long long>(lines.size()));
                return 1;
            }
            const double floor = std::max(tickMs, wireMs);
            std::printf("%6d baud, run %d: %lld lines in %7.1f ms = %5.0f lines/s; 1 ms ticks "
                        "%5.0f ms, wire time %6.0f ms; ratio to the larger %.3f (goal <= 1.05); "
                        "longest wait of the window %lld ms\n",
                        r.rate, run, static_cast<long long>(lines.size()), ms,
                        lines.size() * 1000.0 / ms, tickMs, wireMs, ms / floor, probe.LongestMs());
            std::fflush(stdout);
            // The sensor flashes, then the update mode is left for the next run.
            WaitFor([&] { return sensor.SentBytes().endsWith("update successful\r\n->"); }, 20000);
            main->Engine().SetCmd(QByteArrayLiteral("EXIT\r\n"));
            WaitFor([&] { return !sensor.UpdateMode(); }, 5000);
        }
    }
    return 0;
}
