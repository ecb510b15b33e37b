// SPDX-License-Identifier: MIT
#include "ServiceCommands.h"

#include "CommandLine.h"
#include "FileDialogs.h"
#include "Labels.h"
#include "MeasurementCsv.h"
#include "MeasurementLine.h"
#include "MsgBox.h"
#include "OrxVersion.h"
#include "ParameterCompare.h"
#include "ParameterFile.h"
#include "SignalWatch.h"
#include "TComPort.h"
#include "TCommandEngine.h"
#include "TFirmwareUpdate.h"
#include "TFlashDlg.h"
#include "TGraphicSetupDlg.h"
#include "TLineWatch.h"
#include "TMainForm.h"
#include "TMeasurementChannel.h"
#include "TParameterForm.h"
#include "TParameterReader.h"
#include "TParameterWriter.h"
#include "Windows.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QProgressBar>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>

namespace {
const QStringList Commands = {QStringLiteral("read"),    QStringLiteral("write"),
                              QStringLiteral("log"),     QStringLiteral("info"),
                              QStringLiteral("compare"), QStringLiteral("update")};

void Progress(const QString& text) {
    std::fprintf(stderr, "orxterm: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

// Runs the event loop until `done` holds or `ms` have passed.
bool WaitUntil(const std::function<bool()>& done, int ms) {
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents,
                                        int(std::min<qint64>(50, deadline.remainingTime())));
    }
    return true;
}

int ExitCode(TFlowResult result) {
    switch (result) {
    case TFlowResult::Done:
        return ServiceExit::Done;
    case TFlowResult::NoLink:
        return ServiceExit::NoLink;
    case TFlowResult::NoAnswer:
        return ServiceExit::NoAnswer;
    case TFlowResult::SensorError:
        return ServiceExit::SensorError;
    case TFlowResult::FileError:
        return ServiceExit::FileError;
    case TFlowResult::Cancelled:
        return ServiceExit::Cancelled;
    case TFlowResult::ConstantDiffers:
        return ServiceExit::ConstantDiffers;
    }
    return ServiceExit::SensorError;
}

struct TServiceOptions {
    QString Command;
    QString File;
    bool Store = false;
    bool KeepConstant = false;
    bool SendConstant = false;
    bool All = false;
    int Seconds = -1;
    int PeriodMs = -1;
    QStringList Switches; // for the main window: link mode, port, config, debug
};

std::optional<TServiceOptions> ParseOptions(const QStringList& arguments, QString* error) {
    TServiceOptions o;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        auto number = [&](int* target) {
            bool ok = false;
            const QString value = a.contains(u'=')
                                      ? a.section(u'=', 1)
                                      : (i + 1 < arguments.size() ? arguments.at(++i) : QString());
            *target = value.toInt(&ok);
            if (!ok || *target <= 0) *error = QStringLiteral("%1 needs a positive number").arg(a);
        };
        if (o.Command.isEmpty() && Commands.contains(a)) {
            o.Command = a;
        } else if (a == u"--store") {
            o.Store = true;
        } else if (a == u"--keep-constant") {
            o.KeepConstant = true;
        } else if (a == u"--send-constant") {
            o.SendConstant = true;
        } else if (a == u"--all") {
            o.All = true;
        } else if (a.startsWith(QLatin1String("--seconds"))) {
            number(&o.Seconds);
        } else if (a.startsWith(QLatin1String("--period"))) {
            number(&o.PeriodMs);
        } else if (a.startsWith(QLatin1String("--")) ||
                   a.compare(u"debug", Qt::CaseInsensitive) == 0 ||
                   a.compare(u"local", Qt::CaseInsensitive) == 0 ||
                   a.compare(u"telnet", Qt::CaseInsensitive) == 0 ||
                   a.compare(u"remote", Qt::CaseInsensitive) == 0) {
            o.Switches << a;
        } else if (o.File.isEmpty() && !o.Command.isEmpty()) {
            o.File = a;
        } else {
            *error = QStringLiteral("unexpected argument \"%1\"").arg(a);
        }
        if (!error->isEmpty()) return std::nullopt;
    }
    if (o.Command.isEmpty()) return std::nullopt;
    const bool needsFile = o.Command != u"info";
    if (needsFile && o.File.isEmpty()) *error = QStringLiteral("%1 needs a file").arg(o.Command);
    if (o.KeepConstant && o.SendConstant)
        *error = QStringLiteral("--keep-constant and --send-constant exclude each other");
    if (o.Command == u"log" && o.Seconds <= 0) *error = QStringLiteral("log needs --seconds N");
    if (!error->isEmpty()) return std::nullopt;
    return o;
}

class TServiceRun {
public:
    TServiceRun(const TServiceOptions& options) : m_options(options) {}
    int Run();

private:
    int Connect();
    int Info();
    int Read();
    int Write();
    int Compare();
    int Log();
    int Update();
    TMsgResult AnswerBox(const TMsgBoxRequest& request);

    TServiceOptions m_options;
    std::unique_ptr<TMainForm> m_main;
    TAppWindows m_windows;
    bool m_interrupted = false;
    bool m_connectRefused = false;
};

TMsgResult TServiceRun::AnswerBox(const TMsgBoxRequest& r) {
    QString text = r.text;
    text.replace(u'\n', u' ').replace(u'\t', u' ');
    if (text.startsWith(LabelText(103))) { // the factory constant differs
        Progress(text);
        if (m_options.KeepConstant) return mrYes;
        if (m_options.SendConstant) return mrNo;
        Progress(QStringLiteral("the factory constant differs: give --keep-constant or "
                                "--send-constant"));
        return mrCancel;
    }
    if (r.text == LabelText(111)) return mrYes; // ... and is really to be sent
    if (r.text == LabelText(104)) {             // store the set permanently?
        Progress(m_options.Store ? QStringLiteral("storing the set in the sensor")
                                 : QStringLiteral("the set is not stored (--store stores it)"));
        return m_options.Store ? mrYes : mrNo;
    }
    if (r.text.contains(LabelText(122))) { // a connect failed: open the connection dialog?
        m_connectRefused = true;
        Progress(text);
        return mrNo;
    }
    Progress(text);
    return r.buttons == mbOK ? mrOk : mrNo;
}

int TServiceRun::Connect() {
    TComPort& port = *m_main->ComPort;
    const bool tcp = IsTcpClientMode(m_main->LinkMode());
    if (tcp) {
        Progress(QStringLiteral("connecting over TCP"));
        if (!WaitUntil([&] { return m_main->LinkUp() || m_connectRefused; }, 15000) ||
            !m_main->LinkUp())
            return ServiceExit::NoLink;
    } else {
        if (port.Port().trimmed().isEmpty()) {
            Progress(QStringLiteral("no serial port is set: give --port=DEVICE"));
            return ServiceExit::NoLink;
        }
        Progress(QStringLiteral("opening %1").arg(port.Port()));
        WaitUntil([&] { return port.Connected(); }, 3000);
        if (!port.Connected()) {
            const QString reason = port.ErrorText();
            Progress(QStringLiteral("the port %1 cannot be opened: %2").arg(port.Port(), reason));
            return port.OpenFailure() == TComPort::TOpenFailure::Busy ? ServiceExit::PortBusy
                                                                      : ServiceExit::NoLink;
        }
    }
    // The link's own identification runs first.
    WaitUntil([&] { return !m_main->SensorBusy() && !m_main->Timer_StartUp.isActive(); }, 3000);
    WaitUntil([&] { return !m_main->SensorBusy(); }, 15000);
    const TSensorIdentity identity = m_main->Sensor().Identity();
    if (identity.SerialNumber.isEmpty() && identity.SensorPort < 0) {
        Progress(QStringLiteral("the sensor does not answer"));
        return ServiceExit::NoAnswer;
    }
    Progress(
        QStringLiteral("sensor S/N %1, %2").arg(identity.SerialNumber, identity.SoftwareVersion));
    return ServiceExit::Done;
}

int TServiceRun::Info() {
    const TSensorIdentity id = m_main->Sensor().Identity();
    std::printf("serial number: %s\nsoftware version: %s\n32-bit: %s\ninterface: %d\n",
                id.SerialNumber.toLocal8Bit().constData(),
                id.SoftwareVersion.toLocal8Bit().constData(), id.Firmware32Bit ? "yes" : "no",
                id.SensorPort);
    return ServiceExit::Done;
}

int TServiceRun::Read() {
    TParameterReader& reader = m_windows.ParameterForm->Reader();
    Progress(QStringLiteral("reading the parameters into %1").arg(m_options.File));
    reader.Datei_Parameter_lesen();
    return ExitCode(reader.LastResult());
}

int TServiceRun::Write() {
    TParameterWriter& writer = *m_main->ParameterWriter();
    Progress(QStringLiteral("sending %1").arg(m_options.File));
    writer.Datei_Parameter_schreiben();
    return ExitCode(writer.LastResult());
}

int TServiceRun::Compare() {
    QStringList ours;
    QString error;
    if (!ReadParameterLines(m_options.File, &ours, &error, false)) {
        Progress(error);
        return ServiceExit::FileError;
    }
    TParameterReader& reader = m_windows.ParameterForm->Reader();
    Progress(QStringLiteral("reading the sensor's parameters"));
    reader.Parameter_auslesen();
    if (reader.LastResult() != TFlowResult::Done) return ExitCode(reader.LastResult());
    const QStringList sensor = m_main->MemoRec().toPlainText().split(u'\n');
    const auto rows = CompareParameterSets(ours, sensor, m_options.All);
    std::fputs(DifferenceTable(rows, QFileInfo(m_options.File).fileName(), QStringLiteral("sensor"))
                   .toLocal8Bit()
                   .constData(),
               stdout);
    qsizetype differing = 0;
    for (const TParameterDifference& row : rows)
        if (row.Differs()) ++differing;
    Progress(QStringLiteral("%1 parameters differ").arg(differing));
    return ServiceExit::Done;
}

int TServiceRun::Log() {
    TCsvLogFile file;
    TGraphicSetupDlg& setup = *m_windows.GraphicSetupDlg;
    QString fileError;
    if (!file.Create(m_options.File, setup.VUnit(), &fileError)) {
        Progress(fileError);
        return ServiceExit::FileError;
    }
    TMeasurementChannel channel(*m_main, TMeasurementChannel::TWindow::Chart);
    if (!channel.PrepareChannel()) {
        Progress(QStringLiteral("the output channel cannot be prepared"));
        return m_main->Engine().LinkUp() ? ServiceExit::NoAnswer : ServiceExit::NoLink;
    }
    // Every line of the run, as the chart's log would hold it if it logged
    // each line; malformed lines are left out as there.
    QElapsedTimer clock;
    qint64 rows = 0;
    bool writeFailed = false;
    bool lost = false;
    TLineWatch watch;
    TLineTarget& target = m_main->ChartLines();
    const TLineTarget chart = target;
    target = {[&](const QByteArray& line) {
        watch.LineArrived();
        const TMeasurement m = DecodeMeasurementLine(line, false);
        if (m.Kind != TMeasurement::TKind::Valid || writeFailed) return;
        const double velocity = setup.VUnit() == 1 ? m.Velocity * 60 : m.Velocity;
        // A row goes in whole or not at all: a full disk leaves
        // the log ending with its last complete row.
        const QString row = CsvRow(double(clock.nsecsElapsed()) / 1e9, velocity, m.Rate,
                                   ClockText(QTime::currentTime()));
        if (file.Append(row, &fileError))
            ++rows;
        else
            writeFailed = true;
    }};
    // The sensor gone, or its lines not coming: said when it happens.
    const auto lostConnection = QObject::connect(&m_main->Sensor(), &TSensorState::LinkLost,
                                                 m_main.get(), [&lost] { lost = true; });
    bool told = false; // the silence of this gap has been told
    QObject::connect(&watch, &TLineWatch::Missing, m_main.get(), [&](int seconds) {
        if (std::exchange(told, true)) return;
        Progress(QStringLiteral("no measurement line from the sensor for %1 s").arg(seconds));
    });
    QObject::connect(&watch, &TLineWatch::Resumed, m_main.get(), [&] {
        told = false;
        Progress(QStringLiteral("measurement lines come again"));
    });
    const int period = m_options.PeriodMs > 0 ? m_options.PeriodMs : setup.Update();
    Progress(QStringLiteral("logging for %1 s at %2 ms").arg(m_options.Seconds).arg(period));
    clock.start();
    if (channel.Start(period)) {
        watch.Start(period);
        WaitUntil(
            [&] { return m_interrupted || writeFailed || lost || !m_main->Engine().LinkUp(); },
            m_options.Seconds * 1000);
    }
    watch.Stop();
    QObject::disconnect(lostConnection);
    lost = lost || !m_main->Engine().LinkUp();
    // Switched off and given back; what the link cannot take any more is
    // lost with this run.
    if (!lost) lost = !channel.Stop();
    if (!channel.RestoreChannel()) lost = true;
    target = chart;
    Progress(QStringLiteral("%1 rows written to %2").arg(rows).arg(m_options.File));
    file.Close();
    if (writeFailed) {
        Progress(fileError);
        return ServiceExit::FileError;
    }
    if (lost) {
        Progress(QStringLiteral("the link to the sensor was lost"));
        return ServiceExit::NoLink;
    }
    if (m_interrupted) return ServiceExit::Cancelled;
    if (watch.Lines() == 0) {
        Progress(QStringLiteral("the sensor sent no measurement line"));
        return ServiceExit::NoAnswer;
    }
    if (watch.Gaps() > 0) {
        Progress(QStringLiteral("measurement lines were missing %1 times").arg(watch.Gaps()));
        return ServiceExit::NoAnswer;
    }
    return ServiceExit::Done;
}

int TServiceRun::Update() {
    TFirmwareUpdate* update = m_main->FirmwareUpdate();
    if (!update) return ServiceExit::SensorError;
    // The transfer dialog's progress, in steps of ten percent.
    TFlashDlg& dialog = *m_windows.FlashDlg;
    int shown = -1;
    const auto connection = QObject::connect(
        dialog.ProgressBar1, &QProgressBar::valueChanged, m_main.get(), [&](int value) {
            if (dialog.Mode() != TFlashDlg::SendMode) return;
            const int total = std::max(1, dialog.ProgressBar1->maximum());
            const int percent = int(qint64(value) * 100 / total);
            if (percent / 10 == shown / 10) return;
            shown = percent;
            Progress(
                QStringLiteral("sent %1 % (%2 of %3 lines)").arg(percent).arg(value).arg(total));
        });
    Progress(QStringLiteral("updating the firmware from %1").arg(m_options.File));
    update->Datei_UpdateFirmware();
    QObject::disconnect(connection);
    return ExitCode(update->LastResult());
}

int TServiceRun::Run() {
    m_windows = CreateWindows(m_options.Switches);
    m_main.reset(m_windows.MainForm);
    m_main->SetHeadless(true);
    const QString file =
        m_options.File.isEmpty() ? QString() : QFileInfo(m_options.File).absoluteFilePath();
    m_options.File = file.isEmpty() ? m_options.File : file;
    TFileDialogs::SetResponder([file](const TFileDialogRequest&) { return file; });
    TFormMsgBox::SetResponder([this](const TMsgBoxRequest& r) { return AnswerBox(r); });

    // SIGINT and SIGTERM end the running flow's steps before the program ends.
    TSignalWatch signalWatch(ServiceExit::Cancelled);
    QObject::connect(&signalWatch, &TSignalWatch::Signalled, m_main.get(), [this] {
        if (!m_interrupted) Progress(QStringLiteral("interrupted: ending the flow's steps"));
        m_interrupted = true;
        m_main->Engine().RequestCancel();
    });

    m_main->FormShow();
    int code = Connect();
    if (code == ServiceExit::Done && !m_interrupted) {
        if (m_options.Command == u"info")
            code = Info();
        else if (m_options.Command == u"read")
            code = Read();
        else if (m_options.Command == u"write")
            code = Write();
        else if (m_options.Command == u"compare")
            code = Compare();
        else if (m_options.Command == u"log")
            code = Log();
        else if (m_options.Command == u"update")
            code = Update();
    }
    if (m_interrupted && code == ServiceExit::Done) code = ServiceExit::Cancelled;
    // What is still on its way to the sensor goes out before the port closes.
    WaitUntil([this] { return m_main->ComPort->PendingOutput() == 0; }, 3000);
    m_main->Timer_StartUp.stop();
    m_main->ClosePort();
    TFileDialogs::SetResponder(nullptr);
    TFormMsgBox::SetResponder(nullptr);
    m_main.reset();
    Progress(code == ServiceExit::Done ? QStringLiteral("done")
                                       : QStringLiteral("ended with exit code %1").arg(code));
    return code;
}
} // namespace

const char* ServiceUsage() {
    return "Service commands (no window; progress on standard error):\n"
           "  orxterm info                      identification as key: value lines\n"
           "  orxterm read FILE.par             read the parameters into a file\n"
           "  orxterm write FILE.par [--store] [--keep-constant|--send-constant]\n"
           "                                    send a parameter file\n"
           "  orxterm compare FILE.par [--all]  list what differs between a file and the sensor\n"
           "  orxterm log FILE.csv --seconds N [--period MS]\n"
           "                                    log every measurement line as CSV\n"
           "  orxterm update FILE.hex           update the sensor's firmware (serial port)\n"
           "  with the switches local|telnet|remote, --port=DEVICE, --address=HOST[:PORT],\n"
           "  --config=FILE, debug. Exit codes: 0 done, 1 usage, 2 no link, 3 no answer,\n"
           "  4 sensor error, 5 file error, 6 interrupted, 7 differing factory constant not\n"
           "  answered, 8 port busy.\n";
}

int RunServiceCommand(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (arguments.isEmpty() || !Commands.contains(arguments.first())) return -1;
    QString error;
    const std::optional<TServiceOptions> options = ParseOptions(arguments, &error);
    if (!options) {
        std::fprintf(stderr, "orxterm: %s\n%s", error.toLocal8Bit().constData(), ServiceUsage());
        return ServiceExit::Usage;
    }
    // No window is shown: the program needs no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("OrxTerm"));
    QApplication::setApplicationVersion(QLatin1String(OrxVersion::ProductVersion));
    TServiceRun run(*options);
    return run.Run();
}
