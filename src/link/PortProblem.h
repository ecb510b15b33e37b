// SPDX-License-Identifier: MIT
#pragma once

#include "TComPort.h"

#include <QString>
#include <QStringList>

#include <optional>

// Why a serial port did not open, in words the user can act on: a short
// text for the status bar ("ttyUSB0: permission denied") and what to do
// about it (the group to join, the program holding the port, the ports
// that are present).

// The process that holds a port by its lock file. Pid 0: no lock names a
// live process.
struct TLockHolder {
    qint64 Pid = 0;
    QString Program; // its name from /proc/PID/comm; empty when unreadable
};

// The PID in a UUCP lock file: as text ("  1234\n", also the first line of
// a Qt lock file) or as a binary int of 4 bytes. Only a small regular file
// is read; a fifo, a device, a symbolic link or a file without a PID gives
// nothing.
std::optional<qint64> ReadLockPid(const QString& lockFile);

// The folders lock files are looked for in: /var/lock, /run/lock and the
// temporary folder (where the serial port library puts its lock when the
// others are not writable).
QStringList DefaultLockDirs();

// The live process whose lock file ("LCK..NAME") in one of `lockDirs`
// names the device `devicePath`. A PID without an entry under `procRoot`
// is a stale lock and names nobody.
TLockHolder FindLockHolder(const QString& devicePath, const QStringList& lockDirs,
                           const QString& procRoot = QStringLiteral("/proc"));

// The group that owns the device; "dialout" when it cannot be told.
QString DeviceGroup(const QString& devicePath);
// The user name of this process.
QString CurrentUserName();

// The device path of a port name as the program stores it: a name such
// as "ttyUSB0" lies in /dev, a path is taken as it is.
QString PortDevicePath(const QString& port);

struct TPortProblem {
    TComPort::TOpenFailure Failure = TComPort::TOpenFailure::None;
    QString Port;        // the port as set
    QString Reason;      // the system's words (other failures)
    TLockHolder Holder;  // busy
    QString Group;       // permission denied: the device's group ...
    QString User;        // ... and the user to add to it
    QStringList Present; // not found: the ports there are

    bool IsProblem() const { return Failure != TComPort::TOpenFailure::None; }
    // One line for the COM Status panel; empty when there is no problem.
    QString ShortText() const;
    // What the user can do about it, one or more lines; may be empty.
    QString FixText() const;
};

// The facts about the port's last failed Open.
TPortProblem DescribeOpenFailure(const TComPort& port);
