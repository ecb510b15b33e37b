// SPDX-License-Identifier: MIT
#pragma once

#include "ReadFlow.h"
#include "THost.h"

#include <QObject>
#include <QStringList>

class TParameterForm;

// The parameter editor's side of identifying and reading: it runs the
// read flow (TReadFlow) and presents what it returns - the editor's
// values and remarks, the debug page's log, the clipboard, the message
// box - and keeps the read button off while an exchange runs.
class TParameterReader : public QObject {
    Q_OBJECT
public:
    TParameterReader(THost& host, TParameterForm& editor, QObject* parent = nullptr);

    // The identification after the caller's attention sequence; shows
    // label 105 when the sensor gives no usable output state.
    void IdentifySensor();
    bool Identifying() const { return m_identifying; }

    // Reads the parameter set into the editor (Alt+A) / into a .par file (F2).
    void Parameter_auslesen();
    void Datei_Parameter_lesen();
    bool Reading() const { return m_reading; }
    // Reads the sensor's set for a comparison, leaving the editor as it is.
    // False when the sensor gave no set.
    bool ReadSensorSet(QStringList* lines);
    // How the last read ended.
    TFlowResult LastResult() const { return m_result; }

signals:
    // A read into the editor ended (successfully or not).
    void ReadFinished();

private:
    void Present(const TReadResult& result);
    void PublishMemoRec(const QString& text);
    void ApplyToEditor(const QStringList& lines);

    THost& m_host;
    TParameterForm& m_editor;
    bool m_identifying = false;
    bool m_reading = false;
    TFlowResult m_result = TFlowResult::Done;
};
