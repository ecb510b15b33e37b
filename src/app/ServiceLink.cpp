// SPDX-License-Identifier: MIT
#include "ServiceLink.h"

#include "FlowRecords.h"
#include "Labels.h"
#include "PortProblem.h"
#include "ReadFlow.h"

#include <QFileInfo>

TServiceLink::TServiceLink(const TSwitches& switches, TSay say, QObject* parent)
    : QObject(parent), m_say(std::move(say)), m_port(m_link.Port()), m_engine(m_link, m_framer),
      m_recorder([this] { return LinkText(); },
                 [this](const QString& error) {
                     m_say(QStringLiteral("the service record cannot be written: %1").arg(error));
                 }) {
    // The same settings store as the window: the user's, or --config's.
    if (switches.Config)
        m_settings = std::make_unique<QSettings>(*switches.Config, QSettings::IniFormat);
    else
        m_settings =
            std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                        QStringLiteral("OrxTerm"), QStringLiteral("OrxTerm"));
    m_options = TOptions::Defaults();
    ReadOptions(*m_settings, m_options);
    SetCurrentLanguage(m_options.Language);
    // The system's reasons (a port that cannot be opened) in that language.
    ::InstallQtTranslations(this, {});
    m_mode = switches.LinkMode.value_or(m_options.Mode);
    if (switches.Address) ApplyAddressSwitch(*switches.Address, m_mode, m_options, m_telnetPort);

    m_link.LoadPortSettings(*m_settings, switches.Port);
    m_framer.SetMaxBufferSize(4096);

    m_engine.DebugMode = switches.Debug;
    m_engine.Log = [](const QString& line) {
        const QByteArray bytes = line.toLocal8Bit() + '\n';
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    };
    // Over TCP commands leave at once: there is no relay to batch for.
    m_link.SetTcpDelay(0);

    connect(&m_port, &TComPort::AfterOpen, this, &TServiceLink::Greet);
    connect(&m_link, &TLink::Received, this, &TServiceLink::Received);
    connect(&m_port, &TComPort::DeviceLost, this, [this] {
        m_say(QStringLiteral("%1 %2").arg(LabelText(126), m_port.Port().trimmed()));
        m_sensor.ReportLinkLost();
    });
    connect(&m_link.Tcp(), &TTcpLink::LinkClosed, this, [this] { m_sensor.ReportLinkLost(); });
}

void TServiceLink::Received(const QByteArray& data) {
    if (data.contains('\a')) m_bell = true;
}

TServiceLink::TConnect TServiceLink::Connect() {
    if (IsTcpClientMode(m_mode)) {
        const TClientAddress address = ClientAddress(m_mode, m_options, m_telnetPort);
        m_say(QStringLiteral("connecting over TCP to %1").arg(address.Text()));
        if (address.Port <= 0 || address.Port > 65535 ||
            m_link.Tcp().Connect(address.Host, quint16(address.Port)) !=
                TTcpLink::TConnectResult::Connected) {
            m_say(QStringLiteral("%1 %2").arg(LabelText(118), address.Text()));
            return TConnect::NoLink;
        }
        Greet();
    } else {
        if (m_port.Port().trimmed().isEmpty()) {
            m_say(QStringLiteral("no serial port is set: give --port=DEVICE"));
            return TConnect::NoLink;
        }
        m_say(QStringLiteral("opening %1").arg(m_port.Port()));
        if (!OpenPort()) {
            m_say(QStringLiteral("the port %1 cannot be opened: %2")
                      .arg(m_port.Port(), m_port.ErrorText()));
            const TPortProblem problem = DescribeOpenFailure(m_port);
            m_say(problem.ShortText());
            if (!problem.FixText().isEmpty()) m_say(problem.FixText());
            return m_port.OpenFailure() == TComPort::TOpenFailure::Busy ? TConnect::PortBusy
                                                                        : TConnect::NoLink;
        }
    }
    if (!LinkUp()) return TConnect::NoLink;
    const TSensorIdentity identity = m_sensor.Identity();
    if (identity.SerialNumber.isEmpty() && identity.SensorPort < 0) {
        m_say(QStringLiteral("the sensor does not answer"));
        return TConnect::NoAnswer;
    }
    m_say(QStringLiteral("sensor S/N %1, %2").arg(identity.SerialNumber, identity.SoftwareVersion));
    return TConnect::Connected;
}

bool TServiceLink::OpenPort() {
    if (m_port.Connected()) return true;
    return m_port.Open(); // greets and identifies the sensor once open
}

// The link came up: the attention sequence, the identification, and
// what earlier flows owe this sensor.
void TServiceLink::Greet() {
    if (m_greeting) return;
    m_greeting = true;
    m_engine.SetCmd(SensorCommand::Attention);
    if (LinkUp()) {
        const TIdentifyResult result = TReadFlow(*this).Identify();
        RecordIdentify(*this, result);
        if (!result.Message.isEmpty()) m_say(result.Message);
    }
    if (LinkUp()) m_owed.Pay(m_engine, m_sensor.Identity().SerialNumber);
    if (LinkUp()) m_sensor.ReportLinkReady();
    m_greeting = false;
}

QString TServiceLink::LinkText() const {
    if (IsTcpClientMode(m_mode))
        return QStringLiteral("tcp ") + ClientAddress(m_mode, m_options, m_telnetPort).Text();
    return QStringLiteral("%1 %2")
        .arg(QFileInfo(m_link.Port().Port().trimmed()).fileName())
        .arg(BaudRate());
}

void TServiceLink::OweSensor(const QByteArrayList& commands) {
    m_owed.Owe(commands, m_sensor.Identity().SerialNumber);
}

void TServiceLink::Close() {
    // What is still on its way to the sensor goes out before the port closes.
    TCommandEngine::WaitUntil([this] { return m_port.PendingOutput() == 0; }, 3000);
    m_port.Close();
    m_link.Tcp().CloseSockets();
}
