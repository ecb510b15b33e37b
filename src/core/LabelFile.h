// SPDX-License-Identifier: MIT
#pragma once

#include <QHash>
#include <QString>

// Reads one key of one section of an INI file the way the label file is
// meant to be read: sections "[N]", keys compared without regard to case,
// the first occurrence wins, values trimmed and a pair of surrounding
// quotes removed. The file is looked at on every call; it is parsed again
// only when its size, modification time or identity changed, so an edited
// file takes effect at the next lookup while repeated lookups stay cheap.
// A missing, unreadable, oversized or binary file reads as empty, and so
// does what is no regular file (a pipe, a device, a folder).
class TLabelFile {
public:
    // Returns the value, or `defaultValue` when the file, the section or
    // the key is missing.
    QString ReadString(const QString& path, const QString& section, const QString& key,
                       const QString& defaultValue);

    // Parses INI text into the section/key table. Public for tests.
    static QHash<QString, QHash<QString, QString>> Parse(const QByteArray& bytes);

    static constexpr qint64 MaxFileSize = 16 * 1024 * 1024;
    static constexpr int MaxValueLength = 4096;

private:
    struct Stamp {
        bool exists = false;
        qint64 size = -1;
        qint64 mtimeNs = 0;
        quint64 inode = 0;
        quint64 device = 0;
        bool operator==(const Stamp&) const = default;
    };
    static Stamp StampOf(const QString& path);
    void Refresh(const QString& path);

    QString m_path;
    Stamp m_stamp;
    bool m_loaded = false;
    QHash<QString, QHash<QString, QString>>
        m_sections; // upper-case section -> upper-case key -> value
};
