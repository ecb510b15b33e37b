// SPDX-License-Identifier: MIT
#pragma once

#include <QLabel>

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
