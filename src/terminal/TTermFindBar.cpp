// SPDX-License-Identifier: MIT
#include "TTermFindBar.h"

#include "Labels.h"
#include "TCustomComTerminal.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>

TTermFindBar::TTermFindBar(TCustomComTerminal* terminal, QWidget* parent)
    : QWidget(parent), m_terminal(terminal) {
    setObjectName(QStringLiteral("TerminalFind"));
    m_caption = new QLabel(this);
    m_text = new QLineEdit(this);
    m_text->setObjectName(QStringLiteral("ed_Find"));
    m_text->setClearButtonEnabled(true);
    m_text->setMaxLength(256);
    m_text->installEventFilter(this);
    m_caption->setBuddy(m_text);
    auto button = [this](const char* name, QStyle::StandardPixmap icon) {
        auto* b = new QToolButton(this);
        b->setObjectName(QLatin1String(name));
        b->setIcon(style()->standardIcon(icon));
        b->setAutoRaise(true);
        return b;
    };
    m_previous = button("sb_FindPrevious", QStyle::SP_ArrowUp);
    m_next = button("sb_FindNext", QStyle::SP_ArrowDown);
    m_close = button("sb_FindClose", QStyle::SP_TitleBarCloseButton);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lb_FindStatus"));
    m_status->setStyleSheet(QStringLiteral("color: #b00000"));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(m_caption);
    layout->addWidget(m_text, 1);
    layout->addWidget(m_previous);
    layout->addWidget(m_next);
    layout->addWidget(m_status);
    layout->addStretch(1);
    layout->addWidget(m_close);

    connect(m_previous, &QToolButton::clicked, this, [this] { FindNext(true); });
    connect(m_next, &QToolButton::clicked, this, [this] { FindNext(false); });
    connect(m_close, &QToolButton::clicked, this, &TTermFindBar::Close);
    connect(m_text, &QLineEdit::textEdited, this, &TTermFindBar::TextEdited);
    connect(terminal, &TCustomComTerminal::FindRequested, this, &TTermFindBar::Open);
    Relabel();
    hide();
}

void TTermFindBar::Relabel() {
    m_caption->setText(LabelText(155));
    m_previous->setToolTip(LabelText(157));
    m_next->setToolTip(LabelText(158));
    m_close->setToolTip(LabelText(159));
    if (!m_status->text().isEmpty()) m_status->setText(LabelText(156));
}

void TTermFindBar::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) Relabel();
    QWidget::changeEvent(event);
}

void TTermFindBar::Open() {
    const QString selected = m_terminal->SelectedText();
    if (!selected.isEmpty() && !selected.contains(u'\n')) m_text->setText(selected);
    m_status->clear();
    show();
    m_text->setFocus(Qt::ShortcutFocusReason);
    m_text->selectAll();
}

void TTermFindBar::Close() {
    hide();
    m_terminal->setFocus(Qt::OtherFocusReason);
}

bool TTermFindBar::NotFoundShown() const {
    return !m_status->text().isEmpty();
}

bool TTermFindBar::FindNext(bool backward) {
    const bool found = m_terminal->Find(m_text->text(), backward);
    ShowResult(found);
    return found;
}

// Search as one types: the match may stay where it is and grow.
void TTermFindBar::TextEdited() {
    if (m_text->text().isEmpty()) {
        m_status->clear();
        m_terminal->ClearSelection();
        return;
    }
    ShowResult(m_terminal->Find(m_text->text(), false, false));
}

void TTermFindBar::ShowResult(bool found) {
    if (found || m_text->text().isEmpty())
        m_status->clear();
    else
        m_status->setText(LabelText(156));
}

bool TTermFindBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_text && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape) {
            Close();
            return true;
        }
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            FindNext(key->modifiers() & Qt::ShiftModifier);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
