// SPDX-License-Identifier: MIT
// The terminal control as the program uses it: receive path options, typed
// keys and cursor keys, answers only while connected, the batched character
// signal, settings storage, the setup dialog and what ends up on screen.
#include "TComTermSetupDlg.h"
#include "TCustomComTerminal.h"
#include "TEscapeCodesVT100.h"
#include "TermTestUtil.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

class TstComTerminal : public QObject {
    Q_OBJECT

    // Concatenation of every SendData emission.
    static QByteArray AllSent(const QSignalSpy& spy) {
        QByteArray all;
        for (const QList<QVariant>& args : spy)
            all += args.at(0).toByteArray();
        return all;
    }

private slots:
    void initTestCase() { qRegisterMetaType<TEscapeCode>(); }
    void defaults();
    void limits();
    void appendLF();
    void strRecievedHookReplacesText();
    void force7Bit();
    void typedCRWithSendLFAndLocalEcho();
    void typedKeysNeedConnection();
    void readOnlyIgnoresKeys();
    void cursorKeys_data();
    void cursorKeys();
    void answersDroppedWhileDisconnected();
    void charsBatchMatchesChar();
    void noneEmulationUsesSuppliedParser();
    void storeLoadFontGroup();
    void loadBasicGroupKeepsMissingAndBadValues();
    void setupDialog_data();
    void setupDialog();
    void fontDialogKeepsWhatIsStored();
    void absurdFontsAreClamped();
    void renders();
    void viewScrollsWhenSmallerThanScreen();
    void scrolledPixelsMatchFullRepaint();
};

void TstComTerminal::defaults() {
    TCustomComTerminal t;
    QCOMPARE(t.Columns(), 80);
    QCOMPARE(t.Rows(), 24);
    QCOMPARE(t.Emulation(), teVT100orANSI);
    QCOMPARE(t.Caret(), tcBlock);
    QCOMPARE(t.ArrowKeys(), akTerminal);
    QCOMPARE(t.ScrollBars(), ssBoth);
    QCOMPARE(t.AltColor(), QColor(166, 166, 166));
    QCOMPARE(t.Color(), QColor(Qt::white));
    QCOMPARE(t.FontColor(), QColor(Qt::black));
    QVERIFY(!t.WrapLines() && !t.LocalEcho() && !t.SendLF() && !t.AppendLF());
    QVERIFY(!t.Force7Bit() && !t.ReadOnly() && !t.Connected());
    QCOMPARE(t.property("Columns").toInt(), 80);
}

void TstComTerminal::limits() {
    TCustomComTerminal t;
    t.WriteStr("text\033[20;70H");
    t.SetColumns(1);
    QCOMPARE(t.Columns(), 2);
    QCOMPARE(t.CaretX(), 2);
    t.SetColumns(1000);
    QCOMPARE(t.Columns(), 256);
    t.SetRows(0);
    QCOMPARE(t.Rows(), 2);
    t.SetRows(500);
    QCOMPARE(t.Rows(), 100);
    QCOMPARE(RowText(t.Buffer(), 1), QByteArray()); // re-created empty
}

void TstComTerminal::appendLF() {
    TCustomComTerminal t;
    t.SetAppendLF(true);
    QSignalSpy chars(&t, &TCustomComTerminal::Chars);
    t.ReceiveData("AB\rC");
    QCOMPARE(RowText(t.Buffer(), 1), QByteArray("AB"));
    QCOMPARE(RowText(t.Buffer(), 2), QByteArray("C"));
    QCOMPARE(QPoint(t.CaretX(), t.CaretY()), QPoint(2, 2));
    QCOMPARE(chars.at(0).at(0).toByteArray(), QByteArray("AB\r\nC"));
    // Program text is written as it is.
    t.WriteStr("\rX");
    QCOMPARE(RowText(t.Buffer(), 2), QByteArray("X"));
}

void TstComTerminal::strRecievedHookReplacesText() {
    TCustomComTerminal t;
    t.SetAppendLF(true);
    QByteArray seen;
    t.SetOnStrRecieved([&](QByteArray& text) {
        seen = text;
        text = "replaced";
    });
    t.ReceiveData("a\r");
    QCOMPARE(seen, QByteArray("a\r\n"));
    QCOMPARE(RowText(t.Buffer(), 1), QByteArray("replaced"));
}

void TstComTerminal::force7Bit() {
    TCustomComTerminal t;
    t.SetForce7Bit(true);
    t.ReceiveData("\xc1\xe2");
    QCOMPARE(RowText(t.Buffer(), 1), QByteArray("Ab"));
    t.SetForce7Bit(false);
    t.ReceiveData("\xc1");
    QCOMPARE(t.Buffer().Cell(3, 1).Ch, quint8(0xc1));
}

void TstComTerminal::typedCRWithSendLFAndLocalEcho() {
    TCustomComTerminal t;
    t.SetConnected(true);
    t.SetSendLF(true);
    t.SetLocalEcho(true);
    t.WriteStr("abc");
    QSignalSpy sent(&t, &TCustomComTerminal::SendData);
    QSignalSpy pressed(&t, &TCustomComTerminal::KeyPressed);
    QSignalSpy chars(&t, &TCustomComTerminal::Char);
    QTest::keyClick(&t, Qt::Key_Return);
    QCOMPARE(AllSent(sent), QByteArray("\r\n"));
    QCOMPARE(QPoint(t.CaretX(), t.CaretY()), QPoint(1, 2));
    QCOMPARE(pressed.size(), 1);
    QCOMPARE(pressed.at(0).at(0).value<char>(), '\r');
    QCOMPARE(chars.size(), 2); // both echoed bytes are plain characters
}

void TstComTerminal::typedKeysNeedConnection() {
    TCustomComTerminal t;
    QSignalSpy sent(&t, &TCustomComTerminal::SendData);
    QSignalSpy pressed(&t, &TCustomComTerminal::KeyPressed);
    QTest::keyClicks(&t, "ok");
    QCOMPARE(sent.size(), 0);
    QCOMPARE(pressed.size(), 2);                    // the program forwards these over TCP
    QCOMPARE(RowText(t.Buffer(), 1), QByteArray()); // no local echo
    t.SetConnected(true);
    QTest::keyClicks(&t, "ok");
    QCOMPARE(AllSent(sent), QByteArray("ok"));
    QCOMPARE(RowText(t.Buffer(), 1), QByteArray());
}

void TstComTerminal::readOnlyIgnoresKeys() {
    TCustomComTerminal t;
    t.SetConnected(true);
    t.SetLocalEcho(true);
    t.SetReadOnly(true);
    QSignalSpy sent(&t, &TCustomComTerminal::SendData);
    QSignalSpy pressed(&t, &TCustomComTerminal::KeyPressed);
    QTest::keyClicks(&t, "x\t");
    QTest::keyClick(&t, Qt::Key_Up);
    QCOMPARE(sent.size(), 0);
    QCOMPARE(pressed.size(), 0);
    QCOMPARE(RowText(t.Buffer(), 1), QByteArray());
}

void TstComTerminal::cursorKeys_data() {
    QTest::addColumn<int>("emulation");
    QTest::addColumn<bool>("application");
    QTest::addColumn<int>("arrows");
    QTest::addColumn<int>("key");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QPoint>("caret"); // local echo on, caret starts at 5,5

    const int vt100 = teVT100orANSI, vt52 = teVT52;
    QTest::newRow("VT100 up") << vt100 << false << int(akTerminal) << int(Qt::Key_Up)
                              << QByteArray("\033[A") << QPoint(5, 4);
    QTest::newRow("VT100 down") << vt100 << false << int(akTerminal) << int(Qt::Key_Down)
                                << QByteArray("\033[B") << QPoint(5, 6);
    QTest::newRow("VT100 left") << vt100 << false << int(akTerminal) << int(Qt::Key_Left)
                                << QByteArray("\033[D") << QPoint(4, 5);
    QTest::newRow("VT100 right") << vt100 << false << int(akTerminal) << int(Qt::Key_Right)
                                 << QByteArray("\033[C") << QPoint(6, 5);
    QTest::newRow("VT100 home") << vt100 << false << int(akTerminal) << int(Qt::Key_Home)
                                << QByteArray("\033[H") << QPoint(1, 1);
    QTest::newRow("app up") << vt100 << true << int(akTerminal) << int(Qt::Key_Up)
                            << QByteArray("\033OA") << QPoint(5, 4);
    QTest::newRow("app down") << vt100 << true << int(akTerminal) << int(Qt::Key_Down)
                              << QByteArray("\033OB") << QPoint(5, 5);
    QTest::newRow("app left") << vt100 << true << int(akTerminal) << int(Qt::Key_Left)
                              << QByteArray("\033OD") << QPoint(5, 5);
    QTest::newRow("app right") << vt100 << true << int(akTerminal) << int(Qt::Key_Right)
                               << QByteArray("\033OC") << QPoint(5, 5);
    QTest::newRow("app home sends nothing")
        << vt100 << true << int(akTerminal) << int(Qt::Key_Home) << QByteArray() << QPoint(5, 5);
    QTest::newRow("app mode with window keys") << vt100 << true << int(akWindows) << int(Qt::Key_Up)
                                               << QByteArray("\033OA") << QPoint(5, 4);
    QTest::newRow("window keys up")
        << vt100 << false << int(akWindows) << int(Qt::Key_Up) << QByteArray() << QPoint(5, 4);
    QTest::newRow("window keys home")
        << vt100 << false << int(akWindows) << int(Qt::Key_Home) << QByteArray() << QPoint(1, 1);
    QTest::newRow("VT52 up") << vt52 << false << int(akTerminal) << int(Qt::Key_Up)
                             << QByteArray("\033A") << QPoint(5, 4);
    QTest::newRow("VT52 down") << vt52 << false << int(akTerminal) << int(Qt::Key_Down)
                               << QByteArray("\033B") << QPoint(5, 6);
    QTest::newRow("VT52 left") << vt52 << false << int(akTerminal) << int(Qt::Key_Left)
                               << QByteArray("\033D") << QPoint(4, 5);
    QTest::newRow("VT52 right") << vt52 << false << int(akTerminal) << int(Qt::Key_Right)
                                << QByteArray("\033C") << QPoint(6, 5);
    QTest::newRow("VT52 home") << vt52 << false << int(akTerminal) << int(Qt::Key_Home)
                               << QByteArray("\033H") << QPoint(1, 1);
    QTest::newRow("VT52 window keys")
        << vt52 << false << int(akWindows) << int(Qt::Key_Right) << QByteArray() << QPoint(6, 5);
}

void TstComTerminal::cursorKeys() {
    QFETCH(QByteArray, sent);
    TCustomComTerminal t;
    t.SetEmulation(TTermEmulation(FETCH(int, emulation)));
    t.SetArrowKeys(TArrowKeys(FETCH(int, arrows)));
    t.SetLocalEcho(true);
    t.SetConnected(true);
    if (FETCH(bool, application)) t.WriteStr("\033[?1h");
    t.MoveCaret(5, 5);
    QSignalSpy spy(&t, &TCustomComTerminal::SendData);
    QTest::keyClick(&t, Qt::Key(FETCH(int, key)));
    QCOMPARE(AllSent(spy), sent);
    QCOMPARE(QPoint(t.CaretX(), t.CaretY()), FETCH(QPoint, caret));
    QCOMPARE(RowText(t.Buffer(), 5), QByteArray()); // echoed sequences are not text

    // Disconnected: the caret still moves by local echo, nothing leaves.
    t.SetConnected(false);
    spy.clear();
    QTest::keyClick(&t, Qt::Key(FETCH(int, key)));
    QCOMPARE(spy.size(), 0);
}

void TstComTerminal::answersDroppedWhileDisconnected() {
    TCustomComTerminal t;
    QSignalSpy spy(&t, &TCustomComTerminal::SendData);
    t.ReceiveData("\033[5n\033[c\033[6n");
    QCOMPARE(spy.size(), 0);
    t.SetConnected(true);
    t.ReceiveData("\033[3;7H\033[6n\033[c");
    QCOMPARE(AllSent(spy), QByteArray("\033[3;7R\033[?1;2c"));
}

// Chars delivers the same bytes as Char, in the same order, and before any
// answer or unhandled code that follows them.
void TstComTerminal::charsBatchMatchesChar() {
    TCustomComTerminal t;
    t.SetConnected(true);
    QByteArray single, batched;
    QList<QByteArray> order;
    connect(&t, &TCustomComTerminal::Char, this, [&](char c) { single += c; });
    connect(&t, &TCustomComTerminal::Chars, this, [&](const QByteArray& b) {
        batched += b;
        order.append("chars");
    });
    connect(&t, &TCustomComTerminal::SendData, this,
            [&](const QByteArray&) { order.append("send"); });
    connect(&t, &TCustomComTerminal::UnhandledCode, this,
            [&](TEscapeCode, const QByteArray&) { order.append("unhandled"); });
    t.ReceiveData("12.5\r\n\033[1mP1\t=\x07 3\033[5n\033xEnd\033[");
    t.ReceiveData("Kx");
    QCOMPARE(single, QByteArray("12.5\r\nP1\t=\x07 3End") + "x");
    QCOMPARE(batched, single);
    QCOMPARE(order, (QList<QByteArray>{"chars", "send", "unhandled", "chars", "chars"}));
}

void TstComTerminal::noneEmulationUsesSuppliedParser() {
    TCustomComTerminal t;
    t.SetEmulation(teNone);
    t.WriteStr("\033[2J");
    QCOMPARE(RowText(t.Buffer(), 1), QByteArray("[2J"));
    t.SetOnGetEscapeCodes([] { return std::make_unique<TEscapeCodesVT100>(); });
    t.WriteStr("\033[2J");
    QCOMPARE(RowText(t.Buffer(), 1), QByteArray());
}

void TstComTerminal::storeLoadFontGroup() {
    QTemporaryDir dir;
    const QString file = dir.filePath("OrxTerm.conf");
    TCustomComTerminal a;
    a.setObjectName("ComTerminal");
    a.SetStoredProps(TCustomComTerminal::spFont);
    QFont f = a.font();
    f.setPointSize(13);
    a.setFont(f);
    a.SetCaret(tcUnderline);
    a.SetColumns(65);
    a.SetRows(32);
    a.SetLocalEcho(true);
    {
        QSettings s(file, QSettings::IniFormat);
        QVERIFY(a.Store(s));
        QCOMPARE(s.value("ComTerminal/Font").toString(), f.family());
        QCOMPARE(s.value("ComTerminal/FontSize").toInt(), 13);
        QCOMPARE(s.value("ComTerminal/Caret").toInt(), 1);
        QCOMPARE(s.value("ComTerminal/Columns").toInt(), 65);
        QCOMPARE(s.value("ComTerminal/Rows").toInt(), 32);
        QVERIFY(!s.contains("ComTerminal/LocalEcho")); // basic group not chosen
    }
    TCustomComTerminal b;
    b.setObjectName("ComTerminal");
    b.SetStoredProps(TCustomComTerminal::spFont);
    {
        QSettings s(file, QSettings::IniFormat);
        b.Load(s);
    }
    QCOMPARE(b.font().pointSize(), 13);
    QCOMPARE(b.Caret(), tcUnderline);
    QCOMPARE(b.Columns(), 65);
    QCOMPARE(b.Rows(), 32);
    QVERIFY(!b.LocalEcho());

    // Missing values keep what the control has.
    TCustomComTerminal c;
    c.setObjectName("ComTerminal");
    c.SetStoredProps(TCustomComTerminal::spFont);
    c.SetColumns(65);
    c.SetRows(32);
    c.SetCaret(tcUnderline);
    const QFont before = c.font();
    {
        QSettings s(dir.filePath("partial.conf"), QSettings::IniFormat);
        s.setValue("ComTerminal/Rows", 20);
        c.Load(s);
    }
    QCOMPARE(c.Rows(), 20);
    QCOMPARE(c.Columns(), 65);
    QCOMPARE(c.Caret(), tcUnderline);
    QCOMPARE(c.font(), before);
}

void TstComTerminal::loadBasicGroupKeepsMissingAndBadValues() {
    QTemporaryDir dir;
    QSettings s(dir.filePath("basic.conf"), QSettings::IniFormat);
    s.setValue("Term/LocalEcho", 1);
    s.setValue("Term/Emulation", 1);
    s.setValue("Term/Columns", "abc");
    s.setValue("Term/ArrowKeys", 7);
    TCustomComTerminal t;
    t.setObjectName("Term");
    t.SetStoredProps(TCustomComTerminal::spBasic);
    t.SetColumns(65);
    t.Load(s);
    QVERIFY(t.LocalEcho());
    QCOMPARE(t.Emulation(), teVT52);
    QCOMPARE(t.Columns(), 65);
    QCOMPARE(t.ArrowKeys(), akTerminal);
    QVERIFY(!t.SendLF());

    t.SetWrapLines(true);
    QVERIFY(t.Store(s));
    QCOMPARE(s.value("Term/WrapLines").toInt(), 1);
    QCOMPARE(s.value("Term/Columns").toInt(), 65);
    QVERIFY(!s.contains("Term/Font"));
}

void TstComTerminal::setupDialog_data() {
    QTest::addColumn<QString>("columns");
    QTest::addColumn<QString>("rows");
    QTest::addColumn<int>("expectedColumns");
    QTest::addColumn<int>("expectedRows");
    QTest::newRow("numbers") << "65"
                             << "32" << 65 << 32;
    QTest::newRow("not numbers") << "sixty"
                                 << "2.5" << 80 << 24;
    QTest::newRow("empty") << ""
                           << " " << 80 << 24;
}

void TstComTerminal::setupDialog() {
    TCustomComTerminal t;
    t.SetWrapLines(true);
    t.SetEmulation(teVT52);
    TComTermSetupDlg dlg(t.Settings());
    QVERIFY(dlg.findChild<QCheckBox*>("WrapLines")->isChecked());
    QCOMPARE(dlg.Settings(), t.Settings());

    dlg.findChild<QLineEdit*>("Columns")->setText(FETCH(QString, columns));
    dlg.findChild<QLineEdit*>("Rows")->setText(FETCH(QString, rows));
    dlg.findChild<QCheckBox*>("LocalEcho")->setChecked(true);
    dlg.findChild<QCheckBox*>("Force7Bit")->setChecked(true);
    dlg.findChild<QComboBox*>("Caret")->setCurrentIndex(int(tcNone));
    dlg.findChild<QComboBox*>("Emulation")->setCurrentIndex(int(teNone));
    dlg.findChild<QComboBox*>("ArrowKeys")->setCurrentIndex(int(akWindows));
    const TComTermSettings s = dlg.Settings();
    QCOMPARE(s.Columns, FETCH(int, expectedColumns));
    QCOMPARE(s.Rows, FETCH(int, expectedRows));
    QCOMPARE(t.Columns(), 80); // the dialog changes nothing itself

    t.ApplySettings(s);
    QVERIFY(t.LocalEcho() && t.Force7Bit() && t.WrapLines());
    QCOMPARE(t.Caret(), tcNone);
    QCOMPARE(t.Emulation(), teNone);
    QCOMPARE(t.ArrowKeys(), akWindows);
    QCOMPARE(t.Settings(), s);
    // The accepted ranges stand beside the number fields.
    QCOMPARE(dlg.findChild<QLabel*>("ColumnsRange")->text(), QStringLiteral("(2 to 256)"));
    QCOMPARE(dlg.findChild<QLabel*>("RowsRange")->text(), QStringLiteral("(2 to 100)"));
}

// The font dialog starts at the font in use, upright, even where the
// asked-for family is missing; OK applies family and size only, which is
// what the settings keep, so a restart shows the same terminal.
void TstComTerminal::fontDialogKeepsWhatIsStored() {
    TCustomComTerminal t;
    QFont missing(QStringLiteral("No Such Family Xyz"), 11);
    t.setFont(missing);
    const QFont start = t.FontDialogStart();
    QCOMPARE(start.family(), QFontInfo(t.font()).family());
    QVERIFY(!start.italic());
    QCOMPARE(start.weight(), QFont::Normal);

    QFont chosen = start;
    chosen.setItalic(true);
    chosen.setBold(true);
    chosen.setPointSize(14);
    t.ApplyChosenFont(chosen);
    QVERIFY(!QFontInfo(t.font()).italic());
    QVERIFY(!QFontInfo(t.font()).bold());
    QCOMPARE(t.font().pointSize(), 14);

    QTemporaryDir dir;
    QSettings store(dir.filePath(QStringLiteral("t.conf")), QSettings::IniFormat);
    QVERIFY(t.Store(store));
    TCustomComTerminal restarted;
    restarted.Load(store);
    QCOMPARE(QFontInfo(restarted.font()).family(), QFontInfo(t.font()).family());
    QCOMPARE(restarted.font().pointSize(), 14);
    QVERIFY(!QFontInfo(restarted.font()).italic());
}

void TstComTerminal::absurdFontsAreClamped() {
    TCustomComTerminal t;
    QFont f = t.font();
    f.setPointSize(5000);
    t.setFont(f);
    QCOMPARE(t.font().pointSize(), TCustomComTerminal::MaxFontPoints);
    f.setPointSizeF(0.5);
    t.setFont(f);
    QCOMPARE(t.font().pointSize(), TCustomComTerminal::MinFontPoints);
    f.setPixelSize(1);
    t.setFont(f);
    QVERIFY(t.CellSize().width() >= 1 && t.CellSize().height() >= 1);
    t.resize(200, 100);
    t.show();
    QVERIFY(QTest::qWaitForWindowExposed(&t));
    t.WriteStr("still alive");
    QVERIFY(!t.grab().isNull());
}

// Black text on white, the caret, reverse and bold cells; the picture goes
// to the temporary folder for a look.
void TstComTerminal::renders() {
    TCustomComTerminal t;
    t.SetColumns(40);
    t.SetRows(8);
    t.SetCaret(tcUnderline);
    t.resize(t.sizeHint());
    t.show();
    QVERIFY(QTest::qWaitForWindowExposed(&t));
    t.ReceiveData(
        "ORX sensor  V 12.34 m/s\r\nP1\t= 250\r\n\033[7m reverse \033[0m \033[1mbold\033[0m "
        "\033[4munderlined\033[0m\r\n> ");
    const QImage img = t.grab().toImage();
    img.save(QDir::temp().filePath("term.png"));

    const QSize cell = t.CellSize();
    const QPoint origin = t.viewport()->mapTo(&t, QPoint(0, 0));
    auto cellPixels = [&](int col, int row) {
        return QRect(origin + QPoint((col - 1) * cell.width(), (row - 1) * cell.height()), cell);
    };
    auto countDark = [&](const QRect& r) {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                n += qGray(img.pixel(x, y)) < 96;
        return n;
    };
    QCOMPARE(img.pixelColor(cellPixels(30, 6).center()), QColor(Qt::white));
    QVERIFY(countDark(cellPixels(1, 1)) > 0);            // "O"
    QVERIFY(countDark(cellPixels(2, 3)) > cell.width()); // reverse cell: dark background
    // Underline caret at row 4, column 3: dark bottom, white top.
    const QRect caret = cellPixels(3, 4);
    QVERIFY(countDark(QRect(caret.left(), caret.bottom(), caret.width(), 1)) == caret.width());
    QVERIFY(countDark(QRect(caret.left(), caret.top(), caret.width(), 2)) == 0);
}

void TstComTerminal::viewScrollsWhenSmallerThanScreen() {
    TCustomComTerminal t;
    t.setFrameShape(QFrame::NoFrame);
    t.resize(20 * t.CellSize().width() + 30, 10 * t.CellSize().height() + 30);
    t.show();
    QVERIFY(QTest::qWaitForWindowExposed(&t));
    const QSize view = t.viewport()->size();
    const int visibleRows = view.height() / t.CellSize().height();
    QCOMPARE(t.verticalScrollBar()->maximum(), 24 - visibleRows);
    QCOMPARE(t.horizontalScrollBar()->maximum(), 80 - view.width() / t.CellSize().width());

    t.WriteStr("\033[24;1H\033[7m    ");
    t.verticalScrollBar()->setValue(t.verticalScrollBar()->maximum());
    const QImage img = t.viewport()->grab().toImage();
    const QPoint lastRow(t.CellSize().width(), (visibleRows - 1) * t.CellSize().height() + 2);
    QCOMPARE(img.pixelColor(lastRow), QColor(Qt::black)); // reverse cells of row 24
}

// Scrolling moves drawn pixels; what is on the window's backing store must
// then equal a fresh full paint of the same state.
void TstComTerminal::scrolledPixelsMatchFullRepaint() {
    TCustomComTerminal t;
    t.SetColumns(30);
    t.SetRows(6);
    t.SetWrapLines(true);
    t.setFrameShape(QFrame::NoFrame);
    t.resize(t.sizeHint());
    t.show();
    QVERIFY(QTest::qWaitForWindowExposed(&t));
    for (int i = 0; i < 40; ++i) {
        t.ReceiveData("line " + QByteArray::number(i) + (i % 3 ? "\r\n" : " and more\r\n"));
        QTest::qWait(i % 4 == 0 ? 30 : 0); // some scrolls alone, some gathered
    }
    t.ReceiveData("end");
    // Until the pending repaint has run, a paint keeps the drawn origin, so
    // both pictures are taken afresh until they agree.
    auto fresh = [&] { return t.grab().toImage().convertToFormat(QImage::Format_RGB32); };
    auto onWindow = [&] {
        const QImage window = t.screen()->grabWindow(t.winId()).toImage();
        return window.convertToFormat(QImage::Format_RGB32).copy(QRect(QPoint(), t.size()));
    };
    QTRY_COMPARE_WITH_TIMEOUT(onWindow(), fresh(), 10000);
    QCOMPARE(t.LineText(t.ScreenLine(t.CaretY())), QStringLiteral("end"));
}

QTEST_MAIN(TstComTerminal)
#include "tst_comterminal.moc"
