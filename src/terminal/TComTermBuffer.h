// SPDX-License-Identifier: MIT
#pragma once

// Screen buffer of the terminal control (being written).
class TComTermBuffer {
public:
    TComTermBuffer() = default;
};
