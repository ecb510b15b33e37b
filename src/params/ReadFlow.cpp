// SPDX-License-Identifier: MIT
#include "ReadFlow.h"

#include "Labels.h"
#include "ParameterCatalogue.h"
#include "ParameterFile.h"
#include "TCommandEngine.h"

#include <QDateTime>
#include <QDir>

TReadFlow::TReadFlow(TFlowHost& host, TFlowProgress progress)
    : m_host(host), m_progress(std::move(progress)) {}

void TReadFlow::Step(const QString& text) const {
    if (m_progress) m_progress(text, 0, 0);
}

// --- Text helpers --------------------------------------------------------------------

QStringList TReadFlow::ReplyLines(const QByteArray& reply) {
    QString text = QString::fromLatin1(reply);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    QStringList lines = text.split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

QString TReadFlow::ReplaceParameterLine(const QString& text, const QString& key,
                                        const QString& line) {
    const qsizetype at = text.indexOf(key, 0, Qt::CaseInsensitive);
    if (at < 0 || key.isEmpty()) return text;
    qsizetype end = text.indexOf(u'\r', at + key.size());
    if (end < 0) end = text.size();
    return text.left(at) + line + text.mid(end);
}

void TReadFlow::ParseInfo(const QStringList& lines, TSensorIdentity& identity) {
    // The first word of a text, and the rest after its blank (`rest` may
    // be the text itself).
    auto split = [](const QString& text, QString* rest) {
        const qsizetype blank = text.indexOf(u' ');
        const QString word = blank < 0 ? text : text.left(blank);
        *rest = blank < 0 ? QString() : text.mid(blank + 1);
        return word;
    };
    for (const QString& line : lines) {
        QString rest;
        QString word = split(line, &rest);
        if (word.compare(QLatin1String("ORX"), Qt::CaseInsensitive) == 0) {
            word = split(rest, &rest);
            identity.Model = word;
            identity.SoftwareVersion = rest;
            identity.Firmware32Bit = rest.toLower().contains(QLatin1String("32bit"));
        } else if (rest.toLower().contains(QLatin1String("32bit"))) {
            word = split(rest, &rest);
            identity.SoftwareVersion = rest;
            identity.Firmware32Bit = true;
        }
        if (word.compare(QLatin1String("S/N"), Qt::CaseInsensitive) == 0)
            identity.SerialNumber = rest;
    }
}

QStringList TReadFlow::HeaderLines() {
    return {QStringLiteral("REM PARAMETER FILE"),
            QStringLiteral("REM DATE ") + FileDateText(QDateTime::currentDateTime()), QString()};
}

bool TReadFlow::HasParameterLines(const QString& reply) {
    for (const QString& line : ReplyLines(reply.toLatin1())) {
        const QString key = line.trimmed().section(u' ', 0, 0);
        if (FindParameterKey(key)) return true;
    }
    return false;
}

// --- The handshake and the identification -----------------------------------------------

bool TReadFlow::Handshake(int* previous, int* channel, QString* message) {
    const bool linkAtStart = m_host.LinkOpen();
    TCommandEngine& engine = m_host.Engine();
    bool ok = false;
    int sid = engine.GetCmd(QByteArray("SID\r\n"), "SID\r\n", "\r\n", 0, 500).trimmed().toInt(&ok);
    if (!ok) sid = -1;
    m_host.Sensor().SetSensorPort(sid);
    const int n = m_host.Sensor().Identity().OutputChannel();
    *channel = n;
    const QByteArray query = QStringLiteral("S%1ON\r\nS%1ON %2\r\n").arg(n).arg(0).toLatin1();
    const QByteArray start = QStringLiteral("S%1ON\r\n").arg(n).toLatin1();
    *previous = engine.GetCmd(query, start, "\r\n", 0, 500).trimmed().toInt(&ok);
    if (!ok) *previous = -1;
    if (*previous >= 0) return true;
    // A port that went away meanwhile has said so in COM Status already;
    // without a link from the start the user asked for it and is told.
    if (engine.LinkUp() || !linkAtStart) *message = LabelText(105);
    return false;
}

TIdentifyResult TReadFlow::Identify() {
    TIdentifyResult result;
    Step(QStringLiteral("identifying the sensor"));
    TCommandEngine::Delay(500);
    int previous = -1;
    int n = 1;
    if (!Handshake(&previous, &n, &result.Message)) {
        result.Outcome = m_host.Engine().LinkUp() ? TFlowResult::NoAnswer : TFlowResult::NoLink;
        return result;
    }
    TSensorIdentity identity = m_host.Sensor().Identity();
    ParseInfo(ReplyLines(m_host.Engine().GetCmd(QByteArray("INFO\r\n"), "INFO\r\n", "->", 0, 1000)),
              identity);
    m_host.Sensor().SetIdentity(identity);
    result.Outcome = TFlowResult::Done;
    if (previous > 0) {
        const QByteArray on = QStringLiteral("S%1ON 1\r\n").arg(n).toLatin1();
        if (!m_host.Engine().SetCmd(on)) {
            m_host.OweSensor({on});
            result.Outcome = TFlowResult::NoLink;
        }
    }
    return result;
}

// --- Reading the parameter set ------------------------------------------------------------

QStringList TReadFlow::ReadInfoLines() {
    TCommandEngine& engine = m_host.Engine();
    QStringList lines =
        ReplyLines(engine.GetCmd(QByteArray("INFO\r\n"), "INFO\r\n", "->", 0, 1000));
    if (m_host.Sensor().Firmware32Bit())
        lines += ReplyLines(engine.GetCmd(QByteArray("POST\r\n"), "POST\r\n", "->", 0, 1000));
    return lines;
}

void TReadFlow::EnterSystemMode() {
    for (const QByteArray& c : SensorCommand::SystemModeEntry)
        m_host.Engine().SetCmd(c);
}

QByteArrayList TReadFlow::RestoreCommands(int previous, int n, bool systemMode) {
    QByteArrayList commands;
    if (systemMode) commands << SensorCommand::SystemModeExit;
    if (previous != 0) commands << QStringLiteral("S%1ON %2\r\n").arg(n).arg(previous).toLatin1();
    return commands;
}

// Out of system mode, and the output back as it was. What could not be
// sent because the link went away is owed to the sensor; false then.
bool TReadFlow::LeaveSystemModeAndRestore(int previous, int n, bool systemMode) {
    const QByteArrayList commands = RestoreCommands(previous, n, systemMode);
    for (qsizetype i = 0; i < commands.size(); ++i) {
        if (!m_host.Engine().SetCmd(commands.at(i))) {
            m_host.OweSensor(commands.mid(i));
            return false;
        }
    }
    return true;
}

// READ after the lines in `head`; the S<n>ON line shows the state from
// before the handshake. Empty when the sensor sent no parameter set (no
// answer, or an answer without a single parameter line).
QString TReadFlow::ReadParameterList(const QString& head, int previous, int n) {
    const QByteArray reply =
        m_host.Engine().GetCmd(QByteArray("READ\r\n"), "READ\r\n", "->", 0, 5000);
    if (!HasParameterLines(QString::fromLatin1(reply))) return {};
    QString text = head + u'\n' + QString::fromLatin1(reply);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (text.endsWith(u'\n')) text.chop(1); // the reply's last line end ends the list
    if (previous > 0) {
        text.replace(u'\n', u'\r');
        text = ReplaceParameterLine(text, QStringLiteral("S%1ON").arg(n),
                                    QStringLiteral("S%1ON         %2").arg(n).arg(previous));
        text.replace(u'\r', u'\n');
    }
    return text;
}

// The sensor sent no set: the link went away (the sensor is owed its way
// out of system mode), or it did not answer. `kept` says what the user's
// data is left as.
void TReadFlow::NoSet(TReadResult& result, int previous, int n, const QString& kept) {
    const bool lost = !m_host.Engine().LinkUp();
    if (lost)
        m_host.OweSensor(RestoreCommands(previous, n, true));
    else
        result.Restored = LeaveSystemModeAndRestore(previous, n, true);
    if (lost) result.Restored = false;
    result.Outcome = lost ? TFlowResult::NoLink : TFlowResult::NoAnswer;
    result.Message = (lost ? LabelText(144) : LabelText(138)) + u'\r' + kept;
}

TReadResult TReadFlow::Read(TReadTarget target, const QString& file) {
    TReadResult result;
    if (!m_host.LinkOpen()) return result;
    TCommandEngine& engine = m_host.Engine();
    Step(QStringLiteral("switching the sensor's output off"));
    engine.SetCmd(SensorCommand::Attention);
    int previous = -1;
    int n = 1;
    if (!Handshake(&previous, &n, &result.Message)) {
        result.Outcome = engine.LinkUp() ? TFlowResult::NoAnswer : TFlowResult::NoLink;
        return result;
    }
    if (target == TReadTarget::Editor && m_host.LinkMode() == TLinkMode::Local) {
        // Closing and opening again identifies the sensor afresh (its
        // output is off now, so the identification leaves it off).
        m_host.ClosePort();
        if (!m_host.OpenPort()) {
            m_host.OweSensor(RestoreCommands(previous, n, false));
            result.Restored = previous == 0;
            result.Message = LabelText(144) + u'\r' + LabelText(140);
            return result;
        }
    }
    QStringList head = HeaderLines();
    if (target != TReadTarget::Compare) {
        result.Info = ReadInfoLines();
        if (target == TReadTarget::File) {
            for (const QString& line : result.Info)
                head << QStringLiteral("REM ") + line;
            head << QString();
        }
    }
    Step(QStringLiteral("reading the parameter set"));
    EnterSystemMode();
    const QString text = ReadParameterList(head.join(u'\n'), previous, n);
    if (text.isEmpty()) {
        const QString kept = target == TReadTarget::Editor ? LabelText(140)
                             : target == TReadTarget::File
                                 ? LabelText(139).arg(QDir::toNativeSeparators(file))
                                 : QString();
        NoSet(result, previous, n, kept);
        return result;
    }
    result.Text = text;
    // The sensor is taken out of system mode and gets its output back before
    // a file is written, so a failing disk cannot leave it in system mode.
    result.Restored = LeaveSystemModeAndRestore(previous, n, true);
    if (target == TReadTarget::File) {
        QString error;
        if (!SaveParameterLines(file, text.split(u'\n'), &error)) {
            result.Outcome = TFlowResult::FileError;
            result.Message = error;
            return result;
        }
    }
    result.Outcome = result.Restored ? TFlowResult::Done : TFlowResult::NoLink;
    if (!result.Restored) result.Message = LabelText(145);
    return result;
}
