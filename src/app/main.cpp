// SPDX-License-Identifier: MIT
// ORXTERM: terminal and configuration program for ORX optical sensors.
#include "AppMain.h"

int main(int argc, char** argv) {
    return RunOrxTerm(argc, argv);
}
