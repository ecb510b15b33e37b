// SPDX-License-Identifier: MIT
#include "RecordChanges.h"

#include "ParameterCompare.h"

#include <QRegularExpression>

QStringList SetLines(const QString& setText) {
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    return setText.split(lineEnd);
}

QList<TRecordChange> WriteChanges(const QString& lastSet, const QString& sentSet,
                                  const QHash<QString, QString>& refused,
                                  const QSet<QString>& unknownKeys) {
    // Keys as the comparison spells them (upper case).
    QHash<QString, QString> refusedByKey;
    refusedByKey.reserve(refused.size());
    for (auto it = refused.cbegin(); it != refused.cend(); ++it)
        refusedByKey.insert(it.key().trimmed().toUpper(), it.value());
    QSet<QString> unknown;
    unknown.reserve(unknownKeys.size());
    for (const QString& key : unknownKeys)
        unknown.insert(key.trimmed().toUpper());

    const bool lastKnown = !lastSet.isNull();
    const QList<TParameterDifference> rows = CompareParameterSets(
        SetLines(sentSet), lastKnown ? SetLines(lastSet) : QStringList(), true);
    QList<TRecordChange> changes;
    for (const TParameterDifference& row : rows) {
        if (!row.InOurs) continue; // only in the sensor's set: not sent
        TRecordChange change;
        change.Key = row.Key;
        change.New = row.Ours;
        change.Refused = refusedByKey.value(row.Key);
        const bool oldKnown = lastKnown && row.InSensor && !unknown.contains(row.Key);
        if (oldKnown) change.Old = row.Sensor;
        if (oldKnown && !row.Differs() && change.Refused.isEmpty()) continue;
        changes.append(change);
    }
    return changes;
}
