// SPDX-License-Identifier: MIT
#include "LabelFile.h"

#include "FileKind.h"

#include <QFile>
#include <QStringDecoder>

#include <sys/stat.h>

TLabelFile::Stamp TLabelFile::StampOf(const QString& path) {
    Stamp s;
    struct stat st {};
    const QByteArray native = QFile::encodeName(path);
    if (native.isEmpty() || ::stat(native.constData(), &st) != 0) return s;
    s.exists = true;
    s.size = st.st_size;
    s.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.inode = st.st_ino;
    s.device = st.st_dev;
    return s;
}

static QString DecodeText(const QByteArray& bytes) {
    QByteArray body = bytes;
    if (body.startsWith("\xEF\xBB\xBF")) body.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(body);
    if (utf8.hasError()) text = QString::fromLatin1(body);
    return text;
}

static QString Unquote(QString value) {
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == u'"' || first == u'\'') && value.back() == first)
            value = value.mid(1, value.size() - 2);
    }
    return value;
}

QHash<QString, QHash<QString, QString>> TLabelFile::Parse(const QByteArray& bytes) {
    QHash<QString, QHash<QString, QString>> sections;
    const QString text = DecodeText(bytes);
    QHash<QString, QString>* current = nullptr;
    qsizetype pos = 0;
    const qsizetype n = text.size();
    while (pos < n) {
        qsizetype end = pos;
        while (end < n && text[end] != u'\n' && text[end] != u'\r')
            ++end;
        const QString line = text.mid(pos, end - pos).trimmed();
        pos = end + 1;
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#')) continue;
        if (line.startsWith(u'[')) {
            const qsizetype close = line.indexOf(u']');
            if (close < 0) {
                current = nullptr;
                continue;
            }
            current = &sections[line.mid(1, close - 1).trimmed().toUpper()];
            continue;
        }
        if (!current) continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0) continue;
        const QString key = line.left(eq).trimmed().toUpper();
        if (key.isEmpty() || current->contains(key)) continue;
        current->insert(key, Unquote(line.mid(eq + 1).trimmed()).left(MaxValueLength));
    }
    return sections;
}

void TLabelFile::Refresh(const QString& path) {
    const Stamp stamp = StampOf(path);
    if (m_loaded && path == m_path && stamp == m_stamp) return;
    m_path = path;
    m_stamp = stamp;
    m_loaded = true;
    m_sections.clear();
    if (!stamp.exists || stamp.size > MaxFileSize) return;
    // A pipe or a device in its place would hang the program at its first
    // label; it reads as empty.
    QFile file;
    if (!OpenRegularFile(file, path, nullptr)) return;
    m_sections = Parse(file.read(MaxFileSize));
}

QString TLabelFile::ReadString(const QString& path, const QString& section, const QString& key,
                               const QString& defaultValue) {
    Refresh(path);
    const auto s = m_sections.constFind(section.trimmed().toUpper());
    if (s == m_sections.constEnd()) return defaultValue;
    const auto k = s->constFind(key.trimmed().toUpper());
    if (k == s->constEnd()) return defaultValue;
    return *k;
}
