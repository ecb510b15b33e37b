// SPDX-License-Identifier: MIT
// Version information: the numbers and strings by index and the about
// box's version line.
#include "VersionInfo.h"

#include <QTest>

class TestVersionInfo : public QObject {
    Q_OBJECT

    static TVersionResource Resource(std::array<quint16, 4> version) {
        TVersionResource r;
        r.Language = 0x0407;
        r.CodePage = 0x04e4;
        r.Locale = QStringLiteral("de_DE");
        r.FileVersion = version;
        r.Strings.insert(QStringLiteral("ProductName"), QStringLiteral("Sensor Tool"));
        r.Strings.insert(QStringLiteral("LegalCopyright"), QString(300, u'c'));
        return r;
    }

private slots:
    // The release number never shows: 1.2.3.4 is "Version 1.2 Build (4)".
    void versionLine_data() {
        QTest::addColumn<QList<int>>("version");
        QTest::addColumn<QString>("line");
        QTest::newRow("1.2.3.4") << QList<int>{1, 2, 3, 4} << "Version 1.2 Build (4)";
        QTest::newRow("zeros") << QList<int>{0, 0, 0, 0} << "Version 0.0 Build (0)";
        QTest::newRow("16-bit maxima")
            << QList<int>{65535, 10, 7, 65535} << "Version 65535.10 Build (65535)";
    }
    void versionLine() {
        QFETCH(QList<int>, version);
        QFETCH(QString, line);
        const TVersionInfo info(Resource(
            {quint16(version[0]), quint16(version[1]), quint16(version[2]), quint16(version[3])}));
        QCOMPARE(info.VersionLine(), line);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(info.Number(i), version[i]);
    }

    void lookupsByIndex() {
        const TVersionInfo info(Resource({1, 2, 3, 4}));
        QCOMPARE(info.String(TVersionInfo::ProductName), QStringLiteral("Sensor Tool"));
        QCOMPARE(info.String(TVersionInfo::CompanyName), QString()); // missing: empty
        QCOMPARE(info.String(TVersionInfo::LegalCopyright).size(), TVersionInfo::MaxString);
        QVERIFY(info.String(TVersionInfo::LanguageName).startsWith(QStringLiteral("German")));
        QCOMPARE(info.TranslationKey(), QStringLiteral("040704E4"));
        for (int outside : {-1, int(TVersionInfo::StringCount), 1000})
            QCOMPARE(info.String(outside), QString());
        for (int outside : {-1, int(TVersionInfo::NumberCount)})
            QCOMPARE(info.Number(outside), 0);
        // Nothing at all: empty texts, zero numbers, key 00000000.
        const TVersionInfo empty{TVersionResource{}};
        QCOMPARE(empty.TranslationKey(), QStringLiteral("00000000"));
        QCOMPARE(empty.String(TVersionInfo::LanguageName), QString());
        QCOMPARE(empty.VersionLine(), QStringLiteral("Version 0.0 Build (0)"));
    }
};

QTEST_GUILESS_MAIN(TestVersionInfo)
#include "tst_versioninfo.moc"
