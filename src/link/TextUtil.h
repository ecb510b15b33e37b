// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

// Text helpers used with the command engine to split replies and file
// lines and to log exchanges. Sensor texts are 8-bit; both byte and
// QString forms are offered where callers need them.

// If `delim` occurs in `text`, returns the part before its first occurrence
// and removes that part and the delimiter from `text`; otherwise returns
// the whole text and empties it.
QString CutToken(QString& text, QChar delim);
QByteArray CutToken(QByteArray& text, char delim);

// `source` with every occurrence of `oldText` replaced by `newText`,
// scanning left to right without rescanning inserted text.
QString ReplaceAll(const QString& source, const QString& oldText, const QString& newText);

// A printable form for the debug log: bytes from 0x20 up unchanged, LF as
// 0xAC, CR as 0xAB, every other control byte as ".". The result is read
// as Latin-1 text, so LF and CR show as the characters "¬" and "«".
QString DebugText(const QByteArray& text);

// The first reply in `received` between `start` and `stop` (either may be
// empty), without them; empty when it is not (yet) complete. The stop
// text is searched only after the start text. `received` is not changed.
QByteArray ExtractReply(const QByteArray& received, const QByteArray& start,
                        const QByteArray& stop);
