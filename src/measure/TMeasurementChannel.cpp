// SPDX-License-Identifier: MIT
#include "TMeasurementChannel.h"

#include "TComDataPacket.h"
#include "TCommandEngine.h"

#include <utility>

TMeasurementChannel::TMeasurementChannel(TFlowHost& host, TWindow window)
    : m_host(host), m_window(window) {
    m_framer.setObjectName(window == TWindow::Chart ? QStringLiteral("ComDataPacket_grafik")
                                                    : QStringLiteral("ComDataPacket_number"));
    // A peer that never ends its line cannot grow the framer without bound.
    m_framer.SetMaxBufferSize(4096);
    m_framer.SetSize(0);
    m_framer.SetStartString(QByteArray());
    m_framer.SetStopString(QByteArrayLiteral("\r\n"));
}

QByteArray TMeasurementChannel::TrimControls(const QByteArray& text) {
    qsizetype begin = 0, end = text.size();
    while (begin < end && quint8(text.at(begin)) <= 0x20)
        ++begin;
    while (end > begin && quint8(text.at(end - 1)) <= 0x20)
        --end;
    return text.mid(begin, end - begin);
}

int TMeasurementChannel::Channel() const {
    return m_host.Sensor().Identity().OutputChannel();
}

// A command of this conversation, "\r\n" added where it has none.
QByteArray TMeasurementChannel::Command(const QString& command) {
    QByteArray bytes = command.toLatin1();
    if (!bytes.endsWith("\r\n")) bytes += "\r\n";
    return bytes;
}

bool TMeasurementChannel::Send(const QString& command) {
    return m_host.Engine().SetCmd(Command(command));
}

bool TMeasurementChannel::PrepareChannel() {
    if (!m_host.PortOpen() && m_host.LinkMode() == TLinkMode::Local) return false;
    TCommandEngine& engine = m_host.Engine();
    engine.SetCmd(SensorCommand::Attention);
    bool ok = false;
    int sid =
        TrimControls(engine.GetCmd(QByteArray("SID\r\n"), "SID\r\n", "\r\n", 0, 500)).toInt(&ok);
    m_host.Sensor().SetSensorPort(ok ? sid : -1);
    const int n = Channel();
    const int on =
        TrimControls(engine.GetCmd(QStringLiteral("S%1ON\r\nS%1ON %2\r\n").arg(n).arg(0).toLatin1(),
                                   QStringLiteral("S%1ON\r\n").arg(n).toLatin1(), "\r\n", 0, 500))
            .toInt(&ok);
    if (!ok || on < 0) return false;
    m_savedOn = on;
    // The output is off from here on: the channel is borrowed until its
    // settings are written back.
    m_borrowed = true;

    QString list = QString::fromLatin1(engine.GetCmd(QStringLiteral("PS%1\r\n").arg(n).toLatin1(),
                                                     QStringLiteral("PS%1\r\n").arg(n).toLatin1(),
                                                     "->", 0, 1000));
    list.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    QStringList lines = list.split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    if (lines.isEmpty()) return false;
    for (const QString& line : lines) {
        const qsizetype blank = line.indexOf(u' ');
        const QString key = blank < 0 ? line : line.left(blank);
        const QString value = QString::fromLatin1(
            TrimControls(blank < 0 ? QByteArray() : line.mid(blank + 1).toLatin1()));
        auto is = [&key, n](const char* name) {
            return key.compare(QStringLiteral("S%1%2").arg(n).arg(QLatin1String(name)),
                               Qt::CaseInsensitive) == 0;
        };
        if (is("FORMAT"))
            m_savedFormat = value;
        else if (is("OUTPUT"))
            m_savedOutput = value;
        else if (is("TIME"))
            m_savedTime = value.section(u' ', 0, 0);
    }
    if (m_window == TWindow::Number) {
        const QByteArray reply = engine.GetCmd(
            QStringLiteral("S%1FORMAT sl:h\r\n").arg(n).toLatin1(), "\r\n", "->", 0, 200);
        m_lengthAvailable = !reply.startsWith("E04");
    }
    return true;
}

bool TMeasurementChannel::Start(int updateMs) {
    const int n = Channel();
    TCommandEngine& engine = m_host.Engine();
    engine.StartRecording();
    bool sent = true;
    if (m_window == TWindow::Chart || !m_lengthAvailable)
        sent = Send(QStringLiteral("S%1FORMAT s").arg(n));
    sent = sent && Send(QStringLiteral("S%1OUTPUT 0").arg(n));
    sent =
        sent &&
        Send(QStringLiteral("S%1TIME %2").arg(n).arg(m_window == TWindow::Chart ? updateMs : 100));
    sent = sent && Send(QStringLiteral("S%1ON %2").arg(n).arg(1));
    if (!sent) {
        engine.StopRecording();
        return false;
    }
    TCommandEngine::Delay(100);
    // Over TCP the commands leave together and their echoes come later:
    // the lines are taken once the sensor has answered the last command,
    // so that no echo is taken for a measurement line.
    const QByteArray last = QStringLiteral("S%1ON 1").arg(n).toLatin1();
    TCommandEngine::WaitUntil(
        [&engine, &last] {
            const QByteArray& answers = engine.Recorded();
            const qsizetype at = answers.lastIndexOf(last);
            return (at >= 0 && answers.indexOf("->", at) >= 0) || !engine.LinkUp();
        },
        1000);
    engine.StopRecording();
    TComDataPacket& framer = Framer();
    framer.SetComPort(&engine.Port());
    // Changing the size empties the framer: what an earlier run left is gone.
    framer.SetSize(1);
    framer.SetSize(0);
    return true;
}

bool TMeasurementChannel::Stop() {
    Framer().SetComPort(nullptr);
    return Send(QStringLiteral("S%1ON %2").arg(Channel()).arg(0));
}

QByteArrayList TMeasurementChannel::RestoreCommands() const {
    const int n = Channel();
    return {Command(QStringLiteral("S%1FORMAT %2").arg(n).arg(m_savedFormat)),
            Command(QStringLiteral("S%1OUTPUT %2").arg(n).arg(m_savedOutput)),
            Command(QStringLiteral("S%1TIME %2").arg(n).arg(m_savedTime)),
            Command(QStringLiteral("S%1ON %2").arg(n).arg(m_savedOn))};
}

bool TMeasurementChannel::RestoreChannel() {
    Framer().SetComPort(nullptr);
    // Settings that were never read are not written: empty texts would
    // clear the channel's own settings.
    if (!std::exchange(m_borrowed, false)) return true;
    const QByteArrayList commands = RestoreCommands();
    for (qsizetype i = 0; i < commands.size(); ++i) {
        if (!m_host.Engine().SetCmd(commands.at(i))) {
            // The link is gone: the channel gets its settings back as soon
            // as the sensor is reached again.
            m_host.OweSensor(commands.mid(i));
            return false;
        }
    }
    return true;
}

bool TMeasurementChannel::BorrowAgain() {
    if (m_borrowed) RestoreChannel();
    return PrepareChannel();
}
