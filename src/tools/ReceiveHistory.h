// SPDX-License-Identifier: MIT
#pragma once

#include <QStringList>

// What the terminal received, by lines, for the history window. CR starts
// a new line and other control characters are left out. At most MaxLines
// lines are kept (and the one being received); a line longer than MaxLine
// goes on in a new one, so a peer that never sends CR cannot grow one line
// without end.
class TReceiveHistory {
public:
    static constexpr int MaxLines = 1000;
    static constexpr int MaxLine = 4096;

    void Add(char ch);
    void Clear() { m_lines.clear(); }
    const QStringList& Lines() const { return m_lines; }

private:
    QStringList m_lines;
};
