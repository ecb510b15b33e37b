// SPDX-License-Identifier: MIT
#pragma once

#include "TFlowHost.h"

#include <QByteArrayList>
#include <QString>

class QSettings;
class QWidget;
class TCommandEngine;

// The main window as the parameter, measurement and tool windows see it:
// what flows need of it (TFlowHost), and what only windows need.
// Those windows never include the main window: everything of it that they
// use - the status bar, the message box, the device actions, the sensor's
// identity, the link, the two parameter logs of the debug page, the relay
// of measurement lines, the working folders and the command engine - is
// reached through this interface, which the main window implements and
// tests can implement on their own.
class THost : public TFlowHost {
public:
    // --- Status and messages ------------------------------------------------
    virtual void ShowStatus(const QString& text, TStatusPanel panel) = 0;
    // COM Status, cleared 10 s after the first of several quick errors.
    virtual void ShowError(const QString& text) = 0;
    // An error whose reason (the system's words) is shown with it, in the
    // panel's tool tip where the window has one.
    virtual void ShowError(const QString& text, const QString& reason) {
        ShowError(reason.isEmpty() ? text : text + QStringLiteral(": ") + reason);
    }
    // A state of the link that lasts (why the port stays closed): COM
    // Status shows `text`, with `detail` in its tool tip where the window
    // has one, and keeps it. No timer clears it; a later error replaces it
    // for its time and then gives the panel back to it. An empty text ends
    // it and clears the panel if it still shows it.
    virtual void KeepComStatus(const QString& text, const QString& detail) {
        if (!text.isEmpty()) ShowError(text, detail);
    }
    // The program's message box: kind and buttons as TFormMsgBox takes
    // them; returns 1 OK, 2 Cancel, 6 Yes or 7 No.
    virtual TMsgResult ShowMsgBox(const QString& text, TMsgKind kind, TMsgButtons buttons) = 0;
    // Enables or disables every action that needs a connected sensor.
    virtual void EnableDeviceActions(bool on) = 0;
    // Testing, programming and saving the editor's parameter set: enabled
    // once a set has been read.
    virtual void EnableParameterActions(bool on) = 0;

    // --- The parameter logs of the debug page -----------------------------------
    enum class TParameterLog { Read, Written };
    // Shows `text` in that log.
    virtual void ShowParameterLog(TParameterLog log, const QString& text) = 0;

    // --- Measurement ------------------------------------------------------------
    // A measurement line a window's run received: in Local mode it goes
    // on to the relay's clients.
    virtual void RelayMeasurementLine(const QByteArray& line) = 0;

    // --- Working folders ("ParaDir", "FirmDir", "TextDir") ----------------------
    virtual QString ParaDir() const = 0;
    virtual QString FirmDir() const = 0;
    virtual QString TextDir() const = 0;
    virtual void SaveParaDir(const QString& folder) = 0;
    virtual void SaveFirmDir(const QString& folder) = 0;
    virtual void SaveTextDir(const QString& folder) = 0;

    // The settings store ("Option" group and the others).
    virtual QSettings& SettingsStore() = 0;

    // --- The window -----------------------------------------------------------
    // The main window, as the parent of dialogs.
    virtual QWidget* HostWindow() = 0;

    // --- Firmware update and file transfer ---------------------------------------
    // Identifies the sensor again (after the caller's attention sequence).
    virtual void IdentifySensor() = 0;
    // Shows the serial port's name and line settings in the COM Port panel.
    virtual void UpdatePortStatus() = 0;
};
