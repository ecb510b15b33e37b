// SPDX-License-Identifier: MIT
#pragma once

#include "CommandLine.h"
#include "OptionSettings.h"
#include "OwedCommands.h"
#include "TComDataPacket.h"
#include "TCommandEngine.h"
#include "TFlowHost.h"
#include "TFlowRecorder.h"
#include "TLink.h"

#include <QByteArrayList>
#include <QObject>
#include <QSettings>

#include <functional>
#include <memory>

// The link of a service command: the serial port or the TCP connection
// the settings and switches name, the command engine and its framer, and
// the sensor's state, with no window. It greets and identifies the sensor
// the way the main window does when its link comes up (the attention
// sequence, then the identification), so a service command puts the same
// bytes on the wire as the menu entry it stands for.
class TServiceLink : public QObject, public TFlowHost {
    Q_OBJECT
public:
    using TSay = std::function<void(const QString&)>;

    // `say` is told what the link does (standard error).
    TServiceLink(const TSwitches& switches, TSay say, QObject* parent = nullptr);

    // How bringing the link up ended.
    enum class TConnect { Connected, NoLink, PortBusy, NoAnswer };
    // Opens the port or connects, then identifies the sensor.
    TConnect Connect();
    // Lets what is still on its way to the sensor leave, then closes.
    void Close();

    // --- TFlowHost ---
    TCommandEngine& Engine() override { return m_engine; }
    TSensorState& Sensor() override { return m_sensor; }
    TLinkMode LinkMode() const override { return m_mode; }
    bool PortOpen() const override { return m_link.SerialOpen(); }
    bool LinkUp() const override { return m_engine.LinkUp(); }
    bool OpenPort() override;
    void ClosePort() override { m_link.Port().Close(); }
    void OweSensor(const QByteArrayList& commands) override;
    int BaudRate() const override { return BaudRateValue(m_link.Port().BaudRate()); }
    bool BellReceived() const override { return m_bell; }
    void ClearBellReceived() override { m_bell = false; }
    TFlowRecorder* Recorder() override { return &m_recorder; }

    TComPort& Port() { return m_link.Port(); }
    // The link as the service record names it: "ttyUSB0 115200",
    // "tcp 192.168.0.5:10001".
    QString LinkText() const;
    // Commands owed to the sensor that could not be paid before the end.
    const QByteArrayList& Owed() const { return m_owed.Commands(); }
    QSettings& Settings() { return *m_settings; }
    const TOptions& Options() const { return m_options; }

private:
    void Received(const QByteArray& data);
    void Greet();

    TSay m_say;
    std::unique_ptr<QSettings> m_settings;
    TOptions m_options;
    TLinkMode m_mode = TLinkMode::Local;
    int m_telnetPort = 0;
    TLink m_link;
    TComPort& m_port; // the link's serial port
    TComDataPacket m_framer;
    TCommandEngine m_engine;
    TSensorState m_sensor;
    bool m_greeting = false;
    bool m_bell = false;
    TOwedCommands m_owed;
    TFlowRecorder m_recorder;
};
