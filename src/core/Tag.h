// SPDX-License-Identifier: MIT
#pragma once

class QObject;

// Every user-visible component carries its label number as its tag (a
// dynamic "tag" property); label tag + 1000 is its hint. Windows carry the
// label number of their caption.
void SetTag(QObject* object, int tag);
int Tag(const QObject* object);
