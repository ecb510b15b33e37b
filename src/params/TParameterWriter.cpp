// SPDX-License-Identifier: MIT
#include "TParameterWriter.h"

#include "FileDialogs.h"
#include "Labels.h"
#include "LineAnswers.h"
#include "MsgBox.h"
#include "ParameterCatalogue.h"
#include "ParameterFile.h"
#include "TComPort.h"
#include "TCommandEngine.h"
#include "TParameterCompareDlg.h"
#include "TParameterForm.h"
#include "TParameterReadForm.h"
#include "TParameterReader.h"
#include "TParameterStoreForm.h"
#include "WaitCursor.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScopeGuard>

namespace {
// The parameter-file filter first, so that it is what the dialogs show.
QString ParameterFileFilter() {
    return LabelTextOr(102, QStringLiteral("Parameter files (*.par)|*.par")) + u'|' +
           LabelTextOr(107, QStringLiteral("All files (*)|*"));
}
} // namespace

TParameterWriter::TParameterWriter(THost& host, TParameterForm& editor, TParameterReadForm& browser,
                                   TParameterStoreForm& store, QObject* parent)
    : QObject(parent), m_host(host), m_editor(editor), m_browser(browser), m_store(store) {}

bool TParameterWriter::LinkOpen() const {
    return m_host.PortOpen() || m_host.LinkMode() != TLinkMode::Local;
}

// --- Writer A ------------------------------------------------------------------------------

QStringList TParameterWriter::FileLines() const {
    const bool fw32 = m_host.Sensor().Firmware32Bit();
    QStringList lines = TParameterReader::HeaderLines();
    const QString remarks = m_editor.Memo_bemerkung->toPlainText();
    bool identified = false; // a remark is the sensor's identity line
    if (!remarks.isEmpty())
        for (const QString& line : remarks.split(u'\n')) {
            lines << QStringLiteral("REM %1").arg(line);
            identified = identified || lines.last().startsWith(QLatin1String("REM ORX")) ||
                         lines.last().startsWith(QLatin1String("REM SOFTWARE"));
        }
    // A set loaded from a file keeps the identity it was saved with.
    if (!identified && !m_editor.IdentityLine().isEmpty()) lines << m_editor.IdentityLine();
    lines << QStringLiteral("REM PLACE %1").arg(m_editor.ed_standort->text())
          << QStringLiteral("REM TYPE/OPTIONS %1").arg(m_editor.ed_typ->text()) << QString()
          << QStringLiteral("S/N %1").arg(m_editor.SerialNumberText()) << QString();

    // The catalogue's blocks, an empty line between two.
    const QList<QList<const TParameterDef*>> blocks = SaveBlocks(fw32);
    for (qsizetype b = 0; b < blocks.size(); ++b) {
        if (b > 0) lines << QString();
        for (const TParameterDef* def : blocks.at(b)) {
            const QString line = def->Shape == TValueShape::ThreeWords
                                     ? m_editor.FormatSlotFactorLine(true)
                                     : m_editor.FormatSlotLine(def->Code, true);
            if (!line.isEmpty()) lines << line;
        }
    }
    // What the sensor reported beyond the editor's slots.
    if (const QStringList extra = m_editor.ExtraLines(); !extra.isEmpty())
        lines << QString() << extra;
    return lines;
}

void TParameterWriter::Parameter_speichern() {
    const QStringList lines = FileLines();
    m_host.MemoPar().setPlainText(lines.join(u'\n'));
    QGuiApplication::clipboard()->setText(lines.join(QStringLiteral("\r\n")));
    m_host.ShowError(QStringLiteral("Copy to clipboard"));

    // A folder that cannot be listed has been reported: saving ends there
    // (the buffer and the clipboard keep the set).
    if (!m_browser.ScanParameterFiles()) return;
    if (m_store.Execute(m_browser.Records()) != QDialog::Accepted) return;
    QString name = m_store.FileName();
    // Without an extension of its own the name gets ".par" (a dot in the
    // folder's name does not count: the file would not be listed).
    if (!name.contains(u'.')) name += QStringLiteral(".par");
    const QString path = ParameterFilePath(m_host.ParaDir(), name);
    if (QFileInfo::exists(path) &&
        m_host.ShowMsgBox(QStringLiteral("%1: %2").arg(LabelText(113), path), mtConfirmation,
                          mbYesNo) != mrYes)
        return;
    QString error;
    if (!SaveParameterLines(path, lines, &error)) {
        m_host.ShowMsgBox(error, mtError, mbOK);
        return;
    }
    m_browser.ScanParameterFiles();
}

// --- Sending ---------------------------------------------------------------------------------

QStringList TParameterWriter::SendLines() const {
    QStringList lines;
    for (const TParameterDef* def : SendOrder(m_host.Sensor().Firmware32Bit()))
        lines << (def->Shape == TValueShape::ThreeWords
                      ? m_editor.FormatFactorLine(false)
                      : m_editor.FormatParameterLine(def->Code, false));
    return lines;
}

bool TParameterWriter::PrepareSendList(QStringList& lines, int sensorConstant) {
    auto find = [&lines](const QString& text) {
        for (qsizetype i = 0; i < lines.size(); ++i)
            if (lines.at(i).contains(text)) return i;
        return qsizetype(-1);
    };
    if (const qsizetype echo = find(QStringLiteral("ECHO"));
        echo >= 0 && lines.at(echo).contains(u'0'))
        lines.append(lines.takeAt(echo));
    lines.append(QStringLiteral("*EXIT"));
    const qsizetype on = find(QStringLiteral("S%1ON").arg(Channel()));
    if (on >= 0 && !lines.at(on).contains(u'0')) lines.append(lines.takeAt(on));

    const qsizetype constantLine = find(QStringLiteral("CONSTANT"));
    int setConstant = -1;
    if (constantLine >= 0) {
        const QString line = lines.at(constantLine);
        const qsizetype at = line.indexOf(QLatin1String("CONSTANT"));
        qsizetype blank = line.indexOf(u' ', at);
        if (blank < 0) blank = line.size() - 1;
        bool ok = false;
        setConstant = line.mid(blank).trimmed().toInt(&ok);
        if (!ok) setConstant = -1;
    }
    if (setConstant == -1 || setConstant == sensorConstant || m_host.Sensor().Firmware32Bit())
        return true;
    const QString question = LabelText(103) + u'\r' + LabelText(109) + QStringLiteral("\r\r") +
                             LabelText(108) + u'\t' + QString::number(sensorConstant) +
                             QStringLiteral("\r\r") + LabelText(106) + u'\t' +
                             QString::number(setConstant);
    // From the question the operator can see what the set would change.
    const int answer = TFormMsgBox::ShowMsgBoxWithAction(question, mtConfirmation, mbYesNoCancel,
                                                         RawLabelText(920),
                                                         [this, &lines] { ShowChanges(lines); });
    switch (answer) {
    case mrYes:
        lines.removeAt(constantLine); // the sensor keeps its own constant
        return true;
    case mrNo:
        if (m_host.ShowMsgBox(LabelText(111), mtWarning, mbYesNo) != mrYes)
            lines.removeAt(constantLine);
        return true;
    default:
        return false;
    }
}

// The lines about to be sent against the sensor's set, read with READ
// (the sensor is in system mode while the question is asked).
void TParameterWriter::ShowChanges(const QStringList& lines) {
    QStringList sensor;
    {
        TWaitCursor wait;
        sensor = TParameterReader::ReplyLines(
            m_host.Engine().GetCmd(QByteArray("READ\r\n"), "READ\r\n", "->", 0, 5000));
    }
    TParameterCompareDlg dialog(m_host.HostWindow());
    dialog.SetSets(lines, sensor, m_sendTitle);
    dialog.exec();
}

void TParameterWriter::Send(const std::function<QStringList()>& fill, bool store, bool fromForm) {
    if (m_sending) return;
    m_sending = true;
    m_result = TFlowResult::NoLink;
    m_host.EnableDeviceActions(false);
    auto done = qScopeGuard([this] {
        m_host.Engine().StopRecording();
        // Back to what the link allows: a port that closed meanwhile
        // leaves the device actions off.
        m_host.EnableDeviceActions(LinkOpen());
        m_sending = false;
    });
    if (!LinkOpen()) return;
    TCommandEngine& engine = m_host.Engine();
    engine.SetCmd(SensorCommand::Attention);
    engine.SetCmd(QStringLiteral("S%1ON 0\r\n").arg(Channel()).toLatin1());
    for (const QByteArray& c : SensorCommand::SystemModeEntry)
        engine.SetCmd(c);
    bool ok = false;
    const int sensorConstant =
        engine.GetCmd(QByteArray("CONSTANT\r\n"), "CONSTANT\r\n", fromForm ? "\r" : "\r\n", 0, 200)
            .trimmed()
            .toInt(&ok);
    if (!ok || sensorConstant < 0) {
        if (!engine.LinkUp()) {
            // Gone before anything of the set was sent: out of system mode
            // once it is back.
            m_host.OweSensor({SensorCommand::SystemModeExit});
            m_host.ShowMsgBox(LabelText(144), mtError, mbOK);
            return;
        }
        // Nothing is sent; the sensor is not left in system mode.
        engine.SetCmd(SensorCommand::SystemModeExit);
        m_result = TFlowResult::NoAnswer;
        m_host.ShowMsgBox(QStringLiteral("CONSTANT ") + LabelText(105), mtError, mbOK);
        return;
    }
    QStringList lines = fill();
    m_host.MemoPar().setPlainText(lines.join(u'\n'));
    if (!PrepareSendList(lines, sensorConstant)) {
        engine.SetCmd(SensorCommand::SystemModeExit);
        m_result = TFlowResult::ConstantDiffers;
        return;
    }
    m_host.MemoPar().setPlainText(lines.join(u'\n'));
    TWaitCursor wait;
    const qsizetype sent = SendList(lines);
    if (sent < 0) return; // interrupted: m_result says so
    if (sent < lines.size()) {
        ReportLinkLost(lines, sent, ReadLineAnswers(engine.Recorded(), lines).Confirmed);
        return;
    }
    if (!Confirmed(lines)) return;
    if (fromForm) m_editor.ResetChangeMarks();
    m_result = TFlowResult::Done;
    if (store && m_host.ShowMsgBox(LabelText(104), mtConfirmation, mbYesNo) == mrYes) Store();
}

// Sends the lines in order, each as its own command, and records what the
// sensor answers. The number of lines handed to the link: all of them, or
// fewer when the link went away (the first one not sent and all after it
// did not reach the sensor); -1 when the run was interrupted.
qsizetype TParameterWriter::SendList(const QStringList& lines) {
    TCommandEngine& engine = m_host.Engine();
    engine.StartRecording();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (engine.CancelRequested()) {
            // Interrupted: out of system mode, and the output switched
            // on again where the set would have done it at its end.
            engine.SetCmd(SensorCommand::SystemModeExit);
            const QString on = QStringLiteral("S%1ON").arg(Channel());
            if (lines.last().startsWith(on) && i < lines.size() - 1)
                engine.SetCmd(lines.last().toLatin1() + "\r\n");
            m_result = TFlowResult::Cancelled;
            return -1;
        }
        if (!engine.SetCmd(lines.at(i).toLatin1() + "\r\n")) return i;
        QCoreApplication::processEvents();
        if (!engine.LinkUp()) return i + 1;
    }
    return lines.size();
}

// The link went away while the set was being sent: nothing is stored,
// the editor keeps its marks, and what the set would have done to leave
// system mode is owed to the sensor for when it is reached again. Only a
// line the sensor answered is known to have reached it (`answered` lines
// from the first); one the link took may have been lost with the device,
// so from there on the way out is owed (sent twice, it does no harm).
void TParameterWriter::ReportLinkLost(const QStringList& lines, qsizetype sent,
                                      qsizetype answered) {
    m_result = TFlowResult::NoLink;
    const qsizetype exitAt = lines.indexOf(QStringLiteral("*EXIT"));
    QByteArrayList owed;
    if (answered <= exitAt) owed << SensorCommand::SystemModeExit;
    for (qsizetype i = std::max(exitAt + 1, answered); i < lines.size(); ++i)
        owed << lines.at(i).toLatin1() + "\r\n";
    m_host.OweSensor(owed);
    m_host.ShowMsgBox(LabelText(134).arg(sent).arg(lines.size()), mtError, mbOK);
}

// Waits for the sensor's answers to every line sent (the line may be held
// by the sensor meanwhile) and judges them: every line answered and none
// refused. Otherwise the result and a message say what is wrong.
bool TParameterWriter::Confirmed(const QStringList& lines) {
    TCommandEngine& engine = m_host.Engine();
    TLineAnswers answers;
    auto answered = [&] {
        answers = ReadLineAnswers(engine.Recorded(), lines);
        return answers.Confirmed >= lines.size() || !engine.LinkUp();
    };
    // The answers follow the last line within moments once the line has
    // taken it; a held line gets the time it takes, within reason.
    TCommandEngine::WaitUntil([&] { return answered() || engine.Port().PendingOutput() == 0; },
                              MaxHeldMs);
    TCommandEngine::WaitUntil(answered, AnswerWaitMs);
    engine.StopRecording();
    if (!engine.LinkUp()) {
        ReportLinkLost(lines, lines.size(), answers.Confirmed);
        return false;
    }
    if (answers.Confirmed < lines.size()) {
        m_result = TFlowResult::NoAnswer;
        m_host.ShowMsgBox(LabelText(135).arg(lines.size() - answers.Confirmed).arg(lines.size()),
                          mtError, mbOK);
        return false;
    }
    if (!answers.Refused.isEmpty()) {
        m_result = TFlowResult::SensorError;
        QStringList list;
        for (qsizetype i = 0; i < answers.Refused.size() && i < 10; ++i)
            list << QStringLiteral("%1  (%2)")
                        .arg(lines.at(answers.Refused.at(i)).left(60),
                             answers.RefusedAnswers.at(i));
        if (answers.Refused.size() > 10) list << QStringLiteral("...");
        m_host.ShowMsgBox(LabelText(136).arg(answers.Refused.size()).arg(lines.size()) + u'\r' +
                              list.join(u'\r'),
                          mtError, mbOK);
        return false;
    }
    return true;
}

// Stores the set in the sensor's permanent memory and checks that the
// sensor took both commands.
void TParameterWriter::Store() {
    TCommandEngine& engine = m_host.Engine();
    const QStringList commands = {QStringLiteral("*STORE"), QStringLiteral("/KELBOR")};
    engine.StartRecording();
    bool sent = true;
    for (const QString& c : commands)
        sent = sent && engine.SetCmd(c.toLatin1() + "\r\n");
    TLineAnswers answers;
    TCommandEngine::WaitUntil(
        [&] {
            answers = ReadLineAnswers(engine.Recorded(), commands);
            return answers.Confirmed >= commands.size() || !engine.LinkUp();
        },
        MaxHeldMs);
    engine.StopRecording();
    if (sent && answers.Confirmed >= commands.size() && answers.Refused.isEmpty()) return;
    m_result = !engine.LinkUp()                      ? TFlowResult::NoLink
               : answers.Confirmed < commands.size() ? TFlowResult::NoAnswer
                                                     : TFlowResult::SensorError;
    m_host.ShowMsgBox(LabelText(137), mtError, mbOK);
}

void TParameterWriter::SendFormParameters(bool store) {
    m_sendTitle = LabelText(925);
    Send([this] { return SendLines(); }, store, true);
}

void TParameterWriter::Datei_Parameter_schreiben() {
    TFileDialogRequest request;
    request.kind = TFileDialogRequest::Open;
    request.directory = m_host.ParaDir();
    request.filter = ParameterFileFilter();
    request.defaultSuffix = QStringLiteral("par");
    request.mustExist = true;
    m_editor.Reader().IdentifySensor();
    const QString file = TFileDialogs::GetOpenFileName(m_host.HostWindow(), request);
    m_result = TFlowResult::Cancelled;
    if (!file.isEmpty()) SendParameterText(true, file);
}

void TParameterWriter::SendParameterText(bool fromFile, const QString& file) {
    m_sendTitle = fromFile ? QFileInfo(file).fileName() : QStringLiteral("Clipboard");
    // The file is read once, before the sensor is touched: what cannot be
    // read sends nothing, and what was read is what goes out. Its bytes go
    // out as they are (Latin-1 maps each byte to one character and back).
    QStringList fileLines;
    if (fromFile) {
        QString error;
        if (!ReadParameterLines(file, &fileLines, &error, /*asBytes=*/true)) {
            m_result = TFlowResult::FileError;
            m_host.ShowMsgBox(error, mtError, mbOK);
            return;
        }
    }
    Send(
        [this, fromFile, &fileLines] {
            if (fromFile) return fileLines;
            const QString text = QGuiApplication::clipboard()->text();
            if (text.isEmpty()) return QStringList{QStringLiteral("REM Clipboard not valid")};
            m_host.ShowError(QStringLiteral("Load from clipboard"));
            QString normal = text;
            normal.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
            QStringList lines = normal.split(u'\n');
            if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
            return lines;
        },
        true, false);
}
