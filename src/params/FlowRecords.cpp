// SPDX-License-Identifier: MIT
#include "FlowRecords.h"

#include "ParameterCatalogue.h"
#include "TFlowRecorder.h"

namespace {
QString Serial(TFlowHost& host) {
    return host.Sensor().Identity().SerialNumber.trimmed();
}

// A set as read, as the program takes its values: the sensor follows a
// value with its unit ("AVERAGE 100 ms"), the editor and the files hold
// the first word of it, so that the record's changes read "100 -> 420".
// Head lines and empty lines are left out; other lines stay as they are.
QString SetAsTaken(const QString& text) {
    QStringList lines;
    for (const QString& line : text.split(u'\n')) {
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1String("REM "))) continue;
        const QString key = trimmed.section(u' ', 0, 0);
        const QString value = trimmed.section(u' ', 1).trimmed();
        const TParameterDef* def = FindParameterKey(key);
        if (def && def->Shape == TValueShape::FirstWord && !value.isEmpty())
            lines << key + u' ' + value.section(u' ', 0, 0, QString::SectionSkipEmpty);
        else
            lines << trimmed;
    }
    return lines.join(u'\n');
}
} // namespace

void RecordIdentify(TFlowHost& host, const TIdentifyResult& result) {
    TFlowRecorder* recorder = host.Recorder();
    if (!recorder || Serial(host).isEmpty()) return;
    recorder->Identified(Serial(host), result.Outcome, result.Message);
}

void RecordRead(TFlowHost& host, TRecordAction action, const TReadResult& result) {
    TFlowRecorder* recorder = host.Recorder();
    if (!recorder || Serial(host).isEmpty()) return;
    recorder->SetRead(Serial(host), action, result.Outcome, result.Message,
                      result.HasSet() ? SetAsTaken(result.Text) : QString());
}

void RecordWrite(TFlowHost& host, const TWriteResult& result) {
    TFlowRecorder* recorder = host.Recorder();
    if (!recorder || Serial(host).isEmpty()) return;
    QList<QPair<QString, QString>> refused;
    for (const TRefusedLine& line : result.Refused)
        refused.append({line.Line, line.Answer});
    recorder->Written(Serial(host), result.Stored, result.Outcome, result.Message, result.Lines,
                      refused);
}
