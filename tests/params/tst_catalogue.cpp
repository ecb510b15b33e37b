// SPDX-License-Identifier: MIT
// The catalogue as the one table of the parameters: the set the writer
// sends, the blocks of a saved file, the order of ticking Auto Update and
// the firmware-dependent keys all come from its columns, and stay the
// orders the sensor and the files have always had. The writer and the
// editor follow them through the whole main window against the simulated
// sensor, which knows every key of the table.
#include "Labels.h"
#include "ParameterCatalogue.h"
#include "SimulatedMainForm.h"
#include "TParameterForm.h"
#include "TParameterWriter.h"
#include "TSimParameters.h"
#include "TSimPty.h"
#include "TSimSensor.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {
using Keys = QStringList;

// The orders as the sensor has always been sent them and files have
// always been written.
Keys SendKeys(bool fw32) {
    Keys keys = {"AVERAGE", "CALFACTOR",   "CHOLD",   "DIRECTION", "VMAX",    "HOLDTIME",
                 "MINRATE", "SIGNALERROR", "TRIGGER", "WINDOW",    "TRACKING"};
    if (fw32) keys << "OUT0LEVEL";
    keys << Keys{"AMPLIFIER", "CONSTANT", "CONTROLT", "INTTIME", "PMIN", "PMAX",
                 "RMIN",      "RMAX",     "LAMP",     "LMIN",    "LMAX"};
    if (fw32) keys << Keys{"PPM", "EPSILON", "FB2TYPE", "BW", "OED"};
    if (!fw32) keys << Keys{"INCON", "INCVALUE", "INCOUTPUT", "INCFACTOR"};
    keys << Keys{"ANON", "ANVALUE", "ANOUTPUT", "ANMIN", "ANMAX"};
    if (fw32)
        for (int i = 1; i <= 3; ++i)
            for (const char* name : {"ON", "VALUE", "OUTPUT", "FACTOR", "HOLD"})
                keys << QStringLiteral("INC%1%2").arg(i).arg(QLatin1String(name));
    keys << Keys{"ECCON", "ECCR1", "ECCR2", "ECCV1", "ECCV2"};
    keys << Keys{"S1ON", "S1FORMAT", "S1INTERFACE", "S1OUTPUT", "S1TIME",
                 "S2ON", "S2FORMAT", "S2INTERFACE", "S2OUTPUT", "S2TIME"};
    return keys;
}

QList<Keys> SaveKeys(bool fw32) {
    Keys general = {"AVERAGE",   "CALFACTOR",   "CHOLD",    "DIRECTION", "HOLDTIME", "MINRATE",
                    "OUT0LEVEL", "SIGNALERROR", "TRACKING", "TRIGGER",   "VMAX",     "WINDOW"};
    Keys system = {"AMPLIFIER", "BW",   "CONSTANT", "CONTROLT", "EPSILON", "FB2TYPE",
                   "INTTIME",   "LAMP", "LMAX",     "LMIN",     "OED",     "PMAX",
                   "PMIN",      "PPM",  "RMAX",     "RMIN"};
    Keys s1 = {"S1ON", "S1FORMAT", "S1INTERFACE", "S1OUTPUT", "S1TIME", "S1ADDRESS"};
    Keys s2 = {"S2ON", "S2FORMAT", "S2INTERFACE", "S2OUTPUT", "S2TIME", "S2ADDRESS"};
    QList<Keys> blocks;
    if (fw32) {
        blocks << general << system;
        for (int i = 1; i <= 3; ++i) {
            Keys pulse;
            for (const char* name : {"ON", "FACTOR", "OUTPUT", "VALUE", "HOLD"})
                pulse << QStringLiteral("INC%1%2").arg(i).arg(QLatin1String(name));
            blocks << pulse;
        }
    } else {
        // OED whatever the firmware; the 32-bit keys of the others not.
        general.removeOne("OUT0LEVEL");
        for (const char* key : {"BW", "EPSILON", "FB2TYPE", "PPM"})
            system.removeOne(QLatin1String(key));
        s1.removeLast();
        s2.removeLast();
        blocks << general << system << Keys{"INCON", "INCVALUE", "INCOUTPUT", "INCFACTOR"};
    }
    blocks << Keys{"ANON", "ANMIN", "ANMAX", "ANOUTPUT", "ANVALUE"}
           << Keys{"ECCON", "ECCR1", "ECCR2", "ECCV1", "ECCV2"} << s1 << s2;
    return blocks;
}

QList<int> AutoUpdateCodes() {
    QList<int> codes;
    auto range = [&codes](int from, int to) {
        for (int c = from; c <= to; ++c)
            codes << c;
    };
    range(101, 112);
    range(201, 216);
    range(301, 305);
    codes << 311;
    range(306, 310);
    codes << 312;
    range(401, 406);
    range(501, 505);
    range(601, 615);
    range(701, 705);
    return codes;
}

Keys KeysOf(const QList<const TParameterDef*>& defs) {
    Keys keys;
    for (const TParameterDef* def : defs)
        keys << QString::fromLatin1(def->Key);
    return keys;
}

int CodeOf(const QString& key) {
    const TParameterDef* def = FindParameterKey(key);
    return def ? def->Code : 0;
}
} // namespace

class TestCatalogue : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<TSimPty> m_sim;
    std::unique_ptr<TMainForm> m_main;
    TAppWindows m_w;
    QStringList m_boxes;

    TSimSensor& Sensor() { return m_sim->Sensor(); }
    TParameterForm& Editor() { return *m_w.ParameterForm; }

    bool Start(const QString& model) {
        TSimOptions options;
        options.Model = model;
        return StartOnSimulatedSensor(m_dir.filePath(QStringLiteral("sim")), options, m_sim, m_main,
                                      m_w);
    }
    void WaitIdentified() { QTRY_VERIFY_WITH_TIMEOUT(Identified(*m_main, m_w, *m_sim), 10000); }

private slots:
    void init() {
        SetLabelFilePath(QStringLiteral(ORX_SOURCE_DIR "/labels/orxterm.lab"));
        RecordMessageBoxes(m_boxes);
    }
    void cleanup() { StopSimulatedMainForm(m_main, m_sim); }

    void lists_data() {
        QTest::addColumn<bool>("fw32");
        QTest::newRow("32-bit firmware") << true;
        QTest::newRow("other firmware") << false;
    }
    // The lists the table's columns give, and the keys the writers get
    // for each code: only the pulse outputs follow the firmware.
    void lists() {
        QFETCH(bool, fw32);
        QCOMPARE(KeysOf(SendOrder(fw32)), SendKeys(fw32));
        QList<Keys> blocks;
        for (const QList<const TParameterDef*>& block : SaveBlocks(fw32))
            blocks << KeysOf(block);
        QCOMPARE(blocks, SaveKeys(fw32));
        QList<int> codes;
        for (const TParameterDef* def : AutoUpdateOrder())
            codes << def->Code;
        QCOMPARE(codes, AutoUpdateCodes());

        for (const TParameterDef& def : ParameterCatalogue()) {
            const bool pulse16 = def.Code >= 401 && def.Code <= 404;
            const bool pulse32 = def.Code >= 601 && def.Code <= 615;
            const bool keyed = *def.Key && (fw32 ? !pulse16 : !pulse32);
            QVERIFY2(KeyForCode(def.Code, fw32) == (keyed ? def.Key : ""), def.Key);
            QCOMPARE(EditorKeyForCode(def.Code), QString::fromLatin1(def.Key));
        }
    }

    // The simulated sensor of either firmware has exactly the keys the
    // catalogue gives that firmware, in the same group (the system mode
    // depends on it), with the same unit and the same factory values.
    void simulatorKnowsEveryKey_data() { lists_data(); }
    void simulatorKnowsEveryKey() {
        QFETCH(bool, fw32);
        const TSimParameters sensor(fw32);
        for (const TParameterDef& def : ParameterCatalogue()) {
            if (!*def.Key) continue;
            const bool has = def.Sensors == TSensorVariant::All ||
                             (def.Sensors == TSensorVariant::Other) != fw32;
            const TSimParamDef* sim = sensor.Find(QString::fromLatin1(def.Key));
            QVERIFY2(bool(sim) == has, def.Key);
            if (!sim) continue;
            QVERIFY2(sim->Group == def.Group(), def.Key);
            QVERIFY2(qstrcmp(sim->Unit, def.Unit) == 0, def.Key);
            QVERIFY2(sim->Fixed == def.Fixed, def.Key);
        }
        for (const TSimParamDef* sim : sensor.Defs())
            if (sim->Group <= 7) QVERIFY2(FindParameterKey(QLatin1String(sim->Key)), sim->Key);
    }

    void writer_data() {
        QTest::addColumn<QString>("model");
        QTest::addColumn<bool>("fw32");
        QTest::newRow("ORX 9") << "9" << true;
        QTest::newRow("ORX 7") << "7" << false;
    }
    // A full editor, a few slots empty: the set sent holds a line for each
    // key of the order, empty for an empty slot; the file holds the
    // non-empty lines of each block, an empty line between blocks.
    void writer() {
        QFETCH(QString, model);
        QFETCH(bool, fw32);
        QVERIFY(Start(model));
        WaitIdentified();
        QCOMPARE(m_main->Sensor().Firmware32Bit(), fw32);
        for (const TParameterDef& def : ParameterCatalogue())
            Editor().Slot(def.Code)->setText(def.Code % 7 ? QStringLiteral("v%1").arg(def.Code)
                                                          : QString());
        auto line = [this](const QString& key, bool padded) {
            const QString value = Editor().Value(CodeOf(key));
            if (value.isEmpty()) return QString();
            if (key != u"INCFACTOR") return FormatKeyValue(key, value, padded);
            return FormatKeyValue(key, value, padded) + u' ' + Editor().Value(405) + u' ' +
                   Editor().Value(406);
        };

        QStringList sent;
        for (const QString& key : SendKeys(fw32))
            sent << line(key, false);
        QCOMPARE(m_main->ParameterWriter()->SendLines(), sent);

        QStringList saved;
        for (const Keys& block : SaveKeys(fw32)) {
            if (!saved.isEmpty()) saved << QString();
            for (const QString& key : block)
                if (const QString l = line(key, true); !l.isEmpty()) saved << l;
        }
        const QStringList file = m_main->ParameterWriter()->FileLines();
        const qsizetype serial = file.indexOf(QStringLiteral("S/N %1").arg(Sensor().Serial()));
        QVERIFY(serial > 0);
        QCOMPARE(file.mid(serial + 2), saved);
    }

    // Ticking Auto Update sends the slots edited meanwhile in its own
    // order: interface 1's address before interface 2's parameters, and
    // both before the ECC ones, whatever order they were edited in.
    void autoUpdateOrder() {
        QVERIFY(Start(QStringLiteral("9")));
        WaitIdentified();
        const QList<QPair<int, QString>> edits = {{702, "30"}, {310, "250"}, {311, "5"}};
        for (const auto& [code, text] : edits) {
            QLineEdit* slot = Editor().Slot(code);
            slot->selectAll();
            QTest::keyClicks(slot, text);
            Editor().SlotExit(slot); // Auto Update is off: nothing is sent
        }
        Sensor().ClearTrace();
        Editor().cb_AutoUpdate->click();
        const QByteArray wire = Sensor().ReceivedBytes();
        const qsizetype address = wire.indexOf("S1ADDRESS 5\r");
        const qsizetype time = wire.indexOf("S2TIME 250\r");
        const qsizetype ecc = wire.indexOf("ECCR1 30\r");
        QVERIFY2(address >= 0 && address < time && time < ecc, wire.constData());
        QCOMPARE(Sensor().Value(QStringLiteral("S1ADDRESS")), QStringLiteral("5"));
        QCOMPARE(Sensor().Value(QStringLiteral("ECCR1")), QStringLiteral("30"));
    }
};

QTEST_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
