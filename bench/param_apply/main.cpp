// SPDX-License-Identifier: MIT
// Applying a parameter set to the editor with a full parameter folder:
// writes FILES parameter files of one sensor (same serial number, dates a
// minute apart) into a fresh folder, scans it as the file browser does,
// then applies the sensor's READ reply (every parameter of the catalogue)
// to the editor ROUNDS times, as a read does line by line with the type
// and place lookup of every line. Prints the scan's time and the worst and
// mean time of one whole reply.
//
//   param_apply [FILES [ROUNDS]]      (defaults 100000 20)
//
// Runs on the offscreen platform with a settings folder of its own.
#include "Labels.h"
#include "ParameterCatalogue.h"
#include "ParameterFile.h"
#include "TMainForm.h"
#include "TParameterForm.h"
#include "TParameterReadForm.h"
#include "Windows.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    QApplication app(argc, argv);
    SetLabelFilePath(QStringLiteral(ORX_SOURCE_DIR "/labels/orxterm.lab"));
    const int files = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    const QString folder = home.filePath(QStringLiteral("par"));
    QDir().mkpath(folder);
    const QString serial = QStringLiteral("40000");
    const QDateTime first(QDate(2026, 1, 5), QTime(8, 0));
    for (int i = 0; i < files; ++i) {
        const QStringList lines = {QStringLiteral("REM PARAMETER FILE"),
                                   QStringLiteral("REM DATE ") +
                                       FileDateText(first.addSecs(60 * i)),
                                   QString(),
                                   QStringLiteral("REM PLACE Line %1").arg(i),
                                   QStringLiteral("REM TYPE/OPTIONS ORX 7 type %1").arg(i),
                                   QString(),
                                   QStringLiteral("S/N ") + serial,
                                   QString(),
                                   QStringLiteral("AVERAGE       %1").arg(i % 500)};
        QFile file(QStringLiteral("%1/set%2.par").arg(folder).arg(i, 6, 10, QLatin1Char('0')));
        if (!file.open(QIODevice::WriteOnly) ||
            file.write((lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toLatin1()) <
                0) {
            std::fprintf(stderr, "param_apply: cannot write into %s\n", qPrintable(folder));
            return 1;
        }
    }
    {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("OrxTerm"),
                           QStringLiteral("OrxTerm"));
        settings.setValue(QStringLiteral("ComPort/Port"), QStringLiteral("/nonexistent/bench"));
        settings.setValue(QStringLiteral("Option/ParaDir"), folder);
    }
    const TAppWindows w = CreateWindows({});
    std::unique_ptr<TMainForm> main(w.MainForm);
    main->FormShow();
    TParameterForm& editor = *w.ParameterForm;

    QElapsedTimer clock;
    clock.start();
    w.ParameterReadForm->ScanParameterFiles();
    const double scanMs = double(clock.nsecsElapsed()) / 1e6;
    std::printf("scan of %d files of one sensor: %.0f ms\n", files, scanMs);

    // The reply as READ gives it: every key of the catalogue with a value.
    QStringList reply;
    for (const TParameterDef& def : ParameterCatalogue())
        if (def.Key && *def.Key)
            reply << QStringLiteral("%1 %2").arg(QLatin1String(def.Key), -13).arg(def.Code);
    TParameterFileHeader header;
    header.SerialNumber = serial;
    editor.ShowHeader(header);

    double worst = 0, total = 0;
    for (int r = 0; r < rounds; ++r) {
        clock.restart();
        for (const QString& line : reply) {
            const qsizetype blank = line.indexOf(u' ');
            editor.SetParameterValue(line.left(blank), line.mid(blank + 1));
        }
        const double ms = double(clock.nsecsElapsed()) / 1e6;
        worst = std::max(worst, ms);
        total += ms;
    }
    const QString expected = QStringLiteral("ORX 7 type %1").arg(files - 1);
    if (editor.ed_typ->text() != expected) {
        std::fprintf(stderr, "param_apply: type \"%s\", not the newest file's \"%s\"\n",
                     qPrintable(editor.ed_typ->text()), qPrintable(expected));
        return 1;
    }
    std::printf("applying a READ reply of %lld lines with %d files in the folder: worst %.2f ms, "
                "mean %.2f ms over %d rounds (goal < 10)\n",
                qlonglong(reply.size()), files, worst, total / rounds, rounds);
    main->StartUpTimer().stop();
    return 0;
}
