// SPDX-License-Identifier: MIT
#pragma once

#include "THost.h"
#include "WriteFlow.h"

#include <QObject>
#include <QStringList>

#include <functional>

class TParameterForm;
class TParameterReadForm;
class TParameterStoreForm;

// Saving the editor's parameter set as a .par file, and sending a whole
// set to the sensor: the editor's values (test, program), a file (F3) or
// the clipboard (Ctrl+Shift+C). The send itself is the write flow
// (TWriteFlow); this side gives it the lines, answers its questions with
// the message box, shows the hourglass while the lines go out, and
// presents the outcome. The device actions stay disabled while it runs.
class TParameterWriter : public QObject, private TFlowQuestions {
    Q_OBJECT
public:
    TParameterWriter(THost& host, TParameterForm& editor, TParameterReadForm& browser,
                     TParameterStoreForm& store, QObject* parent = nullptr);

    // Writer A (Alt+S): the editor's set into Memo_Par, the clipboard and
    // a file named in the store dialog.
    void Parameter_speichern();
    // The lines writer A writes, whether or not a link is open.
    QStringList FileLines() const;

    // Alt+T (store false) and Alt+P (store true).
    void SendFormParameters(bool store);
    // F3: a file chosen in the open dialog; Ctrl+Shift+C: the clipboard.
    void Datei_Parameter_schreiben();
    void SendParameterText(bool fromFile, const QString& file = QString());
    bool Sending() const { return m_sending; }
    // How the last send ended.
    TFlowResult LastResult() const { return m_result; }

    // The lines of the editor's set as they are sent (plain "KEY value",
    // an empty line for an empty slot).
    QStringList SendLines() const;
    // The flow's reordering of the lines and its constant question.
    bool PrepareSendList(QStringList& lines, int sensorConstant);
    // The last send's outcome in full (lines sent, refused, stored).
    const TWriteResult& LastSend() const { return m_last; }

private:
    void Send(const std::function<QStringList()>& fill, bool store, bool fromForm);
    TMsgResult Ask(TFlowQuestion question, const QString& text, TMsgButtons buttons) override;
    // Shows what the pending lines would change in the sensor (in system mode).
    void ShowChanges();

    THost& m_host;
    TParameterForm& m_editor;
    TParameterReadForm& m_browser;
    TParameterStoreForm& m_store;
    bool m_sending = false;
    TFlowResult m_result = TFlowResult::Done;
    QString m_sendTitle;          // what is being sent, for the list of changes
    TWriteFlow* m_flow = nullptr; // the send under way
    TWriteResult m_last;
};
