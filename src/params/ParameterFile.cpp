// SPDX-License-Identifier: MIT
#include "ParameterFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringDecoder>

#include <algorithm>

bool SaveParameterLines(const QString& path, const QStringList& lines, QString* error) {
    QSaveFile file(path);
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += line.toLatin1() + "\r\n";
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error) *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

QString DecodeParameterText(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

bool ReadParameterLines(const QString& path, QStringList* lines, QString* error, bool asBytes) {
    lines->clear();
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(
                path, QFileInfo(path).isDir() ? QStringLiteral("is a folder") : file.errorString());
        return false;
    }
    const QByteArray bytes = file.read(MaxFileBytes);
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
        if (error) *error = QStringLiteral("%1: not an existing folder").arg(folder);
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
