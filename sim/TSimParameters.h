// SPDX-License-Identifier: MIT
#pragma once

#include <QHash>
#include <QList>
#include <QString>

// Which firmware generation has a parameter.
enum class TSimAvail { All, Only32, Only16 };

// One entry of the sensor's parameter table. Group 2 holds the system
// parameters (readable and settable only in system mode); groups 8 and 9
// are the offline-measurement and alarm settings. Min <= Max limits an
// integer value; Min > Max accepts any text.
struct TSimParamDef {
    const char* Key;
    int Group;
    const char* Unit; // "" = none; shown after the value
    const char* Default;
    TSimAvail Avail;
    bool Fixed; // cannot be changed (factory values); its own value is accepted
    int Min;
    int Max;
};

// The parameter set of one sensor: the table entries of its firmware
// generation, a working set (in effect, changed by "KEY value") and a
// permanent set (what "*STORE" wrote; "*RESTORE" and a restart copy it
// back). Values are kept without their unit word; Display() adds it.
class TSimParameters {
public:
    explicit TSimParameters(bool firmware32);

    // The entry for a key of this model (any case), or nullptr.
    const TSimParamDef* Find(const QString& key) const;
    const QList<const TSimParamDef*>& Defs() const { return m_defs; }
    QList<const TSimParamDef*> Group(int group) const;

    QString Value(const QString& key) const;         // working set, no unit
    QString StoredValue(const QString& key) const;   // permanent set, no unit
    QString Display(const TSimParamDef& def) const;  // value and unit word
    QString ListLine(const TSimParamDef& def) const; // key padded to 13, blank, display

    // Checks and sets a working value: a trailing unit word is dropped,
    // limits are checked. Returns false when the value is refused.
    bool Set(const TSimParamDef& def, const QString& value);
    void SetRaw(const QString& key, const QString& value);

    void Store() { m_stored = m_working; }
    void Restore() { m_working = m_stored; }
    void ResetToDefaults();

private:
    QList<const TSimParamDef*> m_defs;
    QHash<QString, QString> m_working;
    QHash<QString, QString> m_stored;
};
