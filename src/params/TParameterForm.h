// SPDX-License-Identifier: MIT
#pragma once

#include "ParameterFileHeader.h"
#include "THost.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QSet>
#include <QWidget>

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTabWidget;
class TParameterReader;
struct TParameterDef;

// Parameter editor: one edit slot per catalogue entry; the slots are the
// parameter set, there is no other copy of it. Shown without blocking the
// main window; each showing identifies the sensor again.
//
// Change marks: a slot whose text changes turns red (and its heading with
// it) while the marking flag is set; values the program puts in are made
// normal again by ResetChangeMarks. Auto Update sends a slot's value when
// the focus leaves it after the user edited it, reads it back and puts the
// sensor's answer into the slot. Exchanges never overlap: a slot left
// while another one's exchange waits for its reply is queued and sent
// after it.
class TParameterForm : public QWidget {
    Q_OBJECT
public:
    TParameterForm(THost& host, QWidget* parent = nullptr);
    ~TParameterForm() override;

    // Binds the bottom buttons to the main window's actions (caption, hint
    // and enabled state follow the action), and their shortcuts to this
    // window: Auslesen, Testen, Programmieren, Speichern, Parameterdatei
    // öffnen.
    void BindActions(QAction* read, QAction* test, QAction* program, QAction* save, QAction* open,
                     QAction* compare = nullptr);

    TParameterReader& Reader() const { return *m_reader; }
    QAction* ReadAction() const { return m_readAction; }

    // --- The parameter set ----------------------------------------------------
    QLineEdit* Slot(int code) const { return m_slots.value(code); }
    QList<QLineEdit*> Slots() const { return m_slotList; }
    QString Value(int code) const;
    // Empties every slot; serial number and version become "?".
    void ClearParameters();
    // Applies one "KEY value" pair: the value into the key's slot(s) as the
    // catalogue takes it, the output overview, the type and place lookup.
    void SetParameterValue(const QString& key, const QString& value);
    // Every slot and heading back to the normal colour.
    void ResetChangeMarks();
    // The pulse-output tab and the 32-bit slots of the model.
    void ShowModelControls(bool firmware32);
    // The line of one slot for the sensor or a file ("KEY value", the key
    // padded to 13 characters when `padded`); empty without a link, key or
    // value. The INCFACTOR line carries the values of slots 404-406.
    QString FormatParameterLine(int code, bool padded) const;
    QString FormatFactorLine(bool padded) const;
    // The same lines whether or not a link is open (for files).
    QString FormatSlotLine(int code, bool padded) const;
    QString FormatSlotFactorLine(bool padded) const;
    // The header fields of a parameter file: serial number, software,
    // place, remarks and type.
    void ShowHeader(const TParameterFileHeader& header);
    // The sensor whose set the editor holds (read from it, written to it,
    // or named by the file loaded); empty for none. While another sensor
    // is connected, a warning above the slots says whose the values are.
    void SetOwner(const QString& serialNumber);
    QString Owner() const { return m_owner; }
    // The warning's text; empty while it is not shown.
    QString OtherSensorWarning() const;

    // --- What the set holds beyond the slots --------------------------------------
    // The identity line of a set loaded from a file ("REM ORX 9 ... 32bit"),
    // written again when the set is saved; empty for a set read from the
    // sensor, whose INFO lines are among the remarks.
    QString IdentityLine() const { return m_identityLine; }
    void SetIdentityLine(const QString& line) { m_identityLine = line; }
    // Parameters of the set that the editor has no slot for (keys the
    // sensor reports that the catalogue does not know), as "KEY value",
    // kept so that a saved file holds all that was read.
    QStringList ExtraLines() const { return m_extraLines; }
    // Takes them from the lines of a READ reply or a file: every line
    // whose first word is a key word (capitals and digits) that is no
    // catalogue key and no header word.
    void KeepExtraLines(const QStringList& lines);

    // --- Marks and states as tests see them ---------------------------------------
    bool IsMarked(int code) const;                     // the slot's text is red
    bool HeadingMarked(int label) const;               // the heading's text is red
    bool OutputActive(const QString& labelName) const; // lb_Impulsausgang1, ...
    QLabel* Heading(int label) const { return m_headings.value(label); }
    QString SerialNumberText() const;
    QString SoftwareVersionText() const;
    QCheckBox* cb_AutoUpdate = nullptr;
    QTabWidget* pc_parameter = nullptr;
    QLineEdit* ed_typ = nullptr;
    QLineEdit* ed_standort = nullptr;
    QPlainTextEdit* Memo_bemerkung = nullptr;
    // True while an Auto Update exchange runs.
    bool Exchanging() const { return m_exchanging; }

    // --- Type and place from the parameter files --------------------------------------
    // The headers of the parameter files last scanned; the newest file of
    // the sensor's serial number supplies type and place.
    void SetParameterFileHeaders(const QList<TParameterFileHeader>& headers);

    // The editor's side of the window events (public for tests).
    void FormShow();
    void SlotExit(QLineEdit* slot);
    void AutoUpdateClicked(bool checked);
    void SystemHeadingDoubleClicked();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateTopStrip();
    QWidget* CreateParameterTab();
    QWidget* CreateGroupTab(const QList<QList<int>>& columns);
    QWidget* CreateInfoTab();
    QWidget* CreateOutputOverview();
    QWidget* CreateHeadingBlock(int headingLabel);
    void AddSlotRow(class QGridLayout* grid, int row, int column, const TParameterDef& def);
    void CreateBottomStrip();
    void SlotChanged(QLineEdit* slot);
    void MarkSlot(QLineEdit* slot);
    void SetOutput(const QString& labelName, bool on);
    void OutputsFromValue(const QString& key, const QString& value, bool fromAutoUpdate,
                          bool firstWord);
    void LookUpTypeAndPlace();
    void ExchangeSlot(QLineEdit* slot);
    void ShowIdentity(const TSensorIdentity& identity);
    void ShowOwnerWarning();
    // System slots read-only or editable (the fixed ones, CONSTANT and
    // FB2TYPE, always read-only); `shaded` gives read-only ones the
    // button-face background.
    void SetSystemSlotsReadOnly(bool readOnly, bool shaded);

    THost& m_host;
    TParameterReader* m_reader = nullptr;
    QAction* m_readAction = nullptr;
    QHash<int, QLineEdit*> m_slots;           // by code
    QList<QLineEdit*> m_slotList;             // in code order
    QHash<QLineEdit*, int> m_codes;           // slot -> code
    QHash<int, QLabel*> m_headings;           // by label number
    QHash<int, QList<QWidget*>> m_rowWidgets; // code -> caption, edit and unit of its row
    QHash<QString, QLabel*> m_outputs;        // output overview by name
    QSet<QLineEdit*> m_edited;                // edited by the user since the program set it
    QList<QLineEdit*> m_exchangeQueue;        // slots left during an exchange
    QLabel* lb_seriennummer = nullptr;
    QLabel* lb_softwareversion = nullptr;
    QLabel* lb_otherSensor = nullptr; // the set belongs to another sensor
    QString m_owner;
    QWidget* m_pulseTab = nullptr;   // group 4
    QWidget* m_pulse32Tab = nullptr; // group 6
    QList<QLineEdit*> m_systemSlots;
    // Type and place of the newest parameter file, by serial number.
    QHash<QString, QPair<QString, QString>> m_newestFiles;
    QString m_identityLine;
    QStringList m_extraLines;
    bool m_marking = true;
    bool m_exchanging = false;
    bool m_programSetting = false;
};
