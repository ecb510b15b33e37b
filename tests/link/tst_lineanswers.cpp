// SPDX-License-Identifier: MIT
// Reading the sensor's answers to a run of lines: which lines the sensor
// has answered so far and which it refused, from what has arrived of its
// echo/answer/prompt blocks.
#include "LineAnswers.h"

#include <QTest>

class TestLineAnswers : public QObject {
    Q_OBJECT
private slots:
    void readLineAnswers_data() {
        QTest::addColumn<QByteArray>("received");
        QTest::addColumn<QStringList>("sent");
        QTest::addColumn<int>("confirmed");
        QTest::addColumn<QList<int>>("refused");
        QTest::addColumn<QStringList>("answers");
        const QStringList two = {QStringLiteral("AVERAGE 100"), QStringLiteral("CALFACTOR 1")};
        QTest::newRow("both answered") << QByteArray("AVERAGE 100\r\n->CALFACTOR 1\r\n->") << two
                                       << 2 << QList<int>{} << QStringList{};
        QTest::newRow("last prompt not here yet") << QByteArray("AVERAGE 100\r\n->CALFACTOR 1\r\n")
                                                  << two << 1 << QList<int>{} << QStringList{};
        QTest::newRow("prompt split between chunks")
            << QByteArray("AVERAGE 100\r\n->CALFACTOR 1\r\n-") << two << 1 << QList<int>{}
            << QStringList{};
        QTest::newRow("refused, with and without a text")
            << QByteArray("AVERAGE 9999\r\nE05\r\n->CALFACTOR 1\r\nE05 RANGE\r\n->") << two << 2
            << QList<int>{0, 1} << QStringList{"E05", "E05 RANGE"};
        QTest::newRow("E and three digits is a value, no error")
            << QByteArray("AVERAGE 100\r\nE123\r\n->CALFACTOR 1\r\nE5\r\n->") << two << 2
            << QList<int>{} << QStringList{};
        QTest::newRow("a stale block before the first echo")
            << QByteArray("100 ms\r\nE05\r\n->AVERAGE 100\r\n->CALFACTOR 1\r\n->") << two << 2
            << QList<int>{} << QStringList{};
        QTest::newRow("flow control and bare line ends inside blocks")
            << QByteArray("AVE\x13RAGE 100\r\x11"
                          "E05\r->CALFACTOR 1\n->")
            << two << 2 << QList<int>{0} << QStringList{"E05"};
        QTest::newRow("header lines' errors are no refusals")
            << QByteArray("REM PARAMETER FILE\r\nE01\r\n->\r\n->S/N 41001\r\nE01\r\n->"
                          "AVERAGE 100\r\n->")
            << QStringList{"REM PARAMETER FILE", "", "S/N 41001", "AVERAGE 100"} << 4
            << QList<int>{} << QStringList{};
        // After ECHO 0 the blocks hold the answers only: an error answer is
        // not mistaken for an echo.
        QTest::newRow("ECHO 0, then a refusal")
            << QByteArray("AVERAGE 100\r\n->ECHO 0\r\n->SYSTEM MODE OFF\r\n->E05\r\n->")
            << QStringList{"AVERAGE 100", "ECHO 0", "*EXIT", "S1ON 1"} << 4 << QList<int>{3}
            << QStringList{"E05"};
        // A remark may hold the prompt's two characters; so does its echo.
        QTest::newRow("a remark with an arrow")
            << QByteArray("REM alt->neu\r\nE01\r\n->AVERAGE 100\r\n->")
            << QStringList{"REM alt->neu", "AVERAGE 100"} << 2 << QList<int>{} << QStringList{};
        QTest::newRow("a remark with an arrow, the next line not answered yet")
            << QByteArray("REM alt->neu\r\nE01\r\n->AVERAGE 100\r\n")
            << QStringList{"REM alt->neu", "AVERAGE 100"} << 1 << QList<int>{} << QStringList{};
        QTest::newRow("a value with an arrow, refused")
            << QByteArray("S1FORMAT V'->'\r\nE05\r\n->AVERAGE 100\r\n->")
            << QStringList{"S1FORMAT V'->'", "AVERAGE 100"} << 2 << QList<int>{0}
            << QStringList{"E05"};
    }
    void readLineAnswers() {
        QFETCH(QByteArray, received);
        QFETCH(QStringList, sent);
        const TLineAnswers answers = ReadLineAnswers(received, sent);
        QTEST(answers.Confirmed, "confirmed");
        QTEST(answers.Refused, "refused");
        QTEST(answers.RefusedAnswers, "answers");
    }
};

QTEST_MAIN(TestLineAnswers)
#include "tst_lineanswers.moc"
