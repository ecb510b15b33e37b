// SPDX-License-Identifier: MIT
#pragma once

#include "HostTypes.h"
#include "LinkMode.h"
#include "MsgTypes.h"
#include "TSensorState.h"

#include <QByteArrayList>
#include <QString>

#include <functional>

class TCommandEngine;
class TFlowRecorder;

// What an exchange with the sensor (a flow: identifying, reading, writing,
// a measurement channel) needs of whoever runs it. The main window
// provides it for the menu entries; a service command provides it with
// its own port and engine and no window at all. Nothing here needs a
// widget or a display.
class TFlowHost {
public:
    virtual ~TFlowHost() = default;

    // Every exchange with the sensor goes through the command engine.
    virtual TCommandEngine& Engine() = 0;
    // What is known of the connected sensor.
    virtual TSensorState& Sensor() = 0;
    virtual TLinkMode LinkMode() const = 0;
    // The serial port is open.
    virtual bool PortOpen() const = 0;
    // A link to the sensor stands: the serial port is open, or in Telnet
    // and Remote mode the TCP connection is up.
    virtual bool LinkUp() const = 0;
    // Opens the serial port; once it is open the sensor is greeted and
    // identified. False when it cannot be opened.
    virtual bool OpenPort() = 0;
    // Closes the serial port if it is open.
    virtual void ClosePort() = 0;
    // Commands owed to the sensor: a flow that lost the link while the
    // sensor was in a state it must not stay in (system mode, its output
    // switched off or borrowed) leaves the commands that put it right.
    // They are sent as soon as the same sensor (same serial number) is
    // reached and identified again; a different sensor never gets them.
    virtual void OweSensor(const QByteArrayList& commands) = 0;
    // The serial port's configured rate in bits per second.
    virtual int BaudRate() const = 0;
    // Set when the sensor sends BEL: it refuses what it was sent.
    virtual bool BellReceived() const = 0;
    virtual void ClearBellReceived() = 0;
    // The service record of this program, where it keeps one: whoever
    // presents a flow's result records it there. Null: nothing is recorded.
    virtual TFlowRecorder* Recorder() { return nullptr; }

    // A flow may talk to the sensor: the port is open, or the link is
    // one of the TCP modes (where the engine sends over TCP).
    bool LinkOpen() const { return PortOpen() || LinkMode() != TLinkMode::Local; }
};

// The questions a flow asks on its way. The window asks the operator
// with the program's message box; a service command answers from its
// options.
enum class TFlowQuestion {
    // The set's factory constant differs from the sensor's: Yes keeps
    // the sensor's, No sends the set's, Cancel sends nothing.
    ConstantDiffers,
    // After No to the question before: the constant is really to be sent?
    ReallySendConstant,
    // The set was taken: store it in the sensor's permanent memory?
    StoreSet,
};

class TFlowQuestions {
public:
    virtual ~TFlowQuestions() = default;
    // `text` is the question as the program words it.
    virtual TMsgResult Ask(TFlowQuestion question, const QString& text, TMsgButtons buttons) = 0;
};

// A flow's progress: what it does now and, where it counts, how far it
// is (`done` of `total`; total 0 when there is nothing to count).
using TFlowProgress = std::function<void(const QString& step, qsizetype done, qsizetype total)>;
