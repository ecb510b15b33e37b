// SPDX-License-Identifier: MIT
#include "TComTermBuffer.h"

#include <algorithm>

TComTermBuffer::TComTermBuffer(int columns, int rows) {
    Init(columns, rows);
}

void TComTermBuffer::Init(int columns, int rows) {
    FColumns = std::clamp(columns, MinColumns, MaxColumns);
    FRows = std::clamp(rows, MinRows, MaxRows);
    FTop = 0;
    FCells.assign(size_t(FColumns) * size_t(FRows), TTermCell{});
    FTabs.assign(size_t(FColumns), 0);
    for (int c = 0; c < FColumns; c += 8)
        FTabs[size_t(c)] = 1;
    FDirty.assign(size_t(FRows), 0);
    FScrolledUp = 0;
    FAllDirty = true;
}

void TComTermBuffer::EraseCells(int row, int fromColumn, int toColumn) {
    fromColumn = std::max(fromColumn, 1);
    toColumn = std::min(toColumn, FColumns);
    if (fromColumn > toColumn) return;
    TTermCell* cells = RowData(row);
    std::fill(cells + fromColumn - 1, cells + toColumn, TTermCell{});
    MarkDirty(row);
}

void TComTermBuffer::EraseRows(int fromRow, int toRow) {
    for (int r = std::max(fromRow, 1); r <= std::min(toRow, FRows); ++r)
        EraseCells(r, 1, FColumns);
}

void TComTermBuffer::Fill(const TTermCell& cell) {
    std::fill(FCells.begin(), FCells.end(), cell);
    FAllDirty = true;
}

void TComTermBuffer::ScrollUp() {
    m_scrollback.Push(RowData(1), FColumns);
    FTop = FTop + 1 == FRows ? 0 : FTop + 1;
    // The old top row is now the bottom row.
    std::fill_n(RowData(FRows), FColumns, TTermCell{});
    FDirty[size_t(PhysRow(FRows))] = 1;
    if (FScrolledUp < FRows) ++FScrolledUp;
}

void TComTermBuffer::ScrollDown() {
    FTop = FTop == 0 ? FRows - 1 : FTop - 1;
    std::fill_n(RowData(1), FColumns, TTermCell{});
    FAllDirty = true;
}

void TComTermBuffer::ClearTabStops() {
    std::fill(FTabs.begin(), FTabs.end(), 0);
}

int TComTermBuffer::NextTabStop(int column) const {
    for (int c = column + 1; c <= FColumns; ++c)
        if (FTabs[size_t(c - 1)]) return c;
    return 0;
}

TComTermBuffer::TDamage TComTermBuffer::TakeDamage() {
    TDamage d;
    d.All = FAllDirty || FScrolledUp >= FRows;
    d.ScrolledUp = FScrolledUp;
    d.Rows.resize(size_t(FRows));
    for (int r = 1; r <= FRows; ++r) {
        quint8& flag = FDirty[size_t(PhysRow(r))];
        d.Rows[size_t(r - 1)] = flag != 0;
        flag = 0;
    }
    FScrolledUp = 0;
    FAllDirty = false;
    return d;
}
