// SPDX-License-Identifier: MIT
#include "TParameterWriter.h"

#include "FileDialogs.h"
#include "FlowRecords.h"
#include "Labels.h"
#include "LineAnswers.h"
#include "MsgBox.h"
#include "ParameterCatalogue.h"
#include "ParameterFile.h"
#include "ReadFlow.h"
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

#include <optional>

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

// --- Writer A ------------------------------------------------------------------------------

QStringList TParameterWriter::FileLines() const {
    const bool fw32 = m_host.Sensor().Firmware32Bit();
    QStringList lines = TReadFlow::HeaderLines();
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
    m_host.ShowParameterLog(THost::TParameterLog::Written, lines.join(u'\n'));
    QGuiApplication::clipboard()->setText(lines.join(QStringLiteral("\r\n")));
    m_host.ShowError(LabelText(162));

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
    TWriteFlow flow(m_host, *this);
    m_flow = &flow;
    const bool ok = flow.PrepareSendList(lines, sensorConstant);
    m_flow = nullptr;
    return ok;
}

TMsgResult TParameterWriter::Ask(TFlowQuestion question, const QString& text, TMsgButtons buttons) {
    switch (question) {
    case TFlowQuestion::ConstantDiffers:
        // From the question the operator can see what the set would change.
        return TFormMsgBox::ShowMsgBoxWithAction(text, mtConfirmation, buttons, RawLabelText(920),
                                                 [this] { ShowChanges(); });
    case TFlowQuestion::ReallySendConstant:
        return m_host.ShowMsgBox(text, mtWarning, buttons);
    case TFlowQuestion::StoreSet:
        return m_host.ShowMsgBox(text, mtConfirmation, buttons);
    }
    return mrCancel;
}

// The lines about to be sent against the sensor's set, read with READ
// (the sensor is in system mode while the question is asked).
void TParameterWriter::ShowChanges() {
    if (!m_flow) return;
    QStringList sensor;
    {
        TWaitCursor wait;
        sensor = m_flow->ReadSensorSet();
    }
    TParameterCompareDlg dialog(m_host.HostWindow());
    dialog.SetSets(m_flow->Pending(), sensor, m_sendTitle);
    dialog.exec();
}

void TParameterWriter::Send(const std::function<QStringList()>& fill, bool store, bool fromForm) {
    if (m_sending) return;
    m_sending = true;
    m_result = TFlowResult::NoLink;
    m_host.EnableDeviceActions(false);
    std::optional<TWaitCursor> wait;
    TWriteFlow flow(m_host, *this, [&wait](const QString&, qsizetype, qsizetype total) {
        // The hourglass while the lines go out (not over the questions).
        if (total > 0 && !wait) wait.emplace();
    });
    flow.LinesChanged = [this](const QStringList& lines) {
        m_host.ShowParameterLog(THost::TParameterLog::Written, lines.join(u'\n'));
    };
    m_flow = &flow;
    auto done = qScopeGuard([this] {
        m_flow = nullptr;
        // Back to what the link allows: a port that closed meanwhile
        // leaves the device actions off.
        m_host.EnableDeviceActions(m_host.LinkOpen());
        m_sending = false;
    });
    m_last = flow.Send(fill, store, fromForm);
    RecordWrite(m_host, m_last);
    wait.reset();
    m_result = m_last.Outcome;
    // The editor's marks go once its whole set was taken.
    if (fromForm && m_last.Taken) {
        m_editor.ResetChangeMarks();
        m_editor.SetOwner(m_host.Sensor().Identity().SerialNumber); // now the sensor's set
    }
    if (!m_last.Message.isEmpty()) m_host.ShowMsgBox(m_last.Message, mtError, mbOK);
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
            m_host.ShowError(LabelText(163));
            QString normal = text;
            normal.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
            QStringList lines = normal.split(u'\n');
            if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
            return lines;
        },
        true, false);
}
