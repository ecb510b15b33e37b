// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// The product name from the program's version information, as window
// captions show it ("ORXTERM"). The one source for every caption that
// names the program.
QString ProductTitle();
