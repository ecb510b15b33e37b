// SPDX-License-Identifier: MIT
#include "TMainForm.h"

#include "StatusPanelLabel.h"

#include "ApplyLabels.h"
#include "CommandLine.h"
#include "Labels.h"
#include "LinkView.h"
#include "MsgBox.h"
#include "TComPort.h"
#include "TCommandEngine.h"
#include "TCustomComTerminal.h"
#include "TFirmwareUpdate.h"
#include "TFlashDlg.h"
#include "TFlowRecorder.h"
#include "TGrafikDlg.h"
#include "TLink.h"
#include "TNumberDlg.h"
#include "TParameterCompareDlg.h"
#include "TParameterForm.h"
#include "TParameterReadForm.h"
#include "TParameterReader.h"
#include "TParameterWriter.h"
#include "TServiceRecordForm.h"
#include "VersionInfo.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScreen>
#include <QSettings>
#include <QTabWidget>
#include <QToolBar>
#include <QTranslator>

#include <algorithm>
#include <cstdio>
#include <utility>

TMainForm::TMainForm(const QStringList& arguments, QWidget* parent)
    : QMainWindow(parent), m_arguments(arguments), m_store(TSwitches::Scan(arguments).Config) {
    setObjectName(QStringLiteral("MainForm"));
    FormCreate();
}

TMainForm::~TMainForm() {
    // The windows that use this one as their host close first, while it
    // is still whole (their own destructors reach it).
    // Newest first, and no longer known here while they go.
    QList<QWidget*> windows = std::exchange(m_windows, {}).All();
    std::reverse(windows.begin(), windows.end());
    for (QWidget* w : windows)
        if (w && w != this) delete w;
    for (QTranslator* t : m_qtTranslators)
        QCoreApplication::removeTranslator(t);
}

void TMainForm::FormCreate() {
    // A settings file that cannot be written: the user is told which.
    m_store.Failed = [](const QString& file) {
        TFormMsgBox::ShowMsgBox(LabelText(128).arg(file), mtError, mbOK);
    };
    m_sensor = new TSensorState(this);
    m_productTitle = ::ProductTitle();
    setWindowTitle(m_productTitle);
    setFont(FixedFont());

    m_errorTimer.setInterval(10000);
    connect(&m_errorTimer, &QTimer::timeout, this, &TMainForm::Timer_ErrorTimer);

    Build(*this);
    m_linkView = new TLinkView(*this, *this, m_store, m_windows, this);
    Engine().Log = [this](const QString& line) { DebugLog(line); };
    ConnectActions();
    ConnectExtras();
    ConnectTerminal();
    ConnectCommands();

    rb_online->setChecked(false);
    rb_offline->setChecked(false);
    Notebook->setCurrentWidget(TerminalPage);
    SizeToScreen();
    move(0, 0);
    m_debugMode = false;
}

// Wide enough for the whole tool bar and the usual texts of the status
// panels, tall enough for the terminal, and never larger than the screen:
// on a small screen the terminal scrolls.
void TMainForm::SizeToScreen() {
    constexpr int PreferredWidth = 790; // fits an 800 x 600 screen with its frame
    QSize size(std::max({sizeHint().width(), ToolBar->sizeHint().width() + 8, PreferredWidth}),
               sizeHint().height());
    if (const QScreen* s = screen()) {
        const QSize room = s->availableGeometry().size() - QSize(10, 36); // the window's frame
        size = size.boundedTo(room);
    }
    resize(size);
}

void TMainForm::SetWindows(const TAppWindows& windows) {
    m_windows = windows;
    if (TParameterForm* editor = m_windows.ParameterForm) {
        editor->BindActions(Parameter_auslesen, Parameter_testen, Parameter_programmieren,
                            Parameter_speichern, Parameter_oeffnen, Parameter_vergleichen);
        TParameterReader& reader = editor->Reader();
        connect(Parameter_auslesen, &QAction::triggered, &reader,
                &TParameterReader::Parameter_auslesen);
        connect(Datei_Parameter_lesen, &QAction::triggered, &reader,
                &TParameterReader::Datei_Parameter_lesen);
        if (TParameterReadForm* browser = m_windows.ParameterReadForm) {
            browser->SetEditor(editor);
            connect(Parameter_oeffnen, &QAction::triggered, browser, &TParameterReadForm::Execute);
            if (m_windows.ParameterStoreForm)
                m_paramWriter = new TParameterWriter(*this, *editor, *browser,
                                                     *m_windows.ParameterStoreForm, this);
        }
    }
    if (m_paramWriter) {
        TParameterWriter* w = m_paramWriter;
        connect(Parameter_speichern, &QAction::triggered, w,
                &TParameterWriter::Parameter_speichern);
        connect(Parameter_testen, &QAction::triggered, w, [w] { w->SendFormParameters(false); });
        connect(Parameter_programmieren, &QAction::triggered, w,
                [w] { w->SendFormParameters(true); });
        connect(Datei_Parameter_schreiben, &QAction::triggered, w,
                &TParameterWriter::Datei_Parameter_schreiben);
        connect(Parameter_vergleichen, &QAction::triggered, this, [this, w] {
            if (SensorBusy()) return;
            TParameterForm* editor = m_windows.ParameterForm;
            TParameterCompareDlg::CompareWithSensor(editor->Reader(), w->SendLines(),
                                                    LabelText(925), editor);
        });
    }
    if (TServiceRecordForm* record = m_windows.ServiceRecordForm) {
        record->SetEditor(m_windows.ParameterForm, m_windows.ParameterReadForm);
        connect(Parameter_Serviceprotokoll, &QAction::triggered, this, [this, record] {
            if (!SensorBusy()) record->Execute();
        });
    }
    for (QAction* a : {Fenster_Parameter, Fenster_Parameter2})
        connect(a, &QAction::triggered, this, &TMainForm::Fenster_ParameterExecute);
    if (TGrafikDlg* chart = m_windows.GrafikDlg)
        connect(Fenster_Grafik, &QAction::triggered, chart, &QDialog::exec);
    if (TNumberDlg* numbers = m_windows.NumberDlg)
        connect(Fenster_Number, &QAction::triggered, numbers, &QDialog::exec);
    ConnectTools();
}

void TMainForm::Fenster_ParameterExecute() {
    QWidget* editor = m_windows.ParameterForm;
    if (!editor) return;
    editor->show();
    editor->raise();
    editor->activateWindow();
}

bool TMainForm::OpenParameterFile(const QString& path) {
    TParameterReadForm* browser = m_windows.ParameterReadForm;
    if (!browser || !browser->OpenFile(QFileInfo(path).absoluteFilePath())) return false;
    Fenster_ParameterExecute();
    return true;
}

void TMainForm::IdentifySensor() {
    if (m_windows.ParameterForm) m_windows.ParameterForm->Reader().IdentifySensor();
}

bool TMainForm::SensorBusy() const {
    const TParameterForm* editor = m_windows.ParameterForm;
    const bool reading = editor && (editor->Reader().Identifying() || editor->Reader().Reading() ||
                                    editor->Exchanging());
    return reading || (m_paramWriter && m_paramWriter->Sending()) ||
           (m_update && m_update->Running()) ||
           (m_windows.FlashDlg && m_windows.FlashDlg->isVisible());
}

void TMainForm::EnableParameterActions(bool on) {
    for (QAction* a : {Parameter_testen, Parameter_programmieren, Parameter_speichern})
        a->setEnabled(on);
}

void TMainForm::EnableDeviceActions(bool on) {
    for (QAction* a : DeviceActions())
        a->setEnabled(on);
    Datei_UpdateFirmware->setEnabled(on && m_sensor->SensorPort() != 2);
    // Reading and writing parameter files wait while capture runs.
    if (CaptureActive())
        for (QAction* a : {Datei_Parameter_lesen, Datei_Parameter_schreiben})
            a->setEnabled(false);
}

void TMainForm::ConnectActions() {
    connect(Datei_beenden, &QAction::triggered, this, &TMainForm::Datei_beendenExecute);
    connect(Fenster_Debug, &QAction::toggled, this, &TMainForm::Fenster_DebugExecute);
}

// --- The link ---------------------------------------------------------------

TCommandEngine& TMainForm::Engine() {
    return m_linkView->Engine();
}
TLink& TMainForm::Link() {
    return m_linkView->Link();
}
TComPort* TMainForm::ComPort() const {
    return m_linkView->ComPort();
}
TTcpLink* TMainForm::TcpLink() const {
    return m_linkView->TcpLink();
}
QTimer& TMainForm::StartUpTimer() {
    return m_linkView->StartUpTimer();
}
bool TMainForm::ReadyForRelayData() const {
    return m_linkView->ReadyForRelayData();
}
TLinkMode TMainForm::LinkMode() const {
    return m_linkView->Mode();
}
bool TMainForm::PortOpen() const {
    return m_linkView->PortOpen();
}
bool TMainForm::LinkUp() const {
    return m_linkView->LinkUp();
}
bool TMainForm::OpenPort() {
    return m_linkView->OpenPort();
}
void TMainForm::ClosePort() {
    m_linkView->ClosePort();
}
void TMainForm::UpdatePortStatus() {
    m_linkView->UpdatePortStatus();
}
TFlowRecorder* TMainForm::Recorder() {
    if (!m_recorder)
        m_recorder = std::make_unique<TFlowRecorder>(
            [this] { return m_linkView->RecordLinkText(); },
            [this](const QString& error) { ShowError(LabelText(635), error); });
    return m_recorder.get();
}
int TMainForm::BaudRate() const {
    return m_linkView->BaudRate();
}
void TMainForm::RelayMeasurementLine(const QByteArray& line) {
    m_linkView->RelayMeasurementLine(line);
}
void TMainForm::OweSensor(const QByteArrayList& commands) {
    m_linkView->OweSensor(commands);
}
const QByteArrayList& TMainForm::OwedCommands() const {
    return m_linkView->OwedCommands();
}

// --- Status display ---------------------------------------------------------

void TMainForm::ShowStatus(const QString& text, TStatusPanel panel) {
    CopyData(quint32(panel), text.toUtf8());
}

void TMainForm::CopyData(quint32 kind, const QByteArray& bytes) {
    if (IsPanelKind(kind)) {
        Panels[kind]->SetFullText(QString::fromUtf8(bytes).left(MaxPanelText));
        return;
    }
    // Data from another program: with the serial port open it goes to the
    // sensor; otherwise it stands for the sensor's answer.
    if (!Link().Relayed(bytes)) Link().DeliverReceived(bytes);
}

void TMainForm::ShowParameterLog(TParameterLog log, const QString& text) {
    (log == TParameterLog::Read ? Memo_Rec : Memo_Par)->setPlainText(text);
}

QString TMainForm::PanelText(TStatusPanel panel) const {
    return Panels[int(panel)]->FullText();
}

QString TMainForm::PanelToolTip(TStatusPanel panel) const {
    return Panels[int(panel)]->toolTip();
}

void TMainForm::ShowError(const QString& text) {
    ShowError(text, QString());
}

void TMainForm::ShowError(const QString& text, const QString& reason) {
    ShowStatus(text, TStatusPanel::ComStatus);
    if (!reason.isEmpty()) {
        TStatusPanelLabel* panel = Panels[int(TStatusPanel::ComStatus)];
        panel->SetFullText(panel->FullText(), reason.left(MaxPanelText));
    }
    if (!m_errorTimer.isActive()) m_errorTimer.start();
}

void TMainForm::KeepComStatus(const QString& text, const QString& detail) {
    TStatusPanelLabel* panel = Panels[int(TStatusPanel::ComStatus)];
    if (text.isEmpty()) {
        if (!m_keptComStatus.isEmpty() && panel->FullText() == m_keptComStatus.left(MaxPanelText))
            ShowStatus(QString(), TStatusPanel::ComStatus);
        m_keptComStatus.clear();
        m_keptComDetail.clear();
        return;
    }
    m_keptComStatus = text;
    m_keptComDetail = detail;
    m_errorTimer.stop();
    ShowStatus(text, TStatusPanel::ComStatus);
    if (!detail.isEmpty()) panel->SetFullText(panel->FullText(), detail.left(MaxPanelText * 2));
}

void TMainForm::Timer_ErrorTimer() {
    m_errorTimer.stop();
    ShowStatus(QString(), TStatusPanel::ComStatus);
    if (!m_keptComStatus.isEmpty()) KeepComStatus(m_keptComStatus, m_keptComDetail);
}

QString TMainForm::ParaDir() const {
    return TOptions::FolderInUse(m_options.ParaDir);
}

TMsgResult TMainForm::ShowMsgBox(const QString& text, TMsgKind kind, TMsgButtons buttons) {
    return TFormMsgBox::ShowMsgBox(text, kind, buttons);
}

// --- Settings ---------------------------------------------------------------

void TMainForm::SaveLanguage(int value) {
    if (m_options.Language == value) return;
    const int previous = CurrentLanguage();
    m_options.Language = value;
    SetCurrentLanguage(value);
    ApplyLabels();
    LanguageChanged(previous);
    m_store.Write(OptionKey::Language, QString::number(value));
}

void TMainForm::ApplyLabels() {
    InstallQtTranslations();
    QList<QWidget*> windows = m_windows.All();
    QList<QWidget*> captions = m_windows.CaptionOrder();
    if (!m_windows.MainForm) { // not yet handed its siblings: label itself alone
        windows = {this};
        captions.clear();
    }
    windows.removeAll(nullptr);
    captions.removeAll(nullptr);
    ::ApplyLabels(windows, captions);
}

// Qt's own texts (the buttons of message boxes, the standard dialogs, the
// serial port's error texts) in the language of the labels.
void TMainForm::InstallQtTranslations() {
    m_qtTranslators = ::InstallQtTranslations(this, m_qtTranslators);
}

void TMainForm::DebugLog(const QString& line) const {
    if (!m_debugMode) return;
    const QByteArray bytes = line.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

// --- Start-up and shutdown --------------------------------------------------

// The settings, then this run's switches over them.
void TMainForm::ReadSettings() {
    m_store.Read();
    SetCurrentLanguage(m_options.Language);
    ComTerminal->SetScrollbackLines(m_options.ScrollbackLines);
    const TSwitches s = TSwitches::Scan(m_arguments);
    if (s.Debug) m_debugMode = true;
    Engine().DebugMode = m_debugMode;
    TLinkMode mode = s.LinkMode.value_or(m_options.Mode);
    int telnetPort = 0;
    if (s.Address) ApplyAddressSwitch(*s.Address, mode, m_options, telnetPort);
    m_linkView->Configure(mode, s.LocalServer.value_or(m_options.LocalServer), telnetPort);
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!m_formShown) FormShow();
}

void TMainForm::FormShow() {
    if (m_formShown) return;
    m_formShown = true;
    ReadSettings();
    ApplyLabels();
    bool firstStart = m_linkView->LoadPortSettings();
    const TSwitches switches = TSwitches::Scan(m_arguments);
    if (switches.Port) {
        ComPort()->SetPort(*switches.Port);
        firstStart = false;
    }
    // A file named on the command line (the file manager's "open") comes up
    // in the editor once the main window stands, before a first start's
    // connection dialog, which then lies above it.
    if (switches.ParameterFile)
        QTimer::singleShot(0, this,
                           [this, path = *switches.ParameterFile] { OpenParameterFile(path); });
    if (firstStart) {
        // First start: the connection dialog starts the link once confirmed.
        QTimer::singleShot(0, m_linkView, &TLinkView::Extras_Konfiguration_COMExecute);
    } else {
        m_linkView->StartLink();
    }
    // Typing goes to the sensor from the start, not to a tool bar button.
    ComTerminal->setFocus();
}

bool TMainForm::FormCloseQuery() {
    // Not while starting, connecting, or talking to the sensor (a read
    // must get the sensor out of system mode before the program ends).
    if (m_linkView->Starting() || SensorBusy()) return false;
    m_linkView->CancelReopen();
    m_capture.Stop();
    if (ComPort()->Connected()) ComPort()->Close();
    return true;
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    event->accept();
    m_linkView->CloseSockets();
    // The other windows live as long as the main window; close them with it.
    for (QWidget* w : m_windows.All())
        if (w && w != this && w->isVisible()) w->close();
}

void TMainForm::Datei_beendenExecute() {
    close();
}

void TMainForm::EndBySignal() {
    if (m_end.Started()) return;
    Engine().RequestCancel();
    m_end.Busy = [this] { return SensorBusy() || m_linkView->Starting(); };
    m_end.PendingOutput = [this] { return ComPort()->PendingOutput(); };
    m_end.Close = [this] { return close(); };
    m_end.Quit = [this] {
        if (m_quitProgram) m_quitProgram();
    };
    m_end.SelfEnding = [this] { return static_cast<QWidget*>(m_windows.FlashDlg); };
    m_end.Start();
}

void TMainForm::Fenster_DebugExecute(bool checked) {
    Notebook->setCurrentWidget(checked ? DebugPage : TerminalPage);
}
