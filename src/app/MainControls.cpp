// SPDX-License-Identifier: MIT
// The main window's controls: actions, menus, tool bar, pages and status
// panels, built in the window's fixed layout.
#include "MainControls.h"

#include "FixedFont.h"
#include "StatusPanelLabel.h"
#include "TCustomComTerminal.h"
#include "TTermFindBar.h"
#include "Tag.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QIcon>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

namespace {
// One action of the main window: its member, name, label (0 = none, the
// fixed caption is used), shortcut, icon and whether it needs a sensor.
struct TActionDef {
    QAction* TMainControls::*member;
    const char* name;
    int label;
    QKeySequence shortcut;
    const char* caption; // shown until the labels are applied, and for untagged actions
    const char* themeIcon;
    const char* icon;
};

QIcon ActionIcon(const char* themeName, const char* resource) {
    if (!resource) return {};
    const QIcon own(QString::fromLatin1(":/icons/%1.svg").arg(QLatin1String(resource)));
    if (themeName && QIcon::hasThemeIcon(QLatin1String(themeName)))
        return QIcon::fromTheme(QLatin1String(themeName), own);
    return own;
}

QKeySequence Keys(QKeyCombination combination) {
    return QKeySequence(combination);
}

// Least widths, alignment and names of the five status panels. A panel
// grows to its text where the bar has room; the link description and the
// addresses get their usual texts' room, COM Status (empty most of the
// time) gives way, and Socket Status takes what is left.
struct TPanelDef {
    int width;
    Qt::Alignment alignment;
    const char* name;
};
constexpr TPanelDef kPanels[StatusPanelCount] = {
    {190, Qt::AlignCenter, "COM Port"},
    {80, Qt::AlignLeft | Qt::AlignVCenter, "COM Status"},
    {30, Qt::AlignCenter, "TCP Counter"},
    {140, Qt::AlignCenter, "IP:Port"},
    {200, Qt::AlignLeft | Qt::AlignVCenter, "Socket Status"},
};
} // namespace

void TMainControls::Build(QMainWindow& window) {
    CreateActions(window);
    CreateMenus(window);
    CreateToolBar(window);
    CreatePages(window);
    CreateStatusBar(window);
}

void TMainControls::CreateActions(QMainWindow& window) {
    using M = TMainControls;
    const QKeySequence none;
    // Every action starts enabled, as the window definition has it, except
    // the three parameter actions that need a parameter set first.
    const TActionDef defs[] = {
        {&M::Datei_Open, "Datei_Open", 0, Keys(QKeyCombination(Qt::Key_F9)), "Open/close port",
         nullptr, nullptr},
        {&M::Datei_Mitschnitt, "Datei_Mitschnitt", 11, Keys(Qt::CTRL | Qt::Key_M), "&Mitschnitt",
         "media-record", "record"},
        {&M::Datei_Parameter_lesen, "Datei_Parameter_lesen", 13, Keys(QKeyCombination(Qt::Key_F2)),
         "Parameter lesen", nullptr, "param-read"},
        {&M::Datei_Parameter_schreiben, "Datei_Parameter_schreiben", 14,
         Keys(QKeyCombination(Qt::Key_F3)), "Parameter schreiben", nullptr, "param-write"},
        {&M::Datei_Drucken, "Datei_Drucken", 15, Keys(Qt::CTRL | Qt::Key_P), "Drucken",
         "document-print", "print"},
        {&M::Datei_beenden, "Datei_beenden", 16, Keys(Qt::ALT | Qt::Key_X), "Beenden",
         "application-exit", "exit"},
        {&M::Datei_Bearbeiten, "Datei_Bearbeiten", 17, Keys(Qt::CTRL | Qt::Key_E),
         "Datei bearbeiten", "accessories-text-editor", "edit"},
        {&M::Datei_UpdateFirmware, "Datei_UpdateFirmware", 18, Keys(Qt::CTRL | Qt::Key_U),
         "Update Firmware", nullptr, nullptr},
        {&M::Datei_senden, "Datei_senden", 19, Keys(Qt::CTRL | Qt::Key_S), "Datei senden", nullptr,
         nullptr},
        {&M::Extras_Konfiguration_COM, "Extras_Konfiguration_COM", 21, Keys(Qt::CTRL | Qt::Key_C),
         "Konfiguration COM", nullptr, "com-config"},
        {&M::Extras_Terminal_Font, "Extras_Terminal_Font", 22, Keys(Qt::CTRL | Qt::Key_F),
         "Setup Terminal &Font", nullptr, nullptr},
        {&M::Extras_Histogramm, "Extras_Histogramm", 23, Keys(Qt::CTRL | Qt::Key_H), "&Historie",
         nullptr, "history"},
        {&M::Extras_Optionen, "Extras_Optionen", 24, Keys(Qt::CTRL | Qt::Key_O), "&Option", nullptr,
         nullptr},
        {&M::Extras_Konfiguration_Terminal, "Extras_Konfiguration_Terminal", 0,
         Keys(Qt::SHIFT | Qt::CTRL | Qt::Key_F12), "Konfiguration &Terminal", nullptr, nullptr},
        {&M::Befehle_Info, "Befehle_Info", 31, Keys(QKeyCombination(Qt::Key_F4)), "INFO", nullptr,
         nullptr},
        {&M::Befehle_Test, "Befehle_Test", 32, Keys(QKeyCombination(Qt::Key_F5)), "TEST", nullptr,
         "cmd-test"},
        {&M::Befehle_Tesystem, "Befehle_Tesystem", 33, Keys(QKeyCombination(Qt::Key_F6)),
         "TESYSTEM (Systemmode!)", nullptr, "cmd-tesystem"},
        {&M::Befehle_Video, "Befehle_Video", 34, none, "*VIDEO (Systemmode!)", nullptr, nullptr},
        {&M::Befehle_Allgemein, "Befehle_Allgemein", 35, Keys(QKeyCombination(Qt::Key_F7)),
         "Allgemeine Parameter", nullptr, nullptr},
        {&M::Befehle_System, "Befehle_System", 36, Keys(QKeyCombination(Qt::Key_F8)),
         "Systemparameter (Systemmode!)", nullptr, nullptr},
        {&M::Befehle_Impuls, "Befehle_Impuls", 37, none, "Parameter Impulausgabe", nullptr,
         nullptr},
        {&M::Befehle_Analog, "Befehle_Analog", 38, none, "Parameter Analogausgabe", nullptr,
         nullptr},
        {&M::Befehle_S1, "Befehle_S1", 39, none, "Parameter S1-Ausgabe", nullptr, nullptr},
        {&M::Befehle_S2, "Befehle_S2", 40, none, "Parameter S2-Ausgabe", nullptr, nullptr},
        {&M::Befehle_Alarm, "Befehle_Alarm", 41, none, "Parameter Alarmausgabe", nullptr, nullptr},
        {&M::Befehle_ECC, "Befehle_ECC", 42, none, "Parameter ECC-Steuerung", nullptr, nullptr},
        {&M::Befehle_Offline, "Befehle_Offline", 43, none, "Parameter Offline-Messung", nullptr,
         nullptr},
        {&M::Befehle_Parameter_speichern, "Befehle_Parameter_speichern", 44, none,
         "Befehle Parameter speichern", nullptr, nullptr},
        {&M::Befehle_Parameter_restore, "Befehle_Parameter_restore", 45, none,
         "Befehle Parameter restore", nullptr, nullptr},
        {&M::Befehle_Esc, "Befehle_Esc", 46, none, "ESC", nullptr, "cmd-esc"},
        {&M::Befehle_V, "Befehle_V", 47, none, "V", nullptr, "cmd-v"},
        {&M::Befehle_R, "Befehle_R", 48, none, "R", nullptr, "cmd-r"},
        {&M::Hilfe_Info, "Hilfe_Info", 51, Keys(QKeyCombination(Qt::Key_F1)), "&Info", "help-about",
         "info"},
        {&M::Fenster_Parameter, "Fenster_Parameter", 61, none, "Parameter", nullptr,
         "param-window"},
        {&M::Fenster_Parameter2, "Fenster_Parameter2", 61, none, "Parameter", nullptr,
         "param-window"},
        {&M::Fenster_Grafik, "Fenster_Grafik", 62, none, "Grafik", nullptr, "chart"},
        {&M::Fenster_Number, "Fenster_Number", 63, none, "Number", nullptr, "number"},
        {&M::Fenster_Debug, "Fenster_Debug", 64, Keys(Qt::CTRL | Qt::Key_D), "&Debug", nullptr,
         nullptr},
        {&M::Parameter_auslesen, "Parameter_auslesen", 70, Keys(Qt::ALT | Qt::Key_A), "Auslesen",
         nullptr, nullptr},
        {&M::Parameter_testen, "Parameter_testen", 71, Keys(Qt::ALT | Qt::Key_T), "Testen", nullptr,
         nullptr},
        {&M::Parameter_programmieren, "Parameter_programmieren", 72, Keys(Qt::ALT | Qt::Key_P),
         "Programmieren", nullptr, nullptr},
        {&M::Parameter_speichern, "Parameter_speichern", 73, Keys(Qt::ALT | Qt::Key_S), "Speichern",
         nullptr, nullptr},
        {&M::Parameter_oeffnen, "Parameter_oeffnen", 74, none, "Parameterdatei öffnen", nullptr,
         nullptr},
        {&M::Parameter_vergleichen, "Parameter_vergleichen", 920, none, "Mit Sensor vergleichen",
         nullptr, nullptr},
        {&M::Parameter_Serviceprotokoll, "Parameter_Serviceprotokoll", 630, none,
         "Serviceprotokoll", nullptr, nullptr},
    };
    for (const TActionDef& d : defs) {
        auto* action = new QAction(QIcon(ActionIcon(d.themeIcon, d.icon)),
                                   QString::fromUtf8(d.caption), &window);
        action->setObjectName(QLatin1String(d.name));
        if (d.label) SetTag(action, d.label);
        if (!d.shortcut.isEmpty()) action->setShortcut(d.shortcut);
        this->*d.member = action;
    }
    // Testing, programming and saving need a parameter set first.
    for (QAction* a : {Parameter_testen, Parameter_programmieren, Parameter_speichern})
        a->setEnabled(false);
    Datei_Mitschnitt->setCheckable(true);
    Extras_Histogramm->setCheckable(true);
    Fenster_Debug->setCheckable(true);

    // Actions reached by shortcut only, outside any menu, still need a
    // place in the window for their shortcut to work.
    window.addAction(Datei_Open);
    window.addAction(Extras_Konfiguration_Terminal);
}

void TMainControls::CreateMenus(QMainWindow& window) {
    auto menu = [&window](QMenu*& member, const char* name, int label, const char* caption) {
        member = window.menuBar()->addMenu(QString::fromUtf8(caption));
        member->setObjectName(QLatin1String(name));
        if (label) SetTag(member, label);
    };
    menu(Menu_Datei, "Datei", 10, "&Datei");
    Menu_Datei->addAction(Datei_Mitschnitt);
    Menu_Datei->addSeparator();
    Menu_Datei->addAction(Datei_Bearbeiten);
    Menu_Datei->addAction(Datei_Drucken);
    Menu_Datei->addSeparator();
    Menu_Datei->addAction(Datei_UpdateFirmware);
    Menu_Datei->addAction(Datei_senden);
    Menu_Datei->addSeparator();
    Menu_Datei->addAction(Datei_beenden);

    menu(Menu_Parameter, "Parameter", 0, "&Parameter");
    Menu_Parameter->addAction(Fenster_Parameter);
    Menu_Parameter->addSeparator();
    Menu_Parameter->addAction(Datei_Parameter_lesen);
    Menu_Parameter->addAction(Datei_Parameter_schreiben);
    Menu_Parameter->addAction(Parameter_vergleichen);
    Menu_Parameter->addSeparator();
    Menu_Parameter->addAction(Parameter_Serviceprotokoll);

    menu(Menu_Befehle, "Befehle", 30, "&Befehle");
    for (QAction* a : {Befehle_Info, Befehle_Test, Befehle_Tesystem, Befehle_Video, Befehle_Esc})
        Menu_Befehle->addAction(a);
    Menu_Befehle->addSeparator();
    for (QAction* a : {Befehle_Allgemein, Befehle_System, Befehle_Impuls, Befehle_Analog,
                       Befehle_S1, Befehle_S2, Befehle_ECC, Befehle_Offline})
        Menu_Befehle->addAction(a);
    Menu_Befehle->addSeparator();
    Menu_Befehle->addAction(Befehle_Parameter_restore);
    Menu_Befehle->addAction(Befehle_Parameter_speichern);

    menu(Menu_Extras, "Extras", 20, "E&xtras");
    Menu_Extras->addAction(Extras_Konfiguration_COM);
    Menu_Extras->addAction(Extras_Terminal_Font);
    Menu_Extras->addAction(Extras_Optionen);

    menu(Menu_Fenster, "Fenster", 60, "&Fenster");
    Menu_Fenster->addAction(Fenster_Parameter);
    Menu_Fenster->addAction(Fenster_Grafik);
    Menu_Fenster->addAction(Fenster_Number);
    Menu_Fenster->addAction(Extras_Histogramm);
    Menu_Fenster->addSeparator();
    Menu_Fenster->addAction(Fenster_Debug);

    menu(Menu_Hilfe, "Hilfe", 50, "&Hilfe");
    Menu_Hilfe->addAction(Hilfe_Info);
    Menu_Hilfe->addAction(Befehle_Info);
}

void TMainControls::CreateToolBar(QMainWindow& window) {
    ToolBar = window.addToolBar(QStringLiteral("ToolBar"));
    ToolBar->setObjectName(QStringLiteral("ToolBar"));
    ToolBar->setMovable(false);
    ToolBar->setIconSize(QSize(24, 24));
    ToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    const QList<QList<QAction*>> groups = {
        {Datei_Mitschnitt, Datei_Parameter_lesen, Datei_Parameter_schreiben, Datei_Bearbeiten,
         Datei_Drucken},
        {Befehle_Test, Befehle_Tesystem, Befehle_Esc, Befehle_V, Befehle_R},
        {Fenster_Parameter, Fenster_Grafik, Fenster_Number, Extras_Histogramm},
        {Extras_Konfiguration_COM, Hilfe_Info, Datei_beenden},
    };
    for (const auto& group : groups) {
        for (QAction* a : group)
            ToolBar->addAction(a);
        ToolBar->addSeparator();
    }
    rb_online = new QRadioButton(QStringLiteral("Online"), ToolBar);
    rb_online->setObjectName(QStringLiteral("rb_online"));
    rb_online->setToolTip(QStringLiteral("COM Port Online"));
    rb_online->setStatusTip(QStringLiteral("COM Port Online"));
    rb_offline = new QRadioButton(QStringLiteral("Offline"), ToolBar);
    rb_offline->setObjectName(QStringLiteral("rb_offline"));
    rb_offline->setToolTip(QStringLiteral("COM Port Offline"));
    rb_offline->setStatusTip(QStringLiteral("COM Port Offline"));
    auto* group = new QButtonGroup(&window);
    group->addButton(rb_online);
    group->addButton(rb_offline);
    ToolBar->addWidget(rb_online);
    ToolBar->addWidget(rb_offline);
}

QList<QAction*> TMainControls::DeviceActions() const {
    return {Befehle_Info,
            Befehle_Test,
            Befehle_Tesystem,
            Befehle_Video,
            Befehle_Allgemein,
            Befehle_System,
            Befehle_Impuls,
            Befehle_Analog,
            Befehle_S1,
            Befehle_S2,
            Befehle_Alarm,
            Befehle_ECC,
            Befehle_Offline,
            Befehle_Parameter_speichern,
            Befehle_Parameter_restore,
            Befehle_Esc,
            Befehle_V,
            Befehle_R,
            Datei_Mitschnitt,
            Datei_Parameter_lesen,
            Datei_Parameter_schreiben,
            Datei_senden,
            Parameter_vergleichen,
            Fenster_Parameter,
            Fenster_Grafik,
            Fenster_Number};
}

void TMainControls::CreatePages(QMainWindow& window) {
    Notebook = new QTabWidget(&window);
    Notebook->setObjectName(QStringLiteral("Notebook"));
    Notebook->setDocumentMode(true);
    Notebook->tabBar()->hide(); // pages are switched with the "Debug page" action
    TerminalPage = new QWidget(Notebook);
    TerminalPage->setObjectName(QStringLiteral("TerminalPage"));
    auto* terminalLayout = new QVBoxLayout(TerminalPage);
    terminalLayout->setContentsMargins(0, 0, 0, 0);
    ComTerminal = new TCustomComTerminal(TerminalPage);
    ComTerminal->setObjectName(QStringLiteral("ComTerminal"));
    ComTerminal->SetColumns(65);
    ComTerminal->SetRows(32);
    ComTerminal->SetEmulation(teVT100orANSI);
    ComTerminal->SetWrapLines(true);
    ComTerminal->SetCaret(tcUnderline);
    ComTerminal->SetColor(Qt::white);
    ComTerminal->SetFontColor(Qt::black);
    ComTerminal->SetScrollBars(ssBoth);
    ComTerminal->setFont(FixedFont());
    ComTerminal->SetStoredProps(TCustomComTerminal::spFont);
    terminalLayout->addWidget(ComTerminal, 1);
    TerminalFind = new TTermFindBar(ComTerminal, TerminalPage);
    terminalLayout->addWidget(TerminalFind);
    TerminalPage->setFocusProxy(ComTerminal);
    Notebook->addTab(TerminalPage, QStringLiteral("Terminal"));

    DebugPage = new QWidget(Notebook);
    DebugPage->setObjectName(QStringLiteral("DebugPage"));
    auto* debugLayout = new QVBoxLayout(DebugPage);
    debugLayout->setContentsMargins(2, 2, 2, 2);
    // The labelling pass gives each its hint in the current language.
    auto memo = [this](QPlainTextEdit*& member, const char* name, int hintLabel) {
        member = new QPlainTextEdit(DebugPage);
        member->setObjectName(QLatin1String(name));
        member->setReadOnly(true);
        member->setLineWrapMode(QPlainTextEdit::NoWrap);
        SetTag(member, hintLabel);
    };
    memo(Memo_Rec, "Memo_Rec", 65);
    memo(Memo_Par, "Memo_Par", 66);
    debugLayout->addWidget(Memo_Rec);
    debugLayout->addWidget(Memo_Par);
    Notebook->addTab(DebugPage, QStringLiteral("Debug"));
    window.setCentralWidget(Notebook);
}

void TMainControls::CreateStatusBar(QMainWindow& window) {
    QStatusBar* bar = window.statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    bar->setFont(QApplication::font());
    bar->setToolTip(
        QStringLiteral("COM Port: Baudrate - Data Bits - Parity - Stop Bits - Flow Control"));
    for (int i = 0; i < StatusPanelCount; ++i) {
        auto* panel =
            new TStatusPanelLabel(QStringLiteral("[%1]").arg(QLatin1String(kPanels[i].name)), bar);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setMinimumWidth(kPanels[i].width);
        panel->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
        panel->setAlignment(kPanels[i].alignment);
        panel->setFrameShape(QFrame::StyledPanel);
        panel->setFrameShadow(QFrame::Sunken);
        bar->addWidget(panel, i == 4 ? 1 : 0);
        Panels[i] = panel;
    }
}
