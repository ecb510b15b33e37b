// SPDX-License-Identifier: MIT
// Saving and sending parameter sets through the whole main window against
// the simulated sensor on a pseudo-terminal: the round trip through a file,
// the list as it is sent, the constant question's four answers on the
// wire, the clipboard, and an operator's whole round of read, save, edit
// by hand, send back, store and read again.
#include "FileDialogs.h"
#include "Labels.h"
#include "MsgBox.h"
#include "ParameterCatalogue.h"
#include "ParameterFile.h"
#include "ParameterFileGrid.h"
#include "SimulatedMainForm.h"
#include "TComPort.h"
#include "TCommandEngine.h"
#include "TMainForm.h"
#include "TParameterCompareDlg.h"
#include "TParameterForm.h"
#include "TParameterReadForm.h"
#include "TParameterStoreForm.h"
#include "TParameterWriter.h"
#include "TSimPty.h"
#include "TSimSensor.h"
#include "Windows.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

Q_DECLARE_METATYPE(TFlowResult)

class TestParamWrite : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<TSimPty> m_sim;
    std::unique_ptr<TMainForm> m_main;
    TAppWindows m_w;
    QStringList m_boxes;
    QList<TMsgResult> m_answers; // given to the message boxes in turn; mrOk when none is left

    TSimSensor& Sensor() { return m_sim->Sensor(); }
    TParameterForm& Editor() { return *m_w.ParameterForm; }
    TParameterWriter& Writer() { return *m_main->ParameterWriter(); }
    QString Folder() const { return m_dir.filePath(QStringLiteral("par")); }

    bool Start(const QString& model) {
        TSimOptions options;
        options.Model = model;
        QDir(Folder()).removeRecursively(); // each case starts with an empty folder
        QDir().mkpath(Folder());
        return StartOnSimulatedSensor(m_dir.filePath(QStringLiteral("sim")), options, m_sim, m_main,
                                      m_w, {{QStringLiteral("Option/ParaDir"), Folder()}});
    }
    bool Ready() { return Identified(*m_main, m_w, *m_sim); }
    void Read() {
        m_main->Ui().Parameter_auslesen->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!m_main->SensorBusy(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!Sensor().SystemMode(), 5000);
    }
    // Saves the editor's set under `name` through the store dialog.
    void Save(const QString& name) {
        TParameterStoreForm* store = m_w.ParameterStoreForm;
        QTimer::singleShot(0, store, [store, name] {
            store->Edit1->setText(name);
            store->BtnStore->click();
        });
        Writer().Parameter_speichern();
    }
    // The prefix of every send: greeting, output off, system mode, the
    // constant query.
    static QByteArray SendPrefix() {
        return QByteArray("\r\021\033S1ON 0\r\n*SYSTEM\r\nTARVEK\r\n CONSTANT\r\n");
    }

private slots:
    void init() {
        SetLabelFilePath(QStringLiteral(ORX_SOURCE_DIR "/labels/orxterm.lab"));
        m_boxes.clear();
        m_answers.clear();
        TFormMsgBox::SetResponder([this](const TMsgBoxRequest& r) {
            m_boxes << r.text;
            return m_answers.isEmpty() ? mrOk : m_answers.takeFirst();
        });
    }
    void cleanup() { StopSimulatedMainForm(m_main, m_sim); }

    // Values of every kind saved by writer A come back identical through
    // the browser: blanks inside S1FORMAT, umlauts in place, type and
    // remarks, empty slots, the three INCFACTOR values.
    void roundTrip_data() {
        QTest::addColumn<QString>("model");
        QTest::newRow("ORX 9") << "9";
        QTest::newRow("ORX 7") << "7";
    }
    void roundTrip() {
        QFETCH(QString, model);
        QVERIFY(Start(model));
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 10000);
        const bool fw32 = m_main->Sensor().Firmware32Bit();
        QMap<int, QString> values;
        int n = 0;
        for (const TParameterDef& def : ParameterCatalogue()) {
            // What writer A writes for this model: the keys of the model,
            // INCFACTOR's three values, and OED whatever the model.
            const bool only32 = def.Sensors == TSensorVariant::Only32Bit ||
                                def.Sensors == TSensorVariant::Only32BitShown;
            const bool present =
                def.Code == 405 || def.Code == 406
                    ? !fw32
                    : !KeyForCode(def.Code, fw32).isEmpty() && (fw32 || !only32 || def.Code == 216);
            QString value;
            if (present && ++n % 5 != 0) value = QStringLiteral("v%1").arg(def.Code);
            if (def.Code == 302) value = QStringLiteral("V*60:6:3' m/min'");
            if (def.Code >= 404 && def.Code <= 406 && !fw32) // all three, as INCFACTOR needs
                value = QStringLiteral("1.%1").arg(def.Code);
            Editor().Slot(def.Code)->setText(value);
            values.insert(def.Code, present ? value : QString());
        }
        Editor().ed_standort->setText(QString::fromUtf8("Halle Süd"));
        Editor().ed_typ->setText(QString::fromUtf8("ORX Größe 2"));
        Editor().Memo_bemerkung->setPlainText(QString::fromUtf8("Prüfung\nzweite Zeile"));
        Save(QStringLiteral("round"));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(Folder() + QStringLiteral("/round.par")), 5000);

        for (QLineEdit* slot : Editor().Slots())
            slot->clear();
        TParameterReadForm& browser = *m_w.ParameterReadForm;
        QVERIFY(browser.ScanParameterFiles());
        QCOMPARE(browser.Records().size(), 1);
        browser.LoadIntoEditor(browser.Records().first());
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            QVERIFY2(Editor().Value(it.key()) == it.value(),
                     qPrintable(QStringLiteral("%1: %2 != %3")
                                    .arg(it.key())
                                    .arg(Editor().Value(it.key()), it.value())));
        QCOMPARE(Editor().ed_standort->text(), QString::fromUtf8("Halle Süd"));
        QCOMPARE(Editor().ed_typ->text(), QString::fromUtf8("ORX Größe 2"));
        QCOMPARE(Editor().Memo_bemerkung->toPlainText(),
                 QString::fromUtf8("Prüfung\nzweite Zeile"));
        QCOMPARE(Editor().SerialNumberText(), Sensor().Serial());
    }

    // The list as it goes out: ECHO with a 0 last before "*EXIT", the
    // talking interface switched on after it, a constant in small letters
    // not found.
    void sendList_data() {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("sent");
        QTest::newRow("S1ON on") << QStringList{"S1ON 1", "AVERAGE 10"}
                                 << QStringList{"AVERAGE 10", "*EXIT", "S1ON 1"};
        QTest::newRow("S1ON off") << QStringList{"S1ON 0", "AVERAGE 10"}
                                  << QStringList{"S1ON 0", "AVERAGE 10", "*EXIT"};
        QTest::newRow("ECHO 0") << QStringList{"ECHO 0", "A 1"}
                                << QStringList{"A 1", "ECHO 0", "*EXIT"};
        QTest::newRow("ECHO 1") << QStringList{"ECHO 1", "A 1"}
                                << QStringList{"ECHO 1", "A 1", "*EXIT"};
        QTest::newRow("constant in small letters")
            << QStringList{"constant 5"} << QStringList{"constant 5", "*EXIT"};
    }
    void sendList() {
        QVERIFY(Start(QStringLiteral("7")));
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 10000);
        QFETCH(QStringList, lines);
        QVERIFY(Writer().PrepareSendList(lines, 24716));
        QFETCH(QStringList, sent);
        QCOMPARE(lines, sent);
        QVERIFY(m_boxes.isEmpty());
    }

    // Another constant in the file: the question's four answers on the
    // wire, then the store question (answered No here).
    void constantQuestion_data() {
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<TFlowResult>("result");
        QTest::newRow("Yes keeps the sensor's")
            << QList<int>{mrYes, mrNo} << QByteArray("AVERAGE 150\r\n*EXIT\r\n")
            << TFlowResult::Done;
        QTest::newRow("No, No keeps it")
            << QList<int>{mrNo, mrNo, mrNo} << QByteArray("AVERAGE 150\r\n*EXIT\r\n")
            << TFlowResult::Done;
        // The simulated sensor's constant is a factory value: it refuses
        // another one, and the send says so.
        QTest::newRow("No, Yes sends the file's")
            << QList<int>{mrNo, mrYes, mrNo}
            << QByteArray("CONSTANT 1234\r\nAVERAGE 150\r\n*EXIT\r\n") << TFlowResult::SensorError;
        QTest::newRow("Cancel sends nothing")
            << QList<int>{mrCancel} << QByteArray("*EXIT\r\n") << TFlowResult::ConstantDiffers;
    }
    void constantQuestion() {
        QVERIFY(Start(QStringLiteral("7")));
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 10000);
        const QString file = m_dir.filePath(QStringLiteral("constant.par"));
        QVERIFY(SaveParameterLines(
            file, {QStringLiteral("CONSTANT 1234"), QStringLiteral("AVERAGE 150")}, nullptr));
        QFETCH(QList<int>, answers);
        m_answers.clear();
        for (const int answer : answers)
            m_answers.append(TMsgResult(answer));
        Sensor().ClearTrace();
        Writer().SendParameterText(true, file);
        QFETCH(QByteArray, sent);
        QTRY_COMPARE_WITH_TIMEOUT(Sensor().ReceivedBytes(), SendPrefix() + sent, 10000);
        QVERIFY(m_boxes.at(0).startsWith(LabelText(103)));
        QVERIFY(m_boxes.at(0).contains(QStringLiteral("24716")) &&
                m_boxes.at(0).contains(QStringLiteral("1234")));
        QVERIFY(!Sensor().SystemMode());
        QCOMPARE(Sensor().Value(QStringLiteral("CONSTANT")), QStringLiteral("24716"));
        QFETCH(TFlowResult, result);
        QCOMPARE(Writer().LastResult(), result);
        if (result == TFlowResult::SensorError)
            QVERIFY(m_boxes.last().startsWith(LabelText(136).arg(1).arg(3)));
    }

    // From the constant question the operator sees what the file would
    // change: the sensor's set read in system mode, the question again.
    void changesFromQuestion() {
        QVERIFY(Start(QStringLiteral("7")));
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 10000);
        const QString file = m_dir.filePath(QStringLiteral("constant.par"));
        QVERIFY(SaveParameterLines(
            file, {QStringLiteral("CONSTANT 1234"), QStringLiteral("AVERAGE 150")}, nullptr));
        QString actionText;
        int differing = -1;
        TFormMsgBox::SetResponder([&](const TMsgBoxRequest& r) {
            if (!r.action) return mrNo; // the store question
            actionText = r.actionText;
            // The list opens over the question once the sensor's set is
            // read; take its count and close it.
            QTimer closer;
            QObject::connect(&closer, &QTimer::timeout, [&differing] {
                if (auto* list =
                        qobject_cast<TParameterCompareDlg*>(QApplication::activeModalWidget())) {
                    differing = list->DifferingCount();
                    list->accept();
                }
            });
            closer.start(20);
            r.action();
            return mrYes; // then: keep the sensor's constant
        });
        Sensor().ClearTrace();
        Writer().SendParameterText(true, file);
        QTRY_VERIFY_WITH_TIMEOUT(Sensor().ReceivedBytes().endsWith("AVERAGE 150\r\n*EXIT\r\n"),
                                 10000);
        QVERIFY(Sensor().ReceivedBytes().contains(" CONSTANT\r\n READ\r\n"));
        QCOMPARE(actionText, RawLabelText(920));
        QCOMPARE(differing, 2); // CONSTANT and AVERAGE
        QCOMPARE(Sensor().Value(QStringLiteral("CONSTANT")), QStringLiteral("24716"));
    }

    // A file's lines go out as the file has them (here UTF-8 bytes); a file
    // that cannot be read sends nothing and asks nothing.
    void fileBytesUnchanged() {
        QVERIFY(Start(QStringLiteral("7")));
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 10000);
        const QString file = m_dir.filePath(QStringLiteral("utf8.par"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("REM Pr\xc3\xbc"
                "fung\r\n");
        f.close();
        m_answers = {mrNo};
        Sensor().ClearTrace();
        Writer().SendParameterText(true, file);
        QTRY_COMPARE_WITH_TIMEOUT(Sensor().ReceivedBytes(),
                                  SendPrefix() + "REM Pr\xc3\xbc"
                                                 "fung\r\n*EXIT\r\n",
                                  10000);

        m_boxes.clear();
        Sensor().ClearTrace();
        Writer().SendParameterText(true, m_dir.filePath(QStringLiteral("missing.par")));
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY(m_boxes.at(0).contains(QStringLiteral("missing.par")));
        QCOMPARE(Sensor().ReceivedBytes(), QByteArray());
    }

    // A file that reading refuses never reaches the sensor: a binary file
    // would go out as NUL bytes, one over the limit cut; the message says
    // what is wrong with it and nothing is sent, not even the greeting.
    void refusedFileSendsNothing_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("label");
        QTest::newRow("binary") << QByteArray("AVERAGE 150\r\n\0\x01\x02\xff", 17) << 267;
        QTest::newRow("over the limit")
            << QByteArray("AVERAGE 150\r\n") + QByteArray(MaxFileBytes, ' ') << 266;
    }
    void refusedFileSendsNothing() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, label);
        QVERIFY(Start(QStringLiteral("7")));
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 10000);
        const QString file = m_dir.filePath(QStringLiteral("refused.par"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(f.write(bytes), bytes.size());
        f.close();
        Sensor().ClearTrace();
        Writer().SendParameterText(true, file);
        QCOMPARE(m_boxes.size(), 1);
        const QString reason = LabelText(label).section(u'%', 0, 0);
        QVERIFY2(m_boxes.at(0).startsWith(file + QStringLiteral(": ") + reason),
                 qPrintable(m_boxes.at(0)));
        QCOMPARE(int(Writer().LastResult()), int(TFlowResult::FileError));
        // A marker sent now arrives after anything the send put on the
        // line: once it is there, it is all there is.
        m_main->Engine().SetCmd(QByteArray("\r"));
        QTRY_VERIFY_WITH_TIMEOUT(!Sensor().ReceivedBytes().isEmpty(), 10000);
        QCOMPARE(Sensor().ReceivedBytes(), QByteArray("\r"));
        QVERIFY(!Sensor().SystemMode());
    }

    // Nothing on the clipboard: the placeholder line and "*EXIT" go out.
    void emptyClipboard() {
        QVERIFY(Start(QStringLiteral("7")));
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 10000);
        QGuiApplication::clipboard()->clear();
        m_answers = {mrNo};
        Sensor().ClearTrace();
        QVERIFY(m_main->SpecialKey(Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier));
        QTRY_COMPARE_WITH_TIMEOUT(Sensor().ReceivedBytes(),
                                  SendPrefix() + "REM Clipboard not valid\r\n*EXIT\r\n", 10000);
        QCOMPARE(m_boxes, QStringList{LabelText(104)});
    }

    // The operator's round: read, save, change a value in the file by hand,
    // send it back with F3, keep the sensor's constant, store, read again.
    void operatorsRound() {
        QVERIFY(Start(QStringLiteral("7")));
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 10000);
        Read();
        Save(QStringLiteral("sensor"));
        const QString file = Folder() + QStringLiteral("/sensor.par");
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(file), 5000);
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QByteArray text = f.readAll();
        f.close();
        QVERIFY(text.contains("\r\nAVERAGE       100\r\n"));
        text.replace("\r\nAVERAGE       100\r\n", "\r\nAVERAGE       250\r\n");
        text.replace("\r\nCONSTANT      24716\r\n", "\r\nCONSTANT      11111\r\n");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
        f.close();

        TFileDialogs::SetResponder([&file](const TFileDialogRequest& r) {
            return r.kind == TFileDialogRequest::Open && r.mustExist ? file : QString();
        });
        m_answers = {mrYes, mrYes}; // keep the sensor's constant; store
        m_main->Ui().Datei_Parameter_schreiben->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!m_main->SensorBusy(), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(Sensor().ReceivedBytes().endsWith("*STORE\r\n/KELBOR\r\n"), 5000);
        QCOMPARE(m_boxes.size(), 2);
        QCOMPARE(m_boxes.at(1), LabelText(104));
        QCOMPARE(Sensor().StoredValue(QStringLiteral("AVERAGE")), QStringLiteral("250"));
        QCOMPARE(Sensor().Value(QStringLiteral("CONSTANT")), QStringLiteral("24716"));
        QVERIFY(m_main->Ui().Befehle_Info->isEnabled());

        Read();
        QCOMPARE(Editor().Value(101), QStringLiteral("250"));
    }

    // A set stays whole through the editor and its files: the keys the
    // sensor reports that the editor has no slot for are kept after the
    // known blocks; a set loaded and saved again keeps its identity line (a
    // 32-bit set stays one); choosing a listed file whose name has capitals
    // replaces that file after the overwrite question instead of putting a
    // second file beside it.
    void setKeptWhole() {
        QVERIFY(Start(QStringLiteral("9")));
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 10000);
        Read();
        Save(QStringLiteral("Line3.PAR"));
        const QString first = QDir(Folder()).filePath(QStringLiteral("Line3.PAR"));
        QStringList lines;
        QVERIFY(ReadParameterLines(first, &lines, nullptr));
        for (const char* key : {"OFFLINE", "OFFTIME", "ALON", "ALRATE"})
            QVERIFY2(lines.filter(QRegularExpression(QStringLiteral("^%1 +\\S").arg(key))).size() ==
                         1,
                     key);
        QVERIFY(lines.indexOf(QRegularExpression(QStringLiteral("OFFLINE .*"))) >
                lines.indexOf(QRegularExpression(QStringLiteral("S2TIME .*"))));

        // Loaded from the browser and saved again under the listed name.
        TParameterReadForm& browser = *m_w.ParameterReadForm;
        browser.Prepare();
        QCOMPARE(browser.Records().size(), 1);
        browser.LoadIntoEditor(browser.Records().first());
        m_boxes.clear();
        m_answers = {mrYes}; // replace it
        TParameterStoreForm* store = m_w.ParameterStoreForm;
        QTimer::singleShot(0, store, [store] {
            TParameterFileGrid* grid = store->StringGrid1;
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                              grid->visualItemRect(grid->item(0, 0)).center());
            store->BtnStore->click();
        });
        Writer().Parameter_speichern();
        QCOMPARE(m_boxes, QStringList{LabelText(113) + QStringLiteral(": ") + first});
        QCOMPARE(QDir(Folder()).entryList(QDir::Files), QStringList{QStringLiteral("Line3.PAR")});

        QStringList again;
        QVERIFY(ReadParameterLines(first, &again, nullptr));
        const QString identity =
            lines.filter(QRegularExpression(QStringLiteral("^REM ORX "))).value(0);
        QVERIFY(identity.contains(QLatin1String("32bit")));
        QCOMPARE(again.filter(QRegularExpression(QStringLiteral("^REM ORX "))),
                 QStringList{identity});
        QCOMPARE(again.filter(QRegularExpression(QStringLiteral("^(OFF|AL)"))),
                 lines.filter(QRegularExpression(QStringLiteral("^(OFF|AL)"))));
        browser.Prepare();
        QVERIFY(browser.Records().first().Software.contains(QLatin1String("32bit")));
    }

    // A parameter folder that is gone: the browser says so once and does
    // not open on an empty list.
    void browserWithoutFolder() {
        QVERIFY(Start(QStringLiteral("7")));
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 10000);
        QDir(Folder()).removeRecursively();
        m_boxes.clear();
        bool opened = false;
        QTimer::singleShot(0, m_w.ParameterReadForm, [&] {
            opened = m_w.ParameterReadForm->isVisible();
            m_w.ParameterReadForm->reject();
        });
        QCOMPARE(m_w.ParameterReadForm->Execute(), int(QDialog::Rejected));
        QCoreApplication::processEvents();
        QVERIFY(!opened);
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY(m_boxes.first().contains(Folder()));
    }

    // Testen sends the editor's set without the store question.
    void testSendsWithoutStoring() {
        QVERIFY(Start(QStringLiteral("7")));
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 10000);
        Read();
        Editor().Slot(101)->setText(QStringLiteral("333"));
        QVERIFY(m_main->Ui().Parameter_testen->isEnabled());
        m_main->Ui().Parameter_testen->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!m_main->SensorBusy(), 30000);
        QTRY_COMPARE_WITH_TIMEOUT(Sensor().Value(QStringLiteral("AVERAGE")), QStringLiteral("333"),
                                  5000);
        QVERIFY(!Sensor().ReceivedBytes().contains("*STORE"));
        QVERIFY2(m_boxes.isEmpty(), qPrintable(m_boxes.join(u'|')));
        QVERIFY(!Editor().IsMarked(101));
        QCOMPARE(m_main->Ui().Memo_Par->toPlainText().count(u'\n') + 1, 46 + 1);
    }
};

QTEST_MAIN(TestParamWrite)
#include "tst_paramwrite.moc"
