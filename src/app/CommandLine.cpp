// SPDX-License-Identifier: MIT
#include "CommandLine.h"

#include "OptionSettings.h"

#include "FileKind.h"
#include "ServiceCommands.h"
#include "TTcpLink.h"
#include "VersionInfo.h"

#include <QFileInfo>

#include <cstdio>
#include <cstring>

static QString SwitchWord(QString arg) {
    arg = arg.trimmed().toLower();
    while (arg.startsWith(u'-'))
        arg.remove(0, 1);
    if (arg.startsWith(u'/')) arg.remove(0, 1);
    return arg;
}

// The options that the program itself reads before or besides the
// switches: help, version and the copy-data sender.
static bool IsInfoOption(const QString& word) {
    return word == u"h" || word == u"help" || word == u"v" || word == u"version" ||
           word == u"copydata";
}

// The command-line options that Qt's application object takes for itself
// ("-platform offscreen", "--style=fusion", "-reverse"). Those that take a
// value take it after "=" or as the next argument.
static bool IsQtOption(const QString& word, bool* takesValue) {
    static const QStringList withValue = {
        QStringLiteral("platform"),      QStringLiteral("platformpluginpath"),
        QStringLiteral("platformtheme"), QStringLiteral("plugin"),
        QStringLiteral("qmljsdebugger"), QStringLiteral("qwindowgeometry"),
        QStringLiteral("qwindowicon"),   QStringLiteral("qwindowtitle"),
        QStringLiteral("session"),       QStringLiteral("display"),
        QStringLiteral("geometry"),      QStringLiteral("style"),
        QStringLiteral("stylesheet"),    QStringLiteral("name"),
        QStringLiteral("title"),         QStringLiteral("visual")};
    static const QStringList plain = {QStringLiteral("reverse"), QStringLiteral("widgetcount"),
                                      QStringLiteral("nograb"),  QStringLiteral("dograb"),
                                      QStringLiteral("sync"),    QStringLiteral("ncols"),
                                      QStringLiteral("cmap")};
    const QString name = word.section(u'=', 0, 0);
    *takesValue = withValue.contains(name) && !word.contains(u'=');
    return withValue.contains(name) || plain.contains(name);
}

TSwitches TSwitches::Scan(const QStringList& arguments) {
    TSwitches s;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        if (arg.startsWith(QStringLiteral("--port="))) {
            s.Port = arg.mid(7);
            continue;
        }
        if (arg.startsWith(QStringLiteral("--address="))) {
            s.Address = arg.mid(10);
            continue;
        }
        if (arg.startsWith(QStringLiteral("--config="))) {
            s.Config = arg.mid(9);
            continue;
        }
        if (!arg.startsWith(u'-') && arg.endsWith(QLatin1String(".par"), Qt::CaseInsensitive)) {
            s.ParameterFile = arg;
            continue;
        }
        const QString word = SwitchWord(arg);
        if (word == u"debug") {
            s.Debug = true;
        } else if (word == u"local") {
            s.LinkMode = TLinkMode::Local;
        } else if (word == u"telnet") {
            s.LinkMode = TLinkMode::Telnet;
        } else if (word == u"remote") {
            s.LinkMode = TLinkMode::Remote;
        } else if (word == u"server") {
            s.LocalServer = true;
            s.LinkMode = TLinkMode::Local;
        } else if (arg.startsWith(u'-') && !IsInfoOption(word)) {
            bool takesValue = false;
            if (!IsQtOption(word, &takesValue))
                s.Unknown << arg;
            else if (takesValue)
                ++i; // the option's value, not an argument of ours
        }
    }
    return s;
}

QString HelpText(const QString& programName) {
    return QStringLiteral(
               "Usage: %1 [switch ...] [FILE.par]\n"
               "Terminal and configuration program for ORX optical sensors.\n"
               "\n"
               "Switches (case-insensitive; a later one overrides an earlier one; none is "
               "stored):\n"
               "  debug    write one line per exchange with the sensor to standard error\n"
               "  local    use the serial port (Local mode)\n"
               "  telnet   connect to the sensor's own network port 23 (Telnet mode)\n"
               "  remote   connect to another ORXTERM's TCP relay (Remote mode)\n"
               "  server   Local mode with the TCP relay server running\n"
               "\n"
               "FILE.par opens that parameter file in the parameter editor.\n"
               "\n"
               "Options:\n"
               "  -h, --help     show this help and exit\n"
               "  -v, --version  show the version and exit\n"
               "  --port=DEVICE  use this serial port for this run (not stored)\n"
               "  --config=FILE  keep the settings in FILE instead of the user's settings\n"
               "  --address=HOST[:PORT]\n"
               "                 the sensor's address (telnet) or the relay's (remote) for this\n"
               "                 run (not stored)\n"
               "  --copydata KIND TEXT\n"
               "                 send TEXT to the running ORXTERM and exit: KIND 0-4 sets that\n"
               "                 status panel (3 is IP:Port), any other kind is data for the\n"
               "                 link; \\r \\n \\t \\0 \\\\ \\xHH are escapes, TEXT - reads "
               "stdin.\n"
               "                 The endpoint is $ORXTERM_COPYDATA, else\n"
               "                 $XDG_RUNTIME_DIR/orxterm-copydata.\n"
               "\n"
               "Settings: ~/.config/OrxTerm/OrxTerm.conf (or the file of --config)\n"
               "Labels:   orxterm.lab beside the program, else "
               "<prefix>/share/orxterm/orxterm.lab\n")
        .arg(programName);
}

// The product name and the version line as the about box shows them, the
// full file version, and the copyright.
QString VersionText() {
    const TVersionInfo info;
    return QStringLiteral("%1 %2\nFile version %3\n%4\n")
        .arg(info.String(TVersionInfo::ProductName), info.VersionLine(),
             info.String(TVersionInfo::FileVersion), info.String(TVersionInfo::LegalCopyright));
}

QStringList ArgumentList(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

int RefuseUnknownOptions(int argc, char** argv) {
    const TSwitches switches = TSwitches::Scan(ArgumentList(argc, argv));
    if (switches.Unknown.isEmpty()) return -1;
    const QString name = QString::fromLocal8Bit(argv[0]).section(u'/', -1);
    std::fprintf(stderr, "%s: unknown option \"%s\"\n\n%s", name.toLocal8Bit().constData(),
                 switches.Unknown.first().toLocal8Bit().constData(),
                 HelpText(name).toLocal8Bit().constData());
    return ServiceExit::Usage;
}

int CheckConfigSwitch(int argc, char** argv) {
    const TSwitches switches = TSwitches::Scan(ArgumentList(argc, argv));
    if (!switches.Config) return -1;
    const QString& path = *switches.Config;
    int systemError = 0;
    const TFileKind kind = FileKindOf(path, &systemError);
    QString reason;
    if (kind == TFileKind::Regular) {
        if (QFileInfo(path).size() > MaxConfigBytes)
            reason = QStringLiteral("is too large for a settings file (over %1 MB)")
                         .arg(MaxConfigBytes >> 20);
    } else if (kind != TFileKind::Missing) {
        reason = FileKindText(kind, systemError);
    }
    if (reason.isEmpty()) return -1;
    std::fprintf(stderr, "orxterm: --config: %s\n",
                 FileErrorText(path, reason).toLocal8Bit().constData());
    return ServiceExit::Usage;
}

bool HandleInfoOptions(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
            const QString name = QString::fromLocal8Bit(argv[0]).section(u'/', -1);
            std::fputs(HelpText(name).toLocal8Bit().constData(), stdout);
            std::fputs("\n", stdout);
            std::fputs(ServiceUsage(), stdout);
            return true;
        }
        if (std::strcmp(a, "--version") == 0 || std::strcmp(a, "-v") == 0) {
            std::fputs(VersionText().toLocal8Bit().constData(), stdout);
            return true;
        }
    }
    return false;
}

void ApplyAddressSwitch(const QString& address, TLinkMode mode, TOptions& options,
                        int& telnetPort) {
    const QString host = address.section(u':', 0, 0);
    bool ok = false;
    const int port = address.section(u':', 1, 1).toInt(&ok);
    ok = ok && port > 0 && port < 65536;
    if (mode == TLinkMode::Telnet) {
        options.TCPTelnetIP = host;
        if (ok) telnetPort = port;
    } else {
        options.TCPClientIP = host;
        if (ok) options.TCPClientPort = port;
    }
}

TClientAddress ClientAddress(TLinkMode mode, const TOptions& options, int telnetPort) {
    if (mode == TLinkMode::Telnet)
        return {options.TCPTelnetIP, telnetPort > 0 ? telnetPort : int(TTcpLink::TelnetPort)};
    return {options.TCPClientIP, options.TCPClientPort};
}
