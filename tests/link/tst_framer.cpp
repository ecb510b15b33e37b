// SPDX-License-Identifier: MIT
// The packet framer: start/stop/size framing, dropped data, several
// packets per chunk, the buffer limit and the setters that empty it.
#include "TComDataPacket.h"

#include <QSignalSpy>
#include <QTest>

class TestFramer : public QObject {
    Q_OBJECT

    static QList<QByteArray> Packets(const QSignalSpy& spy) {
        QList<QByteArray> list;
        for (const auto& args : spy)
            list << args.at(0).toByteArray();
        return list;
    }

private slots:
    void sidReplyInTwoChunks() {
        TComDataPacket f;
        f.SetStartString("SID\r\n");
        f.SetStopString("\r\n");
        QSignalSpy spy(&f, &TComDataPacket::Packet);
        f.Receive("xySID\r");
        QCOMPARE(spy.count(), 0);
        f.Receive("\n2\r\n->");
        QCOMPARE(Packets(spy), (QList<QByteArray>{"2"}));
        QCOMPARE(f.Buffer(), QByteArray("->"));
    }

    void lineSplitOverChunks() {
        TComDataPacket f;
        f.SetStopString("\r\n");
        QSignalSpy spy(&f, &TComDataPacket::Packet);
        f.Receive("first\r\nsec");
        QCOMPARE(Packets(spy), (QList<QByteArray>{"first"}));
        f.Receive("ond\r\n");
        QCOMPARE(Packets(spy), (QList<QByteArray>{"first", "second"}));
    }

    // Every packet of a chunk is delivered within one Receive, even when
    // the handler detaches the framer after the first.
    void twoLinesOneChunkWithDetach() {
        TComDataPacket f;
        f.SetStopString("\r\n");
        QList<QByteArray> got;
        connect(&f, &TComDataPacket::Packet, this, [&](const QByteArray& p) {
            got << p;
            f.SetComPort(nullptr);
        });
        f.Receive("a\r\nb\r\n");
        QCOMPARE(got, (QList<QByteArray>{"a", "b"}));
    }

    void noEndConditionPassesChunks() {
        TComDataPacket f;
        QSignalSpy spy(&f, &TComDataPacket::Packet);
        f.Receive("abc");
        f.Receive("\r\n");
        QCOMPARE(Packets(spy), (QList<QByteArray>{"abc", "\r\n"}));
        QVERIFY(f.Buffer().isEmpty());
    }

    void sizeRule() {
        TComDataPacket f;
        f.SetSize(4);
        f.SetStopString("\r\n");
        QSignalSpy spy(&f, &TComDataPacket::Packet);
        f.Receive("abcdef\r\n");
        QCOMPARE(Packets(spy), (QList<QByteArray>{"abcd", "ef"}));
    }

    void bufferLimitDropsFlood() {
        TComDataPacket f;
        f.SetMaxBufferSize(4096);
        f.SetStartString("SID\r\n");
        f.SetStopString("\r\n");
        for (int i = 0; i < 4; ++i)
            f.Receive(QByteArray(1000, 'x'));
        QCOMPARE(f.Buffer().size(), 4000);
        f.Receive(QByteArray(1000, 'x'));
        QCOMPARE(f.Buffer().size(), 0); // dropped once it held 4096 or more
        for (int i = 0; i < 10000; ++i)
            f.Receive(QByteArray(100, 'y'));
        QVERIFY(f.Buffer().size() < 4096);
    }

    void settersEmptyOnlyOnChange() {
        TComDataPacket f;
        f.SetStopString("\r\n");
        f.Receive("partial");
        f.SetStopString("\r\n");
        QCOMPARE(f.Buffer(), QByteArray("partial"));
        f.SetStopString("->");
        QVERIFY(f.Buffer().isEmpty());
        f.Receive("more");
        f.SetSize(1);
        QVERIFY(f.Buffer().isEmpty());
    }

    void caseInsensitive() {
        TComDataPacket f;
        f.SetCaseInsensitive(true);
        f.SetStartString("info\r\n");
        f.SetStopString("->");
        QSignalSpy spy(&f, &TComDataPacket::Packet);
        f.Receive("INFO\r\nOrx 9\r\n->");
        QCOMPARE(Packets(spy), (QList<QByteArray>{"Orx 9\r\n"}));
    }
};

QTEST_GUILESS_MAIN(TestFramer)
#include "tst_framer.moc"
