// SPDX-License-Identifier: MIT
#pragma once

#include "HostTypes.h"
#include "LinkMode.h"
#include "MsgTypes.h"
#include "TSensorState.h"

#include <QByteArrayList>
#include <QString>

class QPlainTextEdit;
class QSettings;
class QWidget;
class TComDataPacket;
class TCommandEngine;

// The main window as the parameter, measurement and tool windows see it.
// Those windows never include the main window: everything of it that they
// use - the status bar, the message box, the device actions, the sensor's
// identity, the link, the two parameter logs of the debug page, the
// measurement framers and line hooks, the working folders and the command
// engine - is reached through this interface, which the main window
// implements and tests can implement on their own.
class THost {
public:
    virtual ~THost() = default;

    // --- Status and messages ------------------------------------------------
    virtual void ShowStatus(const QString& text, TStatusPanel panel) = 0;
    // COM Status, cleared 10 s after the first of several quick errors.
    virtual void ShowError(const QString& text) = 0;
    // The program's message box: kind and buttons as TFormMsgBox takes
    // them; returns 1 OK, 2 Cancel, 6 Yes or 7 No.
    virtual TMsgResult ShowMsgBox(const QString& text, TMsgKind kind, TMsgButtons buttons) = 0;
    // Enables or disables every action that needs a connected sensor.
    virtual void EnableDeviceActions(bool on) = 0;
    // Testing, programming and saving the editor's parameter set: enabled
    // once a set has been read.
    virtual void EnableParameterActions(bool on) = 0;

    // --- The sensor -----------------------------------------------------------
    virtual TSensorState& Sensor() = 0;

    // --- The link ----------------------------------------------------------------
    virtual TLinkMode LinkMode() const = 0;
    virtual bool PortOpen() const = 0;
    // A link to the sensor stands: the serial port is open, or in Telnet
    // and Remote mode the TCP connection is up.
    virtual bool LinkUp() const = 0;
    // Opens the serial port as F9 does (the sensor is greeted and
    // identified once it is open); false when it cannot be opened, with
    // the reason in COM Status.
    virtual bool OpenPort() = 0;
    // Closes the serial port if it is open.
    virtual void ClosePort() = 0;
    // Every exchange with the sensor goes through the command engine.
    virtual TCommandEngine& Engine() = 0;
    // The serial port's configured rate in bits per second.
    virtual int BaudRate() const = 0;
    // Commands owed to the sensor: a flow that lost the link while the
    // sensor was in a state it must not stay in (system mode, its output
    // switched off or borrowed) leaves the commands that put it right.
    // They are sent as soon as the same sensor (same serial number) is
    // reached and identified again; a different sensor never gets them.
    virtual void OweSensor(const QByteArrayList& commands) = 0;

    // --- The parameter logs of the debug page -----------------------------------
    virtual QPlainTextEdit& MemoRec() = 0; // parameters read
    virtual QPlainTextEdit& MemoPar() = 0; // parameters written

    // --- Measurement ------------------------------------------------------------
    virtual TComDataPacket& GraphicFramer() = 0; // measurement lines of the chart
    virtual TComDataPacket& NumberFramer() = 0;  // measurement lines of the number window
    virtual TLineTarget& ChartLines() = 0;       // measurement lines for the chart
    virtual TLineTarget& NumberLines() = 0;      // ... and for the number window

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
    // Set when the sensor sends BEL: it refuses what it was sent.
    virtual bool BellReceived() const = 0;
    virtual void ClearBellReceived() = 0;
    // Identifies the sensor again (after the caller's attention sequence).
    virtual void IdentifySensor() = 0;
    // Shows the serial port's name and line settings in the COM Port panel.
    virtual void UpdatePortStatus() = 0;
};
