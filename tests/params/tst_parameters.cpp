// SPDX-License-Identifier: MIT
// The parameter catalogue (codes, keys, lines) and the editor applying
// "KEY value" lines: shapes, the output overview, change marks, model
// controls, the system slots, type and place from file headers, and
// hostile replies. The identification and text helpers of the reader.
#include "Labels.h"
#include "ParameterCatalogue.h"
#include "ParameterFile.h"
#include "TMainForm.h"
#include "TParameterForm.h"
#include "TParameterReader.h"
#include "Windows.h"

#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QSettings>
#include <QTabWidget>
#include <QTest>

#include <memory>

// The value of a data column inside an expression.
#define FETCHED(Type, name) (*static_cast<Type*>(QTest::qData(#name, ::qMetaTypeId<Type>())))

class TestParameters : public QObject {
    Q_OBJECT
    std::unique_ptr<TMainForm> m_main;
    TParameterForm* m_editor = nullptr;

private slots:
    void init() {
        SetLabelFilePath(QStringLiteral(ORX_SOURCE_DIR "/labels/orxterm.lab"));
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("OrxTerm"),
                           QStringLiteral("OrxTerm"));
        settings.clear();
        settings.sync();
        const TAppWindows w = CreateWindows({});
        m_main.reset(w.MainForm);
        m_editor = w.ParameterForm;
    }
    void cleanup() { m_main.reset(); }

    void codesAndKeys_data() {
        QTest::addColumn<QString>("slot");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("key32");    // KeyForCode with 32-bit firmware
        QTest::addColumn<QString>("keyOther"); // ... without
        QTest::addColumn<QString>("editorKey");
        QTest::newRow("ed_1_2") << "ed_1_2" << 102 << "CALFACTOR"
                                << "CALFACTOR"
                                << "CALFACTOR";
        QTest::newRow("ed_6_5") << "ed_6_5" << 605 << "INC1HOLD"
                                << ""
                                << "INC1HOLD";
        QTest::newRow("ed_6_10") << "ed_6_10" << 610 << "INC2HOLD"
                                 << ""
                                 << "INC2HOLD";
        QTest::newRow("ed_4_1") << "ed_4_1" << 401 << ""
                                << "INCON"
                                << "INCON";
        QTest::newRow("ed_6_1") << "ed_6_1" << 601 << "INC1ON"
                                << ""
                                << "INC1ON";
        QTest::newRow("ed_4_5") << "ed_4_5" << 405 << ""
                                << ""
                                << "";
        QTest::newRow("ed_4_6") << "ed_4_6" << 406 << ""
                                << ""
                                << "";
        QTest::newRow("ed_1_12") << "ed_1_12" << 112 << "OUT0LEVEL"
                                 << "OUT0LEVEL"
                                 << "OUT0LEVEL";
        QTest::newRow("outside") << "ed_8_1" << 801 << ""
                                 << ""
                                 << "";
    }
    void codesAndKeys() {
        QFETCH(QString, slot);
        QFETCH(int, code);
        QCOMPARE(ParameterCode(slot).value_or(-1), code);
        QCOMPARE(KeyForCode(code, true), FETCHED(QString, key32));
        QCOMPARE(KeyForCode(code, false), FETCHED(QString, keyOther));
        QCOMPARE(EditorKeyForCode(code), FETCHED(QString, editorKey));
    }

    void catalogueShape() {
        QVERIFY(!ParameterCode(QStringLiteral("ed_typ")));
        QVERIFY(!ParameterCode(QStringLiteral("ed_1_x")));
        // Keys per group as the sensor has them; every slot exists in the editor.
        QMap<int, int> perGroup;
        for (const TParameterDef& def : ParameterCatalogue()) {
            ++perGroup[def.Group()];
            QVERIFY2(m_editor->findChild<QLineEdit*>(def.SlotName()), qPrintable(def.SlotName()));
        }
        QCOMPARE(perGroup,
                 (QMap<int, int>{{1, 12}, {2, 16}, {3, 12}, {4, 6}, {5, 5}, {6, 15}, {7, 5}}));
        QCOMPARE(m_editor->Slots().size(), 71);
        QCOMPARE(FormatKeyValue(QStringLiteral("S1ON"), QStringLiteral("1"), true),
                 QStringLiteral("S1ON          1"));
        QCOMPARE(FormatKeyValue(QStringLiteral("S1INTERFACE1"), QStringLiteral("9600"), true),
                 QStringLiteral("S1INTERFACE1  9600"));
        QCOMPARE(FormatKeyValue(QStringLiteral("S1ON"), QString(), false), QString());
    }

    // Lines applied as the catalogue takes them; the output overview.
    void applyingLines() {
        m_editor->SetParameterValue(QStringLiteral("AvErAgE"), QStringLiteral(" 100 ms "));
        QCOMPARE(m_editor->Value(101), QStringLiteral("100"));
        m_editor->SetParameterValue(QStringLiteral("S1FORMAT"), QStringLiteral("V*60:6:3' m/min'"));
        QCOMPARE(m_editor->Value(302), QStringLiteral("V*60:6:3' m/min'"));
        m_editor->SetParameterValue(QStringLiteral("INCFACTOR"), QStringLiteral("1.5  20 30 40"));
        QCOMPARE(m_editor->Value(404), QStringLiteral("1.5"));
        QCOMPARE(m_editor->Value(405), QStringLiteral("20"));
        QCOMPARE(m_editor->Value(406), QStringLiteral("30"));
        m_editor->SetParameterValue(QStringLiteral("NOSUCHKEY"), QStringLiteral("7"));

        auto outputs = [this](const QString& key, const QString& value) {
            m_editor->SetParameterValue(key, value);
            QString on;
            for (const char* n :
                 {"lb_Impulsausgang1", "lb_Impulsausgang2", "lb_Impulsausgang3", "lb_Analogausgang",
                  "lb_SerielleSchnittstelle1", "lb_SerielleSchnittstelle2", "lb_ECCSteuerung"})
                on += m_editor->OutputActive(QLatin1String(n)) ? u'1' : u'0';
            return on;
        };
        QCOMPARE(outputs(QStringLiteral("INCON"), QStringLiteral("3")), QStringLiteral("1110000"));
        QCOMPARE(outputs(QStringLiteral("INCON"), QStringLiteral("2")), QStringLiteral("0110000"));
        QCOMPARE(outputs(QStringLiteral("INCON"), QStringLiteral("1")), QStringLiteral("1000000"));
        QCOMPARE(outputs(QStringLiteral("S1ON"), QStringLiteral("2")), QStringLiteral("1000100"));
        QCOMPARE(outputs(QStringLiteral("ECCON"), QStringLiteral("0")), QStringLiteral("1000100"));
        QCOMPARE(outputs(QStringLiteral("INC2ON"), QStringLiteral("1")), QStringLiteral("1100100"));
    }

    // Values put in by the program are marked until ResetChangeMarks; the
    // heading follows the last slot of its group that changed or was reset.
    void changeMarks() {
        m_editor->SetParameterValue(QStringLiteral("CALFACTOR"), QStringLiteral("1.000"));
        QVERIFY(m_editor->IsMarked(102));
        QVERIFY(m_editor->HeadingMarked(712));
        m_editor->ResetChangeMarks();
        QVERIFY(!m_editor->IsMarked(102) && !m_editor->HeadingMarked(712));
        QTest::keyClicks(m_editor->Slot(104), QStringLiteral("1"));
        QVERIFY(m_editor->IsMarked(104) && m_editor->HeadingMarked(712));
        QVERIFY(!m_editor->HeadingMarked(717));
        m_editor->Slot(405)->setText(QStringLiteral("9")); // no marks of its own
        QVERIFY(!m_editor->IsMarked(405));
    }

    void modelControls() {
        m_editor->ShowModelControls(true);
        QTabWidget* tabs = m_editor->pc_parameter;
        QVERIFY(!tabs->isTabVisible(3) && tabs->isTabVisible(4));
        QVERIFY(!m_editor->Slot(213)->isHidden()); // EPSILON
        m_editor->ShowModelControls(false);
        QVERIFY(tabs->isTabVisible(3) && !tabs->isTabVisible(4));
        QVERIFY(m_editor->Slot(213)->isHidden());
        QVERIFY(m_editor->Slot(311)->isHidden());  // S1ADDRESS
        QVERIFY(!m_editor->Slot(112)->isHidden()); // OUT0LEVEL always
    }

    // A double click on "Systemparameter" toggles the system slots;
    // CONSTANT and FB2TYPE stay read-only and grey.
    void systemSlots() {
        QVERIFY(m_editor->Slot(201)->isReadOnly());
        m_editor->SystemHeadingDoubleClicked();
        QVERIFY(!m_editor->Slot(201)->isReadOnly());
        QVERIFY(m_editor->Slot(202)->isReadOnly() && m_editor->Slot(214)->isReadOnly());
        QCOMPARE(m_editor->Slot(202)->palette().color(QPalette::Base),
                 m_editor->palette().color(QPalette::Button));
        m_editor->SystemHeadingDoubleClicked();
        QVERIFY(m_editor->Slot(201)->isReadOnly());
    }

    // The newest parameter file of the sensor supplies type and place,
    // wherever it stands in the list; unreadable dates are passed over.
    void typeAndPlace() {
        m_main->Sensor().SetIdentity({1, false, QStringLiteral("40001"), QStringLiteral("V1"), {}});
        const auto header = [](const char* name, const char* serial, const QString& date,
                               const char* type, const char* place) {
            TParameterFileHeader h;
            h.FileName = QLatin1String(name);
            h.SerialNumber = QLatin1String(serial);
            h.Date = date;
            h.Type = QLatin1String(type);
            h.Place = QLatin1String(place);
            return h;
        };
        const auto date = [](int day) {
            return FileDateText(QDateTime(QDate(2026, 3, day), QTime(10, 0, 30)));
        };
        m_editor->SetParameterFileHeaders({
            header("b.par", "40001", date(20), "ORX 9 new", "Hall 2"),
            header("a.par", "40001", date(5), "ORX 9 old", "Hall 1"),
            header("c.par", "40001", QStringLiteral("garbled"), "x", "y"),
            header("d.par", "40002", date(28), "other", "other"),
        });
        m_editor->SetParameterValue(QStringLiteral("REM"), QString());
        QCOMPARE(m_editor->ed_typ->text(), QStringLiteral("ORX 9 new"));
        QCOMPARE(m_editor->ed_standort->text(), QStringLiteral("Hall 2"));
    }

    // Sensor text is untrusted: megabytes of junk, binary bytes, lines
    // without ends and repeated keys leave a working editor.
    void hostileText() {
        QByteArray junk;
        for (int i = 0; i < 20000; ++i)
            junk +=
                QByteArray::number(i * 7919) + char(i % 256) + "AVERAGE " + QByteArray(i % 50, 'x');
        for (const QString& line : TReadFlow::ReplyLines(junk)) {
            const qsizetype blank = line.indexOf(u' ');
            m_editor->SetParameterValue(line.left(blank), line.mid(blank + 1));
        }
        m_editor->SetParameterValue(QStringLiteral("AVERAGE"), QStringLiteral("1"));
        m_editor->SetParameterValue(QStringLiteral("AVERAGE"), QStringLiteral("2 ms"));
        QCOMPARE(m_editor->Value(101), QStringLiteral("2"));
        m_editor->SetParameterValue(QStringLiteral("S1FORMAT"), QString(1000, u'Z'));
        QCOMPARE(m_editor->Value(302).size(), 1000); // the limit is for typing only
    }

    void replaceParameterLine_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("result");
        QTest::newRow("middle") << "A 1\rs1on 0\rB 2"
                                << "A 1\rS1ON         1\rB 2";
        QTest::newRow("last line") << "A 1\rS1ON 0"
                                   << "A 1\rS1ON         1";
        QTest::newRow("nowhere") << "A 1\rB 2"
                                 << "A 1\rB 2";
    }
    void replaceParameterLine() {
        QFETCH(QString, text);
        QCOMPARE(TReadFlow::ReplaceParameterLine(text, QStringLiteral("S1ON"),
                                                 QStringLiteral("S1ON         1")),
                 FETCHED(QString, result));
    }

    void parseInfo_data() {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<bool>("before");
        QTest::addColumn<bool>("firmware32");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QString>("model");
        QTest::newRow("ORX 32bit") << QStringList{"orx 9 V4.07 32BIT 2023", "S/N 40001"} << false
                                   << true << "V4.07 32BIT 2023"
                                   << "40001"
                                   << "9";
        QTest::newRow("ORX 16bit")
            << QStringList{"ORX 5 V2.10", "s/n 7"} << true << false << "V2.10"
            << "7"
            << "5";
        QTest::newRow("other sensor")
            << QStringList{"LSV 42 V9 32bit"} << false << true << "V9 32bit"
            << ""
            << "";
        QTest::newRow("nothing known") << QStringList{"OPTICS 100/35 mm"} << true << true << ""
                                       << ""
                                       << "";
    }
    void parseInfo() {
        TSensorIdentity id;
        id.Firmware32Bit = FETCHED(bool, before);
        TReadFlow::ParseInfo(FETCHED(QStringList, lines), id);
        QCOMPARE(id.Firmware32Bit, FETCHED(bool, firmware32));
        QCOMPARE(id.SoftwareVersion, FETCHED(QString, version));
        QCOMPARE(id.SerialNumber, FETCHED(QString, serial));
        QCOMPARE(id.Model, FETCHED(QString, model)); // the word after "ORX"
    }
};

QTEST_MAIN(TestParameters)
#include "tst_parameters.moc"
