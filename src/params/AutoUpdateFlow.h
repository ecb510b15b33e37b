// SPDX-License-Identifier: MIT
#pragma once

#include "TFlowHost.h"

#include <QString>

struct TParameterDef;

// How one Auto Update exchange ended.
struct TAutoUpdateResult {
    // Done: the sensor took the value and read it back. SensorError: it
    // answered with an error ("E05"). NoAnswer: no read-back came. NoLink:
    // the link went away (or could not take the value); what system mode
    // needed is owed to the sensor then.
    TFlowResult Outcome = TFlowResult::NoLink;
    // The value as the sensor read it back: its first word, or the whole
    // line for a key read back whole. Empty unless done.
    QString Value;

    bool Done() const { return Outcome == TFlowResult::Done; }
};

// The Auto Update exchange of one key: a system key enters system mode
// first, then "KEY value" goes out, 100 ms pass, and the key is asked back
// (200 ms for a key read back whole, 300 ms for the rest); a system key
// leaves system mode afterwards.
class TAutoUpdateFlow {
public:
    explicit TAutoUpdateFlow(TFlowHost& host);

    // `key` is the sensor's name of `def` for its firmware; `value` the
    // text typed.
    TAutoUpdateResult Exchange(const TParameterDef& def, const QString& key, const QString& value);

    // Keys on the system page need system mode.
    static bool NeedsSystemMode(const TParameterDef& def);

private:
    TFlowHost& m_host;
};
