// SPDX-License-Identifier: MIT
#include "Labels.h"

#include "LabelFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>

namespace {
int g_language = 0;
QString g_labelPath;
bool g_labelPathSet = false;

TLabelFile& LabelFile() {
    static TLabelFile file;
    return file;
}
} // namespace

QString LanguageLetter(int language) {
    return language == 1 ? QStringLiteral("D") : QStringLiteral("E");
}

QString LookupLabel(int language, int number, bool stripAmp) {
    static const QString key = QStringLiteral("KEY");
    QString text = LabelFile().ReadString(LabelFilePath(), QString::number(number),
                                          LanguageLetter(language), key);
    if (text.isEmpty()) text = key;
    if (text == key) text = QStringLiteral("%1 [%2]").arg(key).arg(number);
    if (stripAmp) {
        const qsizetype amp = text.indexOf(u'&');
        if (amp >= 0) text.remove(amp, 1);
    }
    return text;
}

QString LabelText(int number) {
    return LookupLabel(g_language, number, true);
}

QString RawLabelText(int number) {
    return LookupLabel(g_language, number, false);
}

QString LabelTextOr(int number, const QString& fallback) {
    const QString text = LabelText(number);
    return text == QStringLiteral("KEY [%1]").arg(number) ? fallback : text;
}

QStringList LabelItems(int number, const char* english) {
    const QStringList fallback = QString::fromLatin1(english).split(u'|');
    const QStringList items = LabelTextOr(number, fallback.join(u'|')).split(u'|');
    return items.size() == fallback.size() ? items : fallback;
}

void SetCurrentLanguage(int language) {
    g_language = language;
}

int CurrentLanguage() {
    return g_language;
}

QString DefaultLabelFilePath() {
    const QString exe = QCoreApplication::applicationFilePath();
    if (!exe.isEmpty()) {
        const QFileInfo info(exe);
        const QString beside =
            info.absolutePath() + u'/' + info.completeBaseName() + QStringLiteral(".lab");
        if (QFileInfo::exists(beside)) return beside;
        // The service program beside orxterm reads orxterm's file.
        const QString program = info.absolutePath() + QStringLiteral("/orxterm.lab");
        if (QFileInfo::exists(program)) return program;
        // Installed under another prefix than the one it was built for
        // ("cmake --install --prefix"): the data folder beside bin.
        const QString moved =
            QDir::cleanPath(info.absolutePath() +
                            QStringLiteral("/" ORX_DATADIR_FROM_BINDIR "/orxterm/orxterm.lab"));
        if (QFileInfo::exists(moved)) return moved;
        // The service program, in libexec/orxterm of the same prefix.
        const QString service =
            QDir::cleanPath(info.absolutePath() +
                            QStringLiteral("/" ORX_DATADIR_FROM_LIBEXEC "/orxterm/orxterm.lab"));
        if (QFileInfo::exists(service)) return service;
    }
    return QStringLiteral(ORX_INSTALL_DATADIR "/orxterm/orxterm.lab");
}

QString LabelFilePath() {
    if (!g_labelPathSet) {
        g_labelPath = DefaultLabelFilePath();
        g_labelPathSet = true;
    }
    return g_labelPath;
}

void SetLabelFilePath(const QString& path) {
    g_labelPath = path;
    g_labelPathSet = true;
}

QList<QTranslator*> InstallQtTranslations(QObject* owner, const QList<QTranslator*>& installed) {
    for (QTranslator* t : installed) {
        QCoreApplication::removeTranslator(t);
        delete t;
    }
    QList<QTranslator*> now;
    if (LanguageLetter(CurrentLanguage()) != QLatin1String("D")) return now;
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const char* catalogue : {"qtbase_de", "qtserialport_de"}) {
        auto* t = new QTranslator(owner);
        if (t->load(QLatin1String(catalogue), folder) && QCoreApplication::installTranslator(t))
            now.append(t);
        else
            delete t;
    }
    return now;
}
