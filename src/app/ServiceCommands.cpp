// SPDX-License-Identifier: MIT
#include "ServiceCommands.h"

#include "ChartSettings.h"
#include "CommandLine.h"
#include "FirmwareFlow.h"
#include "FlowRecords.h"
#include "Labels.h"
#include "MeasurementCsv.h"
#include "MeasurementLine.h"
#include "OrxVersion.h"
#include "ParameterCompare.h"
#include "ParameterFile.h"
#include "ReadFlow.h"
#include "RecordPrint.h"
#include "SensorFinder.h"
#include "ServiceLink.h"
#include "SignalWatch.h"
#include "TComPort.h"
#include "TCommandEngine.h"
#include "TFlowRecorder.h"
#include "TLineWatch.h"
#include "TMeasurementChannel.h"
#include "TRecordStore.h"
#include "WriteFlow.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <unistd.h>
#include <utility>

namespace {
const QStringList Commands = {QStringLiteral("read"),    QStringLiteral("write"),
                              QStringLiteral("log"),     QStringLiteral("info"),
                              QStringLiteral("compare"), QStringLiteral("update"),
                              QStringLiteral("scan"),    QStringLiteral("record")};

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
    bool Json = false;    // one JSON document on standard output instead of text
    QStringList Ports;    // every --port= given (a scan probes them all)
    QList<int> Rates;     // --rates=LIST
    QString Since;        // --since DATE
    QStringList Switches; // for the main window: link mode, port, config, debug
};

// What a service command passes on to its link: the link-mode switches
// and debug (with or without dashes, any case) and --port=, --address=,
// --config=. The window's "server" is none of them.
bool IsLinkSwitch(const QString& argument) {
    if (argument.startsWith(QLatin1String("--port=")) ||
        argument.startsWith(QLatin1String("--address=")) ||
        argument.startsWith(QLatin1String("--config=")))
        return true;
    QString word = argument.toLower();
    while (word.startsWith(u'-'))
        word.remove(0, 1);
    return word == u"debug" || word == u"local" || word == u"telnet" || word == u"remote";
}

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
        } else if (a == u"--json") {
            o.Json = true;
        } else if (a.startsWith(QLatin1String("--rates"))) {
            const QString list = a.contains(u'=')           ? a.section(u'=', 1)
                                 : i + 1 < arguments.size() ? arguments.at(++i)
                                                            : QString();
            for (const QString& item : list.split(u',', Qt::SkipEmptyParts)) {
                bool ok = false;
                const int rate = item.trimmed().toInt(&ok);
                if (!ok || rate <= 0)
                    *error = QStringLiteral("--rates needs rates such as 9600,115200");
                o.Rates << rate;
            }
            if (o.Rates.isEmpty())
                *error = QStringLiteral("--rates needs rates such as 9600,115200");
        } else if (a.startsWith(QLatin1String("--since"))) {
            o.Since = a.contains(u'=')           ? a.section(u'=', 1)
                      : i + 1 < arguments.size() ? arguments.at(++i)
                                                 : QString();
            if (o.Since.isEmpty()) *error = QStringLiteral("--since needs a date");
        } else if (IsLinkSwitch(a)) {
            if (a.startsWith(QLatin1String("--port="))) o.Ports << a.section(u'=', 1);
            o.Switches << a;
        } else if (a.startsWith(u'-')) {
            *error = QStringLiteral("unknown option \"%1\"").arg(a);
        } else if (o.File.isEmpty()) {
            o.File = a; // before or after the command; "read info" reads into "info"
        } else {
            *error = QStringLiteral("unexpected argument \"%1\"").arg(a);
        }
        if (!error->isEmpty()) return std::nullopt;
    }
    if (o.Command.isEmpty()) return std::nullopt;
    // "record" takes a serial number where the others take a file, and
    // lists the sensors without one; "scan" takes none.
    const bool needsFile = o.Command != u"info" && o.Command != u"record" && o.Command != u"scan";
    if (needsFile && o.File.isEmpty()) *error = QStringLiteral("%1 needs a file").arg(o.Command);
    if (o.KeepConstant && o.SendConstant)
        *error = QStringLiteral("--keep-constant and --send-constant exclude each other");
    if (o.Command == u"log" && o.Seconds <= 0) *error = QStringLiteral("log needs --seconds N");
    if (!error->isEmpty()) return std::nullopt;
    return o;
}

// The service commands that talk to the sensor through the flows, with
// no window and no display: a core application, its own link, and the
// options as the answers to the flows' questions.
class TCoreRun : private TFlowQuestions {
public:
    explicit TCoreRun(const TServiceOptions& options) : m_options(options) {}
    int Run();

private:
    int Info();
    int Read();
    int Write();
    int Compare();
    int Log();
    int Update();
    int Scan();
    int Record();
    TMsgResult Ask(TFlowQuestion question, const QString& text, TMsgButtons buttons) override;
    int Outcome(TFlowResult result, const QString& message);

    TServiceOptions m_options;
    std::unique_ptr<TServiceLink> m_link;
    bool m_interrupted = false;
};

TMsgResult TCoreRun::Ask(TFlowQuestion question, const QString& text, TMsgButtons) {
    QString said = text;
    said.replace(u'\n', u' ').replace(u'\r', u' ').replace(u'\t', u' ');
    switch (question) {
    case TFlowQuestion::ConstantDiffers:
        Progress(said);
        if (m_options.KeepConstant) return mrYes;
        if (m_options.SendConstant) return mrNo;
        Progress(QStringLiteral("the factory constant differs: give --keep-constant or "
                                "--send-constant"));
        return mrCancel;
    case TFlowQuestion::ReallySendConstant:
        return mrYes; // --send-constant said so
    case TFlowQuestion::StoreSet:
        Progress(m_options.Store ? QStringLiteral("storing the set in the sensor")
                                 : QStringLiteral("the set is not stored (--store stores it)"));
        return m_options.Store ? mrYes : mrNo;
    }
    return mrCancel;
}

// A flow's message on standard error, and its exit code.
int TCoreRun::Outcome(TFlowResult result, const QString& message) {
    if (!message.isEmpty()) {
        QString said = message;
        said.replace(u'\r', u' ').replace(u'\n', u' ').replace(u'\t', u' ');
        Progress(said.trimmed());
    }
    return ExitCode(result);
}

// A JSON document on standard output, whole.
void PrintJson(const QJsonObject& object) {
    std::fputs(QJsonDocument(object).toJson(QJsonDocument::Indented).constData(), stdout);
}

int TCoreRun::Info() {
    const TSensorIdentity id = m_link->Sensor().Identity();
    if (m_options.Json) {
        PrintJson({{QStringLiteral("serial"), id.SerialNumber},
                   {QStringLiteral("softwareVersion"), id.SoftwareVersion},
                   {QStringLiteral("firmware32Bit"), id.Firmware32Bit},
                   {QStringLiteral("interface"), id.SensorPort}});
        return ServiceExit::Done;
    }
    std::printf("serial number: %s\nsoftware version: %s\n32-bit: %s\ninterface: %d\n",
                id.SerialNumber.toLocal8Bit().constData(),
                id.SoftwareVersion.toLocal8Bit().constData(), id.Firmware32Bit ? "yes" : "no",
                id.SensorPort);
    return ServiceExit::Done;
}

int TCoreRun::Read() {
    Progress(QStringLiteral("reading the parameters into %1").arg(m_options.File));
    const TReadResult result = TReadFlow(*m_link).Read(TReadTarget::File, m_options.File);
    RecordRead(*m_link, TRecordAction::ReadToFile, result);
    return Outcome(result.Outcome, result.Message);
}

int TCoreRun::Write() {
    // As the menu's "send file": the sensor is identified again first, and
    // the file is read once, before the sensor is touched.
    RecordIdentify(*m_link, TReadFlow(*m_link).Identify());
    QStringList lines;
    QString error;
    if (!ReadParameterLines(m_options.File, &lines, &error, /*asBytes=*/true))
        return Outcome(TFlowResult::FileError, error);
    Progress(QStringLiteral("sending %1").arg(m_options.File));
    int shown = -1;
    TWriteFlow flow(*m_link, *this, [&shown](const QString&, qsizetype done, qsizetype total) {
        if (total <= 0) return;
        const int percent = int(done * 100 / total);
        if (percent / 25 == shown / 25) return;
        shown = percent;
        Progress(QStringLiteral("sent %1 of %2 lines").arg(done).arg(total));
    });
    const TWriteResult result = flow.Send([&lines] { return lines; }, true, false);
    RecordWrite(*m_link, result);
    for (const TRefusedLine& refused : result.Refused)
        Progress(QStringLiteral("refused: %1 (%2)").arg(refused.Line, refused.Answer));
    return Outcome(result.Outcome, result.Message);
}

int TCoreRun::Compare() {
    QStringList ours;
    QString error;
    if (!ReadParameterLines(m_options.File, &ours, &error, false))
        return Outcome(TFlowResult::FileError, error);
    Progress(QStringLiteral("reading the sensor's parameters"));
    const TReadResult result = TReadFlow(*m_link).Read(TReadTarget::Compare);
    RecordRead(*m_link, TRecordAction::Compare, result);
    if (!result.Done()) return Outcome(result.Outcome, result.Message);
    const auto rows = CompareParameterSets(ours, result.Text.split(u'\n'), m_options.All);
    qsizetype differing = 0;
    for (const TParameterDifference& row : rows)
        if (row.Differs()) ++differing;
    if (m_options.Json) {
        QJsonArray list;
        for (const TParameterDifference& row : rows)
            list.append(QJsonObject{
                {QStringLiteral("key"), row.Key},
                {QStringLiteral("file"), row.InOurs ? QJsonValue(row.Ours) : QJsonValue()},
                {QStringLiteral("sensor"), row.InSensor ? QJsonValue(row.Sensor) : QJsonValue()},
                {QStringLiteral("differs"), row.Differs()}});
        PrintJson({{QStringLiteral("file"), QFileInfo(m_options.File).fileName()},
                   {QStringLiteral("rows"), list},
                   {QStringLiteral("differing"), differing}});
        Progress(QStringLiteral("%1 parameters differ").arg(differing));
        return ServiceExit::Done;
    }
    std::fputs(DifferenceTable(rows, QFileInfo(m_options.File).fileName(), QStringLiteral("sensor"))
                   .toLocal8Bit()
                   .constData(),
               stdout);
    Progress(QStringLiteral("%1 parameters differ").arg(differing));
    return ServiceExit::Done;
}

int TCoreRun::Log() {
    QSettings& settings = m_link->Settings();
    const int unit = StoredVelocityUnit(settings);
    TCsvLogFile file;
    QString fileError;
    if (!file.Create(m_options.File, unit, &fileError))
        return Outcome(TFlowResult::FileError, fileError);
    TMeasurementChannel channel(*m_link, TMeasurementChannel::TWindow::Chart);
    TComDataPacket& framer = channel.Framer();
    if (!channel.PrepareChannel()) {
        Progress(QStringLiteral("the output channel cannot be prepared"));
        return m_link->LinkUp() ? ServiceExit::NoAnswer : ServiceExit::NoLink;
    }
    // Every line of the run, as the chart's log would hold it if it logged
    // each line; malformed lines are left out as there.
    QElapsedTimer clock;
    qint64 rows = 0;
    bool writeFailed = false;
    bool lost = false;
    TLineWatch watch;
    QObject::connect(&framer, &TComDataPacket::Packet, &watch, [&](const QByteArray& line) {
        watch.LineArrived();
        const TMeasurement m = DecodeMeasurementLine(line, false);
        if (m.Kind != TMeasurement::TKind::Valid || writeFailed) return;
        const double velocity = unit == 1 ? m.Velocity * 60 : m.Velocity;
        // A row goes in whole or not at all: a full disk leaves the log
        // ending with its last complete row.
        const QString row = CsvRow(double(clock.nsecsElapsed()) / 1e9, velocity, m.Rate,
                                   ClockText(QTime::currentTime()));
        if (file.Append(row, &fileError))
            ++rows;
        else
            writeFailed = true;
    });
    // The sensor gone, or its lines not coming: said when it happens.
    QObject::connect(&m_link->Sensor(), &TSensorState::LinkLost, &watch, [&lost] { lost = true; });
    bool told = false; // the silence of this gap has been told
    QObject::connect(&watch, &TLineWatch::Missing, &watch, [&](int seconds) {
        if (std::exchange(told, true)) return;
        Progress(QStringLiteral("no measurement line from the sensor for %1 s").arg(seconds));
    });
    QObject::connect(&watch, &TLineWatch::Resumed, &watch, [&] {
        told = false;
        Progress(QStringLiteral("measurement lines come again"));
    });
    const int period = m_options.PeriodMs > 0 ? m_options.PeriodMs : StoredUpdatePeriod(settings);
    Progress(QStringLiteral("logging for %1 s at %2 ms").arg(m_options.Seconds).arg(period));
    clock.start();
    if (channel.Start(period)) {
        watch.Start(period);
        WaitUntil([&] { return m_interrupted || writeFailed || lost || !m_link->LinkUp(); },
                  m_options.Seconds * 1000);
    }
    watch.Stop();
    QObject::disconnect(&framer, &TComDataPacket::Packet, &watch, nullptr);
    lost = lost || !m_link->LinkUp();
    // Switched off and given back; what the link cannot take any more is
    // lost with this run.
    if (!lost) lost = !channel.Stop();
    if (!channel.RestoreChannel()) lost = true;
    Progress(QStringLiteral("%1 rows written to %2").arg(rows).arg(m_options.File));
    file.Close();
    if (writeFailed) return Outcome(TFlowResult::FileError, fileError);
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

// The transfer's two steps with their progress on standard error, in
// steps of ten percent.
class TTransferProgress : public TTransferSteps {
public:
    explicit TTransferProgress(TFlowHost& host) : m_transfer(host) {
        QObject::connect(&m_transfer, &TLineTransfer::Progressed, &m_transfer, [this] {
            if (m_transfer.Mode() != TLineTransfer::SendMode) return;
            const int total = std::max(1, m_transfer.Total());
            const int percent = int(qint64(m_transfer.LinesSent()) * 100 / total);
            if (percent / 10 == m_shown / 10) return;
            m_shown = percent;
            Progress(QStringLiteral("sent %1 % (%2 of %3 lines)")
                         .arg(percent)
                         .arg(m_transfer.LinesSent())
                         .arg(total));
        });
    }
    TTransferStop Send(const QList<QByteArray>& lines) override {
        return m_transfer.RunSend(lines);
    }
    TTransferStop Wait(int limitMs) override {
        Progress(QStringLiteral("waiting for the sensor to flash the firmware"));
        return m_transfer.RunWait(limitMs);
    }

private:
    TLineTransfer m_transfer;
    int m_shown = -1;
};

int TCoreRun::Update() {
    if (!m_link->PortOpen()) // over TCP the line's rate cannot be switched
        return Outcome(TFlowResult::NoLink, LabelText(514));
    // As the menu entry: the sensor is identified again, and the file read
    // before the sensor is put into its update mode.
    m_link->Engine().SetCmd(SensorCommand::Attention);
    RecordIdentify(*m_link, TReadFlow(*m_link).Identify());
    QList<QByteArray> lines;
    QString error;
    if (!TLineTransfer::ReadLines(m_options.File, &lines, &error))
        return Outcome(TFlowResult::FileError, LabelText(515) + u' ' + error);
    Progress(QStringLiteral("updating the firmware from %1").arg(m_options.File));
    TTransferProgress steps(*m_link);
    TFirmwareFlow flow(*m_link, steps);
    const QString serial = m_link->Sensor().Identity().SerialNumber.trimmed();
    const TFirmwareResult result = flow.Update(lines);
    if (!serial.isEmpty())
        m_link->Recorder()->FirmwareUpdated(serial, result.Outcome, result.Message, m_options.File);
    return Outcome(result.Outcome, result.Message);
}

// The rate stored for the port, as the window and the other commands use it.
int StoredRate(const TSwitches& switches) {
    std::unique_ptr<QSettings> settings =
        switches.Config
            ? std::make_unique<QSettings>(*switches.Config, QSettings::IniFormat)
            : std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                          QStringLiteral("OrxTerm"), QStringLiteral("OrxTerm"));
    TComPort port;
    port.LoadSettings(*settings, port.objectName());
    return BaudRateValue(port.BaudRate());
}

// "/dev/ttyUSB0  115200 bit/s  S/N 4711  ORX 9  V 3.10 32bit  interface 1  usb-FTDI_...".
QString FoundLine(const TFoundSensor& s) {
    const TSensorIdentity& id = s.Identity;
    QString line =
        QStringLiteral("%1  %2 bit/s  S/N %3  ORX %4  %5  interface %6")
            .arg(s.Device)
            .arg(s.Rate)
            .arg(id.SerialNumber, id.Model.isEmpty() ? QStringLiteral("?") : id.Model,
                 id.SoftwareVersion.isEmpty() ? QStringLiteral("?") : id.SoftwareVersion,
                 id.SensorPort >= 0 ? QString::number(id.SensorPort) : QStringLiteral("?"));
    if (!s.ById.isEmpty()) line += QStringLiteral("  ") + s.ById;
    return line;
}

QJsonDocument ScanJson(const TScanResult& r) {
    QJsonArray sensors;
    for (const TFoundSensor& s : r.Found)
        sensors.append(QJsonObject{{QStringLiteral("device"), s.Device},
                                   {QStringLiteral("byId"), s.ById},
                                   {QStringLiteral("rate"), s.Rate},
                                   {QStringLiteral("serialNumber"), s.Identity.SerialNumber},
                                   {QStringLiteral("model"), s.Identity.Model},
                                   {QStringLiteral("softwareVersion"), s.Identity.SoftwareVersion},
                                   {QStringLiteral("firmware32Bit"), s.Identity.Firmware32Bit},
                                   {QStringLiteral("interface"), s.Identity.SensorPort}});
    QJsonArray skipped;
    for (const TSkippedPort& p : r.Skipped)
        skipped.append(QJsonObject{{QStringLiteral("device"), p.Device},
                                   {QStringLiteral("reason"), p.Problem.ShortText()},
                                   {QStringLiteral("holderPid"), p.Problem.Holder.Pid},
                                   {QStringLiteral("holderProgram"), p.Problem.Holder.Program}});
    QJsonArray rates;
    for (const int rate : r.Rates)
        rates.append(rate);
    return QJsonDocument(
        QJsonObject{{QStringLiteral("sensors"), sensors},
                    {QStringLiteral("skipped"), skipped},
                    {QStringLiteral("silent"), QJsonArray::fromStringList(r.Silent)},
                    {QStringLiteral("missing"), QJsonArray::fromStringList(r.Missing)},
                    {QStringLiteral("ports"), QJsonArray::fromStringList(r.Ports)},
                    {QStringLiteral("rates"), rates}});
}

// Every given port (or every port of the system) at each rate, side by
// side; one line per sensor found on standard output.
int TCoreRun::Scan() {
    const TSwitches switches = TSwitches::Scan(m_options.Switches);
    const QList<int> rates = m_options.Rates.isEmpty()
                                 ? TSensorFinder::DefaultRates(StoredRate(switches))
                                 : m_options.Rates;
    for (const int rate : rates) {
        if (TSensorFinder::KnownRate(rate)) continue;
        Progress(QStringLiteral("%1 is not a rate of the connection dialog").arg(rate));
        return ServiceExit::Usage;
    }
    QList<TScanPort> ports;
    if (m_options.Ports.isEmpty()) {
        ports = TSensorFinder::SystemPorts();
    } else {
        QStringList seen; // the same device under two names is probed once
        for (const QString& given : m_options.Ports) {
            const QString device = given.trimmed();
            const QString canonical = QFileInfo(PortDevicePath(device)).canonicalFilePath();
            const QString key = canonical.isEmpty() ? device : canonical;
            if (device.isEmpty() || seen.contains(key)) continue;
            seen << key;
            ports.append({device, QString()});
        }
    }
    QStringList rateTexts;
    for (const int rate : rates)
        rateTexts << QString::number(rate);
    if (ports.isEmpty()) {
        Progress(QStringLiteral("no serial port to scan: none is present (give --port=DEVICE)"));
        if (m_options.Json) std::fputs(ScanJson({}).toJson().constData(), stdout);
        return ServiceExit::NoAnswer;
    }
    Progress(QStringLiteral("looking for sensors on %1 ports at %2 bit/s (at most %3 s)")
                 .arg(ports.size())
                 .arg(rateTexts.join(u','))
                 .arg((TSensorFinder::ScanTimeoutMs(rates) + 999) / 1000));
    TSensorFinder finder;
    bool finished = false;
    finder.Finished = [&finished] { finished = true; };
    finder.SensorFound = [](const TFoundSensor& s) {
        Progress(QStringLiteral("found S/N %1 on %2 at %3 bit/s")
                     .arg(s.Identity.SerialNumber, s.Device)
                     .arg(s.Rate));
    };
    finder.Start(ports, rates);
    WaitUntil([&] { return finished || m_interrupted; },
              TSensorFinder::ScanTimeoutMs(rates) + 10000);
    if (!finished) {
        finder.Cancel();
        WaitUntil([&] { return finished; }, 5000);
    }
    const TScanResult& result = finder.Result();
    for (const TSkippedPort& skipped : result.Skipped) {
        Progress(QStringLiteral("skipped: %1").arg(skipped.Problem.ShortText()));
        const QString fix = skipped.Problem.FixText();
        if (!fix.isEmpty()) Progress(QString(fix).replace(u'\n', QStringLiteral("; ")));
    }
    if (m_options.Json) {
        std::fputs(ScanJson(result).toJson().constData(), stdout);
    } else {
        for (const TFoundSensor& s : result.Found)
            std::printf("%s\n", FoundLine(s).toLocal8Bit().constData());
    }
    std::fflush(stdout);
    if (m_interrupted) return ServiceExit::Cancelled;
    if (result.Found.isEmpty()) {
        Progress(QStringLiteral("no sensor found: tried %1 at %2 bit/s")
                     .arg(result.Ports.join(QStringLiteral(", ")), rateTexts.join(u',')));
        return ServiceExit::NoAnswer;
    }
    return ServiceExit::Done;
}

// The service record: a sensor's events newest first, or every sensor
// known with its last event. No link: only the database is read.
int TCoreRun::Record() {
    QDateTime since;
    if (!m_options.Since.isEmpty()) {
        since = ParseSince(m_options.Since);
        if (!since.isValid()) {
            Progress(QStringLiteral("--since needs a date such as 2024-05-02 or 2024-05-02T14:00"));
            return ServiceExit::Usage;
        }
    }
    TRecordStore store;
    if (!QFileInfo::exists(store.Path())) { // nothing recorded yet: nothing to create
        if (m_options.File.isEmpty()) {
            if (m_options.Json) PrintJson(SensorsJson({}).object());
            return ServiceExit::Done;
        }
        Progress(QStringLiteral("nothing is recorded of S/N %1").arg(m_options.File));
        return ServiceExit::NoAnswer;
    }
    if (!store.Open()) {
        Progress(QStringLiteral("the service record cannot be read: %1").arg(store.Error()));
        return ServiceExit::FileError;
    }
    if (m_options.File.isEmpty()) {
        const auto sensors = store.Sensors();
        if (!sensors) {
            Progress(QStringLiteral("the service record cannot be read: %1").arg(store.Error()));
            return ServiceExit::FileError;
        }
        if (m_options.Json)
            PrintJson(SensorsJson(*sensors).object());
        else
            std::fputs(SensorsText(*sensors).toLocal8Bit().constData(), stdout);
        return ServiceExit::Done;
    }
    const QString serial = m_options.File;
    const auto events = store.Events(serial, since);
    if (!events) {
        Progress(QStringLiteral("the service record cannot be read: %1").arg(store.Error()));
        return ServiceExit::FileError;
    }
    // A sensor with no event since the date is still known; one with no
    // event at all is not.
    bool known = !events->isEmpty();
    if (!known && since.isValid()) {
        const auto all = store.Events(serial);
        known = all && !all->isEmpty();
    }
    if (!known) {
        Progress(QStringLiteral("nothing is recorded of S/N %1").arg(serial));
        return ServiceExit::NoAnswer;
    }
    if (m_options.Json) {
        PrintJson(EventsJson(serial, *events).object());
    } else {
        QString text;
        for (const TRecordEvent& event : *events)
            text += EventText(event);
        std::fputs(text.toLocal8Bit().constData(), stdout);
    }
    return ServiceExit::Done;
}

int TCoreRun::Run() {
    if (m_options.Command == u"record") return Record();
    if (!m_options.File.isEmpty()) m_options.File = QFileInfo(m_options.File).absoluteFilePath();
    if (m_options.Command == u"scan") {
        // No link: the scan opens the ports itself, and closes them again.
        TSignalWatch signalWatch(ServiceExit::Cancelled);
        QObject::connect(&signalWatch, &TSignalWatch::Signalled, [this] { m_interrupted = true; });
        const int code = Scan();
        Progress(code == ServiceExit::Done ? QStringLiteral("done")
                                           : QStringLiteral("ended with exit code %1").arg(code));
        return code;
    }
    m_link = std::make_unique<TServiceLink>(TSwitches::Scan(m_options.Switches), &Progress);

    // SIGINT and SIGTERM end the running flow's steps before the program ends.
    TSignalWatch signalWatch(ServiceExit::Cancelled);
    QObject::connect(&signalWatch, &TSignalWatch::Signalled, m_link.get(), [this] {
        if (!m_interrupted) Progress(QStringLiteral("interrupted: ending the flow's steps"));
        m_interrupted = true;
        m_link->Engine().RequestCancel();
    });

    int code = ServiceExit::Done;
    switch (m_link->Connect()) {
    case TServiceLink::TConnect::Connected:
        break;
    case TServiceLink::TConnect::NoLink:
        code = ServiceExit::NoLink;
        break;
    case TServiceLink::TConnect::PortBusy:
        code = ServiceExit::PortBusy;
        break;
    case TServiceLink::TConnect::NoAnswer:
        code = ServiceExit::NoAnswer;
        break;
    }
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
    if (!m_link->Owed().isEmpty())
        Progress(QStringLiteral("the sensor could not be given back %1 commands (it was lost)")
                     .arg(m_link->Owed().size()));
    m_link->Close();
    m_link.reset();
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
           "  orxterm scan [--port=DEVICE ...] [--rates=LIST] [--json]\n"
           "                                    find sensors: every port at each rate\n"
           "  orxterm record [S/N] [--since DATE]\n"
           "                                    a sensor's service record newest first, or the\n"
           "                                    sensors recorded with their last event (no link)\n"
           "  info, compare, record and scan take --json: one JSON document on standard output.\n"
           "  with the switches local|telnet|remote, --port=DEVICE, --address=HOST[:PORT],\n"
           "  --config=FILE, debug. Exit codes: 0 done, 1 usage, 2 no link, 3 no answer,\n"
           "  4 sensor error, 5 file error, 6 interrupted, 7 differing factory constant not\n"
           "  answered, 8 port busy.\n";
}

// A service command may stand anywhere among the switches ("debug read
// FILE", "--port=X info"): the first argument that names one.
static bool HasServiceCommand(const QStringList& arguments) {
    for (const QString& a : arguments)
        if (Commands.contains(a)) return true;
    return false;
}

bool IsServiceCommand(int argc, char** argv) {
    return HasServiceCommand(ArgumentList(argc, argv));
}

void HandOverToServiceProgram(char** argv) {
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return;
    self[length] = 0;
    const QString folder = QFileInfo(QString::fromLocal8Bit(self)).absolutePath();
    for (const QString& candidate :
         {folder + QStringLiteral("/orxterm-service"),
          QDir::cleanPath(
              folder + QStringLiteral("/" ORX_LIBEXEC_FROM_BINDIR "/orxterm/orxterm-service"))}) {
        const QByteArray path = QFile::encodeName(candidate);
        if (access(path.constData(), X_OK) != 0) continue;
        char* const first = argv[0];
        argv[0] = const_cast<char*>(path.constData());
        execv(path.constData(), argv);
        argv[0] = first; // it could not be started: the caller goes on
    }
}

int RunServiceCommand(int argc, char** argv) {
    const QStringList arguments = ArgumentList(argc, argv);
    if (!HasServiceCommand(arguments)) return -1;
    QString error;
    const std::optional<TServiceOptions> options = ParseOptions(arguments, &error);
    if (!options) {
        std::fprintf(stderr, "orxterm: %s\n%s", error.toLocal8Bit().constData(), ServiceUsage());
        return ServiceExit::Usage;
    }
    // No window and no display: the flows run in a core application,
    // whatever QT_QPA_PLATFORM and DISPLAY say.
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("OrxTerm"));
    QCoreApplication::setApplicationVersion(QLatin1String(OrxVersion::ProductVersion));
    TCoreRun run(*options);
    return run.Run();
}
