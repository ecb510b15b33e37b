// SPDX-License-Identifier: MIT
#include "TMainForm.h"

#include "StatusPanelLabel.h"

#include "ApplyLabels.h"
#include "CommandLine.h"
#include "Labels.h"
#include "MsgBox.h"
#include "TComPort.h"
#include "TCommandEngine.h"
#include "TCustomComTerminal.h"
#include "TFirmwareUpdate.h"
#include "TFlashDlg.h"
#include "TGrafikDlg.h"
#include "TNumberDlg.h"
#include "TParameterCompareDlg.h"
#include "TParameterForm.h"
#include "TParameterReadForm.h"
#include "TParameterReader.h"
#include "TParameterWriter.h"
#include "Tag.h"
#include "VersionInfo.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QLibraryInfo>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QTranslator>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {
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

// The fixed-pitch font of the window: Courier New where the system has it
// (or a metric-compatible substitute), else the system's fixed font.
QFont FixedFont() {
    QFont font(QStringLiteral("Courier New"), 10);
    font.setStyleHint(QFont::TypeWriter);
    if (!QFontInfo(font).fixedPitch()) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPointSize(10);
    }
    return font;
}
} // namespace

TMainForm::TMainForm(const QStringList& arguments, QWidget* parent)
    : QMainWindow(parent), m_arguments(arguments) {
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
    m_settings = OpenSettings();
    m_options = TOptions::Defaults();
    m_sensor = new TSensorState(this);
    connect(m_sensor, &TSensorState::Changed, this, [this](const TSensorIdentity& identity) {
        if (!identity.SerialNumber.isEmpty()) m_lastSerial = identity.SerialNumber;
    });
    m_productTitle = ::ProductTitle();
    setWindowTitle(m_productTitle);
    setFont(FixedFont());

    Timer_StartUp.setInterval(500);
    Timer_StartUp.setProperty("tag", 0);
    Timer_Error.setInterval(10000);
    Timer_TCPServer_Delay.setInterval(100);
    connect(&Timer_Error, &QTimer::timeout, this, &TMainForm::Timer_ErrorTimer);
    connect(&Timer_StartUp, &QTimer::timeout, this, &TMainForm::Timer_StartUpTimer);

    CreateLink();
    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreatePages();
    CreateStatusBar();
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

void TMainForm::CreatePages() {
    Notebook = new QTabWidget(this);
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
    terminalLayout->addWidget(ComTerminal);
    TerminalPage->setFocusProxy(ComTerminal);
    Notebook->addTab(TerminalPage, QStringLiteral("Terminal"));

    DebugPage = new QWidget(Notebook);
    DebugPage->setObjectName(QStringLiteral("DebugPage"));
    auto* debugLayout = new QVBoxLayout(DebugPage);
    debugLayout->setContentsMargins(2, 2, 2, 2);
    auto memo = [this](QPlainTextEdit*& member, const char* name, const char* hint) {
        member = new QPlainTextEdit(DebugPage);
        member->setObjectName(QLatin1String(name));
        member->setReadOnly(true);
        member->setLineWrapMode(QPlainTextEdit::NoWrap);
        member->setToolTip(QLatin1String(hint));
        member->setStatusTip(QLatin1String(hint));
    };
    memo(Memo_Rec, "Memo_Rec", "Memo Parameter lesen");
    memo(Memo_Par, "Memo_Par", "Memo Parameter schreiben");
    debugLayout->addWidget(Memo_Rec);
    debugLayout->addWidget(Memo_Par);
    Notebook->addTab(DebugPage, QStringLiteral("Debug"));
    setCentralWidget(Notebook);
}

void TMainForm::CreateStatusBar() {
    QStatusBar* bar = statusBar();
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
        m_panels[i] = panel;
    }
}

void TMainForm::ConnectActions() {
    connect(Datei_beenden, &QAction::triggered, this, &TMainForm::Datei_beendenExecute);
    connect(Fenster_Debug, &QAction::toggled, this, &TMainForm::Fenster_DebugExecute);
    connect(Datei_Open, &QAction::triggered, this, &TMainForm::Datei_OpenExecute);
    connect(Extras_Konfiguration_COM, &QAction::triggered, this,
            &TMainForm::Extras_Konfiguration_COMExecute);
    // Selecting a radio button from code acts as a click on it.
    connect(rb_online, &QRadioButton::toggled, this, [this](bool on) {
        if (on) rb_onlineClick();
    });
    connect(rb_offline, &QRadioButton::toggled, this, [this](bool on) {
        if (on) rb_offlineClick();
    });
    // A deliberate click on Offline also ends the wait for a lost device.
    connect(rb_offline, &QRadioButton::clicked, this, &TMainForm::CancelReopen);
}

// --- Status display ---------------------------------------------------------

void TMainForm::ShowStatus(const QString& text, TStatusPanel panel) {
    CopyData(quint32(panel), text.toUtf8());
}

void TMainForm::CopyData(quint32 kind, const QByteArray& bytes) {
    if (IsPanelKind(kind)) {
        m_panels[kind]->SetFullText(QString::fromUtf8(bytes).left(MaxPanelText));
        return;
    }
    // Data received over TCP (or from another program): on the relay it
    // goes to the sensor; on a client link it is the sensor's answer.
    if (ComPort->Connected()) {
        // Queued behind the program's own output, not waited for: a slow
        // line must not stall the window (the senders wait instead).
        ComPort->WriteRelay(bytes);
        return;
    }
    ComTerminal->ReceiveData(bytes);
    m_engine->Received(bytes);
    // Replies and measurement lines are cut by the same framers as on the
    // serial line.
    ComPort->DeliverToFramers(bytes);
}

void TMainForm::ShowParameterLog(TParameterLog log, const QString& text) {
    (log == TParameterLog::Read ? Memo_Rec : Memo_Par)->setPlainText(text);
}

QString TMainForm::PanelText(TStatusPanel panel) const {
    return m_panels[int(panel)]->FullText();
}

QString TMainForm::PanelToolTip(TStatusPanel panel) const {
    return m_panels[int(panel)]->toolTip();
}

void TMainForm::ShowError(const QString& text) {
    ShowError(text, QString());
}

void TMainForm::ShowError(const QString& text, const QString& reason) {
    ShowStatus(text, TStatusPanel::ComStatus);
    if (!reason.isEmpty()) {
        TStatusPanelLabel* panel = m_panels[int(TStatusPanel::ComStatus)];
        panel->SetFullText(panel->FullText(), reason.left(MaxPanelText));
    }
    if (!Timer_Error.isActive()) Timer_Error.start();
}

void TMainForm::Timer_ErrorTimer() {
    Timer_Error.stop();
    ShowStatus(QString(), TStatusPanel::ComStatus);
}

QString TMainForm::ParaDir() const {
    return m_options.ParaDir.isEmpty() ? TOptions::Defaults().ParaDir : m_options.ParaDir;
}

TMsgResult TMainForm::ShowMsgBox(const QString& text, TMsgKind kind, TMsgButtons buttons) {
    return TFormMsgBox::ShowMsgBox(text, kind, buttons);
}

// --- Settings ---------------------------------------------------------------

template <typename T>
void TMainForm::SaveOption(const char* name, T& remembered, const T& value, const QString& text) {
    if (remembered == value) return;
    remembered = value;
    if (!WriteOption(WritableSettings(), name, text)) ReportStoreFailure();
}

void TMainForm::SaveParaDir(const QString& v) {
    SaveOption(OptionKey::ParaDir, m_options.ParaDir, v, v);
}
void TMainForm::SaveFirmDir(const QString& v) {
    SaveOption(OptionKey::FirmDir, m_options.FirmDir, v, v);
}
void TMainForm::SaveTextDir(const QString& v) {
    SaveOption(OptionKey::TextDir, m_options.TextDir, v, v);
}

void TMainForm::SaveLanguage(int value) {
    if (m_options.Language == value) return;
    const int previous = CurrentLanguage();
    m_options.Language = value;
    SetCurrentLanguage(value);
    ApplyLabels();
    LanguageChanged(previous);
    if (!WriteOption(WritableSettings(), OptionKey::Language, QString::number(value)))
        ReportStoreFailure();
}

void TMainForm::SaveLocalServer(bool v) {
    SaveOption(OptionKey::LocalServer, m_options.LocalServer, v, QString::number(v ? 1 : 0));
}
void TMainForm::SaveMode(TLinkMode v) {
    SaveOption(OptionKey::Mode, m_options.Mode, v, QString::number(int(v)));
}
void TMainForm::SaveTCPServerPort(int v) {
    SaveOption(OptionKey::TCPServerPort, m_options.TCPServerPort, v, QString::number(v));
}
void TMainForm::SaveTCPServerIP(const QString& v) {
    SaveOption(OptionKey::TCPServerIP, m_options.TCPServerIP, v, v);
}
void TMainForm::SaveTCPClientPort(int v) {
    SaveOption(OptionKey::TCPClientPort, m_options.TCPClientPort, v, QString::number(v));
}
void TMainForm::SaveTCPClientIP(const QString& v) {
    SaveOption(OptionKey::TCPClientIP, m_options.TCPClientIP, v, v);
}
void TMainForm::SaveTCPTelnetIP(const QString& v) {
    SaveOption(OptionKey::TCPTelnetIP, m_options.TCPTelnetIP, v, v);
}

// The settings store: the user's OrxTerm.conf, or the file of
// "--config=FILE" for this run.
QSettings* TMainForm::OpenSettings() {
    if (const TSwitches s = TSwitches::Scan(m_arguments); s.Config)
        return new QSettings(*s.Config, QSettings::IniFormat, this);
    return new QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("OrxTerm"),
                         QStringLiteral("OrxTerm"), this);
}

// The store to write to: opened afresh after a failed write (a store keeps
// reporting its first failure).
QSettings& TMainForm::WritableSettings() {
    if (m_settingsFailed) {
        m_settingsFailed = false;
        delete m_settings;
        m_settings = OpenSettings();
    }
    return *m_settings;
}

// A settings file that cannot be written (read-only or full folder): the
// values stay in effect for this run, and the user is told which file
// could not be written - once for all the values one action stores, when
// the action is done. The next write opens the store afresh, so that it
// reports its own outcome rather than this failure again.
void TMainForm::ReportStoreFailure() {
    m_settingsFailed = true;
    if (m_storeFailurePending) return;
    m_storeFailurePending = true;
    QTimer::singleShot(0, this, [this] {
        m_storeFailurePending = false;
        TFormMsgBox::ShowMsgBox(LabelText(128).arg(m_settings->fileName()), mtError, mbOK);
    });
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

void TMainForm::ReadSettings() {
    m_options = TOptions::Defaults();
    ReadOptions(*m_settings, m_options);
    m_linkMode = m_options.Mode;
    m_localServer = m_options.LocalServer;
    Timer_TCPServer_Delay.setInterval(100);
    SetCurrentLanguage(m_options.Language);
}

void TMainForm::ScanSwitches() {
    const TSwitches s = TSwitches::Scan(m_arguments);
    if (s.Debug) m_debugMode = true;
    m_engine->DebugMode = m_debugMode;
    if (s.LinkMode) m_linkMode = *s.LinkMode;
    if (s.LocalServer) m_localServer = *s.LocalServer;
    if (s.Address) ApplyAddressSwitch(*s.Address, m_linkMode, m_options, m_telnetPort);
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!m_formShown) FormShow();
}

void TMainForm::FormShow() {
    if (m_formShown) return;
    m_formShown = true;
    ReadSettings();
    ScanSwitches();
    ApplyLabels();
    bool firstStart = LoadPortSettings();
    const TSwitches switches = TSwitches::Scan(m_arguments);
    if (switches.Port) {
        ComPort->SetPort(*switches.Port);
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
        QTimer::singleShot(0, this, &TMainForm::Extras_Konfiguration_COMExecute);
    } else {
        StartLink(m_linkMode, m_localServer);
    }
    // Typing goes to the sensor from the start, not to a tool bar button.
    ComTerminal->setFocus();
}

bool TMainForm::FormCloseQuery() {
    // Not while starting, connecting, or talking to the sensor (a read
    // must get the sensor out of system mode before the program ends).
    if (Timer_StartUp.isActive() || m_connecting || SensorBusy()) return false;
    CancelReopen();
    m_capture.Stop();
    if (ComPort->Connected()) ComPort->Close();
    return true;
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    event->accept();
    CloseSockets();
    // The other windows live as long as the main window; close them with it.
    for (QWidget* w : m_windows.All())
        if (w && w != this && w->isVisible()) w->close();
}

void TMainForm::Datei_beendenExecute() {
    close();
}

void TMainForm::EndBySignal() {
    if (m_ending) return;
    m_ending = true;
    m_endClock.start();
    m_engine->RequestCancel();
    m_endTimer.setInterval(20);
    connect(&m_endTimer, &QTimer::timeout, this, &TMainForm::EndWhenIdle);
    m_endTimer.start();
}

void TMainForm::EndWhenIdle() {
    // A dialog waiting for the user (a question, a file dialog, a
    // measurement window) is closed once, and given the time its closing
    // takes; the transfer dialog ends by itself.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        auto* dialog = qobject_cast<QDialog*>(modal);
        if (dialog && dialog != m_windows.FlashDlg && !m_dismissed.contains(dialog)) {
            m_dismissed.append(dialog);
            dialog->reject();
        }
        return;
    }
    m_dismissed.clear();
    if (SensorBusy() || Timer_StartUp.isActive() || m_connecting) return;
    // What is on its way to the sensor leaves before the port closes.
    if (ComPort->PendingOutput() > 0 && m_endClock.elapsed() < 60000) return;
    m_endTimer.stop();
    if (!close()) {
        m_endTimer.start();
        return;
    }
    if (QuitProgram) QuitProgram();
}

void TMainForm::Fenster_DebugExecute(bool checked) {
    Notebook->setCurrentWidget(checked ? DebugPage : TerminalPage);
}
