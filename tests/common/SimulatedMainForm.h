// SPDX-License-Identifier: MIT
#pragma once

#include "FileDialogs.h"
#include "MsgBox.h"
#include "TComPort.h"
#include "TMainForm.h"
#include "TParameterForm.h"
#include "TSimPty.h"
#include "TSimSensor.h"
#include "Windows.h"

#include <QList>
#include <QPair>
#include <QSettings>
#include <QString>
#include <QStringList>

#include <memory>

// A simulated sensor on a pseudo-terminal (linked at `link`) and the whole
// program's windows on it, started from a settings file that holds only
// the port and `extra` ("Group/Key", value). False when the sensor cannot
// start.
inline bool StartOnSimulatedSensor(const QString& link, const TSimOptions& options,
                                   std::unique_ptr<TSimPty>& sim, std::unique_ptr<TMainForm>& main,
                                   TAppWindows& windows,
                                   const QList<QPair<QString, QString>>& extra = {}) {
    sim = std::make_unique<TSimPty>(options);
    sim->SetLinkPath(link);
    if (!sim->Start()) return false;
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("OrxTerm"),
                       QStringLiteral("OrxTerm"));
    settings.clear();
    settings.setValue(QStringLiteral("ComPort/Port"), sim->DevicePath());
    for (const auto& [key, value] : extra)
        settings.setValue(key, value);
    settings.sync();
    windows = CreateWindows({});
    main.reset(windows.MainForm);
    main->FormShow();
    return true;
}

// The port is open, the sensor identified and nothing talks to it.
inline bool Identified(TMainForm& main, const TAppWindows& windows, TSimPty& sim) {
    return main.ComPort()->Connected() &&
           windows.ParameterForm->SerialNumberText() == sim.Sensor().Serial() && !main.SensorBusy();
}

// Every message box answered OK, its text kept in `boxes`.
inline void RecordMessageBoxes(QStringList& boxes) {
    boxes.clear();
    TFormMsgBox::SetResponder([&boxes](const TMsgBoxRequest& r) {
        boxes << r.text;
        return mrOk;
    });
}

// Ends a test's program and sensor, and the answers its dialogs were given.
inline void StopSimulatedMainForm(std::unique_ptr<TMainForm>& main, std::unique_ptr<TSimPty>& sim) {
    if (main) main->StartUpTimer().stop();
    main.reset();
    sim.reset();
    TFormMsgBox::SetResponder(nullptr);
    TFileDialogs::SetResponder(nullptr);
}
