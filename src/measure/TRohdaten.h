// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArrayView>

#include <cstddef>
#include <vector>

// One received measurement line: when it arrived (seconds since Start)
// and its first characters. The chart reads no more of a line than its
// first eleven characters (velocity and rate), so a record keeps fifteen
// and stays 24 bytes whatever the sensor sends.
struct TMesswert {
    static constexpr int KeptCharacters = 15;

    double Seconds = 0;
    unsigned char Size = 0; // characters kept
    char Head[KeptCharacters] = {};

    QByteArrayView Packet() const { return QByteArrayView(Head, Size); }
};
static_assert(sizeof(TMesswert) == 24, "a buffer record stays compact");

// The chart's raw data: every line received during a run, oldest first,
// up to Capacity records. When full, the oldest record makes room for the
// new one, and the buffer remembers how far back (in seconds since Start)
// it has been cut. The records live in one ring that grows with the run
// up to Capacity x 24 bytes and no further.
class TRohdaten {
public:
    // Appends a line received `seconds` after Start and sets NewData.
    void Add(double seconds, QByteArrayView line);
    // Empties the buffer and clears NewData and the cut.
    void Clear();
    // Takes `n` only when it is above 0; the newest records are kept.
    void SetCapacity(int n);

    int Capacity() const { return m_capacity; }
    qsizetype Count() const { return m_count; }
    // Record i, 0 the oldest.
    const TMesswert& At(qsizetype i) const;
    const TMesswert& Newest() const { return At(m_count - 1); }

    bool NewData() const { return m_newData; }
    void SetNewData(bool value) { m_newData = value; }
    // Whether records were dropped, and the Seconds of the last one dropped.
    bool Cut() const { return m_cut; }
    double CutSeconds() const { return m_cutSeconds; }

    // Bytes held by the records.
    std::size_t MemoryBytes() const { return m_ring.capacity() * sizeof(TMesswert); }

private:
    std::vector<TMesswert> m_ring;
    qsizetype m_first = 0; // index of the oldest record in m_ring
    qsizetype m_count = 0;
    int m_capacity = 2400;
    bool m_newData = false;
    bool m_cut = false;
    double m_cutSeconds = 0;
};
