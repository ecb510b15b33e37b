// SPDX-License-Identifier: MIT
#pragma once

#include "RecordTypes.h"
#include "TRecordStore.h"

#include <QHash>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// Records the flows of one program into the service record: each call
// makes the event (time, user, host, the link as the program describes
// it) and keeps it. The store is opened at the first event and kept for
// the program's life. An event that cannot be kept is reported (the
// window's status bar, standard error) and returns false; the flow it
// describes goes on as it would without a record. An empty serial number
// (the sensor did not tell it) records nothing.
class TFlowRecorder {
public:
    using TLinkText = std::function<QString()>;
    using TReport = std::function<void(const QString& error)>;

    // `link` describes the link at the time of an event ("ttyUSB0
    // 115200"); `report` is told why an event could not be recorded.
    // An empty `path` is the user's store (TRecordStore::DefaultPath,
    // taken when it is first opened).
    TFlowRecorder(TLinkText link, TReport report, QString path = {});
    ~TFlowRecorder();
    TFlowRecorder(const TFlowRecorder&) = delete;
    TFlowRecorder& operator=(const TFlowRecorder&) = delete;

    bool Identified(const QString& serial, TFlowResult outcome, const QString& message);
    // A read into the editor or a file (Read, ReadToFile) or for a
    // comparison (Compare): `set` is the set the sensor gave, if any.
    bool SetRead(const QString& serial, TRecordAction action, TFlowResult outcome,
                 const QString& message, const QString& set);
    // A write: the lines sent, and the lines refused with the sensor's
    // answer to each. `stored`: the set was stored in the sensor.
    bool Written(const QString& serial, bool stored, TFlowResult outcome, const QString& message,
                 const QStringList& lines, const QList<QPair<QString, QString>>& refused);
    bool FirmwareUpdated(const QString& serial, TFlowResult outcome, const QString& message,
                         const QString& file);

    // The store, opened now if it is not yet; null (reported) where it
    // cannot be opened.
    TRecordStore* Store();
    QString Error() const { return m_error; }

private:
    bool Keep(TRecordEvent& event, const QHash<QString, QString>* refused);
    bool Failed(const QString& error);

    TLinkText m_link;
    TReport m_report;
    QString m_path;
    std::unique_ptr<TRecordStore> m_store;
    QString m_error;
};
