// SPDX-License-Identifier: MIT
#include "StatusPanelLabel.h"

#include "Labels.h"

#include <algorithm>

TStatusPanelLabel::TStatusPanelLabel(const QString& hint, QWidget* parent)
    : QLabel(parent), m_hint(hint) {
    setToolTip(hint);
}

void TStatusPanelLabel::SetFullText(const QString& text, const QString& reason) {
    m_full = text;
    m_reason = text.isEmpty() ? QString() : reason;
    updateGeometry();
    Fit();
}

QSize TStatusPanelLabel::sizeHint() const {
    const QSize base = minimumSizeHint();
    const int wanted = fontMetrics().horizontalAdvance(m_full) + 2 * margin() + 12;
    return {std::max(minimumWidth(), wanted), base.height()};
}

void TStatusPanelLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    Fit();
}

QSize TStatusPanelLabel::minimumSizeHint() const {
    return {minimumWidth(), QLabel::minimumSizeHint().height()};
}

void TStatusPanelLabel::Fit() {
    const int room = std::max(0, contentsRect().width() - 2 * margin() - 4);
    const QString shown = fontMetrics().elidedText(m_full, Qt::ElideRight, room);
    if (shown != text()) setText(shown);
    QString tip = shown == m_full ? m_hint : m_full;
    if (!m_reason.isEmpty()) tip = m_full + u'\n' + m_reason;
    setToolTip(tip);
}

void RelabelPanels(const QList<TStatusPanelLabel*>& panels, int previous,
                   std::initializer_list<int> labels) {
    for (TStatusPanelLabel* panel : panels) {
        const QString text = panel->FullText();
        for (int label : labels) {
            const QString old = LookupLabel(previous, label, true);
            if (text.isEmpty() || !text.startsWith(old)) continue;
            panel->SetFullText(LabelText(label) + text.mid(old.size()));
            break;
        }
    }
}
