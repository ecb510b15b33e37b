// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One parameter of two sets side by side: ours (a file or the editor) and
// the sensor's (the set just read).
struct TParameterDifference {
    QString Key;
    QString Ours;   // empty where our set has no such key
    QString Sensor; // empty where the sensor's set has none
    bool InOurs = false;
    bool InSensor = false;
    bool FactoryConstant = false; // CONSTANT: changed only with a question
    bool Differs() const { return !InOurs || !InSensor || !SameParameterValue(Ours, Sensor); }
    static bool SameParameterValue(const QString& a, const QString& b);
};

// "KEY value" pairs of a parameter text in their order: REM lines, empty
// lines, commands ("*...", "/...") and the prompt are no parameters. The
// value's blanks are collapsed, so that a file and a reading compare
// equal whatever their alignment.
QList<QPair<QString, QString>> ParameterValues(const QStringList& lines);

// Every key of our set in its order, then the keys that only the sensor
// has. With `all` false, only the keys that differ. Time and memory grow
// in proportion to the two sets.
QList<TParameterDifference> CompareParameterSets(const QStringList& ours, const QStringList& sensor,
                                                 bool all);

// A cell of a comparison as shown: a key or value of more than
// MaxCompareCellChars characters cut, its end marked with "...".
inline constexpr qsizetype MaxCompareCellChars = 60;
QString CompareCellText(const QString& text);

// A plain-text table of the comparison: key, our value, the sensor's
// value, the factory constant marked. Cells as CompareCellText, so that
// no row is wider than three cells and their gaps.
QString DifferenceTable(const QList<TParameterDifference>& rows, const QString& oursTitle,
                        const QString& sensorTitle);
