// SPDX-License-Identifier: MIT
// Text helpers, the port settings' text forms and store/load, and the
// connection dialog's field checks.
#include "TComPort.h"
#include "TComSetupDlg.h"
#include "TextUtil.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

class TestLinkText : public QObject {
    Q_OBJECT
private slots:
    void cutToken() {
        QString t = QStringLiteral("AVERAGE 100 ms");
        QCOMPARE(CutToken(t, u' '), QStringLiteral("AVERAGE"));
        QCOMPARE(t, QStringLiteral("100 ms"));
        QString none = QStringLiteral("abc");
        QCOMPARE(CutToken(none, u'\r'), QStringLiteral("abc"));
        QVERIFY(none.isEmpty());
        QByteArray b("a\rb");
        QCOMPARE(CutToken(b, '\r'), QByteArray("a"));
        QCOMPARE(b, QByteArray("b"));
    }

    void replaceAllDoesNotRescan() {
        QCOMPARE(ReplaceAll(QStringLiteral("aaa"), QStringLiteral("a"), QStringLiteral("aa")),
                 QStringLiteral("aaaaaa"));
        QCOMPARE(ReplaceAll(QStringLiteral("1,5;2,5"), QStringLiteral(","), QStringLiteral(".")),
                 QStringLiteral("1.5;2.5"));
    }

    void debugText() {
        QCOMPARE(DebugText(QByteArray("SID\r\n\x11\x1b"
                                      "A")),
                 QStringLiteral("SID") + QChar(0xAB) + QChar(0xAC) + QStringLiteral("..A"));
    }

    void extractReply_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("start");
        QTest::addColumn<QByteArray>("stop");
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("sid") << QByteArray("SID\r\n1\r\n->") << QByteArray("SID\r\n")
                             << QByteArray("\r\n") << QByteArray("1");
        QTest::newRow("first of two") << QByteArray("X\r\n1\r\nX\r\n2\r\n") << QByteArray("X\r\n")
                                      << QByteArray("\r\n") << QByteArray("1");
        QTest::newRow("incomplete") << QByteArray("SID\r\n1") << QByteArray("SID\r\n")
                                    << QByteArray("\r\n") << QByteArray();
        QTest::newRow("no start") << QByteArray("abc") << QByteArray("SID") << QByteArray()
                                  << QByteArray();
        QTest::newRow("start only")
            << QByteArray("xxSIDrest") << QByteArray("SID") << QByteArray() << QByteArray("rest");
        QTest::newRow("stop only") << QByteArray("line\r\nmore") << QByteArray()
                                   << QByteArray("\r\n") << QByteArray("line");
        QTest::newRow("neither") << QByteArray("all") << QByteArray() << QByteArray()
                                 << QByteArray("all");
    }
    void extractReply() {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, start);
        QFETCH(QByteArray, stop);
        QFETCH(QByteArray, reply);
        QCOMPARE(ExtractReply(text, start, stop), reply);
    }

    void textForms() {
        QCOMPARE(StrToBaudRate(QStringLiteral("115200")), TBaudRate::br115200);
        QCOMPARE(StrToBaudRate(QStringLiteral("12345")), TBaudRate::br9600);
        QCOMPARE(BaudRateToStr(TBaudRate::Custom), QStringLiteral("Custom"));
        QCOMPARE(StrToStopBits(QStringLiteral("3")), TStopBits::One);
        QCOMPARE(StrToStopBits(QStringLiteral("1.5")), TStopBits::OneAndHalf);
        QCOMPARE(StrToParity(QStringLiteral("Mark")), TParityBits::Mark);
        QCOMPARE(FlowControlToStr(TFlowControl::Software), QStringLiteral("Software"));
        QCOMPARE(DataBitsToStr(TDataBits::Seven), QStringLiteral("7"));
        QCOMPARE(BaudRateTexts().size(), 15);
    }

    void storeAndLoad() {
        QTemporaryDir dir;
        QSettings s(dir.filePath(QStringLiteral("c.conf")), QSettings::IniFormat);
        TComPort a;
        a.SetPort(QStringLiteral("ttyUSB3"));
        a.SetBaudRate(TBaudRate::br38400);
        a.SetDataBits(TDataBits::Seven);
        a.StoreSettings(s, QStringLiteral("ComPort"));
        QCOMPARE(s.value(QStringLiteral("ComPort/BaudRate")).toString(), QStringLiteral("38400"));
        QCOMPARE(s.value(QStringLiteral("ComPort/FlowControl")).toString(),
                 QStringLiteral("Software"));
        s.setValue(QStringLiteral("ComPort/BaudRate"), QStringLiteral("12345"));
        TComPort b;
        b.LoadSettings(s, QStringLiteral("ComPort"));
        QCOMPARE(b.Port(), QStringLiteral("ttyUSB3"));
        QCOMPARE(b.BaudRate(), TBaudRate::br9600);
        QCOMPARE(b.Settings().DataBits, TDataBits::Seven);
    }

    void portField_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("10001") << "10001" << true;
        QTest::newRow("0") << "0" << true;
        QTest::newRow("65535") << "65535" << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("abc") << "abc" << false;
        QTest::newRow("leading zero") << "0080" << false;
        QTest::newRow("too big") << "70000" << false;
        QTest::newRow("trailing blank") << "10001 " << false;
        QTest::newRow("sign") << "-5" << false;
        QTest::newRow("plus") << "+5" << false;
    }
    void portField() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QCOMPARE(TComSetupDlg::IsValidPortText(text), valid);
    }

    void addressField_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("loopback") << "127.0.0.1" << true;
        QTest::newRow("any") << "0.0.0.0" << true;
        QTest::newRow("broadcast") << "255.255.255.255" << false;
        QTest::newRow("name") << "sensor.local" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("out of range") << "300.1.1.1" << false;
    }
    void addressField() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QCOMPARE(TComSetupDlg::IsValidAddress(text), valid);
    }

    // OK checks the fields in order whatever the mode; the enabled state
    // follows the mode and the server box.
    void dialogFields() {
        TComSetupDlg dlg;
        TLinkSettings s;
        s.ServerPort = QStringLiteral("0080");
        TSerialPortEntry port;
        port.Name = QStringLiteral("ttyS0");
        dlg.FormShow(s, {port});
        QVERIFY(!dlg.Validate());
        dlg.ed_TCPServerPort->setText(QStringLiteral("10001"));
        QVERIFY(dlg.Validate());
        QVERIFY(dlg.Combo_Port->isEnabled());
        QVERIFY(!dlg.ed_TCPServerPort->isEnabled());
        dlg.cb_Server->setChecked(true);
        QVERIFY(dlg.ed_TCPServerPort->isEnabled());
        QVERIFY(!dlg.ed_TelnetPort->isEnabled());
        QVERIFY(!dlg.ed_TCPServerIP->isEnabled());
        s.Mode = TLinkMode::Telnet;
        dlg.FormShow(s, {});
        QVERIFY(dlg.ed_TelnetIP->isEnabled());
        QVERIFY(!dlg.Combo_Port->isEnabled());
        QCOMPARE(dlg.Values().Mode, TLinkMode::Telnet);
    }
};

QTEST_MAIN(TestLinkText)
#include "tst_linktext.moc"
