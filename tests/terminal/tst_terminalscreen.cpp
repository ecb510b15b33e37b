// SPDX-License-Identifier: MIT
// The screen and its parsers, without a widget: plain characters, VT100 and
// VT52 sequences, answers, unhandled codes and character notification.
#include "TEscapeCodesVT100.h"
#include "TEscapeCodesVT52.h"
#include "TermTestUtil.h"

#include <QtTest>

class TstTermScreen : public QObject {
    Q_OBJECT

    TScreenRecorder Rec;
    std::unique_ptr<TTermScreen> Screen;

    void Make(TTermEmulation emulation = teVT100orANSI, bool wrap = false) {
        Rec = TScreenRecorder();
        Screen = std::make_unique<TTermScreen>(&Rec);
        Screen->SetCharNotify(TCharNotify::Runs);
        Screen->SetWrapLines(wrap);
        if (emulation == teVT100orANSI)
            Screen->SetParser(std::make_unique<TEscapeCodesVT100>());
        else if (emulation == teVT52)
            Screen->SetParser(std::make_unique<TEscapeCodesVT52>());
    }
    QByteArray Row(int r) const { return RowText(Screen->Buffer(), r); }
    QPoint Caret() const { return {Screen->CaretX(), Screen->CaretY()}; }

private slots:
    void plainCharacters_data();
    void plainCharacters();
    void lineFeedScrollsOnLastRow();
    void vt100Sequences_data();
    void vt100Sequences();
    void answers_data();
    void answers();
    void unhandled_data();
    void unhandled();
    void cellColours_data();
    void cellColours();
    void saveRestoreAttributes();
    void modes();
    void tabStops();
    void vt52_data();
    void vt52();
    void vt52ReverseLineFeedScrolls();
    void charsInOrderWithOtherEvents();
    void eachCharMatchesRuns();
    void overlongSequenceIsAbandoned();
    void withoutParserEscIsControl();
};

void TstTermScreen::plainCharacters_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<bool>("wrap");
    QTest::addColumn<QByteArray>("row1");
    QTest::addColumn<QByteArray>("row2");
    QTest::addColumn<QPoint>("caret");

    const QByteArray digits80 = QByteArray("1234567890").repeated(8);
    QTest::newRow("CR overwrites")
        << QByteArray("AB\rC") << false << QByteArray("CB") << QByteArray() << QPoint(2, 1);
    QTest::newRow("81 without wrap")
        << digits80 + "X" << false << digits80.left(79) + "X" << QByteArray() << QPoint(80, 1);
    QTest::newRow("81 with wrap") << digits80 + "X" << true << digits80 << QByteArray("X")
                                  << QPoint(2, 2);
    QTest::newRow("80 with wrap") << digits80 << true << digits80 << QByteArray() << QPoint(1, 2);
    QTest::newRow("BS stops at column 1")
        << QByteArray("AB\b\b\bX") << false << QByteArray("XB") << QByteArray() << QPoint(2, 1);
    QTest::newRow("TAB to column 9")
        << QByteArray("A\tX") << false << QByteArray("A       X") << QByteArray() << QPoint(10, 1);
    QTest::newRow("TAB past last stop stays")
        << QByteArray(75, '-') + "\tX" << false << QByteArray(75, '-') + "X" << QByteArray()
        << QPoint(77, 1);
    QTest::newRow("LF keeps column")
        << QByteArray("AB\nC") << false << QByteArray("AB") << QByteArray("  C") << QPoint(4, 2);
    QTest::newRow("FF like LF") << QByteArray("A\fB") << false << QByteArray("A")
                                << QByteArray(" B") << QPoint(3, 2);
    QTest::newRow("other controls not stored")
        << QByteArray("A\x01\x07\x7f\xffZ", 6) << false << QByteArray("A\x7f\xffZ") << QByteArray()
        << QPoint(5, 1);
}

void TstTermScreen::plainCharacters() {
    QFETCH(QByteArray, input);
    QFETCH(bool, wrap);
    Make(teVT100orANSI, wrap);
    Screen->Write(input);
    QCOMPARE(Row(1), FETCH(QByteArray, row1));
    QCOMPARE(Row(2), FETCH(QByteArray, row2));
    QCOMPARE(Caret(), FETCH(QPoint, caret));
    QCOMPARE(Rec.Chars, input); // every byte here is a plain character
}

void TstTermScreen::lineFeedScrollsOnLastRow() {
    Make();
    for (int r = 1; r <= 24; ++r)
        Screen->Write(QByteArray::number(r) + (r < 24 ? "\r\n" : ""));
    QCOMPARE(Caret(), QPoint(3, 24));
    Screen->Write("\n");
    QCOMPARE(Caret(), QPoint(3, 24));
    QCOMPARE(Row(1), QByteArray("2"));
    QCOMPARE(Row(23), QByteArray("24"));
    QCOMPARE(Row(24), QByteArray());
    Screen->Write("X\f");
    QCOMPARE(Row(22), QByteArray("24"));
    QCOMPARE(Row(23), QByteArray("  X"));
    QCOMPARE(Caret(), QPoint(4, 24));
}

void TstTermScreen::vt100Sequences_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QPoint>("caret");
    QTest::addColumn<QByteArray>("row1");
    QTest::addColumn<QByteArray>("row2");

    const QByteArray two = "ABCDEF\r\nGHIJKL";
    QTest::newRow("move") << QByteArray("\033[5;10H") << QPoint(10, 5) << QByteArray()
                          << QByteArray();
    QTest::newRow("move f") << QByteArray("\033[2;3f") << QPoint(3, 2) << QByteArray()
                            << QByteArray();
    QTest::newRow("move clamped") << QByteArray("\033[99;99H") << QPoint(80, 24) << QByteArray()
                                  << QByteArray();
    QTest::newRow("move defaults")
        << QByteArray("\033[5;5H\033[H") << QPoint(1, 1) << QByteArray() << QByteArray();
    QTest::newRow("move zero clamped")
        << QByteArray("\033[0;0H") << QPoint(1, 1) << QByteArray() << QByteArray();
    QTest::newRow("not a number is 1")
        << QByteArray("\033[5;5H\033[+A") << QPoint(5, 4) << QByteArray() << QByteArray();
    QTest::newRow("up down right left") << QByteArray("\033[10;10H\033[3A\033[B\033[5C\033[2D")
                                        << QPoint(13, 8) << QByteArray() << QByteArray();
    QTest::newRow("up clamped") << QByteArray("\033[50A\033[200D") << QPoint(1, 1) << QByteArray()
                                << QByteArray();
    QTest::newRow("ESC O A up") << QByteArray("\033[3;3H\033OA") << QPoint(3, 2) << QByteArray()
                                << QByteArray();
    QTest::newRow("erase to end of line")
        << two + "\033[1;3H\033[K" << QPoint(3, 1) << QByteArray("AB") << QByteArray("GHIJKL");
    QTest::newRow("erase to end of line 0")
        << two + "\033[1;3H\033[0K" << QPoint(3, 1) << QByteArray("AB") << QByteArray("GHIJKL");
    QTest::newRow("erase line") << two + "\033[1;3H\033[2K" << QPoint(1, 1) << QByteArray()
                                << QByteArray("GHIJKL");
    QTest::newRow("erase to end of screen")
        << two + "\033[1;4H\033[J" << QPoint(4, 1) << QByteArray("ABC") << QByteArray();
    QTest::newRow("erase screen") << two + "\033[2J" << QPoint(1, 1) << QByteArray()
                                  << QByteArray();
    QTest::newRow("save restore caret") << QByteArray("\033[4;6H\033[s\033[H\033[u") << QPoint(6, 4)
                                        << QByteArray() << QByteArray();
    QTest::newRow("ESC 7 ESC 8") << QByteArray("\033[4;6H\0337\033[H\0338") << QPoint(6, 4)
                                 << QByteArray() << QByteArray();
    QTest::newRow("fill with E") << QByteArray("\033#8") << QPoint(1, 1) << QByteArray(80, 'E')
                                 << QByteArray(80, 'E');
    QTest::newRow("CR inside a sequence is collected")
        << QByteArray("\033[2\r;3H") << QPoint(3, 1) << QByteArray() << QByteArray();
}

void TstTermScreen::vt100Sequences() {
    QFETCH(QByteArray, input);
    Make();
    Screen->Write(input);
    QCOMPARE(Caret(), FETCH(QPoint, caret));
    QCOMPARE(Row(1), FETCH(QByteArray, row1));
    QCOMPARE(Row(2), FETCH(QByteArray, row2));
    QVERIFY(Rec.Sent.isEmpty());
}

void TstTermScreen::answers_data() {
    QTest::addColumn<int>("emulation");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("identify") << int(teVT100orANSI) << QByteArray("\033[c")
                              << QByteArray("\033[?1;2c");
    QTest::newRow("identify 0") << int(teVT100orANSI) << QByteArray("\033[0c")
                                << QByteArray("\033[?1;2c");
    QTest::newRow("status") << int(teVT100orANSI) << QByteArray("\033[5n") << QByteArray("\033[0n");
    QTest::newRow("position") << int(teVT100orANSI) << QByteArray("\033[3;7H\033[6n")
                              << QByteArray("\033[3;7R");
    QTest::newRow("position after text")
        << int(teVT100orANSI) << QByteArray("\r\n\r\nabcdef\033[6n") << QByteArray("\033[3;7R");
    QTest::newRow("VT52 identify") << int(teVT52) << QByteArray("\033Z") << QByteArray("\033/Z");
}

void TstTermScreen::answers() {
    QFETCH(int, emulation);
    Make(TTermEmulation(emulation));
    Screen->Write(FETCH(QByteArray, input));
    QCOMPARE(Rec.Sent, FETCH(QByteArray, answer));
    QVERIFY(Rec.Unhandled.isEmpty());
}

void TstTermScreen::unhandled_data() {
    QTest::addColumn<int>("emulation");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("data");
    const int vt100 = int(teVT100orANSI);
    QTest::newRow("ESC x") << vt100 << QByteArray("\033x") << int(ecUnknown) << QByteArray("x");
    QTest::newRow("erase 1J") << vt100 << QByteArray("\033[1J") << int(ecEraseScreen)
                              << QByteArray("[1J");
    QTest::newRow("erase 1K") << vt100 << QByteArray("\033[1K") << int(ecEraseLine)
                              << QByteArray("[1K");
    QTest::newRow("tab 2g") << vt100 << QByteArray("\033[2g") << int(ecClearTab)
                            << QByteArray("[2g");
    QTest::newRow("status 0n") << vt100 << QByteArray("\033[0n") << int(ecDeviceStatus)
                               << QByteArray("[0n");
    QTest::newRow("status 3n") << vt100 << QByteArray("\033[3n") << int(ecDeviceStatus)
                               << QByteArray("[3n");
    QTest::newRow("report R") << vt100 << QByteArray("\033[3;4R") << int(ecCursorPosReport)
                              << QByteArray("[3;4R");
    QTest::newRow("identify answer")
        << vt100 << QByteArray("\033[?1;2c") << int(ecIdentifyResponse) << QByteArray("[?1;2c");
    QTest::newRow("ESC O B") << vt100 << QByteArray("\033OB") << int(ecAppCursorDown)
                             << QByteArray("OB");
    QTest::newRow("ESC O C") << vt100 << QByteArray("\033OC") << int(ecAppCursorRight)
                             << QByteArray("OC");
    QTest::newRow("ESC O D") << vt100 << QByteArray("\033OD") << int(ecAppCursorLeft)
                             << QByteArray("OD");
    QTest::newRow("other letter") << vt100 << QByteArray("\033[5z") << int(ecUnknown)
                                  << QByteArray("[5z");
    QTest::newRow("ESC # 3") << vt100 << QByteArray("\033#3") << int(ecUnknown) << QByteArray("#3");
    QTest::newRow("unknown mode") << vt100 << QByteArray("\033[?9h") << int(ecSetMode)
                                  << QByteArray("[?9h");
    QTest::newRow("VT52 ESC / Z") << int(teVT52) << QByteArray("\033/Z") << int(ecIdentifyResponse)
                                  << QByteArray("/Z");
    QTest::newRow("VT52 ESC x") << int(teVT52) << QByteArray("\033x") << int(ecUnknown)
                                << QByteArray("x");
}

void TstTermScreen::unhandled() {
    QFETCH(int, emulation);
    Make(TTermEmulation(emulation));
    Screen->Write(FETCH(QByteArray, input));
    QCOMPARE(Rec.Unhandled.size(), 1);
    QCOMPARE(int(Rec.Unhandled[0].first), FETCH(int, code));
    QCOMPARE(Rec.Unhandled[0].second, FETCH(QByteArray, data));
    // Nothing of a sequence is shown or reported as a character.
    QCOMPARE(Row(1), QByteArray());
    QVERIFY(Rec.Chars.isEmpty());
    QCOMPARE(Caret(), QPoint(1, 1));
    QVERIFY(Rec.Sent.isEmpty());
}

void TstTermScreen::cellColours_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<uint>("fg");
    QTest::addColumn<uint>("bg");
    QTest::addColumn<bool>("underline");
    const uint font = 0xff102030, back = 0xfff0f0e0, alt = 0xffa6a6a6;
    QTest::newRow("plain") << QByteArray("X") << font << back << false;
    QTest::newRow("bold and reverse") << QByteArray("\033[1;7mX") << alt << font << false;
    QTest::newRow("reverse") << QByteArray("\033[7mX") << back << font << false;
    QTest::newRow("bold") << QByteArray("\033[1mX") << alt << back << false;
    QTest::newRow("underline") << QByteArray("\033[4mX") << font << back << true;
    QTest::newRow("reset by 0") << QByteArray("\033[1;4;7m\033[0mX") << font << back << false;
    QTest::newRow("reset by empty m") << QByteArray("\033[1;4;7m\033[mX") << font << back << false;
    QTest::newRow("21 24 27") << QByteArray("\033[1;4;7m\033[21;24;27mX") << font << back << false;
    QTest::newRow("ESC c") << QByteArray("\033[1;4;7m\033cX") << font << back << false;
    QTest::newRow("unknown ignored") << QByteArray("\033[4;31;42mX") << font << back << true;
}

void TstTermScreen::cellColours() {
    Make();
    Screen->SetColors(0xff102030, 0xfff0f0e0, 0xffa6a6a6);
    Screen->Write(FETCH(QByteArray, input));
    const TTermCell& cell = Screen->Buffer().Cell(1, 1);
    QCOMPARE(cell.Ch, quint8('X'));
    QCOMPARE(uint(cell.Fg), FETCH(uint, fg));
    QCOMPARE(uint(cell.Bg), FETCH(uint, bg));
    QCOMPARE(bool(cell.Underline), FETCH(bool, underline));
}

void TstTermScreen::saveRestoreAttributes() {
    Make();
    Screen->Write("\033[1m\0337\033[0m\033[5;5H\0338");
    QVERIFY(Screen->Attributes().Bold);
    QCOMPARE(Caret(), QPoint(1, 1));
    // ESC [ s / u keep the attributes as they are.
    Screen->Write("\033[s\033[0m\033[3;3H\033[u");
    QVERIFY(!Screen->Attributes().Bold);
    QCOMPARE(Caret(), QPoint(1, 1));
}

void TstTermScreen::modes() {
    Make();
    Screen->Write("\033[?1h");
    QVERIFY(Screen->ApplicationCursorKeys());
    Screen->Write("\033[?1l\033[?7h");
    QVERIFY(!Screen->ApplicationCursorKeys());
    QVERIFY(Screen->WrapLines());
    Screen->Write("\033[?7l");
    QVERIFY(!Screen->WrapLines());

    Screen->Write("text\033[24;80H\033[?3h");
    QCOMPARE(Screen->Columns(), 132);
    QCOMPARE(Rec.Resized, 1);
    QCOMPARE(Row(1), QByteArray());
    QCOMPARE(Caret(), QPoint(80, 24));
    Screen->Write("\033[1;132H\033[?3l");
    QCOMPARE(Screen->Columns(), 80);
    QCOMPARE(Caret(), QPoint(80, 1));
    QVERIFY(Rec.Unhandled.isEmpty());
}

void TstTermScreen::tabStops() {
    Make();
    Screen->Write("\t\t");
    QCOMPARE(Screen->CaretX(), 17);
    Screen->Write("\r\033[5C\033H\r\t"); // new stop at column 6
    QCOMPARE(Screen->CaretX(), 6);
    Screen->Write("\033[g\r\t"); // cleared again
    QCOMPARE(Screen->CaretX(), 9);
    Screen->Write("\033[3g\r\t");
    QCOMPARE(Screen->CaretX(), 1);
    // Re-created with the screen.
    Screen->SetSize(40, 10);
    Screen->Write("\r\t\t\t\t\t");
    QCOMPARE(Screen->CaretX(), 33);
}

void TstTermScreen::vt52_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QPoint>("caret");
    QTest::addColumn<QByteArray>("row1");
    QTest::addColumn<QByteArray>("row2");
    QTest::newRow("Y space is 1") << QByteArray("\033Y  ") << QPoint(1, 1) << QByteArray()
                                  << QByteArray();
    QTest::newRow("Y row 5 col 10")
        << QByteArray("\033Y$)") << QPoint(10, 5) << QByteArray() << QByteArray();
    QTest::newRow("Y clamped") << QByteArray("\033Y\x7f\x7f") << QPoint(80, 24) << QByteArray()
                               << QByteArray();
    QTest::newRow("Y below range")
        << QByteArray("\033Y\x01\x01") << QPoint(1, 1) << QByteArray() << QByteArray();
    QTest::newRow("A B C D") << QByteArray("\033Y%%\033A\033A\033B\033C\033C\033D") << QPoint(7, 5)
                             << QByteArray() << QByteArray();
    QTest::newRow("H") << QByteArray("\033Y%%\033H") << QPoint(1, 1) << QByteArray()
                       << QByteArray();
    QTest::newRow("I up") << QByteArray("\033Y%%\033I") << QPoint(6, 5) << QByteArray()
                          << QByteArray();
    QTest::newRow("K") << QByteArray("ABCD\r\nEFGH\033Y  \033C\033C\033K") << QPoint(3, 1)
                       << QByteArray("AB") << QByteArray("EFGH");
    QTest::newRow("J") << QByteArray("ABCD\r\nEFGH\033Y  \033C\033C\033J") << QPoint(3, 1)
                       << QByteArray("AB") << QByteArray();
    QTest::newRow("VT100 sequence is not VT52")
        << QByteArray("\033[2J") << QPoint(3, 1) << QByteArray("2J") << QByteArray();
}

void TstTermScreen::vt52() {
    Make(teVT52);
    Screen->Write(FETCH(QByteArray, input));
    QCOMPARE(Caret(), FETCH(QPoint, caret));
    QCOMPARE(Row(1), FETCH(QByteArray, row1));
    QCOMPARE(Row(2), FETCH(QByteArray, row2));
}

void TstTermScreen::vt52ReverseLineFeedScrolls() {
    Make(teVT52);
    Screen->Write("top\r\nsecond\033H\033I");
    QCOMPARE(Caret(), QPoint(1, 1));
    QCOMPARE(Row(1), QByteArray());
    QCOMPARE(Row(2), QByteArray("top"));
    QCOMPARE(Row(3), QByteArray("second"));
}

void TstTermScreen::charsInOrderWithOtherEvents() {
    Make();
    Screen->Write("AB\033[5nC\033xD\r\n");
    const QList<QByteArray> expected{"chars:AB", "send:\033[0n", "chars:C", "unhandled:x",
                                     "chars:D\r\n"};
    QCOMPARE(Rec.Events, expected);
}

// Per-character and per-run notification report the same bytes, also when
// a sequence is split across writes.
void TstTermScreen::eachCharMatchesRuns() {
    const QByteArray input = "12.5 m/s\r\n\033[1;7mX\033[0m\tY\033[3;4H\x01Z\033";
    QByteArray runs, each;
    for (TCharNotify mode : {TCharNotify::Runs, TCharNotify::EachChar}) {
        Make();
        Screen->SetCharNotify(mode);
        for (char c : input)
            Screen->Write(&c, 1);
        Screen->Write("[K");
        (mode == TCharNotify::Runs ? runs : each) = Rec.Chars;
    }
    QCOMPARE(runs, QByteArray("12.5 m/s\r\nX\tY\x01Z"));
    QCOMPARE(each, runs);
}

void TstTermScreen::overlongSequenceIsAbandoned() {
    Make();
    Screen->Write("\033[" + QByteArray(200, '9') + "H");
    QCOMPARE(Rec.Unhandled.size(), 1);
    QCOMPARE(Rec.Unhandled[0].second.size(), TEscapeCodes::MaxSequence);
    QVERIFY(!Screen->InSequence());
    // What follows the abandoned part is text again.
    QCOMPARE(Rec.Chars, QByteArray(200 - 63, '9') + "H");
    QCOMPARE(Caret(), QPoint(80, 1));
}

void TstTermScreen::withoutParserEscIsControl() {
    Make(teNone);
    Screen->Write("A\033[2JB");
    QCOMPARE(Row(1), QByteArray("A[2JB"));
    QCOMPARE(Rec.Chars, QByteArray("A\033[2JB"));
    QVERIFY(Rec.Unhandled.isEmpty());
}

QTEST_GUILESS_MAIN(TstTermScreen)
#include "tst_terminalscreen.moc"
