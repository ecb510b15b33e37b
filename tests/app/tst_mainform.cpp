// SPDX-License-Identifier: MIT
// The main window: its windows, actions, menus and tool bar, the status
// panels and the error timer, the settings writers, start-up and closing.
#include "Labels.h"
#include "MsgBox.h"
#include "TComPortSetupDlg.h"
#include "TComSetupDlg.h"
#include "TComTermSetupDlg.h"
#include "TCustomComTerminal.h"
#include "TGrafikDlg.h"
#include "TMainForm.h"
#include "TParameterForm.h"
#include "TParameterReadForm.h"
#include "TParameterStoreForm.h"
#include "TTermFindBar.h"
#include "Tag.h"
#include "Windows.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScreen>
#include <QSettings>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <memory>

class TestMainForm : public QObject {
    Q_OBJECT
    TAppWindows m_w;
    std::unique_ptr<TMainForm> m_main;

    static QStringList Names(const QList<QAction*>& actions) {
        QStringList names;
        for (QAction* a : actions)
            names << (a->isSeparator() ? QStringLiteral("-") : a->objectName());
        return names;
    }

private slots:
    void init() {
        SetLabelFilePath(QStringLiteral(ORX_SOURCE_DIR "/labels/orxterm.lab"));
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("OrxTerm"),
                           QStringLiteral("OrxTerm"));
        settings.clear();
        // A stored port: no first-start dialog; opening it fails quietly.
        settings.setValue(QStringLiteral("ComPort/Port"), QStringLiteral("/nonexistent/orx-port"));
        settings.sync();
        m_w = CreateWindows({});
        m_main.reset(m_w.MainForm);
    }
    void cleanup() {
        m_main->StartUpTimer().stop();
        m_main.reset();
    }

    void windowsInCreationOrder() {
        QStringList classes;
        for (QWidget* w : m_w.All())
            classes << QString::fromLatin1(w->metaObject()->className());
        QCOMPARE(classes,
                 (QStringList{"TMainForm", "TAboutBox", "TConfigFormDlg", "TComSetupDlg",
                              "THistoryForm", "TFormMsgBox", "TFlashDlg", "TParameterReadForm",
                              "TParameterStoreForm", "TParameterForm", "TGraphicSetupDlg",
                              "TGrafikDlg", "TNumberDlg", "TServiceRecordForm"}));
        QList<int> captionTags;
        for (QWidget* w : m_w.CaptionOrder())
            captionTags << Tag(w);
        QCOMPARE(captionTags, (QList<int>{400, 200, 300, 21, 61, 810, 820, 62, 98, 63}));
    }

    void actions_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("tag");
        QTest::addColumn<QKeySequence>("shortcut");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("open") << "Datei_Open" << 0 << QKeySequence(Qt::Key_F9) << true;
        QTest::newRow("capture") << "Datei_Mitschnitt" << 11 << QKeySequence(Qt::CTRL | Qt::Key_M)
                                 << true;
        QTest::newRow("read") << "Datei_Parameter_lesen" << 13 << QKeySequence(Qt::Key_F2) << true;
        QTest::newRow("write") << "Datei_Parameter_schreiben" << 14 << QKeySequence(Qt::Key_F3)
                               << true;
        QTest::newRow("print") << "Datei_Drucken" << 15 << QKeySequence(Qt::CTRL | Qt::Key_P)
                               << true;
        QTest::newRow("exit") << "Datei_beenden" << 16 << QKeySequence(Qt::ALT | Qt::Key_X) << true;
        QTest::newRow("edit") << "Datei_Bearbeiten" << 17 << QKeySequence(Qt::CTRL | Qt::Key_E)
                              << true;
        QTest::newRow("firmware") << "Datei_UpdateFirmware" << 18
                                  << QKeySequence(Qt::CTRL | Qt::Key_U) << true;
        QTest::newRow("send") << "Datei_senden" << 19 << QKeySequence(Qt::CTRL | Qt::Key_S) << true;
        QTest::newRow("com") << "Extras_Konfiguration_COM" << 21
                             << QKeySequence(Qt::CTRL | Qt::Key_C) << true;
        QTest::newRow("font") << "Extras_Terminal_Font" << 22 << QKeySequence(Qt::CTRL | Qt::Key_F)
                              << true;
        QTest::newRow("history") << "Extras_Histogramm" << 23 << QKeySequence(Qt::CTRL | Qt::Key_H)
                                 << true;
        QTest::newRow("options") << "Extras_Optionen" << 24 << QKeySequence(Qt::CTRL | Qt::Key_O)
                                 << true;
        QTest::newRow("terminal setup") << "Extras_Konfiguration_Terminal" << 0
                                        << QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_F12) << true;
        QTest::newRow("info") << "Befehle_Info" << 31 << QKeySequence(Qt::Key_F4) << true;
        QTest::newRow("test") << "Befehle_Test" << 32 << QKeySequence(Qt::Key_F5) << true;
        QTest::newRow("tesystem") << "Befehle_Tesystem" << 33 << QKeySequence(Qt::Key_F6) << true;
        QTest::newRow("general") << "Befehle_Allgemein" << 35 << QKeySequence(Qt::Key_F7) << true;
        QTest::newRow("system") << "Befehle_System" << 36 << QKeySequence(Qt::Key_F8) << true;
        QTest::newRow("offline") << "Befehle_Offline" << 43 << QKeySequence() << true;
        QTest::newRow("r") << "Befehle_R" << 48 << QKeySequence() << true;
        QTest::newRow("about") << "Hilfe_Info" << 51 << QKeySequence(Qt::Key_F1) << true;
        QTest::newRow("param window") << "Fenster_Parameter" << 61 << QKeySequence() << true;
        QTest::newRow("param window 2") << "Fenster_Parameter2" << 61 << QKeySequence() << true;
        QTest::newRow("read params")
            << "Parameter_auslesen" << 70 << QKeySequence(Qt::ALT | Qt::Key_A) << true;
        QTest::newRow("test params")
            << "Parameter_testen" << 71 << QKeySequence(Qt::ALT | Qt::Key_T) << false;
        QTest::newRow("program") << "Parameter_programmieren" << 72
                                 << QKeySequence(Qt::ALT | Qt::Key_P) << false;
        QTest::newRow("save") << "Parameter_speichern" << 73 << QKeySequence(Qt::ALT | Qt::Key_S)
                              << false;
        QTest::newRow("open file") << "Parameter_oeffnen" << 74 << QKeySequence() << true;
    }
    void actions() {
        QFETCH(QString, name);
        QFETCH(int, tag);
        QFETCH(QKeySequence, shortcut);
        QFETCH(bool, enabled);
        auto* action = m_main->findChild<QAction*>(name);
        QVERIFY2(action, qPrintable(name));
        QCOMPARE(Tag(action), tag);
        QCOMPARE(action->shortcut(), shortcut);
        // Every action keeps the state it was created with until the link
        // first closes.
        QCOMPARE(action->isEnabled(), enabled);
    }

    void menusAndToolBar() {
        QStringList menus;
        for (QAction* a : m_main->menuBar()->actions())
            menus << a->menu()->objectName();
        QCOMPARE(menus,
                 (QStringList{"Datei", "Parameter", "Befehle", "Extras", "Fenster", "Hilfe"}));
        QCOMPARE(Tag(m_main->Ui().Menu_Datei), 10);
        QCOMPARE(Tag(m_main->Ui().Menu_Parameter), 0);
        QCOMPARE(m_main->Ui().Menu_Parameter->title(), QStringLiteral("&Parameter"));
        QCOMPARE(Names(m_main->Ui().Menu_Befehle->actions()),
                 (QStringList{"Befehle_Info", "Befehle_Test", "Befehle_Tesystem", "Befehle_Video",
                              "Befehle_Esc", "-", "Befehle_Allgemein", "Befehle_System",
                              "Befehle_Impuls", "Befehle_Analog", "Befehle_S1", "Befehle_S2",
                              "Befehle_ECC", "Befehle_Offline", "-", "Befehle_Parameter_restore",
                              "Befehle_Parameter_speichern"}));
        QCOMPARE(Names(m_main->Ui().Menu_Datei->actions()),
                 (QStringList{"Datei_Mitschnitt", "-", "Datei_Bearbeiten", "Datei_Drucken", "-",
                              "Datei_UpdateFirmware", "Datei_senden", "-", "Datei_beenden"}));
        QCOMPARE(Names(m_main->Ui().Menu_Hilfe->actions()),
                 (QStringList{"Hilfe_Info", "Befehle_Info"}));
        QStringList tools = Names(m_main->Ui().ToolBar->actions());
        tools.removeAll(QString()); // the radio buttons' widget actions
        QCOMPARE(tools.mid(0, 23), (QStringList{"Datei_Mitschnitt",
                                                "Datei_Parameter_lesen",
                                                "Datei_Parameter_schreiben",
                                                "Datei_Bearbeiten",
                                                "Datei_Drucken",
                                                "-",
                                                "Befehle_Test",
                                                "Befehle_Tesystem",
                                                "Befehle_Esc",
                                                "Befehle_V",
                                                "Befehle_R",
                                                "-",
                                                "Fenster_Parameter",
                                                "Fenster_Grafik",
                                                "Fenster_Number",
                                                "Extras_Histogramm",
                                                "-",
                                                "Extras_Konfiguration_COM",
                                                "Hilfe_Info",
                                                "Datei_beenden",
                                                "-"})
                                       .mid(0, 23));
        QVERIFY(!m_main->Ui().rb_online->isChecked());
        QVERIFY(!m_main->Ui().rb_offline->isChecked());
        QCOMPARE(m_main->Ui().rb_online->toolTip(), QStringLiteral("COM Port Online"));
        QCOMPARE(m_main->Ui().rb_offline->toolTip(), QStringLiteral("COM Port Offline"));
    }

    void deviceActions() {
        m_main->Sensor().SetSensorPort(1);
        m_main->EnableDeviceActions(true);
        for (QAction* a : m_main->Ui().DeviceActions())
            QVERIFY2(a->isEnabled(), qPrintable(a->objectName()));
        QVERIFY(m_main->Ui().Datei_UpdateFirmware->isEnabled());
        QVERIFY(!m_main->Ui().Parameter_testen->isEnabled()); // not a device action

        m_main->Sensor().SetSensorPort(2);
        m_main->EnableDeviceActions(true);
        QVERIFY(m_main->Ui().Befehle_Info->isEnabled());
        QVERIFY(!m_main->Ui().Datei_UpdateFirmware->isEnabled());

        m_main->EnableDeviceActions(false);
        for (QAction* a : m_main->Ui().DeviceActions())
            QVERIFY(!a->isEnabled());
        QVERIFY(m_main->Ui().Extras_Konfiguration_COM->isEnabled()); // not a device action
    }

    void statusPanels() {
        m_main->ShowStatus(QStringLiteral("COM1:9600"), TStatusPanel::ComPort);
        QCOMPARE(m_main->PanelText(TStatusPanel::ComPort), QStringLiteral("COM1:9600"));
        m_main->CopyData(3, QByteArray("10.0.0.1:10001"));
        QCOMPARE(m_main->PanelText(TStatusPanel::IpPort), QStringLiteral("10.0.0.1:10001"));
        m_main->ShowStatus(QString(), TStatusPanel::IpPort);
        QCOMPARE(m_main->PanelText(TStatusPanel::IpPort), QString());
    }

    // Two quick errors: the panel shows the second, and is cleared one
    // interval after the first (the running timer is not restarted).
    void errorPanelTimer() {
        m_main->ErrorTimer().setInterval(400);
        m_main->ShowError(QStringLiteral("Frame error"));
        QVERIFY(m_main->ErrorTimer().isActive());
        const int firstLeft = m_main->ErrorTimer().remainingTime();
        QTest::qWait(50);
        m_main->ShowError(QStringLiteral("Parity error"));
        QCOMPARE(m_main->PanelText(TStatusPanel::ComStatus), QStringLiteral("Parity error"));
        QVERIFY(m_main->ErrorTimer().remainingTime() < firstLeft);
        QTRY_COMPARE_WITH_TIMEOUT(m_main->PanelText(TStatusPanel::ComStatus), QString(), 5000);
        QVERIFY(!m_main->ErrorTimer().isActive());
    }

    void settingsWrittenOnlyOnChange() {
        m_main->FormShow();
        const QString file = m_main->Settings().fileName();
        QVERIFY2(file.endsWith(QStringLiteral("/.config/OrxTerm/OrxTerm.conf")), qPrintable(file));
        auto stored = [&](const QString& key) {
            QSettings s(file, QSettings::IniFormat);
            return s.value(QStringLiteral("Option/") + key);
        };
        m_main->Store().SaveMode(TLinkMode::Local);
        m_main->Store().SaveTCPClientIP(QStringLiteral("127.0.0.1"));
        QVERIFY(!stored(QStringLiteral("Mode")).isValid());
        QVERIFY(!stored(QStringLiteral("TCPClientIP")).isValid());

        m_main->Store().SaveMode(TLinkMode::Remote);
        m_main->Store().SaveLocalServer(true);
        QCOMPARE(stored(QStringLiteral("Mode")).toString(), QStringLiteral("2"));
        QCOMPARE(stored(QStringLiteral("LocalServer")).toString(), QStringLiteral("1"));

        // Someone else changes the file; the remembered value decides.
        {
            QSettings other(file, QSettings::IniFormat);
            other.setValue(QStringLiteral("Option/Mode"), QStringLiteral("1"));
        }
        m_main->Store().SaveMode(TLinkMode::Remote);
        QCOMPARE(stored(QStringLiteral("Mode")).toString(), QStringLiteral("1"));
        m_main->Store().SaveTCPServerIP(QStringLiteral("0.0.0.0 "));
        QCOMPARE(stored(QStringLiteral("TCPServerIP")).toString(), QStringLiteral("0.0.0.0 "));
    }

    void languageRelabelsHiddenWindows() {
        m_main->FormShow();
        QVERIFY(!m_w.ComSetupDlg->isVisible());
        m_main->SaveLanguage(1);
        QCOMPARE(CurrentLanguage(), 1);
        QCOMPARE(m_w.ComSetupDlg->windowTitle(), LookupLabel(1, 21, true));
        QCOMPARE(m_main->Ui().Menu_Datei->title(), LookupLabel(1, 10, false));
        QCOMPARE(m_w.GrafikDlg->windowTitle(), LookupLabel(1, 62, true));
        // Texts the windows set themselves: the file grids' headers, the
        // terminal's find bar.
        for (QWidget* w : {static_cast<QWidget*>(m_w.ParameterReadForm),
                           static_cast<QWidget*>(m_w.ParameterStoreForm)}) {
            auto* grid = w->findChild<QTableWidget*>(QStringLiteral("StringGrid1"));
            QVERIFY(grid);
            QCOMPARE(grid->horizontalHeaderItem(0)->text(), LookupLabel(1, 813, false));
        }
        QVERIFY(m_main->Ui().TerminalFind->findChild<QLabel*>()->text() ==
                LookupLabel(1, 155, false));
        m_main->SaveLanguage(0);
        QCOMPARE(m_w.ComSetupDlg->windowTitle(), LookupLabel(0, 21, true));
        QCOMPARE(m_main->Ui().Befehle_Info->text(), LookupLabel(0, 31, false));
        QSettings s(m_main->Settings().fileName(), QSettings::IniFormat);
        QCOMPARE(s.value(QStringLiteral("Option/Language")).toString(), QStringLiteral("0"));
    }

    // No two accelerators or shortcuts that reach the main window collide,
    // in either language: the menu bar's Alt+letters and every shortcut of
    // the actions in its menus, tool bar and window; and within each menu,
    // the items' letters.
    void acceleratorsDoNotCollide_data() {
        QTest::addColumn<int>("language");
        QTest::newRow("English") << 0;
        QTest::newRow("German") << 1;
    }
    void acceleratorsDoNotCollide() {
        QFETCH(int, language);
        m_main->FormShow();
        m_main->SaveLanguage(language);
        QHash<QKeySequence, QString> taken;
        auto claim = [&taken](const QKeySequence& key, const QString& who) {
            if (key.isEmpty()) return true;
            const QString other = taken.value(key);
            taken.insert(key, who);
            if (other.isEmpty() || other == who) return true;
            qWarning("%s and %s both use %s", qPrintable(other), qPrintable(who),
                     qPrintable(key.toString()));
            return false;
        };
        const QList<QAction*> own = m_main->actions(); // shortcut-only actions
        QSet<QAction*> reachable(own.begin(), own.end());
        for (QAction* top : m_main->menuBar()->actions()) {
            QVERIFY(claim(QKeySequence::mnemonic(top->text()), top->text()));
            QSet<QKeySequence> letters;
            for (QAction* item : top->menu()->actions()) {
                reachable.insert(item);
                const QKeySequence letter = QKeySequence::mnemonic(item->text());
                QVERIFY2(letter.isEmpty() || !letters.contains(letter), qPrintable(item->text()));
                letters.insert(letter);
            }
        }
        for (QAction* a : m_main->Ui().ToolBar->actions())
            reachable.insert(a);
        for (QAction* a : reachable)
            QVERIFY(claim(a->shortcut(), a->objectName()));
        // The terminal pane's own keys, and its context menu's letters.
        const std::unique_ptr<QMenu> menu = m_main->Ui().ComTerminal->CreateContextMenu();
        QSet<QKeySequence> letters;
        for (QAction* item : menu->actions()) {
            QVERIFY(claim(item->shortcut(), QStringLiteral("terminal")));
            const QKeySequence letter = QKeySequence::mnemonic(item->text());
            QVERIFY2(letter.isEmpty() || !letters.contains(letter), qPrintable(item->text()));
            letters.insert(letter);
        }
        for (const Qt::Key key : {Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End})
            QVERIFY(claim(QKeySequence(Qt::SHIFT | key), QStringLiteral("terminal")));
    }

    // The pane's keys pass the window's key preview: the find bar opens
    // below the terminal and Esc closes it again.
    void terminalKeysReachThePane() {
        m_main->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
        TCustomComTerminal* terminal = m_main->Ui().ComTerminal;
        terminal->setFocus();
        QTRY_VERIFY(terminal->hasFocus());
        QTest::keyClick(terminal, Qt::Key_F, Qt::ControlModifier | Qt::AltModifier);
        TTermFindBar* bar = m_main->Ui().TerminalFind;
        QVERIFY(bar->isVisible());
        QVERIFY(bar->geometry().top() >= terminal->geometry().bottom());
        QTRY_VERIFY(bar->TextField()->hasFocus());
        QTest::keyClick(bar->TextField(), Qt::Key_Escape);
        QVERIFY(!bar->isVisible());
        QVERIFY(m_main->isVisible());
    }

    // Qt's own texts (standard buttons, the font and file dialogs) follow
    // the language, and so do the terminal's and the port's setup dialogs.
    void qtTextsFollowLanguage() {
        m_main->FormShow();
        m_main->SaveLanguage(1);
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"),
                 QStringLiteral("Abbrechen"));
        QCOMPARE(TComTermSetupDlg(m_main->Ui().ComTerminal->Settings()).windowTitle(),
                 LookupLabel(1, 890, true));
        QCOMPARE(TComPortSetupDlg().findChild<QLabel*>(QStringLiteral("lb_Parity"))->text(),
                 LookupLabel(1, 911, false));
        m_main->SaveLanguage(0);
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
    }

    // Settings that cannot be written are reported once per action, stay in
    // effect, and are written again once the file can be.
    void storeFailureIsShown() {
        m_main->FormShow();
        const QString file = m_main->Settings().fileName();
        QFile::remove(file);
        QVERIFY(QDir().mkpath(file)); // a folder where the file belongs: nobody can write it
        QStringList boxes;
        TFormMsgBox::SetResponder([&boxes](const TMsgBoxRequest& r) {
            boxes << r.text;
            return mrOk;
        });
        m_main->Store().SaveMode(TLinkMode::Remote);
        m_main->Store().SaveTCPClientIP(QStringLiteral("10.0.0.9"));
        QTRY_COMPARE_WITH_TIMEOUT(boxes.size(), 1, 5000);
        QCOMPARE(boxes.at(0), LookupLabel(0, 128, true).arg(file));
        QCOMPARE(m_main->Options().Mode, TLinkMode::Remote);

        QVERIFY(QDir(file).removeRecursively());
        m_main->Store().SaveMode(TLinkMode::Telnet);
        QCoreApplication::processEvents();
        TFormMsgBox::SetResponder(nullptr);
        QCOMPARE(boxes.size(), 1);
        QSettings s(file, QSettings::IniFormat);
        QCOMPARE(s.value(QStringLiteral("Option/Mode")).toString(), QStringLiteral("1"));
    }

    // The window fits an 800 x 600 screen, and at its first size the usual
    // texts of the status bar are shown whole.
    void fitsSmallScreen() {
        m_main->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
        const QRect small(0, 0, 800, 600);
        QVERIFY(small.contains(m_main->frameGeometry()));
        QVERIFY(m_main->minimumSizeHint().width() <= 790);
        m_main->StartUpTimer().stop();
        m_main->ShowStatus(QStringLiteral("ttyUSB0:115200-8-None-1-Software"),
                           TStatusPanel::ComPort);
        m_main->ShowStatus(QStringLiteral("192.168.100.200:10001"), TStatusPanel::IpPort);
        m_main->ShowStatus(QStringLiteral("Client connected: 192.168.1.20:38468"),
                           TStatusPanel::SocketStatus);
        QCoreApplication::processEvents();
        for (const char* name : {"StatusPanel0", "StatusPanel3", "StatusPanel4"}) {
            auto* panel = m_main->findChild<QLabel*>(QLatin1String(name));
            QVERIFY2(!panel->text().contains(QChar(0x2026)), qPrintable(panel->text()));
        }
    }

    void closeRefusedWhileStarting() {
        m_main->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
        m_main->StartUpTimer().start();
        QVERIFY(!m_main->close());
        QVERIFY(m_main->isVisible());
        m_main->StartUpTimer().stop();
        QVERIFY(m_main->close());
        QVERIFY(!m_main->isVisible());
    }

    void terminalDefaults() {
        m_main->FormShow();
        QCOMPARE(m_main->Ui().ComTerminal->Columns(), 65);
        QCOMPARE(m_main->Ui().ComTerminal->Rows(), 32);
        QCOMPARE(m_main->Ui().ComTerminal->Caret(), tcUnderline);
        QCOMPARE(m_main->Ui().ComTerminal->Emulation(), teVT100orANSI);
        QVERIFY(m_main->Ui().ComTerminal->WrapLines());
        QVERIFY(QFontInfo(m_main->Ui().ComTerminal->font()).fixedPitch());
    }

    // Ctrl+F11 and Ctrl+Shift+F11 open the port setup; F11 alone does not.
    void portSetupKey() {
        int opened = 0;
        auto closeWhenShown = [&opened, this] {
            QTimer::singleShot(0, this, [&opened] {
                if (auto* dlg =
                        qobject_cast<TComPortSetupDlg*>(QApplication::activeModalWidget())) {
                    ++opened;
                    dlg->reject();
                }
            });
        };
        closeWhenShown();
        QVERIFY(!m_main->SpecialKey(Qt::Key_F11, Qt::ControlModifier));
        closeWhenShown();
        QVERIFY(!m_main->SpecialKey(Qt::Key_F11, Qt::ControlModifier | Qt::ShiftModifier));
        QCOMPARE(opened, 2);
        QVERIFY(!m_main->SpecialKey(Qt::Key_F11, Qt::NoModifier));
        QCoreApplication::processEvents();
        QCOMPARE(opened, 2);
    }

    // "orxterm FILE.par" (a double click in the file manager) shows the file
    // in the parameter editor, header and values; a file that cannot be
    // read is told with its name and leaves the editor closed and empty.
    void parameterFileArgument_data() {
        QTest::addColumn<QByteArray>("content"); // empty: no file at all
        QTest::addColumn<QString>("told");       // part of the message box text
        QTest::newRow("readable, Latin-1 and CR LF")
            << QByteArray("REM PLACE Halle S\xfc"
                          "d\r\nS/N 12345\r\nAVERAGE 20 ms\r\n")
            << QString();
        QTest::newRow("missing") << QByteArray() << QStringLiteral("line 3.par");
        QTest::newRow("not text") << QByteArray("AVERAGE 20\0\x01", 13)
                                  << QStringLiteral("line 3.par");
    }
    void parameterFileArgument() {
        QFETCH(QByteArray, content);
        QFETCH(QString, told);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("line 3.par"));
        if (!content.isEmpty()) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        QStringList boxes;
        TFormMsgBox::SetResponder([&boxes](const TMsgBoxRequest& r) {
            boxes << r.text;
            return mrOk;
        });
        m_main.reset();
        m_w = CreateWindows({QStringLiteral("local"), path});
        m_main.reset(m_w.MainForm);
        m_main->show();
        TParameterForm& editor = *m_w.ParameterForm;
        if (told.isEmpty()) {
            QTRY_VERIFY_WITH_TIMEOUT(editor.isVisible(), 10000);
            QCOMPARE(editor.ed_standort->text(), QString::fromUtf8("Halle Süd"));
            QCOMPARE(editor.SerialNumberText(), QStringLiteral("12345"));
            QCOMPARE(editor.Value(101), QStringLiteral("20"));
            QVERIFY(boxes.isEmpty());
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(boxes.size(), 1, 10000);
            QVERIFY2(boxes.first().contains(told), qPrintable(boxes.first()));
            QVERIFY(!editor.isVisible());
            QCOMPARE(editor.Value(101), QString());
        }
        TFormMsgBox::SetResponder(nullptr);
    }

    void debugPage() {
        QCOMPARE(m_main->Ui().Notebook->currentWidget(), m_main->Ui().TerminalPage);
        m_main->Ui().Fenster_Debug->trigger();
        QCOMPARE(m_main->Ui().Notebook->currentWidget(), m_main->Ui().DebugPage);
        QVERIFY(m_main->Ui().Memo_Rec->isReadOnly());
        // The hints are in the language of the labels.
        QStringList hints;
        for (int language : {1, 0}) {
            m_main->SaveLanguage(language);
            QCOMPARE(m_main->Ui().Memo_Rec->toolTip(), LabelText(65));
            QCOMPARE(m_main->Ui().Memo_Par->toolTip(), LabelText(66));
            hints << LabelText(65);
        }
        QVERIFY(hints.at(0) != hints.at(1) && !hints.at(1).startsWith(QStringLiteral("KEY")));
        m_main->Ui().Fenster_Debug->trigger();
        QCOMPARE(m_main->Ui().Notebook->currentWidget(), m_main->Ui().TerminalPage);
    }
};

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
