// SPDX-License-Identifier: MIT
#include "RecordPrint.h"

#include "ParameterCompare.h"

#include <QJsonArray>
#include <QJsonValue>

namespace {

// Wide enough for the longest names, WriteAndStore/FirmwareUpdate and
// ConstantDiffers, so that the columns line up.
constexpr qsizetype ActionWidth = 14;
constexpr qsizetype OutcomeWidth = 15;

QString LocalTime(const QDateTime& time) {
    return time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString EventLine(const TRecordEvent& e) {
    QString line = LocalTime(e.Time) + QStringLiteral("  ") +
                   RecordActionName(e.Action).leftJustified(ActionWidth) + QStringLiteral("  ") +
                   FlowResultName(e.Outcome).leftJustified(OutcomeWidth) + QStringLiteral("  ") +
                   CompareCellText(e.User);
    if (!e.Message.isEmpty())
        line += QStringLiteral("  ") + CompareCellText(e.Message.simplified());
    return line;
}

QJsonValue Text(const QString& s) {
    return s.isEmpty() ? QJsonValue() : QJsonValue(s);
}

} // namespace

QString EventText(const TRecordEvent& e) {
    QString text = EventLine(e) + u'\n';
    if (!e.FirmwareFile.isEmpty() || !e.FirmwareSha256.isEmpty())
        text += QStringLiteral("    %1  sha256 %2\n")
                    .arg(CompareCellText(e.FirmwareFile),
                         e.FirmwareSha256.isEmpty() ? QStringLiteral("?") : e.FirmwareSha256);
    for (const TRecordChange& c : e.Changes) {
        text += QStringLiteral("    ") + CompareCellText(c.Key) + u' ' +
                (c.Old ? CompareCellText(*c.Old) : QStringLiteral("?")) + QStringLiteral(" -> ") +
                CompareCellText(c.New);
        if (!c.Refused.isEmpty())
            text += QStringLiteral("  (refused: %1)").arg(CompareCellText(c.Refused));
        text += u'\n';
    }
    return text;
}

QJsonObject EventJson(const TRecordEvent& e) {
    QJsonObject o;
    o.insert(u"id", e.Id);
    o.insert(u"serial", e.Serial);
    o.insert(u"time", e.Time.toUTC().toString(Qt::ISODateWithMs));
    o.insert(u"user", e.User);
    o.insert(u"host", e.Host);
    o.insert(u"link", e.Link);
    o.insert(u"action", RecordActionName(e.Action));
    o.insert(u"outcome", FlowResultName(e.Outcome));
    o.insert(u"message", e.Message);
    o.insert(u"hasSet", e.HasSet);
    if (!e.FirmwareFile.isEmpty() || !e.FirmwareSha256.isEmpty())
        o.insert(u"firmware", QJsonObject{{QStringLiteral("file"), e.FirmwareFile},
                                          {QStringLiteral("sha256"), Text(e.FirmwareSha256)}});
    if (IsWriteAction(e.Action) || !e.Changes.isEmpty()) {
        QJsonArray changes;
        for (const TRecordChange& c : e.Changes)
            changes.append(
                QJsonObject{{QStringLiteral("key"), c.Key},
                            {QStringLiteral("old"), c.Old ? QJsonValue(*c.Old) : QJsonValue()},
                            {QStringLiteral("new"), c.New},
                            {QStringLiteral("refused"), Text(c.Refused)}});
        o.insert(u"changes", changes);
    }
    return o;
}

QJsonDocument EventsJson(const QString& serial, const QList<TRecordEvent>& events) {
    QJsonArray list;
    for (const TRecordEvent& e : events)
        list.append(EventJson(e));
    return QJsonDocument(
        QJsonObject{{QStringLiteral("serial"), serial}, {QStringLiteral("events"), list}});
}

QString SensorsText(const QList<TRecordEvent>& lastEvents) {
    qsizetype width = 0;
    for (const TRecordEvent& e : lastEvents)
        width = std::max(width, CompareCellText(e.Serial).size());
    QString text;
    for (const TRecordEvent& e : lastEvents)
        text += CompareCellText(e.Serial).leftJustified(width) + QStringLiteral("  ") +
                EventLine(e) + u'\n';
    return text;
}

QJsonDocument SensorsJson(const QList<TRecordEvent>& lastEvents) {
    QJsonArray list;
    for (const TRecordEvent& e : lastEvents)
        list.append(QJsonObject{{QStringLiteral("serial"), e.Serial},
                                {QStringLiteral("last"), EventJson(e)}});
    return QJsonDocument(QJsonObject{{QStringLiteral("sensors"), list}});
}

QDateTime ParseSince(const QString& text) {
    const QString t = text.trimmed();
    if (t.size() == 10) {
        const QDate date = QDate::fromString(t, Qt::ISODate);
        return date.isValid() ? date.startOfDay() : QDateTime();
    }
    QString iso = t;
    if (iso.size() > 10 && iso.at(10) == u' ') iso[10] = u'T';
    return QDateTime::fromString(iso, Qt::ISODateWithMs);
}
