// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <functional>

// The five panels of the main window's status bar.
enum class TStatusPanel {
    ComPort = 0,
    ComStatus = 1,
    TcpCounter = 2,
    IpPort = 3,
    SocketStatus = 4
};
inline constexpr int StatusPanelCount = 5;

// Kinds of a copy-data message: 0-4 set the status panel of that number,
// every other kind carries data for the link (the program itself uses
// Data for what arrives over TCP).
enum class TCopyDataKind : quint32 {
    ComPortPanel = 0,
    ComStatusPanel = 1,
    TcpCounterPanel = 2,
    IpPortPanel = 3,
    SocketStatusPanel = 4,
    Data = 9,
};
inline constexpr bool IsPanelKind(quint32 kind) {
    return kind <= quint32(TCopyDataKind::SocketStatusPanel);
}

// How a flow with the sensor (a read, a send, an update) ended, for those
// that run it without a person watching (the service commands).
enum class TFlowResult {
    Done = 0,
    NoLink,          // no port open, no connection
    NoAnswer,        // the sensor did not answer
    SensorError,     // the sensor refused or answered with an error
    FileError,       // a file could not be read or written
    Cancelled,       // the user said no, or the run was interrupted
    ConstantDiffers, // a differing factory constant was not answered
};
