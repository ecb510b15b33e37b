// SPDX-License-Identifier: MIT
#pragma once

#include "TermTypes.h"

#include <vector>

// Lines that scrolled off the top of the screen, oldest first, at most
// Capacity() of them. Each line keeps its cells up to the last non-empty one,
// so short lines cost little; the whole store is bounded by
// Capacity() x the widest screen.
//
// Lines are counted from the first line ever kept: the line at index i has
// the absolute number Dropped() + i, and that number names the same text for
// as long as the line is kept, whatever is added or dropped meanwhile. The
// view uses it to hold a selection or a scrolled-up position still.
class TTermScrollback {
public:
    static constexpr int DefaultLines = 10000;
    static constexpr int MaxLines = 50000;

    // 0 keeps nothing. Making it smaller drops the oldest lines.
    void SetCapacity(int lines);
    int Capacity() const { return m_capacity; }

    int Count() const { return m_count; }
    qint64 Dropped() const { return m_dropped; }
    // Every line ever given to Push, kept or not.
    qint64 Pushed() const { return m_dropped + m_count; }

    // Adds a line of `columns` cells as the newest; when full, the oldest
    // goes. With capacity 0 the line is only counted as dropped.
    void Push(const TTermCell* cells, int columns);
    // Line i (0 = oldest) and its length in cells.
    const TTermCell* Line(int i) const { return m_lines[Slot(i)].data(); }
    int Length(int i) const { return int(m_lines[Slot(i)].size()); }

    // Drops every line.
    void Clear();

private:
    size_t Slot(int i) const {
        const size_t s = m_head + size_t(i);
        return s >= m_lines.size() ? s - m_lines.size() : s;
    }
    void Linearize();

    std::vector<std::vector<TTermCell>> m_lines; // ring once it holds m_capacity lines
    size_t m_head = 0;                           // slot of the oldest line
    int m_count = 0;
    int m_capacity = 0;
    qint64 m_dropped = 0;
};
