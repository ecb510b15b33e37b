// SPDX-License-Identifier: MIT
#include "TComDataPacket.h"

#include "TComPort.h"

TComDataPacket::TComDataPacket(QObject* parent) : QObject(parent) {}

TComDataPacket::~TComDataPacket() {
    SetComPort(nullptr);
}

void TComDataPacket::Discard() {
    m_buffer.clear();
    m_inPacket = false;
}

void TComDataPacket::SetStartString(const QByteArray& value) {
    if (value == m_start) return;
    m_start = value;
    Discard();
}

void TComDataPacket::SetStopString(const QByteArray& value) {
    if (value == m_stop) return;
    m_stop = value;
    Discard();
}

void TComDataPacket::SetSize(int value) {
    if (value == m_size) return;
    m_size = value;
    Discard();
}

void TComDataPacket::SetCaseInsensitive(bool value) {
    if (value == m_caseInsensitive) return;
    m_caseInsensitive = value;
    Discard();
}

void TComDataPacket::SetComPort(TComPort* port) {
    if (port == m_port) return;
    if (m_port) m_port->RemoveFramer(this);
    m_port = port;
    if (m_port) m_port->AddFramer(this);
}

qsizetype TComDataPacket::Find(const QByteArray& what, qsizetype from) const {
    if (!m_caseInsensitive) return m_buffer.indexOf(what, from);
    return m_buffer.toUpper().indexOf(what.toUpper(), from);
}

QByteArray TComDataPacket::StripStrings(QByteArray packet) const {
    if (m_includeStrings) return packet;
    auto startsWith = [this](const QByteArray& p, const QByteArray& s) {
        return m_caseInsensitive ? p.toUpper().startsWith(s.toUpper()) : p.startsWith(s);
    };
    if (!m_start.isEmpty() && startsWith(packet, m_start)) packet.remove(0, m_start.size());
    if (!m_stop.isEmpty()) {
        const qsizetype at =
            m_caseInsensitive ? packet.toUpper().indexOf(m_stop.toUpper()) : packet.indexOf(m_stop);
        if (at >= 0 && at == packet.size() - m_stop.size()) packet.chop(m_stop.size());
    }
    return packet;
}

void TComDataPacket::Receive(const QByteArray& chunk) {
    if (m_size <= 0 && m_stop.isEmpty()) {
        emit Packet(chunk);
        return;
    }
    m_buffer += chunk;
    while (true) {
        if (!m_inPacket) {
            if (m_start.isEmpty()) {
                m_inPacket = true;
            } else {
                const qsizetype at = Find(m_start, 0);
                if (at < 0) break;
                m_buffer.remove(0, at);
                m_inPacket = true;
            }
        }
        qsizetype length = -1;
        if (m_size > 0 && m_buffer.size() >= m_size) {
            length = m_size;
        } else if (!m_stop.isEmpty()) {
            const qsizetype at = Find(m_stop, m_start.size());
            if (at >= 0) length = at + m_stop.size();
        }
        if (length < 0) break;
        const QByteArray packet = m_buffer.left(length);
        m_buffer.remove(0, length);
        m_inPacket = false;
        emit Packet(StripStrings(packet));
    }
    if (m_maxBufferSize > 0 && m_buffer.size() >= m_maxBufferSize) Discard();
}

// Its meta-object code in this object file, so that a program using
// this class alone does not pull the library's windows with it.
#include "moc_TComDataPacket.cpp"
