// SPDX-License-Identifier: MIT
#pragma once

#include <QLabel>
#include <QList>

#include <initializer_list>

// One panel of the status bar: never narrower than its width, wider when
// its text needs it and the bar has room. A text that still does not fit
// is shortened with "..." and shown whole in the panel's tool tip; a
// reason given with the text (the system's words for an error) is added
// to the tool tip.
class TStatusPanelLabel : public QLabel {
public:
    TStatusPanelLabel(const QString& hint, QWidget* parent);

    void SetFullText(const QString& text, const QString& reason = QString());
    QString FullText() const { return m_full; }
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    QSize minimumSizeHint() const override;

private:
    void Fit();

    QString m_full;
    QString m_reason;
    QString m_hint;
};

// After a change of language from `previous`: a panel whose text begins
// with one of `labels` (a link or socket state, a port error) gets that
// label in the new language; the rest of its text (an address, a port
// name) stays.
void RelabelPanels(const QList<TStatusPanelLabel*>& panels, int previous,
                   std::initializer_list<int> labels);
