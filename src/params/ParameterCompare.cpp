// SPDX-License-Identifier: MIT
#include "ParameterCompare.h"

#include <QHash>
#include <QSet>

#include <algorithm>

// The sensor lists a value with its unit ("100 ms", "20 m/s"), a file or
// the editor may give the number alone: a unit after the same value does
// not make them differ.
bool TParameterDifference::SameParameterValue(const QString& a, const QString& b) {
    if (a == b) return true;
    const QString& shorter = a.size() < b.size() ? a : b;
    const QString& longer = a.size() < b.size() ? b : a;
    if (shorter.isEmpty() || !longer.startsWith(shorter + u' ')) return false;
    const QString unit = longer.mid(shorter.size() + 1);
    for (QChar c : unit)
        if (c.isDigit() || c.isSpace()) return false;
    return true;
}

QList<QPair<QString, QString>> ParameterValues(const QStringList& lines) {
    QList<QPair<QString, QString>> values;
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(u'*') || line.startsWith(u'/') ||
            line.startsWith(QLatin1String("->")))
            continue;
        const qsizetype blank = line.indexOf(u' ');
        const QString key = (blank < 0 ? line : line.left(blank)).toUpper();
        if (key == u"REM") continue;
        values.append({key, blank < 0 ? QString() : line.mid(blank + 1).simplified()});
    }
    return values;
}

QList<TParameterDifference> CompareParameterSets(const QStringList& ours, const QStringList& sensor,
                                                 bool all) {
    const auto ourValues = ParameterValues(ours);
    const auto sensorValues = ParameterValues(sensor);
    // Hash lookups only: a set of hundreds of thousands of keys costs time
    // in proportion to its size.
    QHash<QString, QString> sensorByKey;
    sensorByKey.reserve(sensorValues.size());
    for (const auto& [key, value] : sensorValues)
        if (!sensorByKey.contains(key)) sensorByKey.insert(key, value);
    QList<TParameterDifference> rows;
    QSet<QString> seen;
    seen.reserve(ourValues.size() + sensorValues.size());
    auto add = [&](const TParameterDifference& row) {
        if (all || row.Differs()) rows.append(row);
    };
    for (const auto& [key, value] : ourValues) {
        if (seen.contains(key)) continue;
        seen.insert(key);
        TParameterDifference row;
        row.Key = key;
        row.Ours = value;
        row.InOurs = true;
        const auto found = sensorByKey.constFind(key);
        row.InSensor = found != sensorByKey.constEnd();
        if (row.InSensor) row.Sensor = *found;
        row.FactoryConstant = key == u"CONSTANT";
        add(row);
    }
    for (const auto& [key, value] : sensorValues) {
        if (seen.contains(key)) continue;
        seen.insert(key);
        TParameterDifference row;
        row.Key = key;
        row.Sensor = value;
        row.InSensor = true;
        row.FactoryConstant = key == u"CONSTANT";
        // A key that only the sensor has is not changed by sending our set.
        if (all) rows.append(row);
    }
    return rows;
}

QString CompareCellText(const QString& text) {
    if (text.size() <= MaxCompareCellChars) return text;
    return text.left(MaxCompareCellChars - 3) + QStringLiteral("...");
}

QString DifferenceTable(const QList<TParameterDifference>& rows, const QString& oursTitle,
                        const QString& sensorTitle) {
    // Every cell at most MaxCompareCellChars wide, so that one crafted long
    // value cannot widen every row of the table: the table grows with the
    // number of rows only.
    const QString oursHead = CompareCellText(oursTitle);
    qsizetype keyWidth = 3, oursWidth = oursHead.size();
    for (const TParameterDifference& row : rows) {
        keyWidth =
            std::max(keyWidth, CompareCellText(row.Key).size() + (row.FactoryConstant ? 2 : 0));
        oursWidth = std::max(oursWidth, CompareCellText(row.Ours).size());
    }
    auto line = [&](const QString& key, const QString& ours, const QString& sensor) {
        return key.leftJustified(keyWidth) + QStringLiteral("  ") + ours.leftJustified(oursWidth) +
               QStringLiteral("  ") + sensor + u'\n';
    };
    QString table;
    table.reserve((rows.size() + 1) * (keyWidth + oursWidth + MaxCompareCellChars / 2 + 5));
    table += line(QStringLiteral("KEY"), oursHead, CompareCellText(sensorTitle));
    for (const TParameterDifference& row : rows) {
        const QString key = CompareCellText(row.Key);
        table += line(row.FactoryConstant ? key + QStringLiteral(" !") : key,
                      row.InOurs ? CompareCellText(row.Ours) : QStringLiteral("-"),
                      row.InSensor ? CompareCellText(row.Sensor) : QStringLiteral("-"));
    }
    return table;
}
