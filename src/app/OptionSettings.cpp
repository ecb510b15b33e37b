// SPDX-License-Identifier: MIT
#include "OptionSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>

#include <stdexcept>

TOptions TOptions::Defaults() {
    TOptions o;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    o.ParaDir = documents;
    o.FirmDir = documents;
    o.TextDir = documents;
    return o;
}

QString TOptions::FolderInUse(const QString& chosen) {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!chosen.isEmpty() && QDir::cleanPath(chosen) != QDir::cleanPath(documents)) return chosen;
    if (!documents.isEmpty() && (QFileInfo(documents).isDir() || QDir().mkpath(documents)))
        return documents;
    return QDir::homePath();
}

namespace {
struct TReadError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Reads one value of the open "Option" group. The helpers keep the current
// value when the name is absent and throw when it cannot be read.
class TOptionReader {
public:
    explicit TOptionReader(QSettings& settings) : m_settings(settings) {}

    void Text(const char* name, QString& value) {
        const QVariant v = m_settings.value(QLatin1String(name));
        if (!v.isValid()) return;
        // A hand-edited text with commas comes back split into a list.
        value = v.metaType().id() == QMetaType::QStringList ? v.toStringList().join(u',')
                                                            : v.toString();
        value.truncate(MaxOptionText);
    }

    void Integer(const char* name, int& value) {
        QString text;
        bool present = m_settings.contains(QLatin1String(name));
        if (!present) return;
        Text(name, text);
        bool ok = false;
        const int number = text.trimmed().toInt(&ok);
        if (!ok) throw TReadError(name);
        value = number;
    }

    void Boolean(const char* name, bool& value) {
        int number = value ? 1 : 0;
        Integer(name, number);
        value = number != 0;
    }

private:
    QSettings& m_settings;
};
} // namespace

bool ReadOptions(QSettings& settings, TOptions& options) {
    // Settings files that cannot be parsed count as a failing read.
    bool ok = settings.status() != QSettings::FormatError;
    if (ok) {
        settings.beginGroup(QLatin1String(OptionKey::Group));
        TOptionReader read(settings);
        try {
            read.Text(OptionKey::ParaDir, options.ParaDir);
            read.Text(OptionKey::FirmDir, options.FirmDir);
            read.Text(OptionKey::TextDir, options.TextDir);
            read.Integer(OptionKey::Language, options.Language);
            read.Boolean(OptionKey::LocalServer, options.LocalServer);
            int mode = int(options.Mode);
            read.Integer(OptionKey::Mode, mode);
            options.Mode = LinkModeFromInt(mode);
            read.Integer(OptionKey::TCPServerPort, options.TCPServerPort);
            read.Text(OptionKey::TCPServerIP, options.TCPServerIP);
            read.Integer(OptionKey::TCPServerDelay, options.TCPServerDelay);
            read.Integer(OptionKey::TCPClientPort, options.TCPClientPort);
            read.Text(OptionKey::TCPClientIP, options.TCPClientIP);
            read.Text(OptionKey::TCPTelnetIP, options.TCPTelnetIP);
            read.Integer(OptionKey::ScrollbackLines, options.ScrollbackLines);
        } catch (const TReadError&) {
            ok = false;
        }
        settings.endGroup();
    }
    if (!ok) settings.remove(QLatin1String(OptionKey::Group));
    return ok;
}

bool WriteOption(QSettings& settings, const char* name, const QString& text) {
    settings.beginGroup(QLatin1String(OptionKey::Group));
    settings.setValue(QLatin1String(name), text);
    settings.endGroup();
    settings.sync();
    return settings.status() == QSettings::NoError;
}

TOptionStore::TOptionStore(const std::optional<QString>& configFile) : m_configFile(configFile) {
    m_settings = Open();
    m_options = TOptions::Defaults();
}

TOptionStore::~TOptionStore() = default;

QSettings* TOptionStore::Open() {
    if (m_configFile) return new QSettings(*m_configFile, QSettings::IniFormat, this);
    return new QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("OrxTerm"),
                         QStringLiteral("OrxTerm"), this);
}

QSettings& TOptionStore::Writable() {
    if (m_failed) {
        m_failed = false;
        delete m_settings;
        m_settings = Open();
    }
    return *m_settings;
}

void TOptionStore::Read() {
    m_options = TOptions::Defaults();
    ReadOptions(*m_settings, m_options);
}

void TOptionStore::Write(const char* name, const QString& text) {
    if (!WriteOption(Writable(), name, text)) ReportFailure();
}

void TOptionStore::ReportFailure() {
    m_failed = true;
    if (m_failurePending) return;
    m_failurePending = true;
    QTimer::singleShot(0, this, [this] {
        m_failurePending = false;
        if (Failed) Failed(m_settings->fileName());
    });
}

void TOptionStore::SaveParaDir(const QString& v) {
    Save(OptionKey::ParaDir, &TOptions::ParaDir, v, v);
}
void TOptionStore::SaveFirmDir(const QString& v) {
    Save(OptionKey::FirmDir, &TOptions::FirmDir, v, v);
}
void TOptionStore::SaveTextDir(const QString& v) {
    Save(OptionKey::TextDir, &TOptions::TextDir, v, v);
}
void TOptionStore::SaveLocalServer(bool v) {
    Save(OptionKey::LocalServer, &TOptions::LocalServer, v, QString::number(v ? 1 : 0));
}
void TOptionStore::SaveMode(TLinkMode v) {
    Save(OptionKey::Mode, &TOptions::Mode, v, QString::number(int(v)));
}
void TOptionStore::SaveTCPServerPort(int v) {
    Save(OptionKey::TCPServerPort, &TOptions::TCPServerPort, v, QString::number(v));
}
void TOptionStore::SaveTCPServerIP(const QString& v) {
    Save(OptionKey::TCPServerIP, &TOptions::TCPServerIP, v, v);
}
void TOptionStore::SaveTCPClientPort(int v) {
    Save(OptionKey::TCPClientPort, &TOptions::TCPClientPort, v, QString::number(v));
}
void TOptionStore::SaveTCPClientIP(const QString& v) {
    Save(OptionKey::TCPClientIP, &TOptions::TCPClientIP, v, v);
}
void TOptionStore::SaveTCPTelnetIP(const QString& v) {
    Save(OptionKey::TCPTelnetIP, &TOptions::TCPTelnetIP, v, v);
}

void TOptionStore::SaveScrollbackLines(int v) {
    Save(OptionKey::ScrollbackLines, &TOptions::ScrollbackLines, v, QString::number(v));
}
