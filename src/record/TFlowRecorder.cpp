// SPDX-License-Identifier: MIT
#include "TFlowRecorder.h"

#include <QFileInfo>

TFlowRecorder::TFlowRecorder(TLinkText link, TReport report, QString path)
    : m_link(std::move(link)), m_report(std::move(report)), m_path(std::move(path)) {}

TFlowRecorder::~TFlowRecorder() = default;

TRecordStore* TFlowRecorder::Store() {
    if (!m_store)
        m_store =
            std::make_unique<TRecordStore>(m_path.isEmpty() ? TRecordStore::DefaultPath() : m_path);
    // A store that could not be opened is tried again at the next event:
    // the folder may have become writable meanwhile.
    if (!m_store->IsOpen() && !m_store->Open()) {
        Failed(m_store->Error());
        return nullptr;
    }
    return m_store.get();
}

bool TFlowRecorder::Failed(const QString& error) {
    m_error = error;
    if (m_report) m_report(error);
    return false;
}

bool TFlowRecorder::Keep(TRecordEvent& event, const QHash<QString, QString>* refused) {
    if (event.Serial.trimmed().isEmpty()) return true;
    if (m_link) event.Link = m_link();
    TRecordStore* store = Store();
    if (!store) return false;
    const bool kept = refused ? store->RecordWrite(event, *refused) : store->Record(event);
    if (!kept) return Failed(store->Error());
    m_error.clear();
    return true;
}

bool TFlowRecorder::Identified(const QString& serial, TFlowResult outcome, const QString& message) {
    TRecordEvent event = NewRecordEvent(serial, TRecordAction::Identify);
    event.Outcome = outcome;
    event.Message = message;
    return Keep(event, nullptr);
}

bool TFlowRecorder::SetRead(const QString& serial, TRecordAction action, TFlowResult outcome,
                            const QString& message, const QString& set) {
    TRecordEvent event = NewRecordEvent(serial, action);
    event.Outcome = outcome;
    event.Message = message;
    if (!set.isEmpty()) event.Set = set;
    return Keep(event, nullptr);
}

bool TFlowRecorder::Written(const QString& serial, bool stored, TFlowResult outcome,
                            const QString& message, const QStringList& lines,
                            const QList<QPair<QString, QString>>& refused) {
    TRecordEvent event =
        NewRecordEvent(serial, stored ? TRecordAction::WriteAndStore : TRecordAction::Write);
    event.Outcome = outcome;
    event.Message = message;
    if (!lines.isEmpty()) event.Set = lines.join(u'\n');
    // The refused lines by their key, as the changes name them.
    QHash<QString, QString> byKey;
    for (const auto& [line, answer] : refused) {
        const QString key = line.trimmed().section(u' ', 0, 0, QString::SectionSkipEmpty);
        if (!key.isEmpty()) byKey.insert(key, answer.isEmpty() ? QStringLiteral("?") : answer);
    }
    return Keep(event, &byKey);
}

bool TFlowRecorder::FirmwareUpdated(const QString& serial, TFlowResult outcome,
                                    const QString& message, const QString& file) {
    TRecordEvent event = NewRecordEvent(serial, TRecordAction::FirmwareUpdate);
    event.Outcome = outcome;
    event.Message = message;
    event.FirmwareFile = QFileInfo(file).fileName();
    QString hashError;
    event.FirmwareSha256 = FileSha256(file, &hashError);
    return Keep(event, nullptr);
}
