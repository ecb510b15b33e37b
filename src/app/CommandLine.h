// SPDX-License-Identifier: MIT
#pragma once

#include "LinkMode.h"

#include <QStringList>

#include <optional>

struct TOptions;

// The program's switches "debug", "local", "telnet", "remote" and "server",
// scanned from the first to the last argument without regard to case; a
// later switch overrides an earlier one. A leading "-", "--" or "/" is
// accepted. A bare argument that ends in ".par" (any case) names a
// parameter file to open in the editor, the last one counting. Other
// bare arguments are ignored; an argument that starts with "-" and is
// none of the program's options nor one of Qt's own is listed in Unknown,
// and the program refuses to start with it.
struct TSwitches {
    bool Debug = false;
    std::optional<TLinkMode> LinkMode;
    std::optional<bool> LocalServer; // set by "server"
    std::optional<QString> Port;     // "--port=DEVICE": serial port for this run only
    std::optional<QString> Config;   // "--config=FILE": settings file for this run
    // "--address=HOST[:PORT]": the sensor's (telnet) or the relay's (remote)
    // address for this run
    std::optional<QString> Address;
    // "FILE.par": loaded into the parameter editor once the window is up
    std::optional<QString> ParameterFile;
    // Options that neither the program nor Qt knows ("--prot=x", "-x.par")
    QStringList Unknown;

    static TSwitches Scan(const QStringList& arguments); // without the program name
};

// "--address=HOST[:PORT]" for this run only (the stored addresses stay as
// they are): in Telnet mode the sensor's address and `telnetPort`, in the
// other modes the relay's address and port. A port outside 1-65535 is
// left as it was.
void ApplyAddressSwitch(const QString& address, TLinkMode mode, TOptions& options, int& telnetPort);

// Where a client link connects: in Telnet mode the sensor's address and
// its own network port (or `telnetPort` when not 0), in Remote mode the
// relay's address and port.
struct TClientAddress {
    QString Host;
    int Port = 0;
    QString Text() const { return QStringLiteral("%1:%2").arg(Host).arg(Port); }
};
TClientAddress ClientAddress(TLinkMode mode, const TOptions& options, int telnetPort);

// argv without the program name, as texts.
QStringList ArgumentList(int argc, char** argv);

// Texts for the standard Linux options.
QString HelpText(const QString& programName);
QString VersionText();

// The settings file of "--config=FILE", checked before anything opens it:
// one that exists must be a regular file of at most MaxConfigBytes (a pipe
// would hang the start, a device or a huge file would be read for ever).
// One that does not exist yet is fine; it is created. Returns -1 when the
// arguments are fine; otherwise prints "orxterm: --config: <path>: <what
// it is>" to standard error and returns the usage exit code.
int CheckConfigSwitch(int argc, char** argv);
inline constexpr qint64 MaxConfigBytes = 1 << 20;

// Before the window starts: an option that neither the program nor Qt
// knows is printed with the usage text to standard error, and the usage
// exit code returned. Returns -1 when every option is known.
int RefuseUnknownOptions(int argc, char** argv);

// Handles --help/-h and --version/-v before any window exists. Returns
// true (and prints to standard output) when one of them was given.
bool HandleInfoOptions(int argc, char** argv);
