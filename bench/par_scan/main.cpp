// SPDX-License-Identifier: MIT
// Parameter folder benchmark: writes FILES parameter files of the usual
// size (a header and some 60 parameter lines) into a fresh folder, then
// prints how long ScanParameterFiles takes over it and how long the file
// browser takes from its scan to a shown window with every row in its
// grid.
//
//   par_scan [FILES]      (default 10000)
//
// Runs on the offscreen platform with a settings folder of its own.
#include "Labels.h"
#include "ParameterFile.h"
#include "ParameterFileGrid.h"
#include "TMainForm.h"
#include "TParameterReadForm.h"
#include "Windows.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <memory>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    QApplication app(argc, argv);
    SetLabelFilePath(QStringLiteral(ORX_SOURCE_DIR "/labels/orxterm.lab"));
    const int files = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
    const QString folder = home.filePath(QStringLiteral("par"));
    QDir().mkpath(folder);
    for (int i = 0; i < files; ++i) {
        QStringList lines = {QStringLiteral("REM PARAMETER FILE"),
                             QStringLiteral("REM DATE 12.03.26 10:%1:00").arg(i % 60),
                             QString(),
                             QStringLiteral("REM ORX 7 V2.31 2004-06-15"),
                             QStringLiteral("REM PLACE Halle %1").arg(i % 17),
                             QStringLiteral("REM TYPE/OPTIONS ORX 7"),
                             QString(),
                             QStringLiteral("S/N %1").arg(40000 + i),
                             QString()};
        for (int p = 0; p < 60; ++p)
            lines << QStringLiteral("%1 %2").arg(QStringLiteral("KEY%1").arg(p), -13).arg(p);
        if (!SaveParameterLines(QStringLiteral("%1/sensor%2.par").arg(folder).arg(i), lines,
                                nullptr)) {
            std::fprintf(stderr, "par_scan: cannot write into %s\n", qPrintable(folder));
            return 1;
        }
    }

    QList<TParameterFileHeader> records;
    QElapsedTimer clock;
    clock.start();
    ScanParameterFiles(folder, &records, nullptr);
    const double scanMs = double(clock.nsecsElapsed()) / 1e6;
    if (records.size() != files) {
        std::fprintf(stderr, "par_scan: %lld records for %d files\n", qlonglong(records.size()),
                     files);
        return 1;
    }
    std::printf("ScanParameterFiles over %d files: %.1f ms (goal < 1000)\n", files, scanMs);

    {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("OrxTerm"),
                           QStringLiteral("OrxTerm"));
        settings.setValue(QStringLiteral("ComPort/Port"), QStringLiteral("/nonexistent/bench"));
        settings.setValue(QStringLiteral("Option/ParaDir"), folder);
    }
    const TAppWindows w = CreateWindows({});
    std::unique_ptr<TMainForm> main(w.MainForm);
    main->FormShow();
    TParameterReadForm& browser = *w.ParameterReadForm;
    clock.restart();
    browser.Prepare();
    browser.show();
    while (!browser.windowHandle() || !browser.windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    browser.grab(); // painted, grid included
    const double openMs = double(clock.nsecsElapsed()) / 1e6;
    std::printf("browser open with %d rows: %.1f ms (goal < 1500)\n",
                browser.StringGrid1->rowCount(), openMs);
    main->StartUpTimer().stop();
    return 0;
}
