// SPDX-License-Identifier: MIT
#pragma once

#include "LinkMode.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QSettings;

// The program settings of the "Option" group with their defaults. Each
// value and its default is declared here once; TMainForm keeps the
// remembered copy and writes a value only when it changes.
struct TOptions {
    QString ParaDir;          // parameter files; default: documents folder
    QString FirmDir;          // firmware files; default: documents folder
    QString TextDir;          // capture, sent text files, CSV logs; default: documents folder
    int Language = 0;         // 1 German, any other value English
    bool LocalServer = false; // run the TCP relay in Local mode
    TLinkMode Mode = TLinkMode::Local; // stored as 0 Local, 1 Telnet, 2 Remote
    int TCPServerPort = 10001;
    QString TCPServerIP = QStringLiteral("0.0.0.0");
    int TCPServerDelay = 100; // ms that TCP data is collected; never written by the program
    int TCPClientPort = 10001;
    QString TCPClientIP = QStringLiteral("127.0.0.1");
    QString TCPTelnetIP = QStringLiteral("127.0.0.1");
    int ScrollbackLines = 10000; // terminal lines kept above the screen; 0 none

    // Defaults with the three folders set to the user's documents folder.
    static TOptions Defaults();
    // The folder that files go to for a stored folder option: a folder
    // the user chose, as it is; for none, or the default, the user's
    // documents folder, created on first use (a fresh account has none),
    // else the home folder.
    static QString FolderInUse(const QString& chosen);
};

// Names of the stored values.
namespace OptionKey {
inline constexpr const char* Group = "Option";
inline constexpr const char* ParaDir = "ParaDir";
inline constexpr const char* FirmDir = "FirmDir";
inline constexpr const char* TextDir = "TextDir";
inline constexpr const char* Language = "Language";
inline constexpr const char* LocalServer = "LocalServer";
inline constexpr const char* Mode = "Mode";
inline constexpr const char* TCPServerPort = "TCPServerPort";
inline constexpr const char* TCPServerIP = "TCPServerIP";
inline constexpr const char* TCPServerDelay = "TCPServerDelay";
inline constexpr const char* TCPClientPort = "TCPClientPort";
inline constexpr const char* TCPClientIP = "TCPClientIP";
inline constexpr const char* TCPTelnetIP = "TCPTelnetIP";
inline constexpr const char* ScrollbackLines = "ScrollbackLines";
} // namespace OptionKey

// Reads every "Option" value in its fixed order. Values are text: integers
// in decimal, Booleans "0" or "1". A value that is present but cannot be
// read (an integer that is not a number, or a settings file that cannot be
// parsed) is a read error: the whole "Option" group is deleted and the
// program goes on with what was read before the error and the defaults
// for the rest. Returns false after such an error.
bool ReadOptions(QSettings& settings, TOptions& options);

// Writes one value as text into the "Option" group; false when the
// settings file could not be written.
bool WriteOption(QSettings& settings, const char* name, const QString& text);

// Texts longer than this are cut when read: no folder or address is this
// long, and a hand-edited file must not cost the program its start-up.
inline constexpr int MaxOptionText = 4096;

// The settings store of the window: the settings file (the user's
// OrxTerm.conf, or the file of "--config=FILE" for this run) and the
// remembered copy of the "Option" values, whose writers write a value only
// when it changes. A file that cannot be written (read-only or full
// folder) keeps the values in effect for this run; Failed is told its
// name once for all the values one action stores, when the action is
// done. The next write opens the store afresh, so that it reports its own
// outcome rather than this failure again.
class TOptionStore : public QObject {
public:
    explicit TOptionStore(const std::optional<QString>& configFile);
    ~TOptionStore() override;

    QSettings& Settings() { return *m_settings; }
    // The store to write to: opened afresh after a failed write (a store
    // keeps reporting its first failure).
    QSettings& Writable();
    TOptions& Options() { return m_options; }
    const TOptions& Options() const { return m_options; }
    // Every "Option" value, read over the defaults.
    void Read();

    // Writes `value` as `text` under `name` when it differs from the
    // remembered one, and remembers it.
    template <typename T>
    void Save(const char* name, T TOptions::*member, const T& value, const QString& text) {
        if (m_options.*member == value) return;
        m_options.*member = value;
        Write(name, text);
    }
    void Write(const char* name, const QString& text);
    void SaveParaDir(const QString& value);
    void SaveFirmDir(const QString& value);
    void SaveTextDir(const QString& value);
    void SaveLocalServer(bool value);
    void SaveMode(TLinkMode value);
    void SaveTCPServerPort(int value);
    void SaveTCPServerIP(const QString& value);
    void SaveTCPClientPort(int value);
    void SaveTCPClientIP(const QString& value);
    void SaveTCPTelnetIP(const QString& value);
    void SaveScrollbackLines(int value);
    // A write to the store failed.
    void ReportFailure();
    std::function<void(const QString& fileName)> Failed;

private:
    QSettings* Open();

    std::optional<QString> m_configFile;
    QSettings* m_settings = nullptr;
    TOptions m_options;
    bool m_failed = false;         // the store failed to write: open it afresh
    bool m_failurePending = false; // its report is on its way
};
