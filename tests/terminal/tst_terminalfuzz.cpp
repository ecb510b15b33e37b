// SPDX-License-Identifier: MIT
// Random and mutated input must never break the screen: the caret stays
// inside it, the buffer keeps its size, sequences stay bounded and nothing
// crashes or hangs (run under the sanitizers).
#include "TCustomComTerminal.h"
#include "TEscapeCodesVT100.h"
#include "TEscapeCodesVT52.h"
#include "TermTestUtil.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {
// Pieces that real streams contain, for mutation.
const char* const Pieces[] = {
    "\033[",   "\033[5;10H", "\033[99;99H", "\033[K",   "\033[2J",    "\033[1;7m", "\033[0m",
    "\033[6n", "\033[c",     "\033[?3h",    "\033[?3l", "\033[?7h",   "\033[?1h",  "\033#8",
    "\033O",   "\033Y",      "\033/",       "\033Z",    "\0337",      "\0338",     "\033[3g",
    "\033H",   "\033I",      "\r\n",        "\t",       "12.345 m/s", ";",         "?",
};

QByteArray FuzzChunk(QRandomGenerator& rng) {
    QByteArray chunk;
    const int parts = int(rng.bounded(1, 40));
    for (int i = 0; i < parts; ++i) {
        switch (rng.bounded(4)) {
        case 0: { // random bytes
            const int n = int(rng.bounded(1, 64));
            for (int k = 0; k < n; ++k)
                chunk += char(rng.bounded(256));
            break;
        }
        case 1: // a known piece
            chunk += Pieces[rng.bounded(int(std::size(Pieces)))];
            break;
        case 2: { // a piece with one byte changed
            QByteArray p = Pieces[rng.bounded(int(std::size(Pieces)))];
            p[rng.bounded(int(p.size()))] = char(rng.bounded(256));
            chunk += p;
            break;
        }
        default: // an endless-looking parameter list
            chunk += "\033[" + QByteArray(int(rng.bounded(1, 150)), char('0' + rng.bounded(10)));
            break;
        }
    }
    return chunk;
}

void CheckInvariants(const TTermScreen& screen) {
    const TComTermBuffer& b = screen.Buffer();
    QVERIFY(b.Columns() >= TComTermBuffer::MinColumns && b.Columns() <= TComTermBuffer::MaxColumns);
    QVERIFY(b.Rows() >= TComTermBuffer::MinRows && b.Rows() <= TComTermBuffer::MaxRows);
    QVERIFY(screen.CaretX() >= 1 && screen.CaretX() <= b.Columns());
    QVERIFY(screen.CaretY() >= 1 && screen.CaretY() <= b.Rows());
    // Touch the last cell: the sanitizers catch a buffer of the wrong size.
    QVERIFY(b.Cell(b.Columns(), b.Rows()).Ch < 256);
}
} // namespace

class TstTermFuzz : public QObject {
    Q_OBJECT
private slots:
    void screenSurvivesRandomInput_data();
    void screenSurvivesRandomInput();
    void widgetSurvivesRandomInput();
};

void TstTermFuzz::screenSurvivesRandomInput_data() {
    QTest::addColumn<int>("emulation");
    QTest::addColumn<int>("notify");
    QTest::newRow("VT100 runs") << int(teVT100orANSI) << int(TCharNotify::Runs);
    QTest::newRow("VT100 each char") << int(teVT100orANSI) << int(TCharNotify::EachChar);
    QTest::newRow("VT52") << int(teVT52) << int(TCharNotify::Runs);
    QTest::newRow("none") << int(teNone) << int(TCharNotify::None);
}

void TstTermFuzz::screenSurvivesRandomInput() {
    QFETCH(int, emulation);
    QRandomGenerator rng(20240611 + emulation);
    TScreenRecorder rec;
    TTermScreen screen(&rec);
    screen.SetCharNotify(TCharNotify(FETCH(int, notify)));
    if (emulation == teVT100orANSI)
        screen.SetParser(std::make_unique<TEscapeCodesVT100>());
    else if (emulation == teVT52)
        screen.SetParser(std::make_unique<TEscapeCodesVT52>());

    qint64 fed = 0;
    while (fed < 3 * 1024 * 1024) {
        const QByteArray chunk = FuzzChunk(rng);
        screen.Write(chunk);
        fed += chunk.size();
        if (rng.bounded(200) == 0) {
            screen.SetSize(int(rng.bounded(-5, 300)), int(rng.bounded(-5, 120)));
            screen.SetWrapLines(rng.bounded(2) == 1);
        }
        CheckInvariants(screen);
        if (QTest::currentTestFailed()) return;
        for (const auto& u : std::as_const(rec.Unhandled))
            QVERIFY(u.second.size() <= TEscapeCodes::MaxSequence);
        rec.Unhandled.clear();
        rec.Chars.clear();
        rec.Events.clear();
        rec.Sent.clear();
    }
}

// The whole control, shown, with repaints in between and every option that
// changes the receive path switched on.
void TstTermFuzz::widgetSurvivesRandomInput() {
    QRandomGenerator rng(77);
    TCustomComTerminal term;
    term.resize(300, 200);
    term.SetConnected(true);
    term.SetAppendLF(true);
    term.SetForce7Bit(false);
    qint64 sent = 0, chars = 0;
    connect(&term, &TCustomComTerminal::SendData, this,
            [&](const QByteArray& b) { sent += b.size(); });
    connect(&term, &TCustomComTerminal::Char, this, [&](char) { ++chars; });
    term.show();
    QVERIFY(QTest::qWaitForWindowExposed(&term));
    qint64 fed = 0;
    int round = 0;
    while (fed < 512 * 1024) {
        const QByteArray chunk = FuzzChunk(rng);
        term.ReceiveData(chunk);
        fed += chunk.size();
        if (++round % 50 == 0) {
            term.SetForce7Bit(!term.Force7Bit());
            term.SetEmulation(TTermEmulation(rng.bounded(3)));
            QCoreApplication::processEvents();
        }
        CheckInvariants(term.Screen());
        if (QTest::currentTestFailed()) return;
    }
    QVERIFY(chars > 0);
    QVERIFY(sent > 0);
    QVERIFY(!term.grab().isNull());
}

QTEST_MAIN(TstTermFuzz)
#include "tst_terminalfuzz.moc"
