// SPDX-License-Identifier: MIT
#pragma once

#include "TTermScreen.h"

#include <QList>
#include <QMetaType>

Q_DECLARE_METATYPE(TEscapeCode)

// Text of a screen row, empty cells as blanks, trailing blanks removed.
inline QByteArray RowText(const TComTermBuffer& buffer, int row) {
    QByteArray text;
    for (int c = 1; c <= buffer.Columns(); ++c) {
        const quint8 ch = buffer.Cell(c, row).Ch;
        text += ch ? char(ch) : ' ';
    }
    while (text.endsWith(' '))
        text.chop(1);
    return text;
}

// Records what a screen reports, each event as one line so that the order
// of characters, answers and unhandled codes can be compared.
class TScreenRecorder : public TTermScreenEvents {
public:
    void TermChars(const char* data, qsizetype length) override {
        Chars.append(data, length);
        if (!Events.isEmpty() && Events.last().startsWith("chars:"))
            Events.last().append(data, length);
        else
            Events.append("chars:" + QByteArray(data, length));
    }
    void TermSend(const QByteArray& bytes) override {
        Sent += bytes;
        Events.append("send:" + bytes);
    }
    void TermUnhandled(TEscapeCode code, const QByteArray& data) override {
        Unhandled.append({code, data});
        Events.append("unhandled:" + data);
    }
    void TermResized() override { ++Resized; }

    QByteArray Chars;
    QByteArray Sent;
    QList<QPair<TEscapeCode, QByteArray>> Unhandled;
    QList<QByteArray> Events;
    int Resized = 0;
};

// The current row's value of a data column, usable inside an expression.
#define FETCH(Type, name) (*static_cast<Type*>(QTest::qData(#name, ::qMetaTypeId<Type>())))
