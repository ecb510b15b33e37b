// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>

// What is known of the connected sensor, found by identifying it.
struct TSensorIdentity {
    int SensorPort = -1;        // the sensor's answer to SID; -1 when none
    bool Firmware32Bit = false; // its INFO answer names 32-bit firmware
    QString SerialNumber;       // empty while unknown
    QString SoftwareVersion;    // empty while unknown
    QString Model;              // the word after "ORX" in its INFO answer; empty while unknown

    // The output channel n of "S<n>ON" and related commands: 2 when the
    // sensor talks to the program on its interface 2, else 1.
    int OutputChannel() const { return SensorPort == 2 ? 2 : 1; }
    bool operator==(const TSensorIdentity&) const = default;
};

// The sensor's identity as the main window keeps it, observable: every
// change is announced with Changed, so the windows that show it follow.
// It also tells when the link to the sensor was lost unexpectedly (the
// device went away, the TCP peer closed) and when the sensor is ready
// again (reached, identified, and what the flows owed it sent), so that a
// window that borrowed the sensor's output channel can end its run and
// borrow it afresh.
class TSensorState : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    const TSensorIdentity& Identity() const { return m_identity; }
    int SensorPort() const { return m_identity.SensorPort; }
    bool Firmware32Bit() const { return m_identity.Firmware32Bit; }

    void SetIdentity(const TSensorIdentity& identity);
    void SetSensorPort(int port);
    void SetFirmware32Bit(bool on);
    // Serial number and software version back to unknown (port closed).
    void ForgetSerialAndVersion();

    void ReportLinkLost() { emit LinkLost(); }
    void ReportLinkReady() { emit LinkReady(); }

signals:
    void Changed(const TSensorIdentity& identity);
    void LinkLost();
    void LinkReady();

private:
    TSensorIdentity m_identity;
};
