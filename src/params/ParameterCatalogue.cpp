// SPDX-License-Identifier: MIT
#include "ParameterCatalogue.h"

#include <QHash>

namespace {
// clang-format off
const QList<TParameterDef> kCatalogue = {
    {101, "AVERAGE", 717, "ms", TValueShape::FirstWord, TSensorVariant::All, 718, "Mittelungszeit für Geschwindigkeitsmessung und Ratenberechnung", 0},
    {102, "CALFACTOR", 712, "", TValueShape::Whole, TSensorVariant::All, 716, "Kalibrierfaktor (Wert nahe 1.000)", 0},
    {103, "CHOLD", 721, "", TValueShape::Whole, TSensorVariant::All, 723, "Halten der Belichtung wenn Triggersignal an IN2 nicht aktiv (CHOLD = 1, Standard ist CHOLD = 0)", 0},
    {104, "DIRECTION", 712, "", TValueShape::Whole, TSensorVariant::All, 713, "Richtungseinstellung (siehe Anwenderhandbuch)", 0},
    {105, "VMAX", 712, "m/s", TValueShape::FirstWord, TSensorVariant::All, 714, nullptr, 0},
    {106, "HOLDTIME", 717, "ms", TValueShape::FirstWord, TSensorVariant::All, 720, "Haltezeit für Geschwindigkeit bei Signalausfällen", 0},
    {107, "MINRATE", 725, "", TValueShape::Whole, TSensorVariant::All, 726, "Ratenüberwachung (0 - aus, 5 bis 50 - ein; nur bei ausgeschalteter ECC-Steuerung)", 0},
    {108, "SIGNALERROR", 721, "", TValueShape::Whole, TSensorVariant::All, 724, "Verhalten bei Signalausfall (0 - Geschwindigkeit Null erlaubt, 1 - Null und Signalausfälle sind nicht erlaubt)", 0},
    {109, "TRIGGER", 721, "", TValueShape::Whole, TSensorVariant::All, 722, "Pegel/Flanke des Triggersignals an IN2 (siehe Anwenderhandbuch)", 0},
    {110, "WINDOW", 717, "", TValueShape::Whole, TSensorVariant::All, 719, nullptr, 0},
    {111, "TRACKING", 712, "", TValueShape::Whole, TSensorVariant::All, 715, nullptr, 0},
    {112, "OUT0LEVEL", 712, "", TValueShape::Whole, TSensorVariant::Only32BitShown, 0, nullptr, 0},
    {201, "AMPLIFIER", 730, "", TValueShape::Whole, TSensorVariant::All, 731, "Maximalen Verstärkung bei der NF-Regelung", 0},
    {202, "CONSTANT", 730, "", TValueShape::Whole, TSensorVariant::All, 732, "Systemkonstante (Werkskalibrierung)", 0},
    {203, "CONTROLT", 730, "s", TValueShape::FirstWord, TSensorVariant::All, 733, "Festlegung der Regelgeschwindigkeit bei Untersteuerung (meist 0.05 bis 0.15 ms)", 0},
    {204, "INTTIME", 730, "", TValueShape::Whole, TSensorVariant::All, 734, "Integrationszeit der CCD-Zeile (meist Automatik: INTTIME 15 )", 0},
    {205, "PMIN", 730, "", TValueShape::Whole, TSensorVariant::All, 735, "Minimale Periodenzahl (meist 7)", 0},
    {206, "PMAX", 730, "", TValueShape::Whole, TSensorVariant::All, 736, "Maximale Periodenzahl", 0},
    {207, "RMIN", 730, "", TValueShape::Whole, TSensorVariant::All, 737, "Regelbereich auf eine minimale Integrationszeit begrenzen (nur bei INTTIME 15; meist 0)", 0},
    {208, "RMAX", 730, "", TValueShape::Whole, TSensorVariant::All, 738, "Regelbereich auf eine maximale Integrationszeit begrenzen (nur bei INTTIME 15)", 0},
    {209, "LAMP", 730, "", TValueShape::Whole, TSensorVariant::All, 739, "Lampenspannung einstellen (Automatik: LAMP 31)", 0},
    {210, "LMIN", 730, "", TValueShape::Whole, TSensorVariant::All, 740, "Minimale Lampenspannung bei Regelung begrenzen (nur bei LAMP 31; meist 0)", 0},
    {211, "LMAX", 730, "", TValueShape::Whole, TSensorVariant::All, 741, "Maximale Lampenspannung bei Regelung begrenzen (nur bei LAMP 31; meist 30)", 0},
    {212, "PPM", 730, "", TValueShape::Whole, TSensorVariant::Only32Bit, 742, nullptr, 0},
    {213, "EPSILON", 730, "%", TValueShape::FirstWord, TSensorVariant::Only32Bit, 743, nullptr, 0},
    {214, "FB2TYPE", 730, "", TValueShape::FirstWord, TSensorVariant::Only32Bit, 743, nullptr, 0},
    {215, "BW", 730, "", TValueShape::FirstWord, TSensorVariant::Only32Bit, 743, nullptr, 0},
    {216, "OED", 730, "", TValueShape::FirstWord, TSensorVariant::Only32Bit, 743, nullptr, 0},
    {301, "S1ON", 750, "", TValueShape::Whole, TSensorVariant::All, 751, "S1-Ausgabe (0 - aus, 1 - ein)", 0},
    {302, "S1FORMAT", 750, "", TValueShape::Whole, TSensorVariant::All, 752, "Ausgabeformat (z.B. V*60:6:3' m/min')", 30},
    {303, "S1INTERFACE", 750, "", TValueShape::Whole, TSensorVariant::All, 753, "Einstellung der seriellen Schnittstelle (muß Extras|Optionen entsprechen)", 0},
    {304, "S1OUTPUT", 750, "", TValueShape::Whole, TSensorVariant::All, 754, "Zeit- oder triggergesteurte Ausgabe (0 - zeitsynchron, 1 - triggersynchron)", 0},
    {305, "S1TIME", 750, "ms", TValueShape::FirstWord, TSensorVariant::All, 755, "Ausgabezeit (nur bei zeitsynchroner Ausgabe)", 0},
    {306, "S2ON", 756, "", TValueShape::Whole, TSensorVariant::All, 757, "S2-Ausgabe (0 - aus, 1 - ein)", 0},
    {307, "S2FORMAT", 756, "", TValueShape::Whole, TSensorVariant::All, 758, "Ausgabeformat (z.B. V*60:6:3' m/min')", 30},
    {308, "S2INTERFACE", 756, "", TValueShape::Whole, TSensorVariant::All, 759, "Einstellung der zweiten seriellen Schnittstelle", 0},
    {309, "S2OUTPUT", 756, "", TValueShape::Whole, TSensorVariant::All, 760, "Zeit- oder triggergesteurte Ausgabe (0 - zeitsynchron, 1 - triggersynchron)", 0},
    {310, "S2TIME", 756, "ms", TValueShape::FirstWord, TSensorVariant::All, 761, "Ausgabezeit (nur bei zeitsynchroner Ausgabe)", 0},
    {311, "S1ADDRESS", 750, "", TValueShape::Whole, TSensorVariant::Only32Bit, 762, nullptr, 0},
    {312, "S2ADDRESS", 756, "", TValueShape::Whole, TSensorVariant::Only32Bit, 763, nullptr, 0},
    {401, "INCON", 770, "", TValueShape::Whole, TSensorVariant::Other, 771, "Impulsausgabe ein/aus (0 - aus, 1 - Standardimpulsausg. ein, 2 - hochauflösende Impulsausg. ein, 3 - alle Impulsausg. ein)", 1},
    {402, "INCVALUE", 770, "", TValueShape::Whole, TSensorVariant::Other, 772, "Wert (V-Geschwindigkeit, R-Rate)", 0},
    {403, "INCOUTPUT", 770, "", TValueShape::Whole, TSensorVariant::Other, 773, "Zeit- oder triggergesteurte Ausgabe (0 - zeitsynchron, 1 - triggersynchron)", 0},
    {404, "INCFACTOR", 770, "", TValueShape::ThreeWords, TSensorVariant::Other, 774, "Skalierungsfaktor für Standardimpulsausgang (V in Impulse pro mm)", 25},
    {405, "", 770, "", TValueShape::None, TSensorVariant::Other, 775, "Skalierungsfaktor für hochauhlösenden Impulsausgang (Impulse pro mm)", 25},
    {406, "", 770, "", TValueShape::None, TSensorVariant::Other, 775, "Skalierungsfaktor für hochauhlösenden Impulsausgang (Impulse pro mm)", 25},
    {501, "ANON", 780, "", TValueShape::Whole, TSensorVariant::All, 781, "Analogausgabe ein/aus (0 - aus, 1 - ein)", 1},
    {502, "ANVALUE", 780, "", TValueShape::Whole, TSensorVariant::All, 782, "Art des Wertes (V-Geschwindigkeit, R-Rate)", 0},
    {503, "ANOUTPUT", 780, "", TValueShape::Whole, TSensorVariant::All, 783, "Zeit- oder triggergesteurte Ausgabe (0 - zeitsynchron, 1 - triggersynchron)", 0},
    {504, "ANMIN", 780, "", TValueShape::Whole, TSensorVariant::All, 784, "Minimalwert", 0},
    {505, "ANMAX", 780, "", TValueShape::Whole, TSensorVariant::All, 785, "Maximalwert", 0},
    {601, "INC1ON", 776, "", TValueShape::Whole, TSensorVariant::Only32Bit, 771, "Impulsausgabe ein/aus (0 - aus, 1 - Standardimpulsausg. ein, 2 - hochauflösende Impulsausg. ein, 3 - alle Impulsausg. ein)", 1},
    {602, "INC1VALUE", 776, "", TValueShape::Whole, TSensorVariant::Only32Bit, 772, "Wert (V-Geschwindigkeit, R-Rate)", 0},
    {603, "INC1OUTPUT", 776, "", TValueShape::Whole, TSensorVariant::Only32Bit, 773, "Zeit- oder triggergesteurte Ausgabe (0 - zeitsynchron, 1 - triggersynchron)", 0},
    {604, "INC1FACTOR", 776, "", TValueShape::Whole, TSensorVariant::Only32Bit, 774, "Skalierungsfaktor für Standardimpulsausgang (V in Impulse pro mm)", 25},
    {605, "INC1HOLD", 776, "", TValueShape::Whole, TSensorVariant::Only32Bit, 0, nullptr, 25},
    {606, "INC2ON", 777, "", TValueShape::Whole, TSensorVariant::Only32Bit, 771, "Impulsausgabe ein/aus (0 - aus, 1 - Standardimpulsausg. ein, 2 - hochauflösende Impulsausg. ein, 3 - alle Impulsausg. ein)", 1},
    {607, "INC2VALUE", 777, "", TValueShape::Whole, TSensorVariant::Only32Bit, 772, "Wert (V-Geschwindigkeit, R-Rate)", 0},
    {608, "INC2OUTPUT", 777, "", TValueShape::Whole, TSensorVariant::Only32Bit, 773, "Zeit- oder triggergesteurte Ausgabe (0 - zeitsynchron, 1 - triggersynchron)", 0},
    {609, "INC2FACTOR", 777, "", TValueShape::Whole, TSensorVariant::Only32Bit, 774, "Skalierungsfaktor für Standardimpulsausgang (V in Impulse pro mm)", 25},
    {610, "INC2HOLD", 777, "", TValueShape::Whole, TSensorVariant::Only32Bit, 0, nullptr, 25},
    {611, "INC3ON", 778, "", TValueShape::Whole, TSensorVariant::Only32Bit, 771, "Impulsausgabe ein/aus (0 - aus, 1 - Standardimpulsausg. ein, 2 - hochauflösende Impulsausg. ein, 3 - alle Impulsausg. ein)", 1},
    {612, "INC3VALUE", 778, "", TValueShape::Whole, TSensorVariant::Only32Bit, 772, "Wert (V-Geschwindigkeit, R-Rate)", 0},
    {613, "INC3OUTPUT", 778, "", TValueShape::Whole, TSensorVariant::Only32Bit, 773, "Zeit- oder triggergesteurte Ausgabe (0 - zeitsynchron, 1 - triggersynchron)", 0},
    {614, "INC3FACTOR", 778, "", TValueShape::Whole, TSensorVariant::Only32Bit, 774, "Skalierungsfaktor für Standardimpulsausgang (V in Impulse pro mm)", 25},
    {615, "INC3HOLD", 778, "", TValueShape::Whole, TSensorVariant::Only32Bit, 0, nullptr, 25},
    {701, "ECCON", 790, "", TValueShape::Whole, TSensorVariant::All, 791, "ECC-Steuerung ein/aus (0 - aus, 1 - ein)", 1},
    {702, "ECCR1", 790, "", TValueShape::Whole, TSensorVariant::All, 792, "Minimale Meßwertrate 1", 0},
    {703, "ECCR2", 790, "", TValueShape::Whole, TSensorVariant::All, 793, "Minimale Meßwertrate 2 (Wert muß immer größer ECCR1 sein)", 0},
    {704, "ECCV1", 790, "m/s", TValueShape::Whole, TSensorVariant::All, 794, "Minimale Geschwindigkeit 1", 0},
    {705, "ECCV2", 790, "m/s", TValueShape::Whole, TSensorVariant::All, 795, "Minimale Geschwindigkeit 2 (Wert muß immer größer ECCV1 sein)", 0},
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

QString EditorKeyForCode(int code) {
    const TParameterDef* def = FindParameter(code);
    return def ? QString::fromLatin1(def->Key) : QString();
}

QString KeyForCode(int code, bool firmware32) {
    if (code >= 401 && code <= 404 && firmware32) return {};
    if (code >= 601 && code <= 615 && !firmware32) return {};
    return EditorKeyForCode(code);
}

QString FormatKeyValue(const QString& key, const QString& value, bool padded) {
    if (key.isEmpty() || value.isEmpty()) return {};
    return padded ? QStringLiteral("%1 %2").arg(key, -13).arg(value)
                  : QStringLiteral("%1 %2").arg(key, value);
}
