// SPDX-License-Identifier: MIT
#pragma once

// The service commands: one flow with the sensor (read, write, log, info,
// compare) without a window, progress on standard error, and an exit code
// that says how it ended. Returns -1 when the arguments name no command,
// so that the program starts with its window.
int RunServiceCommand(int argc, char** argv);

// Whether the arguments name a service command.
bool IsServiceCommand(int argc, char** argv);
// Runs the command line in orxterm-service, the service commands' own
// program, in place of this process: beside this program (the build
// tree) or in the prefix's libexec/orxterm. Returns only when that
// program cannot be started; the caller then runs the command itself.
void HandOverToServiceProgram(char** argv);

// The exit codes of the service commands.
namespace ServiceExit {
inline constexpr int Done = 0;
inline constexpr int Usage = 1;
inline constexpr int NoLink = 2;
inline constexpr int NoAnswer = 3;
inline constexpr int SensorError = 4;
inline constexpr int FileError = 5;
inline constexpr int Cancelled = 6;
inline constexpr int ConstantDiffers = 7;
inline constexpr int PortBusy = 8;
} // namespace ServiceExit

// The usage text of the service commands.
const char* ServiceUsage();
