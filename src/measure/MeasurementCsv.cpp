// SPDX-License-Identifier: MIT
#include "MeasurementCsv.h"

#include "FileKind.h"
#include "Labels.h"
#include "SafeFile.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>

#include <charconv>
#include <cmath>

namespace {
QString FileError(const QString& path, const QFileDevice& file) {
    return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
}

QString Fixed(double value, int decimals, QChar point) {
    QString text = QString::number(value, 'f', decimals);
    if (point != u'.') text.replace(u'.', point);
    return text;
}

// A decimal number at the front of `field` after leading blanks, with an
// optional sign. `whole` tells whether it takes the whole field.
double LeadingNumber(QByteArrayView field, bool& whole) {
    qsizetype i = 0;
    while (i < field.size() && (field[i] == ' ' || field[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < field.size() && (field[i] == '+' || field[i] == '-')) {
        negative = field[i] == '-';
        ++i;
    }
    whole = false;
    // Only digits or a point may follow: no "inf", "nan" or hexadecimal.
    if (i >= field.size() || !(std::isdigit(uchar(field[i])) || field[i] == '.')) return 0;
    double value = 0;
    const char* begin = field.data() + i;
    const char* end = field.data() + field.size();
    const auto [stop, error] = std::from_chars(begin, end, value, std::chars_format::general);
    if (error != std::errc() || !std::isfinite(value)) return 0;
    whole = stop == end;
    return negative ? -value : value;
}
} // namespace

QString CsvHeader(int vUnit) {
    return vUnit == 1 ? QStringLiteral("time[s];velocity[m/min];rate[%];clock")
                      : QStringLiteral("time[s];velocity[m/s];rate[%];clock");
}

QString CsvRow(double time, double velocity, double rate, const QString& clock,
               const QLocale& locale) {
    const QString point = locale.decimalPoint();
    const QChar p = point.isEmpty() ? QChar(u'.') : point.at(0);
    return Fixed(time, 3, p) + u';' + Fixed(velocity, 3, p) + u';' + Fixed(rate, 1, p) + u';' +
           clock;
}

QString ClockText(const QTime& time, const QLocale& locale) {
    // Qt's long format ends with the zone ("t"); a clock column has none.
    static const QRegularExpression zone(QStringLiteral("\\s*t+\\s*"));
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.replace(zone, QStringLiteral(" "));
    return locale.toString(time, format.trimmed());
}

double DayFraction(const QTime& time) {
    return time.isValid() ? time.msecsSinceStartOfDay() / 86400000.0 : 0.0;
}

QString ElapsedToClock(double startClock, double seconds, const QLocale& locale) {
    double day = startClock + (std::isfinite(seconds) ? seconds / 86400.0 : 0.0);
    day -= std::floor(day);
    const qint64 ms = std::llround(day * 86400000.0) % 86400000;
    return ClockText(QTime::fromMSecsSinceStartOfDay(int(ms)), locale);
}

QString CsvLogFileName(const QString& dir, const QDateTime& now, const QString& name) {
    QString folder =
        dir.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) : dir;
    if (!folder.endsWith(u'/')) folder += u'/';
    return folder + now.toString(QStringLiteral("yyyyMMdd_HHmmss")) + name + QStringLiteral(".csv");
}

bool ParseCsvLine(QByteArrayView line, double& time, double& velocity, double& rate) {
    // Rows are short; a longer one cannot be three numbers that make sense,
    // but its first fields are still read.
    char buffer[256];
    const qsizetype size = std::min<qsizetype>(line.size(), sizeof buffer);
    for (qsizetype i = 0; i < size; ++i)
        buffer[i] = line[i] == ',' ? '.' : line[i];
    QByteArrayView rest(buffer, size);
    double* targets[3] = {&time, &velocity, &rate};
    bool valid = true;
    for (double* target : targets) {
        const qsizetype end = rest.indexOf(';');
        const QByteArrayView field = end < 0 ? rest : rest.first(end);
        bool whole = false;
        *target = LeadingNumber(field, whole);
        valid = valid && whole;
        rest = end < 0 ? QByteArrayView() : rest.sliced(end + 1);
    }
    // A row cut at the buffer's end before its third field ended is no row.
    if (line.size() > size && rest.isEmpty()) valid = false;
    return valid;
}

bool CreateCsvLog(const QString& path, int vUnit, QString* error) {
    return WriteFileSafely(path, CsvHeader(vUnit).toUtf8() + "\r\n", error);
}

bool AppendCsvLog(const QString& path, const QString& row, QString* error) {
    return AppendToFile(path, row.toUtf8() + "\r\n", error);
}

bool TCsvLogFile::Create(const QString& path, int vUnit, QString* error) {
    m_file.Close();
    return CreateCsvLog(path, vUnit, error) && m_file.Open(path, error);
}

bool TCsvLogFile::Append(const QString& row, QString* error) {
    return m_file.Append(row.toUtf8() + "\r\n", error);
}

bool SaveCsv(const QString& path, const TChartData& data, int vUnit, double startClock,
             QString* error) {
    const QLocale locale;
    return WriteFileSafely(
        path,
        [&](TSafeFileSink& sink) {
            QByteArray block = CsvHeader(vUnit).toUtf8() + "\r\n";
            for (qsizetype i = 0; i < data.Count(); ++i) {
                block += CsvRow(data.Time(i), data.Velocity(i), data.Rate(i),
                                ElapsedToClock(startClock, data.Time(i), locale), locale)
                             .toUtf8();
                block += "\r\n";
                if (block.size() >= 1 << 16) {
                    if (!sink.Write(block)) return;
                    block.clear();
                }
            }
            sink.Write(block);
        },
        error);
}

bool ReadCsv(const QString& path, TChartData& data, bool& metersPerSecond, QString* error,
             qsizetype maxRows) {
    QFile file;
    if (!OpenRegularFile(file, path, error)) return false;
    data.Clear();
    metersPerSecond = false;
    bool header = true;
    qsizetype rows = 0;
    QByteArray pending; // the start of a line that the last block cut
    constexpr qsizetype LongestLine = 4096;
    auto row = [&](QByteArrayView line) {
        while (!line.isEmpty() && (line.back() == '\r' || line.back() == '\n'))
            line.chop(1);
        if (header) {
            header = false;
            metersPerSecond = line.indexOf("m/s") >= 0;
            return;
        }
        double time = 0, velocity = 0, rate = 0;
        const bool valid = ParseCsvLine(line, time, velocity, rate);
        data.Add(time, velocity, rate, !valid);
        ++rows;
    };
    bool overlong = false; // the pending line is longer than any row: its rest is skipped
    bool cut = false;      // rows or bytes beyond the limits were left unread
    qint64 total = 0;
    while (!cut) {
        const QByteArray block = file.read(1 << 20);
        if (block.isEmpty()) break;
        total += block.size();
        qsizetype from = 0;
        while (from < block.size()) {
            if (rows >= maxRows) {
                cut = true;
                break;
            }
            const qsizetype end = block.indexOf('\n', from);
            const QByteArrayView piece =
                QByteArrayView(block).sliced(from, (end < 0 ? block.size() : end) - from);
            if (!overlong)
                pending += piece.first(std::min(piece.size(), LongestLine - pending.size()));
            if (pending.size() >= LongestLine) overlong = true;
            if (end < 0) break;
            row(pending);
            pending.clear();
            overlong = false;
            from = end + 1;
        }
        if (total >= MaxCsvBytes && !file.atEnd()) cut = true;
    }
    if (cut) {
        pending.clear();
        if (error)
            *error = FileErrorText(
                path, LabelTextOr(268, QStringLiteral("only the first %1 rows were read; the "
                                                      "rest of the file was left out"))
                          .arg(rows));
    } else if (file.error() != QFileDevice::NoError && error) {
        // A read error ends the reading; the rows read so far stay.
        *error = FileError(path, file);
    }
    if (!pending.isEmpty()) row(pending);
    data.SortByTime();
    return true;
}
