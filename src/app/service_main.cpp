// SPDX-License-Identifier: MIT
// orxterm-service: the service commands of ORXTERM (info, read, write,
// compare, log, update) without a window. orxterm hands its command line
// to this program; it can also be run on its own.
#include "CommandLine.h"
#include "ServiceCommands.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (const int refused = CheckConfigSwitch(argc, argv); refused >= 0) return refused;
    if (const int code = RunServiceCommand(argc, argv); code >= 0) return code;
    std::fputs(ServiceUsage(), stderr);
    return ServiceExit::Usage;
}
