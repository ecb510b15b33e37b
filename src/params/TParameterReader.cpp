// SPDX-License-Identifier: MIT
#include "TParameterReader.h"

#include "FileDialogs.h"
#include "Labels.h"
#include "MsgBox.h"
#include "ParameterCatalogue.h"
#include "ParameterFile.h"
#include "TCommandEngine.h"
#include "TParameterForm.h"
#include "WaitCursor.h"

#include <QAction>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QGuiApplication>
#include <QLocale>
#include <QPlainTextEdit>
#include <QScopeGuard>

TParameterReader::TParameterReader(THost& host, TParameterForm& editor, QObject* parent)
    : QObject(parent), m_host(host), m_editor(editor) {}

bool TParameterReader::LinkOpen() const {
    return m_host.PortOpen() || m_host.LinkMode() != TLinkMode::Local;
}

// --- Text helpers --------------------------------------------------------------------

QStringList TParameterReader::ReplyLines(const QByteArray& reply) {
    QString text = QString::fromLatin1(reply);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    QStringList lines = text.split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

QString TParameterReader::ReplaceParameterLine(const QString& text, const QString& key,
                                               const QString& line) {
    const qsizetype at = text.indexOf(key, 0, Qt::CaseInsensitive);
    if (at < 0 || key.isEmpty()) return text;
    qsizetype end = text.indexOf(u'\r', at + key.size());
    if (end < 0) end = text.size();
    return text.left(at) + line + text.mid(end);
}

void TParameterReader::ParseInfo(const QStringList& lines, TSensorIdentity& identity) {
    // The first word of a text, and the rest after its blank.
    auto split = [](const QString& text, QString* rest) {
        const qsizetype blank = text.indexOf(u' ');
        *rest = blank < 0 ? QString() : text.mid(blank + 1);
        return blank < 0 ? text : text.left(blank);
    };
    for (const QString& line : lines) {
        QString rest;
        QString word = split(line, &rest);
        if (word.compare(QLatin1String("ORX"), Qt::CaseInsensitive) == 0) {
            word = split(rest, &rest);
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

QStringList TParameterReader::HeaderLines() {
    return {QStringLiteral("REM PARAMETER FILE"),
            QStringLiteral("REM DATE ") + FileDateText(QDateTime::currentDateTime()), QString()};
}

// --- The handshake and the identification -----------------------------------------------

bool TParameterReader::Handshake(int* previous, int* channel) {
    const bool linkAtStart = LinkOpen();
    TCommandEngine& engine = m_host.Engine();
    bool ok = false;
    int sid = engine.GetCmd(QByteArray("SID\r\n"), "SID\r\n", "\r\n", 0, 500).trimmed().toInt(&ok);
    if (!ok) sid = -1;
    m_host.Sensor().SetSensorPort(sid);
    const int n = Channel();
    if (channel) *channel = n;
    const QByteArray query = QStringLiteral("S%1ON\r\nS%1ON %2\r\n").arg(n).arg(0).toLatin1();
    const QByteArray start = QStringLiteral("S%1ON\r\n").arg(n).toLatin1();
    *previous = engine.GetCmd(query, start, "\r\n", 0, 500).trimmed().toInt(&ok);
    if (!ok) *previous = -1;
    if (*previous >= 0) return true;
    // A port that went away meanwhile has said so in COM Status already;
    // without a link from the start the user asked for it and is told.
    if (engine.LinkUp() || !linkAtStart) m_host.ShowMsgBox(LabelText(105), mtError, mbOK);
    return false;
}

QStringList TParameterReader::ReadInfoLines() {
    TCommandEngine& engine = m_host.Engine();
    QStringList lines =
        ReplyLines(engine.GetCmd(QByteArray("INFO\r\n"), "INFO\r\n", "->", 0, 1000));
    if (m_host.Sensor().Firmware32Bit())
        lines += ReplyLines(engine.GetCmd(QByteArray("POST\r\n"), "POST\r\n", "->", 0, 1000));
    return lines;
}

void TParameterReader::IdentifySensor() {
    if (m_identifying) return; // one identification at a time
    m_identifying = true;
    // Reading waits for the identification (the button is off meanwhile).
    QAction* read = m_reading ? nullptr : m_editor.ReadAction();
    const bool readWasEnabled = read && read->isEnabled();
    if (read) read->setEnabled(false);
    auto done = qScopeGuard([this, read, readWasEnabled] {
        m_identifying = false;
        if (read && readWasEnabled) read->setEnabled(true);
    });
    TWaitCursor wait;
    TCommandEngine::Delay(500);
    int previous = -1;
    int n = 1;
    if (!Handshake(&previous, &n)) return;
    TSensorIdentity identity = m_host.Sensor().Identity();
    ParseInfo(ReplyLines(m_host.Engine().GetCmd(QByteArray("INFO\r\n"), "INFO\r\n", "->", 0, 1000)),
              identity);
    m_host.Sensor().SetIdentity(identity);
    if (previous > 0) {
        const QByteArray on = QStringLiteral("S%1ON 1\r\n").arg(n).toLatin1();
        if (!m_host.Engine().SetCmd(on)) m_host.OweSensor({on});
    }
}

// --- Reading the parameter set ------------------------------------------------------------

void TParameterReader::EnterSystemMode() {
    for (const QByteArray& c : SensorCommand::SystemModeEntry)
        m_host.Engine().SetCmd(c);
}

QByteArrayList TParameterReader::RestoreCommands(int previous, int n, bool systemMode) {
    QByteArrayList commands;
    if (systemMode) commands << SensorCommand::SystemModeExit;
    if (previous != 0) commands << QStringLiteral("S%1ON %2\r\n").arg(n).arg(previous).toLatin1();
    return commands;
}

// Out of system mode, and the output back as it was. What could not be
// sent because the link went away is owed to the sensor; false then.
bool TParameterReader::LeaveSystemModeAndRestore(int previous, int n, bool systemMode) {
    const QByteArrayList commands = RestoreCommands(previous, n, systemMode);
    for (qsizetype i = 0; i < commands.size(); ++i) {
        if (!m_host.Engine().SetCmd(commands.at(i))) {
            m_host.OweSensor(commands.mid(i));
            return false;
        }
    }
    return true;
}

bool TParameterReader::HasParameterLines(const QString& reply) {
    for (const QString& line : ReplyLines(reply.toLatin1())) {
        const QString key = line.trimmed().section(u' ', 0, 0);
        if (FindParameterKey(key)) return true;
    }
    return false;
}

// READ after the lines in `head`; the S<n>ON line shows the state from
// before the handshake. Empty when the sensor sent no parameter set (no
// answer, or an answer without a single parameter line).
QString TParameterReader::ReadParameterList(const QString& head, int previous, int n) {
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
void TParameterReader::ReportNoSet(int previous, int n, const QString& kept) {
    const bool lost = !m_host.Engine().LinkUp();
    if (lost)
        m_host.OweSensor(RestoreCommands(previous, n, true));
    else
        LeaveSystemModeAndRestore(previous, n, true);
    m_result = lost ? TFlowResult::NoLink : TFlowResult::NoAnswer;
    m_host.ShowMsgBox((lost ? LabelText(144) : LabelText(138)) + u'\r' + kept, mtError, mbOK);
}

// After a handshake that failed: a link that went away, or no answer.
void TParameterReader::HandshakeFailed() {
    m_result = m_host.Engine().LinkUp() ? TFlowResult::NoAnswer : TFlowResult::NoLink;
}

void TParameterReader::PublishMemoRec(const QString& text) {
    QGuiApplication::clipboard()->setText(text);
    m_host.ShowError(QStringLiteral("Copy to clipboard"));
}

void TParameterReader::Parameter_auslesen() {
    m_result = TFlowResult::NoLink;
    if (!LinkOpen() || m_reading || m_identifying) return;
    m_reading = true;
    QAction* button = m_editor.ReadAction();
    if (button) button->setEnabled(false);
    auto done = qScopeGuard([this, button] {
        if (button) button->setEnabled(true);
        m_reading = false;
        emit ReadFinished();
    });
    TCommandEngine& engine = m_host.Engine();
    engine.SetCmd(SensorCommand::Attention);
    int previous = -1;
    int n = 1;
    if (!Handshake(&previous, &n)) return HandshakeFailed();
    if (m_host.LinkMode() == TLinkMode::Local) {
        // Closing and opening again identifies the sensor afresh (its
        // output is off now, so the identification leaves it off).
        m_host.ClosePort();
        if (!m_host.OpenPort()) {
            m_host.OweSensor(RestoreCommands(previous, n, false));
            m_result = TFlowResult::NoLink;
            m_host.ShowMsgBox(LabelText(144) + u'\r' + LabelText(140), mtError, mbOK);
            return;
        }
    }
    const QStringList info = ReadInfoLines();
    EnterSystemMode();
    const QString text = ReadParameterList(HeaderLines().join(u'\n'), previous, n);
    if (text.isEmpty()) return ReportNoSet(previous, n, LabelText(140));
    m_editor.Memo_bemerkung->setPlainText(info.join(u'\n'));
    m_host.MemoRec().setPlainText(text);
    PublishMemoRec(text);
    const bool restored = LeaveSystemModeAndRestore(previous, n, true);
    m_result = restored ? TFlowResult::Done : TFlowResult::NoLink;
    ApplyToEditor(text.split(u'\n'));
    m_editor.SetIdentityLine(QString()); // the INFO lines are among the remarks
    m_editor.KeepExtraLines(text.split(u'\n'));
    m_host.EnableParameterActions(true);
    m_editor.ResetChangeMarks();
    m_editor.ShowModelControls(m_host.Sensor().Firmware32Bit());
    if (!restored) m_host.ShowMsgBox(LabelText(145), mtError, mbOK);
}

void TParameterReader::ApplyToEditor(const QStringList& lines) {
    for (const QString& line : lines) {
        const qsizetype blank = line.indexOf(u' ');
        const QString key = blank < 0 ? line : line.left(blank);
        m_editor.SetParameterValue(key, blank < 0 ? QString() : line.mid(blank + 1).trimmed());
    }
}

bool TParameterReader::ReadSensorSet(QStringList* lines) {
    m_result = TFlowResult::NoLink;
    if (!LinkOpen() || m_reading || m_identifying) return false;
    m_reading = true;
    m_host.EnableDeviceActions(false);
    auto done = qScopeGuard([this] {
        m_host.EnableDeviceActions(LinkOpen());
        m_reading = false;
    });
    TWaitCursor wait;
    m_host.Engine().SetCmd(SensorCommand::Attention);
    int previous = -1;
    int n = 1;
    if (!Handshake(&previous, &n)) {
        HandshakeFailed();
        return false;
    }
    EnterSystemMode();
    const QString text = ReadParameterList(HeaderLines().join(u'\n'), previous, n);
    if (text.isEmpty()) {
        ReportNoSet(previous, n, QString());
        return false;
    }
    m_host.MemoRec().setPlainText(text);
    if (!LeaveSystemModeAndRestore(previous, n, true)) {
        m_result = TFlowResult::NoLink;
        m_host.ShowMsgBox(LabelText(145), mtError, mbOK);
        return false;
    }
    *lines = text.split(u'\n');
    m_result = TFlowResult::Done;
    return true;
}

void TParameterReader::Datei_Parameter_lesen() {
    TFileDialogRequest request;
    request.kind = TFileDialogRequest::Save;
    request.directory = m_host.ParaDir();
    // The parameter files first, so that they are what the dialog shows.
    request.filter = LabelTextOr(102, QStringLiteral("Parameter files (*.par)|*.par")) + u'|' +
                     LabelTextOr(107, QStringLiteral("All files (*)|*"));
    request.defaultSuffix = QStringLiteral("par");
    request.confirmOverwrite = true;
    const QString file = TFileDialogs::GetSaveFileName(m_host.HostWindow(), request);
    m_result = TFlowResult::Cancelled;
    if (file.isEmpty() || m_reading) return;
    m_reading = true;
    m_host.EnableDeviceActions(false);
    auto done = qScopeGuard([this] {
        // Back to what the link allows: a port that closed meanwhile
        // leaves the device actions off.
        m_host.EnableDeviceActions(LinkOpen());
        m_reading = false;
    });
    m_result = TFlowResult::NoLink;
    if (!LinkOpen()) return;
    m_host.Engine().SetCmd(SensorCommand::Attention);
    int previous = -1;
    int n = 1;
    if (!Handshake(&previous, &n)) return HandshakeFailed();
    QStringList remarks = ReadInfoLines();
    for (QString& line : remarks)
        line.prepend(QStringLiteral("REM "));
    EnterSystemMode();
    const QString text = ReadParameterList(
        (HeaderLines() + remarks + QStringList{QString()}).join(u'\n'), previous, n);
    // Without a set the file the user chose stays as it is.
    if (text.isEmpty())
        return ReportNoSet(previous, n, LabelText(139).arg(QDir::toNativeSeparators(file)));
    m_host.MemoRec().setPlainText(text);
    PublishMemoRec(text);
    // The sensor is taken out of system mode and gets its output back before
    // the file is written, so a failing disk cannot leave it in system mode.
    const bool restored = LeaveSystemModeAndRestore(previous, n, true);
    QString error;
    if (!SaveParameterLines(file, text.split(u'\n'), &error)) {
        m_result = TFlowResult::FileError;
        m_host.ShowMsgBox(error, mtError, mbOK);
        return;
    }
    m_result = restored ? TFlowResult::Done : TFlowResult::NoLink;
    if (!restored) m_host.ShowMsgBox(LabelText(145), mtError, mbOK);
}
