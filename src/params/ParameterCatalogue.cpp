// SPDX-License-Identifier: MIT
#include "ParameterCatalogue.h"

#include <QHash>

#include <algorithm>

namespace {
using F = TFirmware;
using R = TReadBack;
using S = TValueShape;
using V = TSensorVariant;

// clang-format off
const QList<TParameterDef> kCatalogue = {
    // Code, key, heading, unit, shape, sensors, key when, send, save, Auto Update, fixed,
    // input limit, label, description.
    // Sent from the editor: the interfaces last, their addresses never. Saved:
    // blocks of general, system, pulse output (one, or three with 32-bit
    // firmware), analog, ECC, interface 1 and 2 parameters; OED whatever the
    // firmware. Auto Update: by code, each interface's address after its time.
    {101, "AVERAGE", 717, "ms", S::FirstWord, V::All, F::Any, {101, F::Any}, {101, F::Any}, {101, R::FirstWord}, false, 0, 718, "Mittelungszeit für Geschwindigkeitsmessung und Ratenberechnung"},
    {102, "CALFACTOR", 712, "", S::Whole, V::All, F::Any, {102, F::Any}, {102, F::Any}, {102, R::FirstWord}, false, 0, 716, "Kalibrierfaktor (Wert nahe 1.000)"},
    {103, "CHOLD", 721, "", S::Whole, V::All, F::Any, {103, F::Any}, {103, F::Any}, {103, R::FirstWord}, false, 0, 723, "Halten der Belichtung wenn Triggersignal an IN2 nicht aktiv (CHOLD = 1, Standard ist CHOLD = 0)"},
    {104, "DIRECTION", 712, "", S::Whole, V::All, F::Any, {104, F::Any}, {104, F::Any}, {104, R::FirstWord}, false, 0, 713, "Richtungseinstellung (siehe Anwenderhandbuch)"},
    {105, "VMAX", 712, "m/s", S::FirstWord, V::All, F::Any, {105, F::Any}, {111, F::Any}, {105, R::FirstWord}, false, 0, 714, nullptr},
    {106, "HOLDTIME", 717, "ms", S::FirstWord, V::All, F::Any, {106, F::Any}, {105, F::Any}, {106, R::FirstWord}, false, 0, 720, "Haltezeit für Geschwindigkeit bei Signalausfällen"},
    {107, "MINRATE", 725, "", S::Whole, V::All, F::Any, {107, F::Any}, {106, F::Any}, {107, R::FirstWord}, false, 0, 726, "Ratenüberwachung (0 - aus, 5 bis 50 - ein; nur bei ausgeschalteter ECC-Steuerung)"},
    {108, "SIGNALERROR", 721, "", S::Whole, V::All, F::Any, {108, F::Any}, {108, F::Any}, {108, R::FirstWord}, false, 0, 724, "Verhalten bei Signalausfall (0 - Geschwindigkeit Null erlaubt, 1 - Null und Signalausfälle sind nicht erlaubt)"},
    {109, "TRIGGER", 721, "", S::Whole, V::All, F::Any, {109, F::Any}, {110, F::Any}, {109, R::FirstWord}, false, 0, 722, "Pegel/Flanke des Triggersignals an IN2 (siehe Anwenderhandbuch)"},
    {110, "WINDOW", 717, "", S::Whole, V::All, F::Any, {110, F::Any}, {112, F::Any}, {110, R::FirstWord}, false, 0, 719, nullptr},
    {111, "TRACKING", 712, "", S::Whole, V::All, F::Any, {111, F::Any}, {109, F::Any}, {111, R::FirstWord}, false, 0, 715, nullptr},
    {112, "OUT0LEVEL", 712, "", S::Whole, V::Only32BitShown, F::Any, {112, F::Only32Bit}, {107, F::Only32Bit}, {112, R::FirstWord}, false, 0, 0, nullptr},
    {201, "AMPLIFIER", 730, "", S::Whole, V::All, F::Any, {201, F::Any}, {201, F::Any}, {201, R::FirstWord}, false, 0, 731, "Maximalen Verstärkung bei der NF-Regelung"},
    {202, "CONSTANT", 730, "", S::Whole, V::All, F::Any, {202, F::Any}, {203, F::Any}, {202, R::FirstWord}, true, 0, 732, "Systemkonstante (Werkskalibrierung)"},
    {203, "CONTROLT", 730, "s", S::FirstWord, V::All, F::Any, {203, F::Any}, {204, F::Any}, {203, R::FirstWord}, false, 0, 733, "Festlegung der Regelgeschwindigkeit bei Untersteuerung (meist 0.05 bis 0.15 ms)"},
    {204, "INTTIME", 730, "", S::Whole, V::All, F::Any, {204, F::Any}, {207, F::Any}, {204, R::FirstWord}, false, 0, 734, "Integrationszeit der CCD-Zeile (meist Automatik: INTTIME 15 )"},
    {205, "PMIN", 730, "", S::Whole, V::All, F::Any, {205, F::Any}, {213, F::Any}, {205, R::FirstWord}, false, 0, 735, "Minimale Periodenzahl (meist 7)"},
    {206, "PMAX", 730, "", S::Whole, V::All, F::Any, {206, F::Any}, {212, F::Any}, {206, R::FirstWord}, false, 0, 736, "Maximale Periodenzahl"},
    {207, "RMIN", 730, "", S::Whole, V::All, F::Any, {207, F::Any}, {216, F::Any}, {207, R::FirstWord}, false, 0, 737, "Regelbereich auf eine minimale Integrationszeit begrenzen (nur bei INTTIME 15; meist 0)"},
    {208, "RMAX", 730, "", S::Whole, V::All, F::Any, {208, F::Any}, {215, F::Any}, {208, R::FirstWord}, false, 0, 738, "Regelbereich auf eine maximale Integrationszeit begrenzen (nur bei INTTIME 15)"},
    {209, "LAMP", 730, "", S::Whole, V::All, F::Any, {209, F::Any}, {208, F::Any}, {209, R::FirstWord}, false, 0, 739, "Lampenspannung einstellen (Automatik: LAMP 31)"},
    {210, "LMIN", 730, "", S::Whole, V::All, F::Any, {210, F::Any}, {210, F::Any}, {210, R::FirstWord}, false, 0, 740, "Minimale Lampenspannung bei Regelung begrenzen (nur bei LAMP 31; meist 0)"},
    {211, "LMAX", 730, "", S::Whole, V::All, F::Any, {211, F::Any}, {209, F::Any}, {211, R::FirstWord}, false, 0, 741, "Maximale Lampenspannung bei Regelung begrenzen (nur bei LAMP 31; meist 30)"},
    {212, "PPM", 730, "", S::Whole, V::Only32Bit, F::Any, {212, F::Only32Bit}, {214, F::Only32Bit}, {212, R::FirstWord}, false, 0, 742, nullptr},
    {213, "EPSILON", 730, "%", S::FirstWord, V::Only32Bit, F::Any, {213, F::Only32Bit}, {205, F::Only32Bit}, {213, R::FirstWord}, false, 0, 743, nullptr},
    {214, "FB2TYPE", 730, "", S::FirstWord, V::Only32Bit, F::Any, {214, F::Only32Bit}, {206, F::Only32Bit}, {214, R::FirstWord}, true, 0, 743, nullptr},
    {215, "BW", 730, "", S::FirstWord, V::Only32Bit, F::Any, {215, F::Only32Bit}, {202, F::Only32Bit}, {215, R::FirstWord}, false, 0, 743, nullptr},
    {216, "OED", 730, "", S::FirstWord, V::Only32Bit, F::Any, {216, F::Only32Bit}, {211, F::Any}, {216, R::FirstWord}, false, 0, 743, nullptr},
    {301, "S1ON", 750, "", S::Whole, V::All, F::Any, {801, F::Any}, {901, F::Any}, {301, R::FirstWord}, false, 0, 751, "S1-Ausgabe (0 - aus, 1 - ein)"},
    {302, "S1FORMAT", 750, "", S::Whole, V::All, F::Any, {802, F::Any}, {902, F::Any}, {302, R::Whole}, false, 30, 752, "Ausgabeformat (z.B. V*60:6:3' m/min')"},
    {303, "S1INTERFACE", 750, "", S::Whole, V::All, F::Any, {803, F::Any}, {903, F::Any}, {303, R::Whole}, false, 0, 753, "Einstellung der seriellen Schnittstelle (muß Extras|Optionen entsprechen)"},
    {304, "S1OUTPUT", 750, "", S::Whole, V::All, F::Any, {804, F::Any}, {904, F::Any}, {304, R::FirstWord}, false, 0, 754, "Zeit- oder triggergesteurte Ausgabe (0 - zeitsynchron, 1 - triggersynchron)"},
    {305, "S1TIME", 750, "ms", S::FirstWord, V::All, F::Any, {805, F::Any}, {905, F::Any}, {305, R::FirstWord}, false, 0, 755, "Ausgabezeit (nur bei zeitsynchroner Ausgabe)"},
    {306, "S2ON", 756, "", S::Whole, V::All, F::Any, {806, F::Any}, {1001, F::Any}, {306, R::FirstWord}, false, 0, 757, "S2-Ausgabe (0 - aus, 1 - ein)"},
    {307, "S2FORMAT", 756, "", S::Whole, V::All, F::Any, {807, F::Any}, {1002, F::Any}, {307, R::Whole}, false, 30, 758, "Ausgabeformat (z.B. V*60:6:3' m/min')"},
    {308, "S2INTERFACE", 756, "", S::Whole, V::All, F::Any, {808, F::Any}, {1003, F::Any}, {308, R::Whole}, false, 0, 759, "Einstellung der zweiten seriellen Schnittstelle"},
    {309, "S2OUTPUT", 756, "", S::Whole, V::All, F::Any, {809, F::Any}, {1004, F::Any}, {309, R::FirstWord}, false, 0, 760, "Zeit- oder triggergesteurte Ausgabe (0 - zeitsynchron, 1 - triggersynchron)"},
    {310, "S2TIME", 756, "ms", S::FirstWord, V::All, F::Any, {810, F::Any}, {1005, F::Any}, {310, R::FirstWord}, false, 0, 761, "Ausgabezeit (nur bei zeitsynchroner Ausgabe)"},
    {311, "S1ADDRESS", 750, "", S::Whole, V::Only32Bit, F::Any, {0, F::Any}, {906, F::Only32Bit}, {305, R::FirstWord}, false, 0, 762, nullptr},
    {312, "S2ADDRESS", 756, "", S::Whole, V::Only32Bit, F::Any, {0, F::Any}, {1006, F::Only32Bit}, {310, R::FirstWord}, false, 0, 763, nullptr},
    {401, "INCON", 770, "", S::Whole, V::Other, F::Other, {401, F::Other}, {301, F::Other}, {401, R::FirstWord}, false, 1, 771, "Impulsausgabe ein/aus (0 - aus, 1 - Standardimpulsausg. ein, 2 - hochauflösende Impulsausg. ein, 3 - alle Impulsausg. ein)"},
    {402, "INCVALUE", 770, "", S::Whole, V::Other, F::Other, {402, F::Other}, {302, F::Other}, {402, R::FirstWord}, false, 0, 772, "Wert (V-Geschwindigkeit, R-Rate)"},
    {403, "INCOUTPUT", 770, "", S::Whole, V::Other, F::Other, {403, F::Other}, {303, F::Other}, {403, R::FirstWord}, false, 0, 773, "Zeit- oder triggergesteurte Ausgabe (0 - zeitsynchron, 1 - triggersynchron)"},
    {404, "INCFACTOR", 770, "", S::ThreeWords, V::Other, F::Other, {404, F::Other}, {304, F::Other}, {404, R::FirstWord}, false, 25, 774, "Skalierungsfaktor für Standardimpulsausgang (V in Impulse pro mm)"},
    {405, "", 770, "", S::None, V::Other, F::Other, {0, F::Any}, {0, F::Any}, {405, R::FirstWord}, false, 25, 775, "Skalierungsfaktor für hochauhlösenden Impulsausgang (Impulse pro mm)"},
    {406, "", 770, "", S::None, V::Other, F::Other, {0, F::Any}, {0, F::Any}, {406, R::FirstWord}, false, 25, 775, "Skalierungsfaktor für hochauhlösenden Impulsausgang (Impulse pro mm)"},
    {501, "ANON", 780, "", S::Whole, V::All, F::Any, {501, F::Any}, {701, F::Any}, {501, R::FirstWord}, false, 1, 781, "Analogausgabe ein/aus (0 - aus, 1 - ein)"},
    {502, "ANVALUE", 780, "", S::Whole, V::All, F::Any, {502, F::Any}, {705, F::Any}, {502, R::FirstWord}, false, 0, 782, "Art des Wertes (V-Geschwindigkeit, R-Rate)"},
    {503, "ANOUTPUT", 780, "", S::Whole, V::All, F::Any, {503, F::Any}, {704, F::Any}, {503, R::FirstWord}, false, 0, 783, "Zeit- oder triggergesteurte Ausgabe (0 - zeitsynchron, 1 - triggersynchron)"},
    {504, "ANMIN", 780, "", S::Whole, V::All, F::Any, {504, F::Any}, {702, F::Any}, {504, R::FirstWord}, false, 0, 784, "Minimalwert"},
    {505, "ANMAX", 780, "", S::Whole, V::All, F::Any, {505, F::Any}, {703, F::Any}, {505, R::FirstWord}, false, 0, 785, "Maximalwert"},
    {601, "INC1ON", 776, "", S::Whole, V::Only32Bit, F::Only32Bit, {601, F::Only32Bit}, {401, F::Only32Bit}, {601, R::FirstWord}, false, 1, 771, "Impulsausgabe ein/aus (0 - aus, 1 - Standardimpulsausg. ein, 2 - hochauflösende Impulsausg. ein, 3 - alle Impulsausg. ein)"},
    {602, "INC1VALUE", 776, "", S::Whole, V::Only32Bit, F::Only32Bit, {602, F::Only32Bit}, {404, F::Only32Bit}, {602, R::FirstWord}, false, 0, 772, "Wert (V-Geschwindigkeit, R-Rate)"},
    {603, "INC1OUTPUT", 776, "", S::Whole, V::Only32Bit, F::Only32Bit, {603, F::Only32Bit}, {403, F::Only32Bit}, {603, R::FirstWord}, false, 0, 773, "Zeit- oder triggergesteurte Ausgabe (0 - zeitsynchron, 1 - triggersynchron)"},
    {604, "INC1FACTOR", 776, "", S::Whole, V::Only32Bit, F::Only32Bit, {604, F::Only32Bit}, {402, F::Only32Bit}, {604, R::FirstWord}, false, 25, 774, "Skalierungsfaktor für Standardimpulsausgang (V in Impulse pro mm)"},
    {605, "INC1HOLD", 776, "", S::Whole, V::Only32Bit, F::Only32Bit, {605, F::Only32Bit}, {405, F::Only32Bit}, {605, R::FirstWord}, false, 25, 0, nullptr},
    {606, "INC2ON", 777, "", S::Whole, V::Only32Bit, F::Only32Bit, {606, F::Only32Bit}, {501, F::Only32Bit}, {606, R::FirstWord}, false, 1, 771, "Impulsausgabe ein/aus (0 - aus, 1 - Standardimpulsausg. ein, 2 - hochauflösende Impulsausg. ein, 3 - alle Impulsausg. ein)"},
    {607, "INC2VALUE", 777, "", S::Whole, V::Only32Bit, F::Only32Bit, {607, F::Only32Bit}, {504, F::Only32Bit}, {607, R::FirstWord}, false, 0, 772, "Wert (V-Geschwindigkeit, R-Rate)"},
    {608, "INC2OUTPUT", 777, "", S::Whole, V::Only32Bit, F::Only32Bit, {608, F::Only32Bit}, {503, F::Only32Bit}, {608, R::FirstWord}, false, 0, 773, "Zeit- oder triggergesteurte Ausgabe (0 - zeitsynchron, 1 - triggersynchron)"},
    {609, "INC2FACTOR", 777, "", S::Whole, V::Only32Bit, F::Only32Bit, {609, F::Only32Bit}, {502, F::Only32Bit}, {609, R::FirstWord}, false, 25, 774, "Skalierungsfaktor für Standardimpulsausgang (V in Impulse pro mm)"},
    {610, "INC2HOLD", 777, "", S::Whole, V::Only32Bit, F::Only32Bit, {610, F::Only32Bit}, {505, F::Only32Bit}, {610, R::FirstWord}, false, 25, 0, nullptr},
    {611, "INC3ON", 778, "", S::Whole, V::Only32Bit, F::Only32Bit, {611, F::Only32Bit}, {601, F::Only32Bit}, {611, R::FirstWord}, false, 1, 771, "Impulsausgabe ein/aus (0 - aus, 1 - Standardimpulsausg. ein, 2 - hochauflösende Impulsausg. ein, 3 - alle Impulsausg. ein)"},
    {612, "INC3VALUE", 778, "", S::Whole, V::Only32Bit, F::Only32Bit, {612, F::Only32Bit}, {604, F::Only32Bit}, {612, R::FirstWord}, false, 0, 772, "Wert (V-Geschwindigkeit, R-Rate)"},
    {613, "INC3OUTPUT", 778, "", S::Whole, V::Only32Bit, F::Only32Bit, {613, F::Only32Bit}, {603, F::Only32Bit}, {613, R::FirstWord}, false, 0, 773, "Zeit- oder triggergesteurte Ausgabe (0 - zeitsynchron, 1 - triggersynchron)"},
    {614, "INC3FACTOR", 778, "", S::Whole, V::Only32Bit, F::Only32Bit, {614, F::Only32Bit}, {602, F::Only32Bit}, {614, R::FirstWord}, false, 25, 774, "Skalierungsfaktor für Standardimpulsausgang (V in Impulse pro mm)"},
    {615, "INC3HOLD", 778, "", S::Whole, V::Only32Bit, F::Only32Bit, {615, F::Only32Bit}, {605, F::Only32Bit}, {615, R::FirstWord}, false, 25, 0, nullptr},
    {701, "ECCON", 790, "", S::Whole, V::All, F::Any, {701, F::Any}, {801, F::Any}, {701, R::FirstWord}, false, 1, 791, "ECC-Steuerung ein/aus (0 - aus, 1 - ein)"},
    {702, "ECCR1", 790, "", S::Whole, V::All, F::Any, {702, F::Any}, {802, F::Any}, {702, R::FirstWord}, false, 0, 792, "Minimale Meßwertrate 1"},
    {703, "ECCR2", 790, "", S::Whole, V::All, F::Any, {703, F::Any}, {803, F::Any}, {703, R::FirstWord}, false, 0, 793, "Minimale Meßwertrate 2 (Wert muß immer größer ECCR1 sein)"},
    {704, "ECCV1", 790, "m/s", S::Whole, V::All, F::Any, {704, F::Any}, {804, F::Any}, {704, R::FirstWord}, false, 0, 794, "Minimale Geschwindigkeit 1"},
    {705, "ECCV2", 790, "m/s", S::Whole, V::All, F::Any, {705, F::Any}, {805, F::Any}, {705, R::FirstWord}, false, 0, 795, "Minimale Geschwindigkeit 2 (Wert muß immer größer ECCV1 sein)"},
};
// clang-format on

const QList<THeadingDef> kHeadings = {
    {712, "Allgemeine Parameter", 1},
    {717, "Timing Parameter", 1},
    {721, "Trigger und Längenmessung", 1},
    {725, "Raten Überwachung", 1},
    {730, "Systemparameter", 2},
    {750, "Serielle Schnittstelle 1", 3},
    {756, "Serielle Schnittstelle 2", 3},
    {770, "Impulsausgabe", 4},
    {780, "Analogausgabe", 5},
    {776, "Impulsausgabe 1", 6},
    {777, "Impulsausgabe 2", 6},
    {778, "Impulsausgabe 3", 6},
    {790, "ECC - Steuerung", 7},
};

const QHash<QString, const TParameterDef*>& KeyIndex() {
    static const QHash<QString, const TParameterDef*> index = [] {
        QHash<QString, const TParameterDef*> h;
        for (const TParameterDef& def : kCatalogue)
            if (*def.Key) h.insert(QString::fromLatin1(def.Key), &def);
        return h;
    }();
    return index;
}
} // namespace

QString TParameterDef::SlotName() const {
    return QStringLiteral("ed_%1_%2").arg(Group()).arg(Index());
}

const QList<TParameterDef>& ParameterCatalogue() {
    return kCatalogue;
}

const QList<THeadingDef>& ParameterHeadings() {
    return kHeadings;
}

const THeadingDef* FindHeading(int label) {
    for (const THeadingDef& h : kHeadings)
        if (h.Label == label) return &h;
    return nullptr;
}

const TParameterDef* FindParameter(int code) {
    for (const TParameterDef& def : kCatalogue)
        if (def.Code == code) return &def;
    return nullptr;
}

const TParameterDef* FindParameterKey(const QString& key) {
    return KeyIndex().value(key.toUpper());
}

std::optional<int> ParameterCode(const QString& slotName) {
    bool ok = false;
    const int group = slotName.mid(3, 1).toInt(&ok);
    if (!ok) return std::nullopt;
    const int index = slotName.mid(5).toInt(&ok);
    if (!ok) return std::nullopt;
    return index + 100 * group;
}

bool OnFirmware(TFirmware when, bool firmware32) {
    switch (when) {
    case TFirmware::Any:
        return true;
    case TFirmware::Only32Bit:
        return firmware32;
    case TFirmware::Other:
        return !firmware32;
    }
    return false;
}

QString EditorKeyForCode(int code) {
    const TParameterDef* def = FindParameter(code);
    return def ? QString::fromLatin1(def->Key) : QString();
}

QString KeyForCode(int code, bool firmware32) {
    const TParameterDef* def = FindParameter(code);
    return def && OnFirmware(def->KeyWhen, firmware32) ? QString::fromLatin1(def->Key) : QString();
}

namespace {
// The entries of one list column whose place fits the firmware, in order.
QList<const TParameterDef*> Listed(TListPlace TParameterDef::*column, bool firmware32) {
    QList<const TParameterDef*> defs;
    for (const TParameterDef& def : kCatalogue) {
        const TListPlace& place = def.*column;
        if (place.At > 0 && OnFirmware(place.When, firmware32)) defs << &def;
    }
    // The table is in code order: a stable sort keeps equal places by code.
    std::stable_sort(defs.begin(), defs.end(),
                     [column](auto* a, auto* b) { return (a->*column).At < (b->*column).At; });
    return defs;
}
} // namespace

QList<const TParameterDef*> SendOrder(bool firmware32) {
    return Listed(&TParameterDef::Send, firmware32);
}

QList<QList<const TParameterDef*>> SaveBlocks(bool firmware32) {
    QList<QList<const TParameterDef*>> blocks;
    int block = 0;
    for (const TParameterDef* def : Listed(&TParameterDef::Save, firmware32)) {
        if (blocks.isEmpty() || def->Save.At / 100 != block)
            blocks.append(QList<const TParameterDef*>());
        block = def->Save.At / 100;
        blocks.last() << def;
    }
    return blocks;
}

QList<const TParameterDef*> AutoUpdateOrder() {
    QList<const TParameterDef*> defs;
    for (const TParameterDef& def : kCatalogue)
        defs << &def;
    std::stable_sort(defs.begin(), defs.end(),
                     [](auto* a, auto* b) { return a->AutoUpdate.At < b->AutoUpdate.At; });
    return defs;
}

QString FormatKeyValue(const QString& key, const QString& value, bool padded) {
    if (key.isEmpty() || value.isEmpty()) return {};
    return padded ? QStringLiteral("%1 %2").arg(key, -13).arg(value)
                  : QStringLiteral("%1 %2").arg(key, value);
}
