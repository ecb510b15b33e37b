// SPDX-License-Identifier: MIT
// Comparing a parameter set with the sensor's when the set is hostile: a
// crafted file of hundreds of thousands of keys with a few huge values and
// keys gives a table and a window whose size follows the number of keys,
// not the longest value times the number of keys.
#include "Labels.h"
#include "ParameterCompare.h"
#include "TParameterCompareDlg.h"

#include <QLabel>
#include <QTableWidget>
#include <QTest>

#include <algorithm>

namespace {
// A set like a 3.6 MB file of 450,000 keys (most without a value, as a
// crafted file has them), with one huge key and a few huge values among
// them.
QStringList CraftedSet(int keys) {
    QStringList lines;
    lines.reserve(keys + 4);
    lines << QStringLiteral("AVERAGE 150 ms") << QString(4000, u'K') + QStringLiteral(" 1")
          << QStringLiteral("LONG ") + QString(4000, u'v');
    for (int i = 0; i < keys; ++i)
        lines << QStringLiteral("K%1").arg(i);
    lines << QStringLiteral("CONSTANT ") + QString(3000, u'9');
    return lines;
}

const QStringList SensorSet = {QStringLiteral("AVERAGE      150 ms"),
                               QStringLiteral("CONSTANT     24716"),
                               QStringLiteral("LONG         short")};

// The widest line of a table: three cells, the factory mark and the gaps.
constexpr qsizetype WidestLine = 3 * MaxCompareCellChars + 2 + 2 * 2 + 1;
} // namespace

class TestParamCompare : public QObject {
    Q_OBJECT

private slots:
    void init() { SetLabelFilePath(QStringLiteral(ORX_SOURCE_DIR "/labels/orxterm.lab")); }

    // Cells are cut at the same width everywhere, with a mark at the cut;
    // a value that fits stays as it is.
    void cellText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("short") << "150 ms"
                               << "150 ms";
        QTest::newRow("exactly the width")
            << QString(MaxCompareCellChars, u'a') << QString(MaxCompareCellChars, u'a');
        QTest::newRow("one more") << QString(MaxCompareCellChars + 1, u'a')
                                  << QString(MaxCompareCellChars - 3, u'a') + QStringLiteral("...");
    }
    void cellText() {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(CompareCellText(text), shown);
    }

    // The table of the crafted set: one line per key, none wider than
    // three cells, so its size follows the number of keys; the huge
    // values and the huge key appear cut.
    void craftedSetTable() {
        const int keys = 450000;
        const auto rows = CompareParameterSets(CraftedSet(keys), SensorSet, false);
        QCOMPARE(rows.size(), keys + 3); // the long key, LONG, every K and CONSTANT
        const QString table =
            DifferenceTable(rows, QStringLiteral("crafted.par"), QStringLiteral("sensor"));
        const QStringList lines = table.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), rows.size() + 1);
        qsizetype widest = 0;
        for (const QString& line : lines)
            widest = std::max(widest, line.size());
        QVERIFY2(widest <= WidestLine, qPrintable(QString::number(widest)));
        QVERIFY(table.size() <= lines.size() * (WidestLine + 1));
        QVERIFY(table.contains(QString(MaxCompareCellChars - 3, u'K') + QStringLiteral("...")));
        QVERIFY(table.contains(QString(MaxCompareCellChars - 3, u'v') + QStringLiteral("...")));
        QVERIFY(lines.last().startsWith(QStringLiteral("CONSTANT !")));
        // Cells are padded to the widest cut cell: the sensor's column
        // starts at the same place in every line.
        const qsizetype sensorColumn = lines.at(0).indexOf(QStringLiteral("sensor"));
        QCOMPARE(lines.at(1).lastIndexOf(QStringLiteral("  -")) + 2, sensorColumn);
        QCOMPARE(lines.at(4).lastIndexOf(QStringLiteral("  -")) + 2, sensorColumn);
    }

    // The window shows the first rows only and says how many it left out;
    // its cells are cut like the table's; the count of differing keys is
    // the whole set's.
    void craftedSetWindow() {
        const int keys = 20000;
        TParameterCompareDlg dialog;
        dialog.SetSets(CraftedSet(keys), SensorSet, QStringLiteral("crafted.par"));
        QCOMPARE(dialog.Table->rowCount(), TParameterCompareDlg::MaxRows);
        QCOMPARE(dialog.DifferingCount(), keys + 3);
        QCOMPARE(dialog.LeftOutCount(), keys + 3 - TParameterCompareDlg::MaxRows);
        QCOMPARE(dialog.lb_more->text(), LabelText(269).arg(dialog.LeftOutCount()));
        QVERIFY(!dialog.lb_more->isHidden());
        for (int row = 0; row < 3; ++row)
            for (int column = 0; column < 3; ++column)
                QVERIFY(dialog.Table->item(row, column)->text().size() <= MaxCompareCellChars + 2);

        // A set of normal size shows whole, without the note.
        dialog.SetSets({QStringLiteral("AVERAGE 100")}, SensorSet, QStringLiteral("set.par"));
        QCOMPARE(dialog.Table->rowCount(), 1);
        QCOMPARE(dialog.LeftOutCount(), 0);
        QVERIFY(dialog.lb_more->isHidden());
    }
};

QTEST_MAIN(TestParamCompare)
#include "tst_paramcompare.moc"
