// SPDX-License-Identifier: MIT
#pragma once

#include "ParameterFileHeader.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// Parameter files (.par): text lines ended by CR LF, written in Latin-1
// and read as UTF-8 where that is valid, Latin-1 otherwise. Header lines
// are told by their beginning ("REM DATE", "REM PLACE", "S/N", ...);
// parameter lines are a key, blanks and a value.

// Writes the lines: Latin-1 (a character outside it becomes "?"), every
// line ended by CR LF, the last one included. The file is replaced only
// once it is written whole, so an existing file is never left truncated,
// not even on a full disk. False with the reason in `error` (file name and
// the system's text).
bool SaveParameterLines(const QString& path, const QStringList& lines, QString* error);

// Reads a file's lines (CR LF, CR or LF); a line is cut at MaxLineChars.
// Refused, with the reason in `error`: what is no regular file (a folder,
// a pipe, a device), a file larger than MaxFileBytes and a file that is
// not text (NUL or another control character than TAB, LF, FF and CR:
// such a file would reach the sensor as garbage). Latin-1 and UTF-8 are
// text.
// With `asBytes` every byte becomes the character of that code (Latin-1),
// so that the lines give back the file's own bytes when they are sent.
bool ReadParameterLines(const QString& path, QStringList* lines, QString* error,
                        bool asBytes = false);
inline constexpr qint64 MaxFileBytes = 4 << 20;
inline constexpr int MaxLineChars = 4096;

// Decodes file bytes: UTF-8 when valid, else Latin-1.
QString DecodeParameterText(const QByteArray& bytes);

// The header fields of a file's lines, by the line kinds in their order of
// precedence; each field at most 255 characters.
TParameterFileHeader ParseParameterFileHeader(const QStringList& lines);

// Every normal file "*.par" of `folder`, sorted by name without regard to
// case, with its header; names in lower case. A file that
// ReadParameterLines refuses is listed with an empty header. False with the reason in
// `error` when the folder cannot be listed (the list is then empty).
bool ScanParameterFiles(const QString& folder, QList<TParameterFileHeader>* headers,
                        QString* error);

// The date and time of a file's "REM DATE" line: the locale's short date,
// a blank and its long time (without a time zone); and back, or an invalid
// value when the text is no such date.
QString FileDateText(const QDateTime& when);
QDateTime ParseFileDate(const QString& text);

// "folder" + "/" + name, the "/" added only when the folder does not end
// with one.
QString ParameterFilePath(const QString& folder, const QString& name);
