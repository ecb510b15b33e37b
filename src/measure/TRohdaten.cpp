// SPDX-License-Identifier: MIT
#include "TRohdaten.h"

#include <algorithm>
#include <cstring>

void TRohdaten::Add(double seconds, QByteArrayView line) {
    TMesswert record;
    record.Seconds = seconds;
    record.Size =
        static_cast<unsigned char>(std::min<qsizetype>(line.size(), TMesswert::KeptCharacters));
    if (record.Size) std::memcpy(record.Head, line.data(), record.Size);

    if (m_count < m_capacity) {
        // Not full yet: the records lie in order from slot 0. The ring grows
        // in steps, never beyond the capacity.
        if (m_ring.size() == m_ring.capacity())
            m_ring.reserve(std::min(std::size_t(m_capacity),
                                    std::max<std::size_t>(1024, m_ring.capacity() * 2)));
        m_ring.push_back(record);
        ++m_count;
    } else {
        // Full: the oldest record gives its slot to the new one.
        TMesswert& oldest = m_ring[std::size_t(m_first)];
        m_cut = true;
        m_cutSeconds = oldest.Seconds;
        oldest = record;
        m_first = (m_first + 1) % m_capacity;
    }
    m_newData = true;
}

void TRohdaten::Clear() {
    m_newData = false;
    m_cut = false;
    m_cutSeconds = 0;
    m_first = 0;
    m_count = 0;
    m_ring.clear();
    m_ring.shrink_to_fit();
}

void TRohdaten::SetCapacity(int n) {
    if (n <= 0 || n == m_capacity) return;
    // Lay the newest records out from slot 0 in a ring of the new size.
    const qsizetype keep = std::min<qsizetype>(m_count, n);
    std::vector<TMesswert> ring;
    ring.reserve(std::size_t(keep));
    for (qsizetype i = m_count - keep; i < m_count; ++i)
        ring.push_back(At(i));
    if (keep < m_count) {
        m_cut = true;
        m_cutSeconds = At(m_count - keep - 1).Seconds;
    }
    m_ring = std::move(ring);
    m_first = 0;
    m_count = keep;
    m_capacity = n;
}

const TMesswert& TRohdaten::At(qsizetype i) const {
    return m_ring[std::size_t((m_first + i) % m_capacity)];
}
