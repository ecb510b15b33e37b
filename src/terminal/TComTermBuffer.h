// SPDX-License-Identifier: MIT
#pragma once

#include "TTermScrollback.h"
#include "TermTypes.h"

#include <vector>

// Screen buffer: Columns x Rows cells and one tab-stop flag per column.
//
// Rows live in a ring: scrolling up moves the ring's top index and clears
// one row, so a line feed on the last row costs one row of work, never a
// copy of the screen. Columns and rows are 1-based in this interface, like
// the caret; RowData(r)[0] is column 1 of row r.
//
// The buffer also records what changed since the view last asked: a dirty
// flag per stored row (so flags travel with their row when the ring turns),
// the number of lines scrolled up, and a flag for "everything". The view
// takes that record with TakeDamage() when it repaints.
//
// The row that a scroll up loses goes to the scrollback, which outlives
// Init(): a new screen size keeps the lines above it.
class TComTermBuffer {
public:
    static constexpr int MinColumns = 2, MaxColumns = 256;
    static constexpr int MinRows = 2, MaxRows = 100;

    struct TDamage {
        bool All = false;
        int ScrolledUp = 0;     // lines, at most Rows
        std::vector<bool> Rows; // per screen row (index 0 = row 1) after scrolling
    };

    TComTermBuffer(int columns = 80, int rows = 24);

    // Re-creates the buffer empty with tab stops at columns 1, 9, 17, ...;
    // sizes are clamped to the limits above.
    void Init(int columns, int rows);

    int Columns() const { return FColumns; }
    int Rows() const { return FRows; }

    const TTermCell& Cell(int column, int row) const { return RowData(row)[column - 1]; }
    const TTermCell* RowData(int row) const { return &FCells[PhysRow(row) * FColumns]; }
    TTermCell* RowData(int row) { return &FCells[PhysRow(row) * FColumns]; }
    void MarkDirty(int row) { FDirty[PhysRow(row)] = 1; }
    void MarkAllDirty() { FAllDirty = true; }

    // Clears cells [fromColumn, toColumn] of a row to empty.
    void EraseCells(int row, int fromColumn, int toColumn);
    void EraseRows(int fromRow, int toRow);
    void Fill(const TTermCell& cell);

    // Top row to the scrollback, empty bottom row / bottom row lost, empty
    // top row.
    void ScrollUp();
    void ScrollDown();

    bool TabStop(int column) const { return FTabs[column - 1] != 0; }
    void SetTabStop(int column, bool on) { FTabs[column - 1] = on ? 1 : 0; }
    void ClearTabStops();
    // Next tab stop right of column, or 0 when there is none.
    int NextTabStop(int column) const;

    TDamage TakeDamage();

    TTermScrollback& Scrollback() { return m_scrollback; }
    const TTermScrollback& Scrollback() const { return m_scrollback; }

private:
    int PhysRow(int row) const {
        int p = FTop + row - 1;
        return p >= FRows ? p - FRows : p;
    }

    int FColumns = 0;
    int FRows = 0;
    int FTop = 0;
    std::vector<TTermCell> FCells;
    std::vector<quint8> FTabs;
    std::vector<quint8> FDirty;
    int FScrolledUp = 0;
    bool FAllDirty = true;
    TTermScrollback m_scrollback;
};
