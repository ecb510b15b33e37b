// SPDX-License-Identifier: MIT
#include "TComTermBuffer.h"
