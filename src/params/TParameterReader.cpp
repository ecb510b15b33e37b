// SPDX-License-Identifier: MIT
#include "TParameterReader.h"

#include "FileDialogs.h"
#include "Labels.h"
#include "MsgBox.h"
#include "ParameterFile.h"
#include "TCommandEngine.h"
#include "TParameterForm.h"
#include "WaitCursor.h"

#include <QAction>
#include <QClipboard>
#include <QDateTime>
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
    if (LinkOpen() || !linkAtStart) m_host.ShowMsgBox(LabelText(105), mtError, mbOK);
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
    if (previous > 0) m_host.Engine().SetCmd(QStringLiteral("S%1ON 1\r\n").arg(n).toLatin1());
}

// --- Reading the parameter set ------------------------------------------------------------

void TParameterReader::EnterSystemMode() {
    for (const QByteArray& c : SensorCommand::SystemModeEntry)
        m_host.Engine().SetCmd(c);
}

void TParameterReader::LeaveSystemModeAndRestore(int previous, int n) {
    m_host.Engine().SetCmd(SensorCommand::SystemModeExit);
    if (previous != 0)
        m_host.Engine().SetCmd(QStringLiteral("S%1ON %2\r\n").arg(n).arg(previous).toLatin1());
}

// READ into Memo_Rec after what is there already; the S<n>ON line shows the
// state from before the handshake.
QString TParameterReader::ReadParameterList(int previous, int n, bool* answered) {
    QPlainTextEdit& memo = m_host.MemoRec();
    const QByteArray reply =
        m_host.Engine().GetCmd(QByteArray("READ\r\n"), "READ\r\n", "->", 0, 5000);
    *answered = !reply.trimmed().isEmpty();
    QString text = memo.toPlainText() + u'\n' + QString::fromLatin1(reply);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (text.endsWith(u'\n')) text.chop(1); // the reply's last line end ends the list
    if (previous > 0) {
        text.replace(u'\n', u'\r');
        text = ReplaceParameterLine(text, QStringLiteral("S%1ON").arg(n),
                                    QStringLiteral("S%1ON         %2").arg(n).arg(previous));
        text.replace(u'\r', u'\n');
    }
    memo.setPlainText(text);
    return text;
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
    m_result = TFlowResult::NoAnswer;
    if (!Handshake(&previous, &n)) return;
    if (m_host.LinkMode() == TLinkMode::Local) {
        // Closing and opening again identifies the sensor afresh (its
        // output is off now, so the identification leaves it off).
        m_host.ClosePort();
        m_host.OpenPort();
    }
    const QStringList info = ReadInfoLines();
    m_editor.Memo_bemerkung->setPlainText(info.join(u'\n'));
    EnterSystemMode();
    m_host.MemoRec().setPlainText(HeaderLines().join(u'\n'));
    bool answered = false;
    const QString text = ReadParameterList(previous, n, &answered);
    PublishMemoRec(text);
    LeaveSystemModeAndRestore(previous, n);
    m_result = answered ? TFlowResult::Done : TFlowResult::NoAnswer;

    for (const QString& line : text.split(u'\n')) {
        const qsizetype blank = line.indexOf(u' ');
        const QString key = blank < 0 ? line : line.left(blank);
        m_editor.SetParameterValue(key, blank < 0 ? QString() : line.mid(blank + 1).trimmed());
    }
    m_host.EnableParameterActions(true);
    m_editor.ResetChangeMarks();
    m_editor.ShowModelControls(m_host.Sensor().Firmware32Bit());
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
    m_result = TFlowResult::NoAnswer;
    if (!Handshake(&previous, &n)) return false;
    EnterSystemMode();
    m_host.MemoRec().setPlainText(HeaderLines().join(u'\n'));
    bool answered = false;
    const QString text = ReadParameterList(previous, n, &answered);
    LeaveSystemModeAndRestore(previous, n);
    if (!answered) return false;
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
    m_result = TFlowResult::NoAnswer;
    if (!Handshake(&previous, &n)) return;
    QStringList remarks = ReadInfoLines();
    for (QString& line : remarks)
        line.prepend(QStringLiteral("REM "));
    EnterSystemMode();
    m_host.MemoRec().setPlainText((HeaderLines() + remarks + QStringList{QString()}).join(u'\n'));
    bool answered = false;
    const QString text = ReadParameterList(previous, n, &answered);
    PublishMemoRec(text);
    // The sensor is taken out of system mode and gets its output back before
    // the file is written, so a failing disk cannot leave it in system mode.
    LeaveSystemModeAndRestore(previous, n);
    QString error;
    if (!SaveParameterLines(file, text.split(u'\n'), &error)) {
        m_result = TFlowResult::FileError;
        m_host.ShowMsgBox(error, mtError, mbOK);
        return;
    }
    m_result = answered ? TFlowResult::Done : TFlowResult::NoAnswer;
}
