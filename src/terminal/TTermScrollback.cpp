// SPDX-License-Identifier: MIT
#include "TTermScrollback.h"

#include <algorithm>

void TTermScrollback::SetCapacity(int lines) {
    lines = std::clamp(lines, 0, MaxLines);
    if (lines == m_capacity) return;
    Linearize();
    if (m_count > lines) {
        const int drop = m_count - lines;
        m_lines.erase(m_lines.begin(), m_lines.begin() + drop);
        m_count = lines;
        m_dropped += drop;
    }
    m_capacity = lines;
    if (size_t(m_capacity) < m_lines.capacity() / 2) m_lines.shrink_to_fit();
}

void TTermScrollback::Push(const TTermCell* cells, int columns) {
    if (m_capacity == 0) {
        ++m_dropped;
        return;
    }
    int length = columns;
    while (length > 0 && cells[length - 1].Ch == 0)
        --length;
    if (m_count < m_capacity) {
        // Still growing: the ring is not closed yet, so the new line is last.
        m_lines.emplace_back(cells, cells + length);
        ++m_count;
        return;
    }
    // Full: the oldest line's slot takes the new one (its memory is reused).
    m_lines[m_head].assign(cells, cells + length);
    m_head = m_head + 1 == m_lines.size() ? 0 : m_head + 1;
    ++m_dropped;
}

void TTermScrollback::Clear() {
    m_dropped += m_count;
    m_lines.clear();
    m_head = 0;
    m_count = 0;
}

// Oldest line first in slot 0, so the ring can shrink or grow again.
void TTermScrollback::Linearize() {
    if (m_head == 0) return;
    std::rotate(m_lines.begin(), m_lines.begin() + std::ptrdiff_t(m_head), m_lines.end());
    m_head = 0;
}
