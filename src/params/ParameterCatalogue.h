// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>

#include <optional>

// The catalogue of the sensor parameters that ORXTERM knows: for each
// editor slot ed_<group>_<index> its code (100 x group + index), its key,
// the heading it stands under, its unit, how its value is taken from a
// "KEY value" line, which sensors have it, where it stands in the lists
// that the writers and Auto Update go through, and its hint (a label
// number and the built-in German description used where the label file
// has none). Reading, parameter files, writing and the editor all work
// from this one table: a new parameter is one row here (and its label).
// Values are text: ranges and formats are the sensor's.

// How the value of a "KEY value" line goes into the slots.
enum class TValueShape {
    FirstWord,  // the text up to the first blank
    ThreeWords, // INCFACTOR: three words into slots 404, 405, 406
    Whole,      // the whole rest, inner blanks included
    None,       // 405, 406: filled by INCFACTOR only
};

// Which sensors have a parameter.
enum class TSensorVariant {
    All,
    Only32Bit,      // only with 32-bit firmware (slot shown only then)
    Only32BitShown, // only with 32-bit firmware, slot always shown (OUT0LEVEL)
    Other,          // only without 32-bit firmware
};

// On which firmware a parameter takes part in a list or has its key.
enum class TFirmware {
    Any,
    Only32Bit, // only with 32-bit firmware
    Other,     // only without 32-bit firmware
};

// True when `when` includes the sensor's firmware.
bool OnFirmware(TFirmware when, bool firmware32);

// A parameter's place in one of the writers' lists: a list holds the
// parameters whose At is above 0 and whose When fits the firmware, sorted
// by At (equal places by code). The hundreds of a place in the file are
// its block.
struct TListPlace {
    int At;
    TFirmware When;
};

// How Auto Update takes the value the sensor answers back.
enum class TReadBack {
    FirstWord, // the text up to the first blank
    Whole,     // the whole reply (the format and interface texts)
};

// A slot's place in the order in which ticking Auto Update goes through
// the slots (sorted by At, equal places by code), and how its value is
// read back.
struct TAutoUpdatePlace {
    int At;
    TReadBack ReadBack;
};

struct TParameterDef {
    int Code;
    const char* Key; // empty for 405 and 406
    int Heading;     // label number of the heading it stands under
    const char* Unit;
    TValueShape Shape;
    TSensorVariant Sensors;
    TFirmware KeyWhen;           // when KeyForCode gives the key
    TListPlace Send;             // in the set sent from the editor
    TListPlace Save;             // in the file saved from the editor
    TAutoUpdatePlace AutoUpdate; // in ticking Auto Update, and its read-back
    bool Fixed;                  // a factory value: its slot is never editable
    int MaxLength;               // input limit of the slot, 0 = none
    int Label;                   // label of its hint, 0 = none
    const char* Description;     // built-in hint (German), nullptr = none

    int Group() const { return Code / 100; }
    int Index() const { return Code % 100; }
    QString SlotName() const;
};

// A heading of the editor: its label number, built-in caption and group.
struct THeadingDef {
    int Label;
    const char* Caption;
    int Group;
};

// All entries in code order.
const QList<TParameterDef>& ParameterCatalogue();
const QList<THeadingDef>& ParameterHeadings();
const THeadingDef* FindHeading(int label);

// The entry of a code or of a key (without regard to case), or nullptr.
const TParameterDef* FindParameter(int code);
const TParameterDef* FindParameterKey(const QString& key);

// The code of a slot name ed_<group>_<index>: the 4th character is the
// group digit, the rest from the 6th character the index. Names that do
// not fit (such as ed_typ) have none.
std::optional<int> ParameterCode(const QString& slotName);

// The key for a code as the writers use it: the pulse-output keys follow
// the firmware (KeyWhen: 401-404 only without, 601-615 only with 32-bit
// firmware), 405 and 406 have none, codes outside the table have none.
QString KeyForCode(int code, bool firmware32);
// The editor's own mapping (Auto Update): the same without the firmware
// condition.
QString EditorKeyForCode(int code);

// The lists built from the places of the table; in them the INCFACTOR
// entry (shape ThreeWords) stands for the line of its three slots.
//
// The parameters sent from the editor, in order.
QList<const TParameterDef*> SendOrder(bool firmware32);
// The blocks of parameters saved from the editor, in order; a block with
// no parameter for this firmware is left out.
QList<QList<const TParameterDef*>> SaveBlocks(bool firmware32);
// Every slot in the order of ticking Auto Update.
QList<const TParameterDef*> AutoUpdateOrder();

// "KEY value" (plain) or the key padded to 13 characters, a blank and the
// value (padded); empty when key or value is empty.
QString FormatKeyValue(const QString& key, const QString& value, bool padded);

// The catalogue's built-in texts of the editor.
inline constexpr int HeadingOutputs = 727; // "Aktive Ausgänge"
