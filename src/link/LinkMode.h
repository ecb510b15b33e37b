// SPDX-License-Identifier: MIT
#pragma once

// How the program reaches the sensor: over the serial port (Local), over
// TCP to the sensor's own network port 23 (Telnet), or over TCP to another
// ORXTERM's relay (Remote). Stored as the integer of the "Mode" setting.
enum class TLinkMode { Local = 0, Telnet = 1, Remote = 2 };

// The stored integer as a mode: 1 Telnet, 2 Remote, anything else Local.
constexpr TLinkMode LinkModeFromInt(int value) {
    return value == 1 ? TLinkMode::Telnet : value == 2 ? TLinkMode::Remote : TLinkMode::Local;
}

// Telnet and Remote: the link is a TCP client connection.
constexpr bool IsTcpClientMode(TLinkMode mode) {
    return mode == TLinkMode::Telnet || mode == TLinkMode::Remote;
}
