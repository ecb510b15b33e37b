// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QObject;
class QTranslator;

// Label texts: every user-visible text is looked up by number in the label
// file, in German (key "D") or English (key "E"). A missing file, section
// or key never fails: it gives "KEY [n]".

// "D" for language 1, "E" for every other language number.
QString LanguageLetter(int language);

// Looks up label `number` in `language`. Empty or "KEY" results become
// "KEY [number]"; with `stripAmp` the first "&" (the accelerator mark) is
// removed.
QString LookupLabel(int language, int number, bool stripAmp);

// Lookups in the current language: LabelText drops the first "&" (for
// messages, captions of windows, panels and hints), RawLabelText keeps it
// (for menu items, actions, buttons, labels and groups).
QString LabelText(int number);
QString RawLabelText(int number);
// LabelText, or `fallback` where the label file has no such label: for
// texts a program cannot do without (list items, format patterns).
QString LabelTextOr(int number, const QString& fallback);
// The items of a list from one label, separated by "|"; the English items
// (same form) where the label is missing or has another number of items.
QStringList LabelItems(int number, const char* english);

// The language that LabelText and RawLabelText use.
void SetCurrentLanguage(int language);
int CurrentLanguage();

// Qt's own texts (the buttons of message boxes, the standard dialogs, the
// serial port's error texts) in the current language: the translators
// installed before are removed, and those of the current language (owned
// by `owner`) installed and returned.
QList<QTranslator*> InstallQtTranslations(QObject* owner, const QList<QTranslator*>& installed);

// Where the label file is read from. By default the program's own path
// with ".lab" appended to its base name (orxterm reads orxterm.lab beside
// it); when that file is absent, the installed copy under
// <prefix>/share/orxterm/.
QString LabelFilePath();
void SetLabelFilePath(const QString& path);
QString DefaultLabelFilePath();
