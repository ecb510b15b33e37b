// SPDX-License-Identifier: MIT
#include "ApplyLabels.h"

#include "Labels.h"
#include "Tag.h"

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSet>
#include <QTabWidget>

namespace {
const QString kMissing = QStringLiteral("KEY");

void SetHint(QAction* action, const QString& hint) {
    action->setToolTip(hint);
    action->setStatusTip(hint);
}

void SetHint(QWidget* widget, const QString& hint) {
    widget->setToolTip(hint);
    widget->setStatusTip(hint);
}

// Visits the components of one window in creation order (depth first),
// without entering the other windows that hang below it.
void VisitComponents(QObject* parent, const QSet<QObject*>& windows) {
    for (QObject* child : parent->children()) {
        if (windows.contains(child)) continue;
        ApplyComponentLabel(child);
        VisitComponents(child, windows);
    }
}
} // namespace

void ApplyComponentLabel(QObject* component) {
    const int tag = Tag(component);
    if (tag == 0) return;
    if (auto* menu = qobject_cast<QMenu*>(component)) {
        menu->setTitle(RawLabelText(tag));
        const QString hint = RawLabelText(tag + 1000);
        if (!hint.contains(kMissing)) SetHint(menu->menuAction(), hint);
    } else if (auto* action = qobject_cast<QAction*>(component)) {
        action->setText(RawLabelText(tag));
        const QString hint = LabelText(tag + 1000);
        if (!hint.contains(kMissing)) SetHint(action, hint);
    } else if (auto* group = qobject_cast<QGroupBox*>(component)) {
        group->setTitle(RawLabelText(tag));
    } else if (auto* label = qobject_cast<QLabel*>(component)) {
        label->setText(component->property("panel").toBool() ? LabelText(tag) : RawLabelText(tag));
    } else if (auto* button = qobject_cast<QAbstractButton*>(component)) {
        button->setText(RawLabelText(tag));
        const QString hint = LabelText(tag + 1000);
        if (!hint.contains(kMissing)) SetHint(button, hint);
    } else if (qobject_cast<QLineEdit*>(component) || qobject_cast<QPlainTextEdit*>(component)) {
        // An edit field's label is its hint.
        const QString hint = LabelText(tag);
        if (!hint.contains(kMissing)) SetHint(static_cast<QWidget*>(component), hint);
    } else if (auto* page = qobject_cast<QWidget*>(component)) {
        // A page of a tab control: its tab's caption.
        auto* stack = page->parentWidget();
        auto* tabs = stack ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr;
        if (tabs && tabs->indexOf(page) >= 0)
            tabs->setTabText(tabs->indexOf(page), RawLabelText(tag));
    }
}

void ApplyFormLabel(QWidget* window) {
    if (window && Tag(window) != 0) window->setWindowTitle(LabelText(Tag(window)));
}

void ApplyLabels(const QList<QWidget*>& windows, const QList<QWidget*>& captionOrder) {
    QSet<QObject*> windowSet;
    for (QWidget* w : windows)
        windowSet.insert(w);
    for (QWidget* w : windows)
        VisitComponents(w, windowSet);
    for (QWidget* w : captionOrder)
        ApplyFormLabel(w);
}

void SendLanguageChange(const QList<QWidget*>& windows) {
    const QSet<QWidget*> set(windows.begin(), windows.end());
    QEvent change(QEvent::LanguageChange);
    for (QWidget* w : windows) {
        if (!w) continue;
        bool reached = false;
        for (QWidget* p = w->parentWidget(); p && !reached; p = p->parentWidget())
            reached = set.contains(p);
        if (!reached) QCoreApplication::sendEvent(w, &change);
    }
}
