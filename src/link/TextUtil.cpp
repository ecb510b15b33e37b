// SPDX-License-Identifier: MIT
#include "TextUtil.h"

QString CutToken(QString& text, QChar delim) {
    const qsizetype at = text.indexOf(delim);
    if (at < 0) {
        QString all = text;
        text.clear();
        return all;
    }
    QString head = text.left(at);
    text.remove(0, at + 1);
    return head;
}

QByteArray CutToken(QByteArray& text, char delim) {
    const qsizetype at = text.indexOf(delim);
    if (at < 0) {
        QByteArray all = text;
        text.clear();
        return all;
    }
    QByteArray head = text.left(at);
    text.remove(0, at + 1);
    return head;
}

QString ReplaceAll(const QString& source, const QString& oldText, const QString& newText) {
    if (oldText.isEmpty()) return source;
    QString result;
    result.reserve(source.size());
    qsizetype from = 0;
    while (true) {
        const qsizetype at = source.indexOf(oldText, from);
        if (at < 0) break;
        result += QStringView(source).mid(from, at - from);
        result += newText;
        from = at + oldText.size();
    }
    result += QStringView(source).mid(from);
    return result;
}

QString DebugText(const QByteArray& text) {
    QByteArray out(text);
    for (char& c : out) {
        const unsigned char b = static_cast<unsigned char>(c);
        if (b == '\n')
            c = char(0xAC);
        else if (b == '\r')
            c = char(0xAB);
        else if (b < 0x20)
            c = '.';
    }
    return QString::fromLatin1(out);
}

QByteArray ExtractReply(const QByteArray& received, const QByteArray& start,
                        const QByteArray& stop) {
    QByteArray t = received;
    if (!start.isEmpty()) {
        const qsizetype at = t.indexOf(start);
        if (at < 0) return {};
        t.remove(0, at + start.size());
        if (stop.isEmpty()) return t;
        const qsizetype end = t.indexOf(stop);
        return end < 0 ? QByteArray() : t.left(end);
    }
    if (!stop.isEmpty()) {
        const qsizetype end = t.indexOf(stop);
        return end < 0 ? QByteArray() : t.left(end);
    }
    return t;
}
