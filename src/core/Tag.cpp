// SPDX-License-Identifier: MIT
#include "Tag.h"

#include <QObject>
#include <QVariant>

void SetTag(QObject* object, int tag) {
    object->setProperty("tag", tag);
}

int Tag(const QObject* object) {
    return object->property("tag").toInt();
}
