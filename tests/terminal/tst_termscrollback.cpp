// SPDX-License-Identifier: MIT
// The terminal's text beyond the screen: the scrollback store and its
// bounds, the view that follows or holds still, selection and copy, paste
// as typed text, search and the find bar, and the pane's own keys.
#include "MsgBox.h"
#include "TCustomComTerminal.h"
#include "TTermFindBar.h"
#include "TTermScrollback.h"
#include "TermTestUtil.h"

#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest>

namespace {
std::vector<TTermCell> Cells(const QByteArray& text, int columns) {
    std::vector<TTermCell> cells(static_cast<size_t>(columns));
    for (int i = 0; i < text.size() && i < columns; ++i)
        cells[size_t(i)].Ch = quint8(text[i]);
    return cells;
}

QByteArray Text(const TTermScrollback& s, int i) {
    QByteArray t;
    for (int c = 0; c < s.Length(i); ++c)
        t += char(s.Line(i)[c].Ch ? s.Line(i)[c].Ch : ' ');
    return t;
}

QByteArray Numbered(int from, int to) {
    QByteArray data;
    for (int i = from; i <= to; ++i)
        data += "line " + QByteArray::number(i) + "\r\n";
    return data;
}

QByteArray AllSent(const QSignalSpy& spy) {
    QByteArray all;
    for (const QList<QVariant>& args : spy)
        all += args.at(0).toByteArray();
    return all;
}

// A terminal of 40 x 8 cells in a view of `visibleRows` rows, shown.
struct TShownTerminal {
    TCustomComTerminal t;
    explicit TShownTerminal(int visibleRows = 8) {
        t.SetColumns(40);
        t.SetRows(8);
        t.setFrameShape(QFrame::NoFrame);
        t.SetScrollBars(ssVertical);
        t.resize(t.sizeHint().width(), visibleRows * t.CellSize().height());
        t.show();
    }
    // Lets the batched repaint run, so the scroll bar shows the new state.
    bool Settle() {
        return QTest::qWaitFor([&] { return !t.RepaintPending(); }, 10000);
    }
};
} // namespace

class TstTermScrollback : public QObject {
    Q_OBJECT
private slots:
    void storeKeepsNewestWithinCapacity();
    void storeCapacityChanges();
    void viewFollowsOrHolds();
    void tallWindowShowsScrollbackAboveScreen();
    void selectionAndCopy();
    void selectionStaysOnItsText();
    void pasteIsTyped();
    void contextMenu();
    void findInScrollback();
    void findBar();
    void scrollKeys();
};

// Lines are trimmed, the oldest go once the capacity is reached, and the
// absolute numbers keep naming the same text.
void TstTermScrollback::storeKeepsNewestWithinCapacity() {
    TTermScrollback s;
    s.SetCapacity(3);
    for (int i = 0; i < 5; ++i)
        s.Push(Cells("row " + QByteArray::number(i), 20).data(), 20);
    QCOMPARE(s.Count(), 3);
    QCOMPARE(s.Dropped(), qint64(2));
    QCOMPARE(s.Pushed(), qint64(5));
    QCOMPARE(Text(s, 0), QByteArray("row 2"));
    QCOMPARE(Text(s, 2), QByteArray("row 4"));
    QCOMPARE(s.Length(0), 5); // trailing empty cells are not kept

    // Many more lines: still bounded, still in order.
    for (int i = 5; i < 100000; ++i)
        s.Push(Cells("row " + QByteArray::number(i), 20).data(), 20);
    QCOMPARE(s.Count(), 3);
    QCOMPARE(Text(s, 0), QByteArray("row 99997"));
    QCOMPARE(Text(s, 2), QByteArray("row 99999"));
    QCOMPARE(s.Dropped() + 2, qint64(99999));

    // An empty line stays a line.
    s.Push(Cells("", 20).data(), 20);
    QCOMPARE(s.Length(2), 0);
}

void TstTermScrollback::storeCapacityChanges() {
    TTermScrollback s;
    s.SetCapacity(4);
    for (int i = 0; i < 6; ++i) // the ring has turned
        s.Push(Cells(QByteArray::number(i), 4).data(), 4);
    s.SetCapacity(2); // the oldest go
    QCOMPARE(s.Count(), 2);
    QCOMPARE(Text(s, 0), QByteArray("4"));
    QCOMPARE(s.Dropped(), qint64(4));
    s.SetCapacity(5); // room again: new lines come after the old ones
    s.Push(Cells("6", 4).data(), 4);
    QCOMPARE(Text(s, 0), QByteArray("4"));
    QCOMPARE(Text(s, 2), QByteArray("6"));
    s.SetCapacity(0); // off: nothing kept, lines only counted
    s.Push(Cells("7", 4).data(), 4);
    QCOMPARE(s.Count(), 0);
    QCOMPARE(s.Pushed(), qint64(8));
    s.SetCapacity(1 << 30);
    QCOMPARE(s.Capacity(), TTermScrollback::MaxLines);
    s.Clear();
    QCOMPARE(s.Count(), 0);
    QCOMPARE(s.Pushed(), qint64(8)); // numbering goes on
}

// New data keeps the view at the bottom; scrolled up, the view stays on its
// text, also while the full scrollback drops its oldest lines; back at the
// bottom it follows again.
void TstTermScrollback::viewFollowsOrHolds() {
    TShownTerminal s;
    TCustomComTerminal& t = s.t;
    QVERIFY(QTest::qWaitForWindowExposed(&t));
    t.SetScrollbackLines(50);
    t.ReceiveData(Numbered(1, 30));
    QVERIFY(s.Settle());
    QCOMPARE(t.Screen().Buffer().Scrollback().Count(), 23);
    QCOMPARE(t.LineText(t.Screen().Buffer().Scrollback().Dropped()), QStringLiteral("line 1"));
    QVERIFY(t.FollowsOutput());
    QCOMPARE(t.verticalScrollBar()->value(), t.verticalScrollBar()->maximum());
    QCOMPARE(t.LineText(t.TopLine()), QStringLiteral("line 24"));

    t.verticalScrollBar()->setValue(5); // the user scrolls up
    QVERIFY(!t.FollowsOutput());
    const QString held = t.LineText(t.TopLine());
    QCOMPARE(held, QStringLiteral("line 6"));
    t.ReceiveData(Numbered(31, 50));
    QVERIFY(s.Settle());
    QCOMPARE(t.LineText(t.TopLine()), held);
    // The scrollback is full now: its oldest lines go, the view keeps its
    // text until that text itself is gone.
    t.ReceiveData(Numbered(51, 70));
    QVERIFY(s.Settle());
    QCOMPARE(t.Screen().Buffer().Scrollback().Count(), 50);
    QCOMPARE(t.LineText(t.TopLine()), QStringLiteral("line 14")); // the oldest kept
    t.verticalScrollBar()->setValue(10);
    const QString kept = t.LineText(t.TopLine());
    t.ReceiveData(Numbered(71, 72));
    QVERIFY(s.Settle());
    QCOMPARE(t.LineText(t.TopLine()), kept);

    t.verticalScrollBar()->setValue(t.verticalScrollBar()->maximum());
    QVERIFY(t.FollowsOutput());
    t.ReceiveData(Numbered(73, 80));
    QVERIFY(s.Settle());
    QCOMPARE(t.verticalScrollBar()->value(), t.verticalScrollBar()->maximum());
    QCOMPARE(t.LineText(t.ScreenLine(7)), QStringLiteral("line 80"));

    // Typing brings a scrolled-up view back to the newest line.
    t.verticalScrollBar()->setValue(0);
    QTest::keyClick(&t, 'x');
    QVERIFY(s.Settle());
    QVERIFY(t.FollowsOutput());
    QCOMPARE(t.verticalScrollBar()->value(), t.verticalScrollBar()->maximum());

    // Scrollback off: the screen alone, as before.
    t.SetScrollbackLines(0);
    QVERIFY(s.Settle());
    QCOMPARE(t.verticalScrollBar()->maximum(), 0);
}

// A view taller than the screen: the newest scrollback lines fill the room
// above the screen, and what is drawn shows them.
void TstTermScrollback::tallWindowShowsScrollbackAboveScreen() {
    TShownTerminal s(20);
    TCustomComTerminal& t = s.t;
    QVERIFY(QTest::qWaitForWindowExposed(&t));
    t.ReceiveData("first\r\n");
    QVERIFY(s.Settle());
    QCOMPARE(t.TopLine(), qint64(0)); // nothing kept yet: the screen at the top
    t.ReceiveData(Numbered(1, 40));
    QVERIFY(s.Settle());
    const qint64 top = t.TopLine();
    QCOMPARE(t.ScreenLine(1) - top, qint64(12)); // 12 kept lines above the 8 screen rows
    QCOMPARE(t.LineText(top), QStringLiteral("line 22"));
    const QImage img = t.viewport()->grab().toImage();
    int dark = 0;
    for (int x = 0; x < 6 * t.CellSize().width(); ++x)
        for (int y = 0; y < t.CellSize().height(); ++y)
            dark += qGray(img.pixel(x, y)) < 96;
    QVERIFY(dark > 0); // "line 22" is drawn in the first row of the view
}

// Double click: a word (a value with its decimal point); triple click: the
// line; a drag: the cells between, over lines; Ctrl+Insert copies.
void TstTermScrollback::selectionAndCopy() {
    TShownTerminal s;
    TCustomComTerminal& t = s.t;
    QVERIFY(QTest::qWaitForWindowExposed(&t));
    t.ReceiveData("V 12.34 m/s  n=5\r\nsecond line   \r\nthird");
    QVERIFY(s.Settle());
    const QSize cell = t.CellSize();
    auto at = [&](int column, int row) {
        return QPoint((column - 1) * cell.width() + cell.width() / 2,
                      (row - 1) * cell.height() + cell.height() / 2);
    };
    QTest::mouseDClick(t.viewport(), Qt::LeftButton, {}, at(4, 1));
    QCOMPARE(t.SelectedText(), QStringLiteral("12.34"));
    QTest::mouseDClick(t.viewport(), Qt::LeftButton, {}, at(10, 1));
    QCOMPARE(t.SelectedText(), QStringLiteral("m/s"));
    // The third click of a triple click.
    QTest::mousePress(t.viewport(), Qt::LeftButton, {}, at(10, 1));
    QTest::mouseRelease(t.viewport(), Qt::LeftButton, {}, at(10, 1));
    QCOMPARE(t.SelectedText(), QStringLiteral("V 12.34 m/s  n=5"));

    QTest::mousePress(t.viewport(), Qt::LeftButton, {}, at(14, 1), 1000);
    QTest::mouseMove(t.viewport(), at(6, 2));
    QTest::mouseRelease(t.viewport(), Qt::LeftButton, {}, at(6, 2));
    QCOMPARE(t.SelectedText(), QStringLiteral("n=5\nsecond"));
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(&t, Qt::Key_Insert, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("n=5\nsecond"));

    // A click alone selects nothing; Select all takes every kept line.
    QTest::mouseClick(t.viewport(), Qt::LeftButton, {}, at(2, 2), 2000);
    QVERIFY(!t.HasSelection());
    QVERIFY(!t.CopySelection());
    t.SelectAll();
    QCOMPARE(t.SelectedText(), QStringLiteral("V 12.34 m/s  n=5\nsecond line\nthird\n\n\n\n\n"));
}

// New lines push the selected text into the scrollback; the selection
// goes with it, and so does what the view shows of it.
void TstTermScrollback::selectionStaysOnItsText() {
    TShownTerminal s;
    TCustomComTerminal& t = s.t;
    t.ReceiveData("keep me\r\n");
    t.Select({t.ScreenLine(1), 1}, {t.ScreenLine(1), 4});
    QCOMPARE(t.SelectedText(), QStringLiteral("keep"));
    t.ReceiveData(Numbered(1, 20));
    QCOMPARE(t.SelectedText(), QStringLiteral("keep"));
    // A new screen size keeps the scrollback but drops the selection.
    t.SetColumns(30);
    QVERIFY(!t.HasSelection());
    QCOMPARE(t.LineText(t.Screen().Buffer().Scrollback().Dropped()), QStringLiteral("keep me"));
}

// A paste goes out as typed text: line ends as Enter (with LF when the
// terminal sends LF with CR), characters beyond Latin-1 left out; Shift+
// Insert pastes, except while the pane takes no keys; a huge clipboard is
// refused with a message and sends nothing.
void TstTermScrollback::pasteIsTyped() {
    TCustomComTerminal t;
    t.SetConnected(true);
    QSignalSpy sent(&t, &TCustomComTerminal::SendData);
    QSignalSpy pressed(&t, &TCustomComTerminal::KeyPressed);
    t.PasteText(QStringLiteral("AVERAGE=420\r\nINFO\n\u20ac\u00e4"));
    QCOMPARE(AllSent(sent), QByteArray("AVERAGE=420\rINFO\r\xe4"));
    QCOMPARE(pressed.size(), 18);
    sent.clear();
    t.SetSendLF(true);
    t.SetLocalEcho(true);
    QGuiApplication::clipboard()->setText(QStringLiteral("A\nB"));
    QTest::keyClick(&t, Qt::Key_Insert, Qt::ShiftModifier);
    QCOMPARE(AllSent(sent), QByteArray("A\r\nB"));
    QCOMPARE(RowText(t.Buffer(), 1), QByteArray("A")); // echoed as text
    QCOMPARE(RowText(t.Buffer(), 2), QByteArray("B"));
    sent.clear();
    t.SetReadOnly(true);
    QTest::keyClick(&t, Qt::Key_Insert, Qt::ShiftModifier);
    QCOMPARE(sent.size(), 0);
    t.SetReadOnly(false);

    QList<TMsgBoxRequest> boxes;
    TFormMsgBox::SetResponder([&](const TMsgBoxRequest& r) {
        boxes.append(r);
        return mrOk;
    });
    t.PasteText(QString(100000, u'x'));
    TFormMsgBox::SetResponder(nullptr);
    QCOMPARE(sent.size(), 0);
    QCOMPARE(boxes.size(), 1);
    QVERIFY(boxes.at(0).text.contains(QStringLiteral("100000")));
}

// Copy only with a selection, Paste only with text on the clipboard; Clear
// empties screen and scrollback.
void TstTermScrollback::contextMenu() {
    TCustomComTerminal t;
    t.ReceiveData(Numbered(1, 40));
    QGuiApplication::clipboard()->clear();
    {
        const std::unique_ptr<QMenu> menu = t.CreateContextMenu();
        auto* copy = menu->findChild<QAction*>(QStringLiteral("acTermCopy"));
        auto* paste = menu->findChild<QAction*>(QStringLiteral("acTermPaste"));
        QVERIFY(copy && paste);
        QVERIFY(!copy->isEnabled());
        QVERIFY(!paste->isEnabled());
        QSignalSpy find(&t, &TCustomComTerminal::FindRequested);
        menu->findChild<QAction*>(QStringLiteral("acTermFind"))->trigger();
        QCOMPARE(find.size(), 1);
        menu->findChild<QAction*>(QStringLiteral("acTermSelectAll"))->trigger();
    }
    QVERIFY(t.HasSelection());
    QGuiApplication::clipboard()->setText(QStringLiteral("x"));
    {
        const std::unique_ptr<QMenu> menu = t.CreateContextMenu();
        QVERIFY(menu->findChild<QAction*>(QStringLiteral("acTermCopy"))->isEnabled());
        QVERIFY(menu->findChild<QAction*>(QStringLiteral("acTermPaste"))->isEnabled());
        menu->findChild<QAction*>(QStringLiteral("acTermClear"))->trigger();
    }
    QVERIFY(!t.HasSelection());
    QCOMPARE(t.Screen().Buffer().Scrollback().Count(), 0);
    QCOMPARE(RowText(t.Buffer(), 8 > t.Rows() ? 1 : t.Rows()), QByteArray());
    QCOMPARE(t.CaretY(), 1);
}

// Search ignores case, goes down or up from the match, once around, and
// brings a match in the scrollback into view.
void TstTermScrollback::findInScrollback() {
    TShownTerminal s;
    TCustomComTerminal& t = s.t;
    QVERIFY(QTest::qWaitForWindowExposed(&t));
    t.ReceiveData("AVERAGE = 100\r\n" + Numbered(1, 20) + "average = 420\r\nend");
    QVERIFY(s.Settle());
    const qint64 first = t.Screen().Buffer().Scrollback().Dropped();
    QVERIFY(t.Find(QStringLiteral("Average"), false)); // from the top of the view
    QCOMPARE(t.SelectedText(), QStringLiteral("average"));
    QVERIFY(t.Find(QStringLiteral("Average"), false)); // around to the first line
    QCOMPARE(t.SelectedText(), QStringLiteral("AVERAGE"));
    QVERIFY(s.Settle());
    QVERIFY(!t.FollowsOutput());
    QVERIFY(t.TopLine() <= first && first < t.TopLine() + 8);
    QVERIFY(t.Find(QStringLiteral("average"), true)); // up, around to the last
    QCOMPARE(t.SelectedText(), QStringLiteral("average"));
    QVERIFY(t.Find(QStringLiteral("line 1"), true)); // up: "line 19", "line 18", ...
    QVERIFY(t.Find(QStringLiteral("= 4"), false, false));
    QCOMPARE(t.SelectedText(), QStringLiteral("= 4"));
    QVERIFY(!t.Find(QStringLiteral("absent"), false));
    QVERIFY(!t.Find(QString(), false));
}

// The bar: opened by the terminal's request with the selected word, it
// searches while typing, Enter and Shift+Enter step, "Not found" is told,
// Esc closes it and gives the terminal the focus.
void TstTermScrollback::findBar() {
    QWidget page;
    auto* layout = new QVBoxLayout(&page);
    auto* t = new TCustomComTerminal(&page);
    auto* bar = new TTermFindBar(t, &page);
    layout->addWidget(t);
    layout->addWidget(bar);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    t->ReceiveData("P1 = 250\r\nP2 = 500\r\nP1 = 260\r\n");
    t->Select({t->ScreenLine(1), 1}, {t->ScreenLine(1), 2});
    t->setFocus();
    QTest::keyClick(t, Qt::Key_F, Qt::ControlModifier | Qt::AltModifier);
    QVERIFY(bar->isVisible());
    QCOMPARE(bar->TextField()->text(), QStringLiteral("P1"));
    QTRY_VERIFY(bar->TextField()->hasFocus());
    QTest::keyClick(bar->TextField(), Qt::Key_Return);
    QCOMPARE(t->SelectedText(), QStringLiteral("P1"));
    QTest::keyClick(bar->TextField(), Qt::Key_End);
    QTest::keyClicks(bar->TextField(), QStringLiteral(" = 2"));
    QCOMPARE(t->SelectedText(), QStringLiteral("P1 = 2"));
    QVERIFY(!bar->NotFoundShown());
    QTest::keyClick(bar->TextField(), Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(t->SelectedText(), QStringLiteral("P1 = 2"));
    QTest::keyClicks(bar->TextField(), QStringLiteral("99"));
    QVERIFY(bar->NotFoundShown());
    QTest::keyClick(bar->TextField(), Qt::Key_Escape);
    QVERIFY(!bar->isVisible());
    QTRY_VERIFY(t->hasFocus());
}

// Shift+PgUp/PgDn page through the scrollback, Shift+Home/End go to its
// ends; none of them reaches the sensor.
void TstTermScrollback::scrollKeys() {
    TShownTerminal s;
    TCustomComTerminal& t = s.t;
    QVERIFY(QTest::qWaitForWindowExposed(&t));
    t.SetConnected(true);
    QSignalSpy sent(&t, &TCustomComTerminal::SendData);
    t.ReceiveData(Numbered(1, 40));
    QVERIFY(s.Settle());
    QScrollBar* bar = t.verticalScrollBar();
    const int bottom = bar->value();
    QTest::keyClick(&t, Qt::Key_PageUp, Qt::ShiftModifier);
    QCOMPARE(bar->value(), bottom - bar->pageStep());
    QVERIFY(!t.FollowsOutput());
    QTest::keyClick(&t, Qt::Key_Home, Qt::ShiftModifier);
    QCOMPARE(bar->value(), 0);
    QTest::keyClick(&t, Qt::Key_PageDown, Qt::ShiftModifier);
    QCOMPARE(bar->value(), bar->pageStep());
    QTest::keyClick(&t, Qt::Key_End, Qt::ShiftModifier);
    QVERIFY(t.FollowsOutput());
    QCOMPARE(sent.size(), 0);
}

QTEST_MAIN(TstTermScrollback)
#include "tst_termscrollback.moc"
