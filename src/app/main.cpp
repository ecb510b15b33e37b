// SPDX-License-Identifier: MIT
// ORXTERM: terminal and configuration program for ORX optical sensors.
#include "CommandLine.h"
#include "OrxVersion.h"
#include "TMainForm.h"
#include "Windows.h"

#include <QApplication>

#include <memory>

int main(int argc, char** argv)
{
    if (HandleInfoOptions(argc, argv))
        return 0;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("OrxTerm"));
    QApplication::setApplicationVersion(QLatin1String(OrxVersion::ProductVersion));

    const TAppWindows windows = CreateWindows(QApplication::arguments().mid(1));
    std::unique_ptr<TMainForm> mainForm(windows.MainForm);
    mainForm->show();
    return QApplication::exec();
}
