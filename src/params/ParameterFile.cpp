// SPDX-License-Identifier: MIT
#include "ParameterFile.h"

#include "FileKind.h"
#include "Labels.h"
#include "SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QStringDecoder>

#include <algorithm>

bool SaveParameterLines(const QString& path, const QStringList& lines, QString* error) {
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += line.toLatin1() + "\r\n";
    return WriteFileSafely(path, bytes, error);
}

QString DecodeParameterText(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

namespace {
// Where the first byte lies that no text file holds: a control character
// other than TAB, LF, FF and CR, or DEL. Bytes from 0x80 up are text
// (Latin-1 or UTF-8). -1 when there is none.
qsizetype FirstControlCharacter(QByteArrayView bytes) {
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const uchar c = uchar(bytes[i]);
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f') || c == 0x7f) return i;
    }
    return -1;
}
} // namespace

bool ReadParameterLines(const QString& path, QStringList* lines, QString* error, bool asBytes) {
    lines->clear();
    QFile file;
    if (!OpenRegularFile(file, path, error)) return false;
    auto fail = [&](const QString& reason) {
        if (error) *error = FileErrorText(path, reason);
        return false;
    };
    const QString tooLarge =
        LabelTextOr(266, QStringLiteral("is too large (over %1 MB)")).arg(MaxFileBytes >> 20);
    if (file.size() > MaxFileBytes) return fail(tooLarge);
    // One byte more than allowed tells a file that grew since it was looked at.
    const QByteArray bytes = file.read(MaxFileBytes + 1);
    if (file.error() != QFileDevice::NoError) return fail(file.errorString());
    if (bytes.size() > MaxFileBytes) return fail(tooLarge);
    // A binary file would go to the sensor as NUL bytes and garbage.
    if (const qsizetype at = FirstControlCharacter(bytes); at >= 0)
        return fail(
            LabelTextOr(267,
                        QStringLiteral("is not a text file (control character 0x%1 at byte %2)"))
                .arg(QStringLiteral("%1").arg(uchar(bytes[at]), 2, 16, QChar(u'0')).toUpper())
                .arg(at));
    QString text = asBytes ? QString::fromLatin1(bytes) : DecodeParameterText(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    *lines = text.split(u'\n');
    if (!lines->isEmpty() && lines->last().isEmpty()) lines->removeLast();
    for (QString& line : *lines)
        if (line.size() > MaxLineChars) line.truncate(MaxLineChars);
    return true;
}

TParameterFileHeader ParseParameterFileHeader(const QStringList& lines) {
    // The text from a 1-based column, at most 255 characters.
    auto from = [](const QString& line, int column) { return line.mid(column - 1, 255); };
    TParameterFileHeader h;
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1String("REM PARAMETER"))) continue;
        if (line.startsWith(QLatin1String("REM DATE")))
            h.Date = from(line, 10);
        else if (line.startsWith(QLatin1String("REM SOFTWARE")))
            h.Software = from(line, 14);
        else if (line.startsWith(QLatin1String("REM ORX")))
            h.Software = from(line, 9);
        else if (line.startsWith(QLatin1String("REM PLACE")))
            h.Place = from(line, 11);
        else if (line.startsWith(QLatin1String("REM TYPE/OPTIONS")))
            h.Type = from(line, 18);
        else if (line.startsWith(QLatin1String("REM"))) {
            // A remark list of a hand-made file stays within reason.
            if (h.Remarks.size() < 64 * 1024) h.Remarks += from(line, 5) + QStringLiteral("\r\n");
        } else if (line.startsWith(QLatin1String("S/N")))
            h.SerialNumber = from(line, 5);
    }
    return h;
}

bool ScanParameterFiles(const QString& folder, QList<TParameterFileHeader>* headers,
                        QString* error) {
    headers->clear();
    const QDir dir(folder);
    if (folder.isEmpty() || !dir.exists()) {
        if (error)
            *error = FileErrorText(folder,
                                   LabelTextOr(270, QStringLiteral("is not an existing folder")));
        return false;
    }
    QFileInfoList files = dir.entryInfoList({QStringLiteral("*.par")}, QDir::Files | QDir::Hidden);
    std::sort(files.begin(), files.end(), [](const QFileInfo& a, const QFileInfo& b) {
        return a.fileName().compare(b.fileName(), Qt::CaseInsensitive) < 0;
    });
    for (const QFileInfo& info : files) {
        QStringList lines;
        ReadParameterLines(info.filePath(), &lines, nullptr); // gone meanwhile: an empty record
        TParameterFileHeader h = ParseParameterFileHeader(lines);
        h.FileName = info.fileName().toLower();
        h.Path = info.filePath();
        headers->append(h);
    }
    return true;
}

namespace {
QString TimeFormat() {
    QString format = QLocale().timeFormat(QLocale::LongFormat);
    format.remove(QRegularExpression(QStringLiteral("\\s*\\bt+\\b")));
    return format.trimmed();
}
} // namespace

QString FileDateText(const QDateTime& when) {
    const QLocale locale;
    return locale.toString(when.date(), QLocale::ShortFormat) + u' ' +
           locale.toString(when.time(), TimeFormat());
}

QDateTime ParseFileDate(const QString& text) {
    const QLocale locale;
    QDateTime when = locale.toDateTime(text.trimmed(), locale.dateFormat(QLocale::ShortFormat) +
                                                           u' ' + TimeFormat());
    if (!when.isValid()) when = locale.toDateTime(text.trimmed(), QLocale::ShortFormat);
    // Two-digit years mean this century, not the last.
    if (when.isValid() && when.date().year() < 1970) when = when.addYears(100);
    return when;
}

QString ParameterFilePath(const QString& folder, const QString& name) {
    if (folder.isEmpty() || folder.endsWith(u'/')) return folder + name;
    return folder + u'/' + name;
}
