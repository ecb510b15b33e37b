// SPDX-License-Identifier: MIT
#pragma once

#include "IdleEnd.h"
#include "MainControls.h"
#include "OptionSettings.h"
#include "ReceiveHistory.h"
#include "TCapture.h"
#include "TConfigFormDlg.h"
#include "THost.h"
#include "Windows.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>

class TFlowRecorder;

class QAction;
class QLabel;
class QTranslator;
class TComDataPacket;
class TCustomComTerminal;
class TLinkView;
class TComPort;
class TCommandEngine;
class TStatusPanelLabel;
class TLink;
class TTcpLink;
class QMenu;
class QPlainTextEdit;
class QRadioButton;
class QSettings;
class QTabWidget;
class QToolBar;

// The main window: it composes the program and presents what it does. It
// owns the settings store, the timers, its controls (built by
// TMainControls: actions, menus, tool bar, pages, status panels), the link
// to the sensor (serial or TCP, TLink) with the command engine, and the
// state that the other windows read (link mode, sensor identification,
// history lines). The parameter, measurement and tool windows reach it
// only through the host interface it implements.
//
// Life cycle: the constructor runs FormCreate; the first show runs
// FormShow (settings, switches, labels, link start); closing asks
// FormCloseQuery, which refuses while the start-up timer runs.
//
// Its controls (actions, menus, radio buttons, pages, the terminal) are
// reached through Ui(), so that tests can drive them as a user would; the
// link, the timers and its state are its own.
class TMainForm : public QMainWindow, public THost, private TMainControls {
    Q_OBJECT
public:
    explicit TMainForm(const QStringList& arguments, QWidget* parent = nullptr);
    ~TMainForm() override;

    void SetWindows(const TAppWindows& windows);
    const TMainControls& Ui() const { return *this; }
    const TAppWindows& Windows() const { return m_windows; }

    // --- Status display -------------------------------------------------
    // Sets the text of one status panel through the copy-data handler.
    void ShowStatus(const QString& text, TStatusPanel panel) override;
    void ShowError(const QString& text) override;
    // An error whose reason (the system's text) is shown in the panel's
    // tool tip.
    void ShowError(const QString& text, const QString& reason) override;
    void KeepComStatus(const QString& text, const QString& detail) override;
    // Writes the link description into the COM Port panel.
    void UpdatePortStatus() override;
    QString PanelText(TStatusPanel panel) const;
    QString PanelToolTip(TStatusPanel panel) const;

    // Handles a copy-data message: kinds 0-4 set a status panel; other
    // kinds carry another program's data for the sensor.
    void CopyData(quint32 kind, const QByteArray& bytes);

    TMsgResult ShowMsgBox(const QString& text, TMsgKind kind, TMsgButtons buttons) override;
    // Enables or disables every action that needs a connected sensor.
    void EnableDeviceActions(bool on) override;
    void EnableParameterActions(bool on) override;
    // Identifies the sensor through the parameter editor's reader (after
    // the attention sequence the caller has sent).
    void IdentifySensor() override;
    // True while an exchange that must not be cut short runs (identifying,
    // reading the parameter set, an Auto Update).
    bool SensorBusy() const;
    void Fenster_ParameterExecute();
    // Loads a parameter file into the editor as "Open parameter file" does
    // and shows the editor; a file that cannot be read is told in a message
    // box and the editor stays as it was. False then.
    bool OpenParameterFile(const QString& path);

    // --- Settings ---------------------------------------------------------
    QSettings& Settings() { return m_store.Settings(); }
    const TOptions& Options() const { return m_options; }
    // Writers of the "Option" values: each writes only when the value
    // changes. SaveLanguage re-applies every label first.
    void SaveParaDir(const QString& value) override { m_store.SaveParaDir(value); }
    void SaveFirmDir(const QString& value) override { m_store.SaveFirmDir(value); }
    void SaveTextDir(const QString& value) override { m_store.SaveTextDir(value); }
    void SaveLanguage(int value);
    TOptionStore& Store() { return m_store; }
    // An empty parameter folder means the documents folder.
    QString ParaDir() const override;
    QString FirmDir() const override { return TOptions::FolderInUse(m_options.FirmDir); }
    QString TextDir() const override { return TOptions::FolderInUse(m_options.TextDir); }

    // Translates every window (all tagged components, then the captions),
    // and Qt's own texts (standard buttons and dialogs) with them.
    void ApplyLabels();

    // --- Options, about box, print and edit (TMainFormExtras.cpp) -----------
    void Extras_OptionenExecute();
    // What the options dialog starts from, and what its OK applies.
    TConfigValues ConfigValues() const;
    void ApplyConfigValues(const TConfigValues& values);
    void Hilfe_InfoExecute();
    void Datei_DruckenExecute();
    void Datei_BearbeitenExecute();

    // --- The link (LinkView) --------------------------------------------------
    // The link as the window shows and drives it: start-up, port and
    // connection, the link's panels, the command engine.
    TLinkView& LinkView() { return *m_linkView; }
    TCommandEngine& Engine() override;
    TLink& Link();
    TComPort* ComPort() const;
    TTcpLink* TcpLink() const;
    QTimer& StartUpTimer();
    // False while so much relayed data waits for the serial line that
    // reading more from TCP clients (or other programs) should pause.
    bool ReadyForRelayData() const;

    // Handles one character that the terminal shows or acts on: history,
    // BEL and capture.
    void ReceiveChar(char ch);
    const QStringList& HistoryLines() const { return m_history.Lines(); }
    bool BellReceived() const override { return m_bellReceived; }
    void ClearBellReceived() override { m_bellReceived = false; }

    static constexpr int MaxPanelText = 256; // longer panel texts are cut
    QTimer& ErrorTimer() { return m_errorTimer; }

    // --- Commands and special keys ---------------------------------------------
    // Runs the key preview for one key-down; true when the key was consumed.
    bool SpecialKey(int key, Qt::KeyboardModifiers modifiers);
    void SendCommands(const QByteArrayList& commands);
    void Extras_Terminal_FontExecute();

    // --- Host interface ------------------------------------------------------------
    TSensorState& Sensor() override { return *m_sensor; }
    TLinkMode LinkMode() const override;
    bool PortOpen() const override;
    bool LinkUp() const override;
    bool OpenPort() override;
    void ClosePort() override;
    void ShowParameterLog(TParameterLog log, const QString& text) override;
    void RelayMeasurementLine(const QByteArray& line) override;
    QWidget* HostWindow() override { return this; }
    int BaudRate() const override;
    QSettings& SettingsStore() override { return m_store.Writable(); }
    void OweSensor(const QByteArrayList& commands) override;
    // The program's service record, opened at its first event; an event
    // that cannot be recorded is told in COM Status.
    TFlowRecorder* Recorder() override;
    // The commands owed to the sensor and not sent yet.
    const QByteArrayList& OwedCommands() const;

    // --- Debug log ----------------------------------------------------------
    bool DebugMode() const { return m_debugMode; }
    // One line on standard error, only in debug mode.
    void DebugLog(const QString& line) const;
    QString ProductTitle() const { return m_productTitle; }

    // --- Tools: firmware update, capture, send file, history -------------------
    void Datei_UpdateFirmwareExecute();
    // Starts capture (a save dialog first) or ends it.
    void Datei_MitschnittExecute();
    void Datei_sendenExecute();
    void Extras_HistogrammExecute();
    bool CaptureActive() const { return m_capture.Active(); }
    class TFirmwareUpdate* FirmwareUpdate() const {
        return m_update;
    }

    // --- Life cycle (public for tests) -------------------------------------
    void FormShow();
    bool FormCloseQuery();
    bool FormShown() const { return m_formShown; }
    // The program is asked to end by a signal (logout, shutdown, Ctrl+C):
    // a send stops before its next line and leaves system mode, a transfer
    // takes its abort path, open questions are answered with their escape
    // button, the measurement windows give the channel back as their own
    // closing does; once nothing talks to the sensor any more and what was
    // sent has left the port, the window closes and the program ends.
    void EndBySignal();
    bool Ending() const { return m_end.Started(); }
    // How the program ends once the window has closed (tests watch it).
    void SetQuitProgram(std::function<void()> quit) { m_quitProgram = std::move(quit); }

    class TParameterWriter* ParameterWriter() const {
        return m_paramWriter;
    }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void ConnectActions();
    void ConnectExtras();
    // A change of language beyond the labelling pass: status panels, and a
    // QEvent::LanguageChange to every window for the texts built in code.
    void LanguageChanged(int previous);
    QString ChooseFileToShow(int caption, bool mustExist);
    void SizeToScreen();
    void ReadSettings();
    void InstallQtTranslations();
    void Timer_ErrorTimer();
    void Fenster_DebugExecute(bool checked);
    void Datei_beendenExecute();
    void ConnectTerminal();
    void ConnectCommands();
    void ConnectTools();
    void EndCapture();
    void FlushCapture();
    void UpdateCaptureControls();

    QStringList m_arguments;
    TOptionStore m_store; // the settings and the "Option" values
    TOptions& m_options = m_store.Options();
    TLinkView* m_linkView = nullptr;
    QTimer m_errorTimer;     // clears COM Status 10 s after an error
    QString m_keptComStatus; // ... or gives it back to this lasting state
    QString m_keptComDetail;
    std::function<void()> m_quitProgram = [] { QCoreApplication::quit(); };
    class TParameterWriter* m_paramWriter = nullptr;
    TSensorState* m_sensor = nullptr;
    bool m_debugMode = false;
    bool m_bellReceived = false;
    TReceiveHistory m_history; // received text by lines
    TCapture m_capture;        // the capture file while capture runs
    class TFirmwareUpdate* m_update = nullptr;
    QString m_productTitle;
    TAppWindows m_windows;
    QList<QTranslator*> m_qtTranslators;
    bool m_formShown = false;
    TIdleEnd m_end; // EndBySignal: closing as soon as idle
    std::unique_ptr<TFlowRecorder> m_recorder;
};
