// SPDX-License-Identifier: MIT
#pragma once

#include "THost.h"

#include <QObject>
#include <QStringList>

#include <functional>

class TParameterForm;
class TParameterReadForm;
class TParameterStoreForm;

// Saving the editor's parameter set as a .par file, and sending a whole
// set to the sensor: the editor's values (test, program), a file (F3) or
// the clipboard (Ctrl+Shift+C). Sending switches the output off, enters
// system mode, checks the factory constant, sends line by line (each line
// costs the engine's 100 ms pause; the window stays responsive) and
// offers to store the set in the sensor. The device actions stay disabled
// while it runs, and the sensor always leaves system mode.
class TParameterWriter : public QObject {
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
    // Reorders the lines to send (ECHO with 0 last, "*EXIT", the talking
    // interface's output switched on after it) and asks about a factory
    // constant that differs from the sensor's. False on Cancel.
    bool PrepareSendList(QStringList& lines, int sensorConstant);

    // Shows what `lines` would change in the sensor (in system mode).
    void ShowChanges(const QStringList& lines);

    // How long the answers to a set may take: while the sensor holds the
    // line, and after the line has taken the last command.
    int MaxHeldMs = 30000;
    int AnswerWaitMs = 3000;

private:
    void Send(const std::function<QStringList()>& fill, bool store, bool fromForm);
    qsizetype SendList(const QStringList& lines);
    bool Confirmed(const QStringList& lines);
    void ReportLinkLost(const QStringList& lines, qsizetype sent, qsizetype answered);
    void Store();
    int Channel() const { return m_host.Sensor().Identity().OutputChannel(); }
    bool LinkOpen() const;

    THost& m_host;
    TParameterForm& m_editor;
    TParameterReadForm& m_browser;
    TParameterStoreForm& m_store;
    bool m_sending = false;
    TFlowResult m_result = TFlowResult::Done;
    QString m_sendTitle; // what is being sent, for the list of changes
};
