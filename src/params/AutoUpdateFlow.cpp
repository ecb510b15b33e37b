// SPDX-License-Identifier: MIT
#include "AutoUpdateFlow.h"

#include "ParameterCatalogue.h"
#include "TCommandEngine.h"

TAutoUpdateFlow::TAutoUpdateFlow(TFlowHost& host) : m_host(host) {}

bool TAutoUpdateFlow::NeedsSystemMode(const TParameterDef& def) {
    return def.Code / 100 == 2;
}

TAutoUpdateResult TAutoUpdateFlow::Exchange(const TParameterDef& def, const QString& key,
                                            const QString& value) {
    TAutoUpdateResult result;
    TCommandEngine& engine = m_host.Engine();
    const bool whole = def.AutoUpdate.ReadBack == TReadBack::Whole;
    const bool system = NeedsSystemMode(def);
    if (system)
        for (const QByteArray& c : SensorCommand::SystemModeEntry)
            engine.SetCmd(c);
    const bool sent = engine.SetCmd(QStringLiteral("%1 %2\r").arg(key, value).toLatin1());
    if (sent) TCommandEngine::Delay(100);
    QString reply =
        sent ? QString::fromLatin1(engine.GetCmd((key + u'\r').toLatin1(),
                                                 (key + QStringLiteral("\r\n")).toLatin1(), "\r\n",
                                                 0, whole ? 200 : 300))
                   .trimmed()
             : QString();
    if (!engine.LinkUp()) {
        // The sensor stays in system mode until the link returns and the
        // owed exit is paid.
        if (system) m_host.OweSensor({SensorCommand::SystemModeExit});
        result.Outcome = TFlowResult::NoLink;
        return result;
    }
    if (!sent)
        result.Outcome = TFlowResult::NoLink;
    else if (reply.startsWith(u'E'))
        result.Outcome = TFlowResult::SensorError;
    else if (reply.isEmpty())
        result.Outcome = TFlowResult::NoAnswer;
    else {
        result.Outcome = TFlowResult::Done;
        result.Value = whole ? reply : reply.section(u' ', 0, 0);
    }
    if (system) engine.SetCmd(SensorCommand::SystemModeExit);
    return result;
}
