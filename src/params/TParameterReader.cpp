// SPDX-License-Identifier: MIT
#include "TParameterReader.h"

#include "FileDialogs.h"
#include "FlowRecords.h"
#include "Labels.h"
#include "TParameterForm.h"
#include "WaitCursor.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScopeGuard>

TParameterReader::TParameterReader(THost& host, TParameterForm& editor, QObject* parent)
    : QObject(parent), m_host(host), m_editor(editor) {}

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
    const TIdentifyResult result = TReadFlow(m_host).Identify();
    RecordIdentify(m_host, result);
    if (!result.Message.isEmpty()) m_host.ShowMsgBox(result.Message, mtError, mbOK);
}

// A read's message, if it has one, in the message box.
void TParameterReader::Present(const TReadResult& result) {
    m_result = result.Outcome;
    if (!result.Message.isEmpty()) m_host.ShowMsgBox(result.Message, mtError, mbOK);
}

void TParameterReader::PublishMemoRec(const QString& text) {
    m_host.ShowParameterLog(THost::TParameterLog::Read, text);
    QGuiApplication::clipboard()->setText(text);
    m_host.ShowError(LabelText(162));
}

void TParameterReader::Parameter_auslesen() {
    m_result = TFlowResult::NoLink;
    if (!m_host.LinkOpen() || m_reading || m_identifying) return;
    m_reading = true;
    QAction* button = m_editor.ReadAction();
    if (button) button->setEnabled(false);
    auto done = qScopeGuard([this, button] {
        if (button) button->setEnabled(true);
        m_reading = false;
        emit ReadFinished();
    });
    const TReadResult result = TReadFlow(m_host).Read(TReadTarget::Editor);
    RecordRead(m_host, TRecordAction::Read, result);
    if (result.HasSet()) {
        const QStringList lines = result.Text.split(u'\n');
        m_editor.Memo_bemerkung->setPlainText(result.Info.join(u'\n'));
        PublishMemoRec(result.Text);
        ApplyToEditor(lines);
        m_editor.SetIdentityLine(QString()); // the INFO lines are among the remarks
        m_editor.KeepExtraLines(lines);
        m_host.EnableParameterActions(true);
        m_editor.ResetChangeMarks();
        m_editor.ShowModelControls(m_host.Sensor().Firmware32Bit());
        m_editor.SetOwner(m_host.Sensor().Identity().SerialNumber);
    }
    Present(result);
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
    if (!m_host.LinkOpen() || m_reading || m_identifying) return false;
    m_reading = true;
    m_host.EnableDeviceActions(false);
    auto done = qScopeGuard([this] {
        m_host.EnableDeviceActions(m_host.LinkOpen());
        m_reading = false;
    });
    TWaitCursor wait;
    const TReadResult result = TReadFlow(m_host).Read(TReadTarget::Compare);
    RecordRead(m_host, TRecordAction::Compare, result);
    if (result.HasSet()) m_host.ShowParameterLog(THost::TParameterLog::Read, result.Text);
    Present(result);
    if (!result.Done()) return false;
    *lines = result.Text.split(u'\n');
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
        m_host.EnableDeviceActions(m_host.LinkOpen());
        m_reading = false;
    });
    const TReadResult result = TReadFlow(m_host).Read(TReadTarget::File, file);
    RecordRead(m_host, TRecordAction::ReadToFile, result);
    if (result.HasSet()) PublishMemoRec(result.Text);
    Present(result);
}
