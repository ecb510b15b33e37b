// SPDX-License-Identifier: MIT
// Drawing of the terminal: cell metrics, scroll bars, the batched repaint
// and the paint event.
#include "TCustomComTerminal.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace {
QChar DisplayChar(quint8 ch) {
    // DEL and the C1 range have no glyphs worth showing.
    return ch >= 0x7f && ch < 0xa0 ? QChar(u' ') : QChar(ch);
}
} // namespace

void TCustomComTerminal::ClampFont() {
    QFont f = font();
    bool changed = false;
    if (f.pointSizeF() > 0 && (f.pointSizeF() < MinFontPoints || f.pointSizeF() > MaxFontPoints)) {
        f.setPointSizeF(std::clamp<qreal>(f.pointSizeF(), MinFontPoints, MaxFontPoints));
        changed = true;
    } else if (f.pixelSize() > 0 && (f.pixelSize() < 6 || f.pixelSize() > 100)) {
        f.setPixelSize(std::clamp(f.pixelSize(), 6, 100));
        changed = true;
    }
    if (changed) setFont(f); // comes back through changeEvent with a sane size
}

void TCustomComTerminal::UpdateMetrics() {
    const QFontMetrics fm(font());
    const QFontMetricsF fmf(font());
    FCellW = std::clamp(fm.horizontalAdvance(QLatin1Char('M')), 1, 200);
    FCellH = std::clamp(fm.height(), 1, 400);
    FAscent = fm.ascent();
    // Whole strings may be drawn at once only when the glyphs land exactly on
    // the cell grid; otherwise each character is placed in its own cell.
    const qreal advance = fmf.horizontalAdvance(QLatin1Char('M'));
    FDrawRuns = QFontInfo(font()).fixedPitch() && std::abs(advance - FCellW) < 0.01 &&
                std::abs(fmf.horizontalAdvance(QStringLiteral("iW.|")) - 4 * advance) < 0.01;
}

void TCustomComTerminal::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        ClampFont();
        UpdateMetrics();
        UpdateScrollBars();
        updateGeometry();
        FullRepaint();
    }
    QAbstractScrollArea::changeEvent(event);
}

QSize TCustomComTerminal::sizeHint() const {
    const int frame = 2 * frameWidth();
    return {Columns() * FCellW + frame, Rows() * FCellH + frame};
}

void TCustomComTerminal::UpdateScrollBars() {
    const QSize view = viewport()->size();
    const int visibleColumns = std::max(1, view.width() / FCellW);
    const int visibleRows = std::max(1, view.height() / FCellH);
    horizontalScrollBar()->setRange(0, std::max(0, Columns() - visibleColumns));
    horizontalScrollBar()->setPageStep(visibleColumns);
    verticalScrollBar()->setRange(0, std::max(0, Rows() - visibleRows));
    verticalScrollBar()->setPageStep(visibleRows);
}

void TCustomComTerminal::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
    FullRepaint();
}

// The view origin moved: redraw at once rather than after the write delay.
void TCustomComTerminal::scrollContentsBy(int, int) {
    FFullRepaint = true;
    FlushRepaint();
}

void TCustomComTerminal::FullRepaint() {
    FFullRepaint = true;
    ScheduleRepaint();
}

// Cell (1-based) in viewport coordinates, given the view origin.
QRect TCustomComTerminal::CellRect(int column, int row) const {
    const int x = (column - 1 - horizontalScrollBar()->value()) * FCellW;
    const int y = (row - 1 - verticalScrollBar()->value()) * FCellH;
    return {x, y, FCellW, FCellH};
}

QRect TCustomComTerminal::ScreenRect() const {
    const QRect first = CellRect(1, 1);
    return QRect(first.topLeft(), QSize(Columns() * FCellW, Rows() * FCellH)) & viewport()->rect();
}

// Runs when the repaint timer fires: turns the buffer's damage record into
// as few pixels as possible. A scroll moves the drawn pixels with
// QWidget::scroll when nothing drawn is still waiting to be painted (the
// pixels then show exactly the state before the scroll); otherwise the
// whole screen is repainted.
void TCustomComTerminal::FlushRepaint() {
    const TComTermBuffer::TDamage damage = FScreen.Buffer().TakeDamage();
    QWidget* view = viewport();
    const QRect screen = ScreenRect();
    if (damage.All || FFullRepaint) {
        FFullRepaint = false;
        FUpdatePending = true;
        view->update();
        return;
    }
    QRegion region;
    if (damage.ScrolledUp > 0) {
        if (!FUpdatePending && damage.ScrolledUp * FCellH < screen.height()) {
            view->scroll(0, -damage.ScrolledUp * FCellH, screen);
            FPaintedCaret.ry() -= damage.ScrolledUp;
        } else {
            region += screen;
        }
    }
    for (int r = 1; r <= Rows(); ++r) {
        if (!damage.Rows[size_t(r - 1)]) continue;
        const int first = r;
        while (r < Rows() && damage.Rows[size_t(r)])
            ++r;
        const QRect top = CellRect(1, first);
        region += QRect(top.left(), top.top(), Columns() * FCellW, (r - first + 1) * FCellH);
    }
    region += CellRect(FPaintedCaret.x(), FPaintedCaret.y());
    region += CellRect(CaretX(), CaretY());
    region &= view->rect();
    if (!region.isEmpty()) {
        FUpdatePending = true;
        view->update(region);
    }
}

void TCustomComTerminal::paintEvent(QPaintEvent* event) {
    FUpdatePending = false;
    QPainter painter(viewport());
    painter.setFont(font());
    const QRect clip = event->rect();
    painter.fillRect(clip, QColor::fromRgb(FScreen.BackColor()));

    const int ox = horizontalScrollBar()->value(), oy = verticalScrollBar()->value();
    const int firstRow = std::max(1, oy + 1 + clip.top() / FCellH);
    const int lastRow = std::min(Rows(), oy + 1 + clip.bottom() / FCellH);
    const int firstColumn = std::max(1, ox + 1 + clip.left() / FCellW);
    const int lastColumn = std::min(Columns(), ox + 1 + clip.right() / FCellW);
    for (int row = firstRow; row <= lastRow; ++row)
        PaintRow(painter, row, firstColumn, lastColumn);

    if (clip.intersects(CellRect(CaretX(), CaretY()))) {
        PaintCaret(painter);
        FPaintedCaret = QPoint(CaretX(), CaretY());
    }
}

// Draws the non-empty cells of a row in runs of equal colours.
void TCustomComTerminal::PaintRow(QPainter& painter, int row, int firstColumn, int lastColumn) {
    const TTermCell* cells = FScreen.Buffer().RowData(row);
    const QFontMetrics fm(font());
    QString text;
    int column = firstColumn;
    while (column <= lastColumn) {
        const TTermCell& start = cells[column - 1];
        if (start.Ch == 0) {
            ++column;
            continue;
        }
        int end = column + 1;
        while (end <= lastColumn && cells[end - 1].Ch != 0 && cells[end - 1].Fg == start.Fg &&
               cells[end - 1].Bg == start.Bg && cells[end - 1].Underline == start.Underline)
            ++end;
        const QRect first = CellRect(column, row);
        const QRect area(first.topLeft(), QSize((end - column) * FCellW, FCellH));
        if (start.Bg != FScreen.BackColor()) painter.fillRect(area, QColor::fromRgb(start.Bg));
        painter.setPen(QColor::fromRgb(start.Fg));
        const int baseline = first.top() + FAscent;
        if (FDrawRuns) {
            text.resize(end - column);
            for (int c = column; c < end; ++c)
                text[c - column] = DisplayChar(cells[c - 1].Ch);
            painter.drawText(QPoint(first.left(), baseline), text);
        } else {
            for (int c = column; c < end; ++c)
                painter.drawText(QPoint(first.left() + (c - column) * FCellW, baseline),
                                 QString(DisplayChar(cells[c - 1].Ch)));
        }
        if (start.Underline) {
            const int y = std::min(baseline + std::max(1, fm.underlinePos()), area.bottom());
            painter.fillRect(QRect(area.left(), y, area.width(), std::max(1, fm.lineWidth())),
                             QColor::fromRgb(start.Fg));
        }
        column = end;
    }
}

// The caret inverts its part of the cell: all of it, or the bottom eighth.
void TCustomComTerminal::PaintCaret(QPainter& painter) {
    if (FCaret == tcNone) return;
    QRect r = CellRect(CaretX(), CaretY());
    if (FCaret == tcUnderline) r.setTop(r.bottom() + 1 - std::max(1, (FCellH + 4) / 8));
    painter.setCompositionMode(QPainter::CompositionMode_Difference);
    painter.fillRect(r, Qt::white);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}
