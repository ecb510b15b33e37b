// SPDX-License-Identifier: MIT
#pragma once

#include "TCustomComTerminal.h"

// The terminal pane as the program places it. All behaviour lives in
// TCustomComTerminal; this class is the published form.
class TComTerminal : public TCustomComTerminal {
    Q_OBJECT
public:
    using TCustomComTerminal::TCustomComTerminal;
};
