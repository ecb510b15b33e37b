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

// Room for the screen, and for the scroll bar that the scrollback brings,
// so that a window of this size shows every column.
QSize TCustomComTerminal::sizeHint() const {
    const int frame = 2 * frameWidth();
    const int bar = ScrollbackLines() > 0 && verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOff
                        ? verticalScrollBar()->sizeHint().width()
                        : 0;
    return {Columns() * FCellW + frame + bar, Rows() * FCellH + frame};
}

int TCustomComTerminal::VisibleRows() const {
    return std::max(1, viewport()->height() / FCellH);
}

qint64 TCustomComTerminal::TopLine() const {
    return m_paintedTop;
}

// Top line of the scroll bar's position (what the next repaint draws).
qint64 TCustomComTerminal::LiveTop() const {
    return Buffer().Scrollback().Dropped() + verticalScrollBar()->value();
}

// The vertical range is the scrollback and the screen; the view follows the
// newest line, or stays on the line the user scrolled to for as long as it
// is kept.
void TCustomComTerminal::UpdateScrollBars() {
    const QSize view = viewport()->size();
    const int visibleColumns = std::max(1, view.width() / FCellW);
    const int visibleRows = VisibleRows();
    horizontalScrollBar()->setRange(0, std::max(0, Columns() - visibleColumns));
    horizontalScrollBar()->setPageStep(visibleColumns);

    const TTermScrollback& history = Buffer().Scrollback();
    const int maxTop = std::max(0, history.Count() + Rows() - visibleRows);
    const qint64 held = std::clamp<qint64>(m_heldTop - history.Dropped(), 0, maxTop);
    const int value = m_follow ? maxTop : int(held);
    m_settingScroll = true;
    verticalScrollBar()->setRange(0, maxTop);
    verticalScrollBar()->setPageStep(visibleRows);
    verticalScrollBar()->setValue(value);
    m_settingScroll = false;
    if (value >= maxTop) m_follow = true;
    m_heldTop = history.Dropped() + value;
}

void TCustomComTerminal::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
    // What the resize paints now is drawn at the new origin.
    m_paintedTop = LiveTop();
    FullRepaint();
}

// The user moved the view: it follows new data again once back at the
// bottom. Redrawn at once rather than after the write delay.
void TCustomComTerminal::scrollContentsBy(int, int) {
    if (m_settingScroll) return;
    const QScrollBar* bar = verticalScrollBar();
    m_follow = bar->value() >= bar->maximum();
    m_heldTop = Buffer().Scrollback().Dropped() + bar->value();
    FFullRepaint = true;
    FlushRepaint();
}

void TCustomComTerminal::ScrollToBottom() {
    if (m_follow) return;
    m_follow = true;
    FullRepaint();
}

// Brings a line into view, in the middle when it was out of it.
void TCustomComTerminal::ScrollToLine(qint64 line) {
    const qint64 top = LiveTop();
    const int rows = VisibleRows();
    if (line >= top && line < top + rows) return;
    m_follow = false;
    m_heldTop = line - rows / 2;
    UpdateScrollBars();
    FullRepaint();
}

void TCustomComTerminal::FullRepaint() {
    FFullRepaint = true;
    ScheduleRepaint();
}

// Cell (1-based column, screen row) in viewport coordinates, as drawn.
QRect TCustomComTerminal::CellRect(int column, int row) const {
    return LineCellRect(column, ScreenLine(row));
}

QRect TCustomComTerminal::LineCellRect(int column, qint64 line) const {
    const int x = (column - 1 - horizontalScrollBar()->value()) * FCellW;
    // Far away lines are placed just outside the view, never overflowing.
    const qint64 offset = std::clamp<qint64>(line - m_paintedTop, -2, MaxRowsInView);
    return {x, int(offset) * FCellH, FCellW, FCellH};
}

QRect TCustomComTerminal::LineRect(qint64 first, qint64 last) const {
    const QRect a = LineCellRect(1, first), b = LineCellRect(1, last);
    return QRect(QPoint(a.left(), a.top()), QPoint(a.left() + Columns() * FCellW - 1, b.bottom()));
}

const TTermCell* TCustomComTerminal::LineCells(qint64 line, int& length) const {
    const TTermScrollback& history = Buffer().Scrollback();
    const qint64 index = line - history.Dropped();
    if (index < 0 || line > LastLine()) {
        length = 0;
        return nullptr;
    }
    if (index < history.Count()) {
        length = history.Length(int(index));
        return history.Line(int(index));
    }
    length = Columns();
    return Buffer().RowData(int(line - ScreenLine(1)) + 1);
}

// Runs when the repaint timer fires: turns the buffer's damage record and
// the lines that went into the scrollback into as few pixels as possible.
// When the view moves with the text, the drawn pixels are moved with
// QWidget::scroll, provided nothing drawn is still waiting to be painted
// (the pixels then show exactly the state before); otherwise the whole
// view is repainted.
void TCustomComTerminal::FlushRepaint() {
    const TComTermBuffer::TDamage damage = FScreen.Buffer().TakeDamage();
    const qint64 pushed = Buffer().Scrollback().Pushed();
    const qint64 newLines = pushed - m_paintedPushed;
    m_paintedPushed = pushed;
    UpdateScrollBars();
    const qint64 top = LiveTop();
    const qint64 shift = top - m_paintedTop;
    m_paintedTop = top;
    QWidget* view = viewport();
    if (damage.All || FFullRepaint || shift < 0 || shift >= VisibleRows() || newLines >= Rows() ||
        (shift > 0 && FUpdatePending)) {
        FFullRepaint = false;
        FUpdatePending = true;
        view->update();
        return;
    }
    QRegion region;
    if (shift > 0) view->scroll(0, int(-shift * FCellH));
    // Rows that went into the scrollback may have changed before they left.
    if (newLines > 0) region += LineRect(pushed - newLines, pushed - 1);
    for (int r = 1; r <= Rows(); ++r) {
        if (!damage.Rows[size_t(r - 1)]) continue;
        const int first = r;
        while (r < Rows() && damage.Rows[size_t(r)])
            ++r;
        region += LineRect(ScreenLine(first), ScreenLine(r));
    }
    region += LineCellRect(m_paintedCaretColumn, m_paintedCaretLine);
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

    const int ox = horizontalScrollBar()->value();
    const qint64 firstLine =
        std::max(m_paintedTop + std::max(0, clip.top()) / FCellH, Buffer().Scrollback().Dropped());
    const qint64 lastLine = std::min(LastLine(), m_paintedTop + clip.bottom() / FCellH);
    const int firstColumn = std::max(1, ox + 1 + clip.left() / FCellW);
    const int lastColumn = std::min(Columns(), ox + 1 + clip.right() / FCellW);
    for (qint64 line = firstLine; line <= lastLine; ++line)
        PaintLine(painter, line, firstColumn, lastColumn);

    if (clip.intersects(CellRect(CaretX(), CaretY()))) {
        PaintCaret(painter);
        m_paintedCaretColumn = CaretX();
        m_paintedCaretLine = ScreenLine(CaretY());
    }
}

// Draws the non-empty cells of a line in runs of equal colours; selected
// cells in the highlight colours.
void TCustomComTerminal::PaintLine(QPainter& painter, qint64 line, int firstColumn,
                                   int lastColumn) {
    int length = 0;
    const TTermCell* cells = LineCells(line, length);
    if (!cells) return;
    int selFirst = 0, selLast = -1;
    if (SelectedColumns(line, selFirst, selLast)) {
        const int a = std::max(selFirst, firstColumn), b = std::min(selLast, lastColumn);
        if (a <= b) {
            const QRect first = LineCellRect(a, line);
            painter.fillRect(QRect(first.topLeft(), QSize((b - a + 1) * FCellW, FCellH)),
                             palette().color(QPalette::Highlight));
        }
    }
    auto selected = [&](int c) { return c >= selFirst && c <= selLast; };
    const QColor selectedText = palette().color(QPalette::HighlightedText);
    const QFontMetrics fm(font());
    const int last = std::min(lastColumn, length);
    QString text;
    int column = firstColumn;
    while (column <= last) {
        const TTermCell& start = cells[column - 1];
        if (start.Ch == 0) {
            ++column;
            continue;
        }
        const bool inSelection = selected(column);
        int end = column + 1;
        while (end <= last && cells[end - 1].Ch != 0 && cells[end - 1].Fg == start.Fg &&
               cells[end - 1].Bg == start.Bg && cells[end - 1].Underline == start.Underline &&
               selected(end) == inSelection)
            ++end;
        const QRect first = LineCellRect(column, line);
        const QRect area(first.topLeft(), QSize((end - column) * FCellW, FCellH));
        if (!inSelection && start.Bg != FScreen.BackColor())
            painter.fillRect(area, QColor::fromRgb(start.Bg));
        const QColor pen = inSelection ? selectedText : QColor::fromRgb(start.Fg);
        painter.setPen(pen);
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
            painter.fillRect(QRect(area.left(), y, area.width(), std::max(1, fm.lineWidth())), pen);
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
