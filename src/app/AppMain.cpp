// SPDX-License-Identifier: MIT
#include "AppMain.h"

#include "CommandLine.h"
#include "CopyDataChannel.h"
#include "OrxVersion.h"
#include "ServiceCommands.h"
#include "SignalWatch.h"
#include "TMainForm.h"
#include "Windows.h"

#include <QApplication>

#include <cstdio>
#include <memory>

int RunOrxTerm(int argc, char** argv, const std::function<void(TMainForm&)>& shown) {
    if (const int refused = CheckConfigSwitch(argc, argv); refused >= 0) return refused;
    const int sent = RunCopyDataCommand(argc, argv);
    if (sent >= 0) return sent;
    if (HandleInfoOptions(argc, argv)) return 0;
    if (IsServiceCommand(argc, argv)) HandOverToServiceProgram(argv);
    if (const int code = RunServiceCommand(argc, argv); code >= 0) return code;
    if (const int refused = RefuseUnknownOptions(argc, argv); refused >= 0) return refused;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("OrxTerm"));
    QApplication::setApplicationVersion(QLatin1String(OrxVersion::ProductVersion));
    // The installed menu entry: the desktop shows its name and icon for the windows.
    QGuiApplication::setDesktopFileName(QStringLiteral("orxterm"));

    const TAppWindows windows = CreateWindows(QApplication::arguments().mid(1));
    std::unique_ptr<TMainForm> mainForm(windows.MainForm);
    // Other programs of this user reach the main window's copy-data handler
    // here; a second instance takes a path of its own.
    TCopyDataServer copyData([form = mainForm.get()](quint32 kind, const QByteArray& bytes) {
        form->CopyData(kind, bytes);
    });
    copyData.ReadyForData = [form = mainForm.get()] { return form->ReadyForRelayData(); };
    QString error;
    const QString path = TCopyDataServer::DefaultPath();
    if (!copyData.Listen(path, &error)) {
        const QString own =
            QStringLiteral("%1-%2").arg(path).arg(QCoreApplication::applicationPid());
        if (copyData.Listen(own, &error))
            std::fprintf(stderr, "orxterm: copy-data endpoint %s (ORXTERM_COPYDATA selects it)\n",
                         own.toLocal8Bit().constData());
        else
            std::fprintf(stderr, "orxterm: no copy-data endpoint: %s\n",
                         error.toLocal8Bit().constData());
    }
    // Ended by a signal, the program first lets the sensor be as the
    // window's own closing leaves it.
    TSignalWatch signalWatch(ServiceExit::Cancelled);
    QObject::connect(&signalWatch, &TSignalWatch::Signalled, mainForm.get(),
                     &TMainForm::EndBySignal);
    mainForm->show();
    if (shown) shown(*mainForm);
    return QApplication::exec();
}
