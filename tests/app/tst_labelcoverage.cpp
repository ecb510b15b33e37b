// SPDX-License-Identifier: MIT
// The shipped label file has an English and a German text for every label
// number that the program uses: the tags of all components of all windows,
// the hints (tag + 1000) of menus and actions, and every number that the
// code looks up directly.
#include "LabelFile.h"
#include "TMainForm.h"
#include "Tag.h"
#include "Windows.h"

#include <QAction>
#include <QDirIterator>
#include <QFile>
#include <QMenu>
#include <QRegularExpression>
#include <QTest>

#include <memory>

class TestLabelCoverage : public QObject {
    Q_OBJECT

    static QSet<int> NumbersInSources() {
        QSet<int> numbers;
        static const QRegularExpression use(QStringLiteral(
            R"((?:\bLabelText|\bRawLabelText)\(\s*(\d+)\s*\)|\bSetTag\(\s*[\w>\-\.\*]+\s*,\s*(\d+)\s*\))"));
        QDirIterator it(QStringLiteral(ORX_SOURCE_DIR "/src"),
                        {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile f(it.next());
            if (!f.open(QIODevice::ReadOnly)) continue;
            const QString text = QString::fromUtf8(f.readAll());
            auto matches = use.globalMatch(text);
            while (matches.hasNext()) {
                const auto m = matches.next();
                const QString n = m.captured(1).isEmpty() ? m.captured(2) : m.captured(1);
                if (n.toInt() > 0) numbers.insert(n.toInt());
            }
        }
        return numbers;
    }

private slots:
    void everyUsedLabelHasBothLanguages() {
        QFile file(QStringLiteral(ORX_SOURCE_DIR "/labels/orxterm.lab"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const auto sections = TLabelFile::Parse(file.readAll());

        QSet<int> used = NumbersInSources();
        const TAppWindows w = CreateWindows({});
        std::unique_ptr<TMainForm> owner(w.MainForm);
        for (QWidget* window : w.All()) {
            if (Tag(window)) used.insert(Tag(window));
            for (QObject* o : window->findChildren<QObject*>()) {
                if (!Tag(o)) continue;
                used.insert(Tag(o));
                if (qobject_cast<QAction*>(o) || qobject_cast<QMenu*>(o))
                    used.insert(Tag(o) + 1000);
            }
        }
        QVERIFY(used.size() > 50);

        QStringList missing;
        for (int n : used) {
            const auto s = sections.constFind(QString::number(n));
            for (const char* lang : {"D", "E"}) {
                if (s == sections.constEnd() || s->value(QLatin1String(lang)).isEmpty() ||
                    s->value(QLatin1String(lang)) == QLatin1String("KEY"))
                    missing << QStringLiteral("%1/%2").arg(n).arg(QLatin1String(lang));
            }
        }
        std::sort(missing.begin(), missing.end());
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(u' ')));
    }
};

QTEST_MAIN(TestLabelCoverage)
#include "tst_labelcoverage.moc"
