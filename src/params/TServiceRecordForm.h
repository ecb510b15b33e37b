// SPDX-License-Identifier: MIT
#pragma once

#include "RecordTypes.h"
#include "THost.h"

#include <QDialog>
#include <QList>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class TParameterForm;
class TParameterReadForm;

// The connected sensor's service record (Parameter menu): its events
// newest first; a write's changes beneath the list; an event's recorded
// set compared with the sensor or loaded into the editor; and the sensor
// now against its last recorded set in one click. The record is the
// host's (THost::Recorder).
class TServiceRecordForm : public QDialog {
    Q_OBJECT
public:
    TServiceRecordForm(THost& host, QWidget* parent = nullptr);

    // The editor and the file browser that loading a set goes through.
    void SetEditor(TParameterForm* editor, TParameterReadForm* browser) {
        m_editor = editor;
        m_browser = browser;
    }

    // Lists the connected sensor's events (Fill), then shows the window.
    int Execute();
    // Lists the events of the connected sensor, newest first, the first
    // one selected. False where the record cannot be read (reported).
    bool Fill();
    const QList<TRecordEvent>& Events() const { return m_events; }

    // The selected event's set against the sensor's set now.
    void BtnCompareClick();
    // The selected event's set into the editor.
    void BtnLoadClick();
    // The sensor now against its last recorded set.
    void BtnSinceLastClick();

    QLabel* lb_sensor = nullptr;
    QTableWidget* Table = nullptr;
    QPlainTextEdit* Memo_changes = nullptr;
    QPushButton* BtnCompare = nullptr;
    QPushButton* BtnLoad = nullptr;
    QPushButton* BtnSinceLast = nullptr;
    QPushButton* BtnClose = nullptr;

protected:
    void changeEvent(QEvent* event) override;

    // An action and an outcome as the list shows them.
    static QString ActionText(TRecordAction action);
    static QString OutcomeText(TFlowResult outcome);

private:
    void Retranslate();
    void ShowEvent(int row);
    const TRecordEvent* Current() const;
    // The set recorded with `eventId`; nothing (reported) where none.
    std::optional<QStringList> RecordedSet(qint64 eventId);
    void CompareWith(const QStringList& set, const QString& title);

    THost& m_host;
    TParameterForm* m_editor = nullptr;
    TParameterReadForm* m_browser = nullptr;
    QString m_serial;
    QList<TRecordEvent> m_events;
};
