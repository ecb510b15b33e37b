// SPDX-License-Identifier: MIT
#include "TSensorState.h"

void TSensorState::SetIdentity(const TSensorIdentity& identity) {
    if (identity == m_identity) return;
    m_identity = identity;
    emit Changed(m_identity);
}

void TSensorState::SetSensorPort(int port) {
    TSensorIdentity next = m_identity;
    next.SensorPort = port;
    SetIdentity(next);
}

void TSensorState::SetFirmware32Bit(bool on) {
    TSensorIdentity next = m_identity;
    next.Firmware32Bit = on;
    SetIdentity(next);
}

void TSensorState::ForgetSerialAndVersion() {
    TSensorIdentity next = m_identity;
    next.SerialNumber.clear();
    next.SoftwareVersion.clear();
    next.Model.clear();
    SetIdentity(next);
}

// Its meta-object code in this object file, so that a program using
// this class alone does not pull the library's windows with it.
#include "moc_TSensorState.cpp"
