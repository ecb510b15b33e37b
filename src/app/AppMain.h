// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

class TMainForm;

// The whole program: the command-line tools (--copydata, --help,
// --version), then the windows, the copy-data endpoint and the event loop.
// `shown` runs once the main window has been shown (for tools that watch
// a real start, such as the start-up benchmark); the program itself
// passes nothing.
int RunOrxTerm(int argc, char** argv, const std::function<void(TMainForm&)>& shown = {});
