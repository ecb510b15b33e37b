// SPDX-License-Identifier: MIT
#include "TSimParameters.h"

#include <iterator>

namespace {

constexpr int kAny = 1; // Min > Max: any text
constexpr int kNone = 0;
using A = TSimAvail;

// Table order is the order of READ and of the group listings.
const TSimParamDef kTable[] = {
    {"AVERAGE", 1, "ms", "100", A::All, false, 1, 10000},
    {"CALFACTOR", 1, "", "1.0000", A::All, false, kAny, kNone},
    {"CHOLD", 1, "", "0", A::All, false, 0, 1},
    {"DIRECTION", 1, "", "0", A::All, false, 0, 3},
    {"VMAX", 1, "m/s", "20", A::All, false, 1, 200},
    {"HOLDTIME", 1, "ms", "500", A::All, false, 0, 60000},
    {"MINRATE", 1, "", "0", A::All, false, 0, 50},
    {"SIGNALERROR", 1, "", "0", A::All, false, 0, 1},
    {"TRIGGER", 1, "", "0", A::All, false, 0, 7},
    {"WINDOW", 1, "", "3", A::All, false, 0, 15},
    {"TRACKING", 1, "", "1", A::All, false, 0, 1},
    {"OUT0LEVEL", 1, "", "0", A::Only32, false, 0, 1},
    {"AMPLIFIER", 2, "", "24", A::All, false, 0, 63},
    {"CONSTANT", 2, "", "24716", A::All, true, kAny, kNone},
    {"CONTROLT", 2, "s", "0.10", A::All, false, kAny, kNone},
    {"INTTIME", 2, "", "15", A::All, false, 0, 15},
    {"PMIN", 2, "", "7", A::All, false, 1, 255},
    {"PMAX", 2, "", "120", A::All, false, 1, 255},
    {"RMIN", 2, "", "0", A::All, false, 0, 255},
    {"RMAX", 2, "", "200", A::All, false, 0, 255},
    {"LAMP", 2, "", "31", A::All, false, 0, 31},
    {"LMIN", 2, "", "0", A::All, false, 0, 31},
    {"LMAX", 2, "", "30", A::All, false, 0, 31},
    {"PPM", 2, "", "0", A::Only32, false, kAny, kNone},
    {"EPSILON", 2, "%", "2.5", A::Only32, false, kAny, kNone},
    {"FB2TYPE", 2, "", "2", A::Only32, true, kAny, kNone},
    {"BW", 2, "", "4", A::Only32, false, 0, 15},
    {"OED", 2, "", "1", A::Only32, false, 0, 1},
    {"S1ON", 3, "", "0", A::All, false, 0, 1},
    {"S1FORMAT", 3, "", "V*60:6:3' m/min'", A::All, false, kAny, kNone},
    {"S1INTERFACE", 3, "", "9600,N,8,1", A::All, false, kAny, kNone},
    {"S1OUTPUT", 3, "", "0", A::All, false, 0, 1},
    {"S1TIME", 3, "ms", "1000", A::All, false, 1, 60000},
    {"S1ADDRESS", 3, "", "1", A::Only32, false, 0, 255},
    {"S2ON", 3, "", "0", A::All, false, 0, 1},
    {"S2FORMAT", 3, "", "V:7:4' m/s'", A::All, false, kAny, kNone},
    {"S2INTERFACE", 3, "", "9600,N,8,1", A::All, false, kAny, kNone},
    {"S2OUTPUT", 3, "", "0", A::All, false, 0, 1},
    {"S2TIME", 3, "ms", "1000", A::All, false, 1, 60000},
    {"S2ADDRESS", 3, "", "2", A::Only32, false, 0, 255},
    {"INCON", 4, "", "0", A::Only16, false, 0, 3},
    {"INCVALUE", 4, "", "V", A::Only16, false, kAny, kNone},
    {"INCOUTPUT", 4, "", "0", A::Only16, false, 0, 1},
    {"INCFACTOR", 4, "", "1.000 10.000 10.000", A::Only16, false, kAny, kNone},
    {"ANON", 5, "", "0", A::All, false, 0, 1},
    {"ANVALUE", 5, "", "V", A::All, false, kAny, kNone},
    {"ANOUTPUT", 5, "", "0", A::All, false, 0, 1},
    {"ANMIN", 5, "", "0.0", A::All, false, kAny, kNone},
    {"ANMAX", 5, "", "20.0", A::All, false, kAny, kNone},
    {"INC1ON", 6, "", "0", A::Only32, false, 0, 3},
    {"INC1VALUE", 6, "", "V", A::Only32, false, kAny, kNone},
    {"INC1OUTPUT", 6, "", "0", A::Only32, false, 0, 1},
    {"INC1FACTOR", 6, "", "1.000", A::Only32, false, kAny, kNone},
    {"INC1HOLD", 6, "", "0", A::Only32, false, kAny, kNone},
    {"INC2ON", 6, "", "0", A::Only32, false, 0, 3},
    {"INC2VALUE", 6, "", "V", A::Only32, false, kAny, kNone},
    {"INC2OUTPUT", 6, "", "0", A::Only32, false, 0, 1},
    {"INC2FACTOR", 6, "", "1.000", A::Only32, false, kAny, kNone},
    {"INC2HOLD", 6, "", "0", A::Only32, false, kAny, kNone},
    {"INC3ON", 6, "", "0", A::Only32, false, 0, 3},
    {"INC3VALUE", 6, "", "V", A::Only32, false, kAny, kNone},
    {"INC3OUTPUT", 6, "", "0", A::Only32, false, 0, 1},
    {"INC3FACTOR", 6, "", "1.000", A::Only32, false, kAny, kNone},
    {"INC3HOLD", 6, "", "0", A::Only32, false, kAny, kNone},
    {"ECCON", 7, "", "0", A::All, false, 0, 1},
    {"ECCR1", 7, "", "20", A::All, false, 0, 100},
    {"ECCR2", 7, "", "40", A::All, false, 0, 100},
    {"ECCV1", 7, "m/s", "0.10", A::All, false, kAny, kNone},
    {"ECCV2", 7, "m/s", "0.50", A::All, false, kAny, kNone},
    {"OFFLINE", 8, "", "0", A::All, false, 0, 1},
    {"OFFTIME", 8, "ms", "1000", A::All, false, 1, 60000},
    {"ALON", 9, "", "0", A::All, false, 0, 1},
    {"ALRATE", 9, "%", "20", A::All, false, 0, 100},
};

bool Available(const TSimParamDef& def, bool firmware32) {
    switch (def.Avail) {
    case A::All:
        return true;
    case A::Only32:
        return firmware32;
    case A::Only16:
        return !firmware32;
    }
    return false;
}

} // namespace

TSimParameters::TSimParameters(bool firmware32) {
    for (const TSimParamDef& def : kTable)
        if (Available(def, firmware32)) m_defs.append(&def);
    ResetToDefaults();
}

const TSimParamDef* TSimParameters::Find(const QString& key) const {
    for (const TSimParamDef* def : m_defs)
        if (key.compare(QLatin1String(def->Key), Qt::CaseInsensitive) == 0) return def;
    return nullptr;
}

QList<const TSimParamDef*> TSimParameters::Group(int group) const {
    QList<const TSimParamDef*> result;
    for (const TSimParamDef* def : m_defs)
        if (def->Group == group) result.append(def);
    return result;
}

QString TSimParameters::Value(const QString& key) const {
    return m_working.value(key.toUpper());
}

QString TSimParameters::StoredValue(const QString& key) const {
    return m_stored.value(key.toUpper());
}

QString TSimParameters::Display(const TSimParamDef& def) const {
    const QString value = m_working.value(QLatin1String(def.Key));
    if (*def.Unit == '\0') return value;
    return value + QLatin1Char(' ') + QLatin1String(def.Unit);
}

QString TSimParameters::ListLine(const TSimParamDef& def) const {
    return QStringLiteral("%1 %2").arg(QLatin1String(def.Key), -13).arg(Display(def));
}

bool TSimParameters::Set(const TSimParamDef& def, const QString& text) {
    QString value = text.trimmed();
    // A factory value takes no other value; its own value is taken as a
    // no-op, as a whole set sent back to the sensor holds it.
    if (def.Fixed) return value == Value(QLatin1String(def.Key));
    const QLatin1String unit(def.Unit);
    if (!unit.isEmpty() && value.endsWith(unit, Qt::CaseInsensitive) &&
        value.size() > unit.size() && value.at(value.size() - unit.size() - 1) == QLatin1Char(' '))
        value = value.left(value.size() - unit.size()).trimmed();
    if (value.isEmpty()) return false;
    if (def.Min <= def.Max) {
        bool ok = false;
        const int number = value.toInt(&ok);
        if (!ok || number < def.Min || number > def.Max) return false;
        value = QString::number(number);
    }
    m_working.insert(QLatin1String(def.Key), value);
    return true;
}

void TSimParameters::SetRaw(const QString& key, const QString& value) {
    if (const TSimParamDef* def = Find(key)) m_working.insert(QLatin1String(def->Key), value);
}

void TSimParameters::ResetToDefaults() {
    m_working.clear();
    for (const TSimParamDef* def : m_defs)
        m_working.insert(QLatin1String(def->Key), QLatin1String(def->Default));
    m_stored = m_working;
}
