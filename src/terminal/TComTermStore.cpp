// SPDX-License-Identifier: MIT
// Settings persistence of the terminal: two groups of values in the
// QSettings group that bears the control's objectName().
#include "TCustomComTerminal.h"

#include <QFontInfo>
#include <QSettings>

namespace {
// Keys, in the order in which they are written and read.
const char* const KeyLocalEcho = "LocalEcho";
const char* const KeySendLF = "SendLF";
const char* const KeyWrapLines = "WrapLines";
const char* const KeyForce7Bit = "Force7Bit";
const char* const KeyAppendLF = "AppendLF";
const char* const KeyCaret = "Caret";
const char* const KeyEmulation = "Emulation";
const char* const KeyArrowKeys = "ArrowKeys";
const char* const KeyColumns = "Columns";
const char* const KeyRows = "Rows";
const char* const KeyFont = "Font";
const char* const KeyFontSize = "FontSize";

QString GroupName(const QObject& owner) {
    return owner.objectName().isEmpty() ? QStringLiteral("ComTerminal") : owner.objectName();
}

// Reads an integer; false (and value untouched) when missing or not a number.
bool ReadInt(const QSettings& s, const char* key, int& value) {
    const QVariant v = s.value(QLatin1String(key));
    if (!v.isValid()) return false;
    bool ok = false;
    const int n = v.toString().trimmed().toInt(&ok);
    if (ok) value = n;
    return ok;
}

bool ReadBool(const QSettings& s, const char* key, bool& value) {
    const QVariant v = s.value(QLatin1String(key));
    if (!v.isValid()) return false;
    const QString t = v.toString().trimmed().toLower();
    if (t == u"true" || t == u"1")
        value = true;
    else if (t == u"false" || t == u"0")
        value = false;
    else
        return false;
    return true;
}

template <class E> void ReadEnum(const QSettings& s, const char* key, int count, E& value) {
    int n = 0;
    if (ReadInt(s, key, n) && n >= 0 && n < count) value = E(n);
}
} // namespace

bool TCustomComTerminal::Store(QSettings& s) const {
    s.beginGroup(GroupName(*this));
    if (FStoredProps & spBasic) {
        s.setValue(KeyLocalEcho, int(FLocalEcho));
        s.setValue(KeySendLF, int(FSendLF));
        s.setValue(KeyWrapLines, int(WrapLines()));
        s.setValue(KeyForce7Bit, int(FForce7Bit));
        s.setValue(KeyAppendLF, int(FAppendLF));
        s.setValue(KeyCaret, int(FCaret));
        s.setValue(KeyEmulation, int(FEmulation));
        s.setValue(KeyArrowKeys, int(FArrowKeys));
        s.setValue(KeyColumns, Columns());
        s.setValue(KeyRows, Rows());
    }
    if (FStoredProps & spFont) {
        s.setValue(KeyFont, font().family());
        s.setValue(KeyFontSize,
                   font().pointSize() > 0 ? font().pointSize() : QFontInfo(font()).pointSize());
        s.setValue(KeyCaret, int(FCaret));
        s.setValue(KeyColumns, Columns());
        s.setValue(KeyRows, Rows());
    }
    s.endGroup();
    s.sync();
    return s.status() == QSettings::NoError;
}

void TCustomComTerminal::Load(QSettings& s) {
    s.beginGroup(GroupName(*this));
    TComTermSettings t = Settings();
    if (FStoredProps & spBasic) {
        ReadBool(s, KeyLocalEcho, t.LocalEcho);
        ReadBool(s, KeySendLF, t.SendLF);
        ReadBool(s, KeyWrapLines, t.WrapLines);
        ReadBool(s, KeyForce7Bit, t.Force7Bit);
        ReadBool(s, KeyAppendLF, t.AppendLF);
        ReadEnum(s, KeyCaret, 3, t.Caret);
        ReadEnum(s, KeyEmulation, 3, t.Emulation);
        ReadEnum(s, KeyArrowKeys, 2, t.ArrowKeys);
        ReadInt(s, KeyColumns, t.Columns);
        ReadInt(s, KeyRows, t.Rows);
    }
    if (FStoredProps & spFont) {
        QFont f = font();
        const QVariant family = s.value(QLatin1String(KeyFont));
        if (family.isValid() && !family.toString().isEmpty()) f.setFamily(family.toString());
        int size = 0;
        if (ReadInt(s, KeyFontSize, size) && size > 0) f.setPointSize(size);
        if (f != font()) setFont(f);
        ReadEnum(s, KeyCaret, 3, t.Caret);
        ReadInt(s, KeyColumns, t.Columns);
        ReadInt(s, KeyRows, t.Rows);
    }
    s.endGroup();
    // Columns and Rows go through the screen's limits.
    ApplySettings(t);
}
