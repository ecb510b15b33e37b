// SPDX-License-Identifier: MIT
// The service record through the whole main window against the simulated
// sensor: the window's flows are recorded, the Service record window
// lists them with a write's changes, compares a recorded set with the
// sensor, loads one into the editor and tells what changed since the last
// visit; a record that cannot be written is told and the flows go on.
#include "Labels.h"
#include "MsgBox.h"
#include "SimulatedMainForm.h"
#include "TFlowRecorder.h"
#include "TMainForm.h"
#include "TParameterCompareDlg.h"
#include "TParameterForm.h"
#include "TParameterWriter.h"
#include "TRecordStore.h"
#include "TServiceRecordForm.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TestServiceRecord : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<TSimPty> m_sim;
    std::unique_ptr<TMainForm> m_main;
    TAppWindows m_w;
    QStringList m_boxes;
    QByteArray m_dataHome;
    int m_case = 0;

    TSimSensor& Sensor() { return m_sim->Sensor(); }
    TServiceRecordForm& Form() { return *m_w.ServiceRecordForm; }
    bool Start() {
        return StartOnSimulatedSensor(m_dir.filePath(QStringLiteral("sim")), {}, m_sim, m_main,
                                      m_w);
    }
    bool Ready() { return Identified(*m_main, m_w, *m_sim); }
    void Read() {
        m_main->Ui().Parameter_auslesen->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!m_main->SensorBusy(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!Sensor().SystemMode(), 5000);
    }
    // Clicks `button` of the Service record window; the comparison that
    // opens is read (its differing rows, key and sensor value) and closed.
    QStringList CompareRows(QPushButton* button) {
        QStringList rows;
        bool seen = false;
        QTimer closer;
        connect(&closer, &QTimer::timeout, this, [&] {
            auto* dialog = qobject_cast<TParameterCompareDlg*>(QApplication::activeModalWidget());
            if (!dialog) return;
            for (int r = 0; r < dialog->Table->rowCount(); ++r)
                rows << dialog->Table->item(r, 0)->text() + u' ' +
                            dialog->Table->item(r, 2)->text();
            seen = true;
            dialog->accept();
        });
        closer.start(20);
        button->click();
        [&] { QTRY_VERIFY_WITH_TIMEOUT(seen, 20000); }();
        return rows;
    }
    static qsizetype Find(const QList<TRecordEvent>& events, TRecordAction action) {
        for (qsizetype i = 0; i < events.size(); ++i)
            if (events[i].Action == action) return i;
        return -1;
    }

private slots:
    void initTestCase() { m_dataHome = qgetenv("XDG_DATA_HOME"); }
    void init() {
        SetLabelFilePath(QStringLiteral(ORX_SOURCE_DIR "/labels/orxterm.lab"));
        // Each case its own record.
        qputenv("XDG_DATA_HOME",
                QFile::encodeName(m_dir.filePath(QStringLiteral("data%1").arg(++m_case))));
        RecordMessageBoxes(m_boxes);
    }
    void cleanup() {
        StopSimulatedMainForm(m_main, m_sim);
        qputenv("XDG_DATA_HOME", m_dataHome);
    }

    // A read into the editor and a write of a changed AVERAGE are recorded
    // and listed newest first; "What changed" finds a value changed behind
    // the program's back; a recorded set goes into the editor.
    void windowFlows() {
        QVERIFY(Start());
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 10000);
        Read();
        QCOMPARE(m_w.ParameterForm->Value(101), QStringLiteral("100"));
        m_w.ParameterForm->SetParameterValue(QStringLiteral("AVERAGE"), QStringLiteral("420"));
        m_main->ParameterWriter()->SendFormParameters(false);
        QTRY_VERIFY_WITH_TIMEOUT(!m_main->SensorBusy(), 20000);
        QCOMPARE(Sensor().Value(QStringLiteral("AVERAGE")), QStringLiteral("420"));
        QVERIFY2(m_boxes.isEmpty(), qPrintable(m_boxes.join(u'|')));

        QVERIFY(Form().Fill());
        const QList<TRecordEvent> events = Form().Events();
        const qsizetype write = Find(events, TRecordAction::Write);
        const qsizetype read = Find(events, TRecordAction::Read);
        QVERIFY(write >= 0 && read > write); // newest first
        QVERIFY(Find(events, TRecordAction::Identify) > read);
        QCOMPARE(events[write].Link, QStringLiteral("%1 %2")
                                         .arg(QFileInfo(m_sim->DevicePath()).fileName())
                                         .arg(m_main->BaudRate()));
        QCOMPARE(Form().Table->rowCount(), events.size());
        Form().Table->setCurrentCell(int(write), 0);
        QVERIFY2(Form().Memo_changes->toPlainText().contains(QStringLiteral("AVERAGE 100 -> 420")),
                 qPrintable(Form().Memo_changes->toPlainText()));

        // The sensor changed behind the program's back: the last visit's
        // set (the write's) against it.
        QVERIFY(Sensor().SetValue(QStringLiteral("AVERAGE"), QStringLiteral("333")));
        QVERIFY(Form().BtnSinceLast->isEnabled());
        const QStringList rows = CompareRows(Form().BtnSinceLast);
        QCOMPARE(rows.size(), 1);
        QVERIFY2(rows.first().startsWith(QStringLiteral("AVERAGE 333")), qPrintable(rows.first()));
        // The comparison's read is listed too, and the list is filled again.
        QCOMPARE(Form().Events().first().Action, TRecordAction::Compare);

        // The read's set against the sensor: AVERAGE differs.
        const qsizetype readNow = Find(Form().Events(), TRecordAction::Read);
        Form().Table->setCurrentCell(int(readNow), 0);
        QVERIFY(Form().BtnCompare->isEnabled());
        const QStringList readRows = CompareRows(Form().BtnCompare);
        QCOMPARE(readRows.size(), 1);

        // The read's set into the editor, as a file's is loaded.
        Form().Table->setCurrentCell(int(Find(Form().Events(), TRecordAction::Read)), 0);
        QVERIFY(Form().BtnLoad->isEnabled());
        Form().BtnLoad->click();
        QCOMPARE(m_w.ParameterForm->Value(101), QStringLiteral("100"));
    }

    // The window follows the language.
    void language() {
        QVERIFY(Start());
        const int was = CurrentLanguage();
        for (int language : {0, 1}) {
            SetCurrentLanguage(language);
            QEvent change(QEvent::LanguageChange);
            QCoreApplication::sendEvent(&Form(), &change);
            QCOMPARE(Form().BtnSinceLast->text(), LabelText(632));
            QCOMPARE(Form().windowTitle(), LabelText(631));
            QCOMPARE(Form().Table->horizontalHeaderItem(1)->text(), LabelText(637));
        }
        QVERIFY(LabelText(632) != QStringLiteral("632")); // the labels are there
        SetCurrentLanguage(was);
    }

    // A record in a place that cannot be written: COM Status says so with
    // the store's reason, and the read still fills the editor.
    void notWritable() {
        const QString blocker = m_dir.filePath(QStringLiteral("blocker"));
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("x") == 1);
        file.close();
        qputenv("XDG_DATA_HOME", QFile::encodeName(blocker));
        QVERIFY(Start());
        QTRY_VERIFY_WITH_TIMEOUT(Ready(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(
            m_main->PanelText(TStatusPanel::ComStatus).contains(LabelText(635)), 10000);
        Read();
        QCOMPARE(m_w.ParameterForm->Value(101), QStringLiteral("100"));
        QVERIFY(!m_main->Recorder()->Error().isEmpty());
        QVERIFY(m_boxes.isEmpty());
    }
};

QTEST_MAIN(TestServiceRecord)
#include "tst_servicerecord.moc"
