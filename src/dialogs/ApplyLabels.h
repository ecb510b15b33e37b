// SPDX-License-Identifier: MIT
#pragma once

#include <QList>

class QObject;
class QWidget;

// Sets the caption of one component from its tag, by its kind: menus,
// actions, group boxes, labels and buttons take RawLabelText(tag) (the
// accelerator kept); menus and actions also take their hint from label
// tag + 1000 when it exists; edit fields take their hint from label tag.
// Components without a tag are left alone.
void ApplyComponentLabel(QObject* component);

// A window with a tag gets LabelText(tag) as its caption.
void ApplyFormLabel(QWidget* window);

// Translates the whole user interface: every tagged component of every
// window in `windows` (in creation order, each window's own components
// only), then the captions of `captionOrder`.
void ApplyLabels(const QList<QWidget*>& windows, const QList<QWidget*>& captionOrder);

// Tells every window of `windows` that the language changed
// (QEvent::LanguageChange), so that a window building texts in code (list
// items, formats, texts that depend on its state) rebuilds them. A window
// below another one of the list hears it from that one.
void SendLanguageChange(const QList<QWidget*>& windows);
