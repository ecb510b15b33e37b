// SPDX-License-Identifier: MIT
#include "TMeasurementChannel.h"

#include "TComDataPacket.h"
#include "TCommandEngine.h"

TMeasurementChannel::TMeasurementChannel(THost& host, TWindow window)
    : m_host(host), m_window(window) {}

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

TComDataPacket& TMeasurementChannel::Framer() {
    return m_window == TWindow::Chart ? m_host.GraphicFramer() : m_host.NumberFramer();
}

// A command of this conversation, "\r\n" added where it has none.
void TMeasurementChannel::Send(const QString& command) {
    QByteArray bytes = command.toLatin1();
    if (!bytes.endsWith("\r\n")) bytes += "\r\n";
    m_host.Engine().SetCmd(bytes);
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

void TMeasurementChannel::Start(int updateMs) {
    const int n = Channel();
    if (m_window == TWindow::Chart || !m_lengthAvailable)
        Send(QStringLiteral("S%1FORMAT s").arg(n));
    Send(QStringLiteral("S%1OUTPUT 0").arg(n));
    Send(QStringLiteral("S%1TIME %2").arg(n).arg(m_window == TWindow::Chart ? updateMs : 100));
    Send(QStringLiteral("S%1ON %2").arg(n).arg(1));
    TCommandEngine::Delay(100);
    TComDataPacket& framer = Framer();
    framer.SetComPort(&m_host.Engine().Port());
    // Changing the size empties the framer: what an earlier run left is gone.
    framer.SetSize(1);
    framer.SetSize(0);
}

void TMeasurementChannel::Stop() {
    Framer().SetComPort(nullptr);
    Send(QStringLiteral("S%1ON %2").arg(Channel()).arg(0));
}

void TMeasurementChannel::RestoreChannel() {
    Framer().SetComPort(nullptr);
    const int n = Channel();
    Send(QStringLiteral("S%1FORMAT %2").arg(n).arg(m_savedFormat));
    Send(QStringLiteral("S%1OUTPUT %2").arg(n).arg(m_savedOutput));
    Send(QStringLiteral("S%1TIME %2").arg(n).arg(m_savedTime));
    Send(QStringLiteral("S%1ON %2").arg(n).arg(m_savedOn));
}
