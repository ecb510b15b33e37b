// SPDX-License-Identifier: MIT
// orxsim: a simulated ORX sensor on a pseudo-terminal or a TCP port, for
// demonstrations and manual tests without hardware.
#include "OrxVersion.h"
#include "TSimPty.h"
#include "TSimTcpServer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

// SIGINT and SIGTERM end the event loop through a socket pair, so the
// program leaves through its normal clean-up (the link is removed).
bool InstallSignalHandlers(QCoreApplication& app) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0) return false;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
        char c = 0;
        [[maybe_unused]] const ssize_t n = ::read(g_signalPipe[0], &c, 1);
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    return true;
}

QString Printable(const QByteArray& bytes) {
    QString text;
    for (const char c : bytes) {
        const auto u = quint8(c);
        if (c == '\r')
            text += QLatin1String("\\r");
        else if (c == '\n')
            text += QLatin1String("\\n");
        else if (c == '\\')
            text += QLatin1String("\\\\");
        else if (u < 0x20 || u >= 0x7f)
            text += QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
        else
            text += QLatin1Char(c);
    }
    return text;
}

// Writes one line per trace record: seconds since start, direction, bytes.
void AttachTrace(TSimSensor& sensor, const QString& path, QObject* owner) {
    auto file = std::make_shared<QFile>(path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        std::fprintf(stderr, "orxsim: cannot write %s\n", qPrintable(path));
        return;
    }
    QObject::connect(&sensor, &TSimSensor::Traced, owner, [file](const TSimTraceEntry& e) {
        const QString line = QStringLiteral("%1 %2 %3\n")
                                 .arg(double(e.TimeUs) / 1e6, 0, 'f', 6)
                                 .arg(e.FromHost ? QLatin1String("<") : QLatin1String(">"))
                                 .arg(Printable(e.Bytes));
        file->write(line.toUtf8());
        file->flush();
    });
}

bool ParseTcp(const QString& text, QHostAddress& address, quint16& port) {
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    address = QHostAddress(QHostAddress::LocalHost);
    if (colon >= 0 && !address.setAddress(text.left(colon))) return false;
    bool ok = false;
    const uint value = text.mid(colon + 1).toUInt(&ok);
    if (!ok || value > 65535) return false;
    port = quint16(value);
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orxsim"));
    QCoreApplication::setApplicationVersion(QLatin1String(OrxVersion::ProductVersion));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulated ORX sensor. With --pty it prints the device to open as serial port; "
        "with --tcp it prints ADDRESS:PORT. It serves until SIGINT or SIGTERM."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption ptyOption(QStringLiteral("pty"),
                                       QStringLiteral("Serve on a pseudo-terminal."));
    const QCommandLineOption linkOption(QStringLiteral("link"),
                                        QStringLiteral("Keep a symbolic link at PATH to the pty."),
                                        QStringLiteral("PATH"));
    const QCommandLineOption tcpOption(
        QStringLiteral("tcp"),
        QStringLiteral("Serve on TCP ([ADDR:]PORT, 127.0.0.1 by default; port 0 picks one)."),
        QStringLiteral("ADDR:PORT"));
    const QCommandLineOption modelOption(
        QStringLiteral("model"),
        QStringLiteral("Sensor model: 9 (32-bit, length), 7 (16-bit, length), "
                       "5 (16-bit, no update). Default 9."),
        QStringLiteral("MODEL"), QStringLiteral("9"));
    const QCommandLineOption sidOption(
        QStringLiteral("sid"), QStringLiteral("Interface the host is on (1 or 2). Default 1."),
        QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption seedOption(QStringLiteral("seed"),
                                        QStringLiteral("Seed of the velocity profile. Default 1."),
                                        QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption serialOption(QStringLiteral("serial"),
                                          QStringLiteral("Serial number shown by INFO."),
                                          QStringLiteral("S/N"));
    const QCommandLineOption traceOption(
        QStringLiteral("trace"),
        QStringLiteral("Write every byte received (<) and sent (>) to FILE."),
        QStringLiteral("FILE"));
    const QCommandLineOption rateOption(
        QStringLiteral("rate"),
        QStringLiteral("With --pty: answer only while the host's line runs at RATE bit/s, as a "
                       "sensor set to that rate. Default: any rate."),
        QStringLiteral("RATE"), QStringLiteral("0"));
    parser.addOptions({ptyOption, linkOption, tcpOption, modelOption, sidOption, seedOption,
                       serialOption, traceOption, rateOption});
    parser.process(app);

    if (parser.isSet(ptyOption) == parser.isSet(tcpOption)) {
        std::fprintf(stderr, "orxsim: give exactly one of --pty and --tcp (see --help)\n");
        return 2;
    }
    TSimOptions options;
    options.Model = parser.value(modelOption);
    bool ok = false;
    options.Sid = parser.value(sidOption).toInt(&ok);
    if (!ok || (options.Sid != 1 && options.Sid != 2)) {
        std::fprintf(stderr, "orxsim: --sid takes 1 or 2\n");
        return 2;
    }
    options.Seed = parser.value(seedOption).toULongLong(&ok);
    if (!ok) {
        std::fprintf(stderr, "orxsim: --seed takes a number\n");
        return 2;
    }
    if (!IsKnownSimModel(options.Model)) {
        std::fprintf(stderr, "orxsim: unknown model %s (9, 7 or 5)\n", qPrintable(options.Model));
        return 2;
    }
    options.Serial = parser.value(serialOption);
    options.RequiredRate = parser.value(rateOption).toInt(&ok);
    if (!ok || options.RequiredRate < 0) {
        std::fprintf(stderr, "orxsim: --rate takes a line rate in bit/s\n");
        return 2;
    }
    if (!InstallSignalHandlers(app)) {
        std::fprintf(stderr, "orxsim: cannot install signal handlers\n");
        return 1;
    }

    std::unique_ptr<TSimPty> pty;
    std::unique_ptr<TSimTcpServer> tcp;
    TSimSensor* sensor = nullptr;
    QString where;
    if (parser.isSet(ptyOption)) {
        pty = std::make_unique<TSimPty>(options);
        pty->SetLinkPath(parser.value(linkOption));
        if (!pty->Start()) {
            std::fprintf(stderr, "orxsim: %s\n", qPrintable(pty->ErrorString()));
            return 1;
        }
        sensor = &pty->Sensor();
        where = pty->DevicePath();
    } else {
        QHostAddress address;
        quint16 port = 0;
        if (!ParseTcp(parser.value(tcpOption), address, port)) {
            std::fprintf(stderr, "orxsim: --tcp takes [ADDR:]PORT\n");
            return 2;
        }
        tcp = std::make_unique<TSimTcpServer>(options);
        if (!tcp->Listen(address, port)) {
            std::fprintf(stderr, "orxsim: %s\n", qPrintable(tcp->ErrorString()));
            return 1;
        }
        sensor = &tcp->Sensor();
        where = QStringLiteral("%1:%2").arg(tcp->Address().toString()).arg(tcp->Port());
    }
    if (parser.isSet(traceOption)) AttachTrace(*sensor, parser.value(traceOption), &app);
    sensor->SetTraceLimit(64 * 1024); // the program keeps only a short trace in memory

    std::fprintf(stdout, "%s\n", qPrintable(where));
    std::fflush(stdout);
    const int result = app.exec();
    pty.reset(); // removes the link
    tcp.reset();
    return result;
}
