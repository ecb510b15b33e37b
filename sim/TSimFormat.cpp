// SPDX-License-Identifier: MIT
#include "TSimFormat.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kMaxText = 200;

QByteArray Hex(quint64 value, int digits) {
    return QByteArray::number(value, 16).toUpper().rightJustified(digits, '0', true);
}

quint64 Magnitude(double value, double unit, quint64 limit) {
    const double scaled = std::round(std::abs(value) / unit);
    if (!(scaled < double(limit))) return limit;
    return quint64(scaled);
}

QByteArray ShortLine(double velocity, double rate) {
    QByteArray line;
    line += velocity < 0 && Magnitude(velocity, 1e-5, 0xFFFFFF) > 0 ? '-' : ' ';
    line += Hex(Magnitude(velocity, 1e-5, 0xFFFFFF), 6);
    line += ' ';
    line += Hex(Magnitude(rate, 0.1, 1000), 3);
    return line;
}

// Reads an unsigned number at `pos`; returns -1 when there is none.
double ReadNumber(const QString& text, qsizetype& pos) {
    const qsizetype start = pos;
    while (pos < text.size() && (text.at(pos).isDigit() || text.at(pos) == QLatin1Char('.')))
        ++pos;
    if (pos == start) return -1;
    bool ok = false;
    const double value = text.mid(start, pos - start).toDouble(&ok);
    return ok ? value : -1;
}

QString TextLine(const QString& format, double velocity, double rate, double length) {
    QString out;
    qsizetype i = 0;
    while (i < format.size() && out.size() < kMaxText) {
        const QChar c = format.at(i++);
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            const qsizetype end = format.indexOf(c, i);
            const qsizetype stop = end < 0 ? format.size() : end;
            out += format.mid(i, stop - i);
            i = stop + 1;
            continue;
        }
        const QChar upper = c.toUpper();
        if (upper != QLatin1Char('V') && upper != QLatin1Char('R') && upper != QLatin1Char('L')) {
            out += c;
            continue;
        }
        double value = upper == QLatin1Char('V')   ? velocity
                       : upper == QLatin1Char('R') ? rate
                                                   : length;
        int width = 0;
        int decimals = upper == QLatin1Char('R') ? 1 : 3;
        if (i < format.size() &&
            (format.at(i) == QLatin1Char('*') || format.at(i) == QLatin1Char('/'))) {
            const bool multiply = format.at(i) == QLatin1Char('*');
            ++i;
            const double factor = ReadNumber(format, i);
            if (factor > 0) value = multiply ? value * factor : value / factor;
        }
        if (i < format.size() && format.at(i) == QLatin1Char(':')) {
            ++i;
            width = int(std::clamp(ReadNumber(format, i), 0.0, 30.0));
            if (i < format.size() && format.at(i) == QLatin1Char(':')) {
                ++i;
                decimals = int(std::clamp(ReadNumber(format, i), 0.0, 9.0));
            }
        }
        out += QStringLiteral("%1").arg(value, width, 'f', decimals);
    }
    return out.left(kMaxText);
}

} // namespace

TSimLineKind SimLineKind(const QString& format) {
    const QString f = format.trimmed();
    if (f.compare(QLatin1String("s"), Qt::CaseInsensitive) == 0) return TSimLineKind::Short;
    if (f.compare(QLatin1String("sl:h"), Qt::CaseInsensitive) == 0) return TSimLineKind::Long;
    return TSimLineKind::Text;
}

QByteArray FormatSimLine(const QString& format, double velocity, double rate, double length) {
    switch (SimLineKind(format)) {
    case TSimLineKind::Short:
        return ShortLine(velocity, rate);
    case TSimLineKind::Long: {
        const quint64 magnitude = Magnitude(length, 1e-4, 0xFFFFFFFFULL);
        return ShortLine(velocity, rate) + (length < 0 && magnitude > 0 ? '-' : ' ') +
               Hex(magnitude, 8);
    }
    case TSimLineKind::Text:
        break;
    }
    return TextLine(format, velocity, rate, length).toLatin1();
}
