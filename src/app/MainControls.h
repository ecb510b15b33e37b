// SPDX-License-Identifier: MIT
#pragma once

#include "FixedFont.h"
#include "HostTypes.h"

#include <QList>

class QAction;
class QMainWindow;
class QMenu;
class QPlainTextEdit;
class QRadioButton;
class QTabWidget;
class QToolBar;
class QWidget;
class TCustomComTerminal;
class TTermFindBar;
class TStatusPanelLabel;

// The controls of the main window, as its layout has them: the actions
// with their names, labels, shortcuts and icons, the menus, the tool bar
// with the Online/Offline buttons, the terminal and debug pages, and the
// five status panels. The window owns them (Qt parents); this holds the
// pointers, so that the window, and tests acting as a user, reach each
// control by its name.
struct TMainControls {
    // Creates every control in `window`, in its fixed layout.
    void Build(QMainWindow& window);
    // The actions that need a connected sensor.
    QList<QAction*> DeviceActions() const;

    TCustomComTerminal* ComTerminal = nullptr; // the terminal pane
    TTermFindBar* TerminalFind = nullptr;      // its search line, below it
    QTabWidget* Notebook = nullptr;
    QWidget* TerminalPage = nullptr;
    QWidget* DebugPage = nullptr;
    QPlainTextEdit* Memo_Rec = nullptr; // parameters read
    QPlainTextEdit* Memo_Par = nullptr; // parameters to write
    QRadioButton* rb_online = nullptr;
    QRadioButton* rb_offline = nullptr;
    QToolBar* ToolBar = nullptr;
    TStatusPanelLabel* Panels[StatusPanelCount] = {};

    QAction* Datei_Open = nullptr;
    QAction* Datei_Mitschnitt = nullptr;
    QAction* Datei_Parameter_lesen = nullptr;
    QAction* Datei_Parameter_schreiben = nullptr;
    QAction* Datei_Drucken = nullptr;
    QAction* Datei_beenden = nullptr;
    QAction* Datei_Bearbeiten = nullptr;
    QAction* Datei_UpdateFirmware = nullptr;
    QAction* Datei_senden = nullptr;
    QAction* Extras_Konfiguration_COM = nullptr;
    QAction* Extras_Terminal_Font = nullptr;
    QAction* Extras_Histogramm = nullptr;
    QAction* Extras_Optionen = nullptr;
    QAction* Extras_Konfiguration_Terminal = nullptr;
    QAction* Befehle_Info = nullptr;
    QAction* Befehle_Test = nullptr;
    QAction* Befehle_Tesystem = nullptr;
    QAction* Befehle_Video = nullptr;
    QAction* Befehle_Allgemein = nullptr;
    QAction* Befehle_System = nullptr;
    QAction* Befehle_Impuls = nullptr;
    QAction* Befehle_Analog = nullptr;
    QAction* Befehle_S1 = nullptr;
    QAction* Befehle_S2 = nullptr;
    QAction* Befehle_Alarm = nullptr;
    QAction* Befehle_ECC = nullptr;
    QAction* Befehle_Offline = nullptr;
    QAction* Befehle_Parameter_speichern = nullptr;
    QAction* Befehle_Parameter_restore = nullptr;
    QAction* Befehle_Esc = nullptr;
    QAction* Befehle_V = nullptr;
    QAction* Befehle_R = nullptr;
    QAction* Hilfe_Info = nullptr;
    QAction* Fenster_Parameter = nullptr;
    QAction* Fenster_Parameter2 = nullptr;
    QAction* Fenster_Grafik = nullptr;
    QAction* Fenster_Number = nullptr;
    QAction* Fenster_Debug = nullptr;
    QAction* Parameter_auslesen = nullptr;
    QAction* Parameter_testen = nullptr;
    QAction* Parameter_programmieren = nullptr;
    QAction* Parameter_speichern = nullptr;
    QAction* Parameter_oeffnen = nullptr;
    QAction* Parameter_vergleichen = nullptr;      // the editor's set against the sensor's
    QAction* Parameter_Serviceprotokoll = nullptr; // the connected sensor's service record

    QMenu* Menu_Datei = nullptr;
    QMenu* Menu_Parameter = nullptr;
    QMenu* Menu_Befehle = nullptr;
    QMenu* Menu_Extras = nullptr;
    QMenu* Menu_Fenster = nullptr;
    QMenu* Menu_Hilfe = nullptr;

private:
    void CreateActions(QMainWindow& window);
    void CreateMenus(QMainWindow& window);
    void CreateToolBar(QMainWindow& window);
    void CreatePages(QMainWindow& window);
    void CreateStatusBar(QMainWindow& window);
};
