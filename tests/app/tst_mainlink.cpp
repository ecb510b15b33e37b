// SPDX-License-Identifier: MIT
// The main window on a real serial link: start-up opens the port in Local
// mode and sends the attention sequence, F9 closes and reopens it, open
// errors reach COM Status, and a device that goes away is reopened by
// itself when it comes back (but not after the user closed the port).
#include "Labels.h"
#include "LinkView.h"
#include "MsgBox.h"
#include "TComPort.h"
#include "TComSetupDlg.h"
#include "TCustomComTerminal.h"
#include "TMainForm.h"
#include "TParameterForm.h"
#include "TSimPty.h"
#include "TSimSensor.h"
#include "Windows.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

class TestMainLink : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<TSimPty> m_sim;
    std::unique_ptr<TMainForm> m_main;

    void StartWithPort(const QString& port) {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("OrxTerm"),
                           QStringLiteral("OrxTerm"));
        settings.clear();
        settings.setValue(QStringLiteral("ComPort/Port"), port);
        settings.sync();
        m_main.reset(CreateWindows({}).MainForm);
        m_main->LinkView().ReopenTimer().setInterval(50);
        m_main->FormShow();
    }

private slots:
    void init() {
        SetLabelFilePath(QStringLiteral(ORX_SOURCE_DIR "/labels/orxterm.lab"));
        m_sim = std::make_unique<TSimPty>();
        m_sim->SetLinkPath(m_dir.filePath(QStringLiteral("orxsim")));
        QVERIFY(m_sim->Start());
    }
    void cleanup() {
        if (m_main) m_main->StartUpTimer().stop();
        m_main.reset();
        m_sim.reset();
    }

    void startUpOpensPortAndSendsAttention() {
        StartWithPort(m_sim->DevicePath());
        QVERIFY(m_main->StartUpTimer().isActive());
        QVERIFY(!m_main->FormCloseQuery());
        QTRY_VERIFY_WITH_TIMEOUT(m_main->ComPort()->Connected(), 5000);
        QVERIFY(m_main->Ui().rb_online->isChecked());
        QCOMPARE(m_main->PanelText(TStatusPanel::ComPort),
                 m_sim->DevicePath() + QStringLiteral(":9600-8-None-1-Software"));
        QTRY_VERIFY_WITH_TIMEOUT(m_sim->Sensor().ReceivedBytes().startsWith("\r\021\033"), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(m_main->Ui().Befehle_Info->isEnabled(), 5000);

        m_main->Ui().Datei_Open->trigger(); // F9 closes
        QVERIFY(!m_main->ComPort()->Connected());
        QVERIFY(m_main->Ui().rb_offline->isChecked());
        QVERIFY(!m_main->Ui().Befehle_Info->isEnabled());
        QCOMPARE(m_main->PanelText(TStatusPanel::ComPort),
                 m_sim->DevicePath() + u' ' + LabelText(125));
        m_main->Ui().Datei_Open->trigger(); // and opens again
        QVERIFY(m_main->ComPort()->Connected());
    }

    // The window is shown as a user sees it: the failed open is reported
    // with the system's reason in the panel's tool tip, and the keyboard
    // stays with the terminal, not with a tool bar button.
    void openErrorShownAndRadioReset() {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("OrxTerm"),
                           QStringLiteral("OrxTerm"));
        settings.clear();
        settings.setValue(QStringLiteral("ComPort/Port"),
                          m_dir.filePath(QStringLiteral("no-such-device")));
        settings.sync();
        m_main.reset(CreateWindows({}).MainForm);
        m_main->show();
        QVERIFY(QTest::qWaitForWindowActive(m_main.get()));
        QTRY_VERIFY_WITH_TIMEOUT(!m_main->StartUpTimer().isActive(), 5000);
        QCOMPARE(QApplication::focusWidget(), m_main->Ui().ComTerminal);
        // The reason itself, what to do about it in the tool tip.
        const QString reason =
            m_dir.filePath(QStringLiteral("no-such-device")) + QStringLiteral(": not present");
        QCOMPARE(m_main->PanelText(TStatusPanel::ComStatus), reason);
        QVERIFY2(m_main->PanelToolTip(TStatusPanel::ComStatus).contains(QStringLiteral("present")),
                 qPrintable(m_main->PanelToolTip(TStatusPanel::ComStatus)));
        QVERIFY(!m_main->ComPort()->Connected());
        QVERIFY(m_main->Ui().rb_offline->isChecked());
        QVERIFY(!m_main->ErrorTimer().isActive()); // kept while the port stays closed
    }

    // A port that did not open keeps saying why; a later error has its
    // time and gives the panel back. A command tries the port again: while
    // it is still missing nothing is sent and the reason stays; once it is
    // there the port opens and the command goes out. Online and Offline
    // follow the port.
    void reasonKeptUntilOpen() {
        m_sim->Unplug();
        StartWithPort(m_sim->DevicePath());
        QTRY_VERIFY_WITH_TIMEOUT(!m_main->StartUpTimer().isActive(), 5000);
        const QString reason = m_sim->DevicePath() + QStringLiteral(": not present");
        QCOMPARE(m_main->PanelText(TStatusPanel::ComStatus), reason);
        QVERIFY(m_main->Ui().rb_offline->isChecked());
        QVERIFY(m_main->Ui().Befehle_Info->isEnabled());

        m_main->ErrorTimer().setInterval(50);
        m_main->ShowError(QStringLiteral("TxFull error"));
        QCOMPARE(m_main->PanelText(TStatusPanel::ComStatus), QStringLiteral("TxFull error"));
        QTRY_COMPARE_WITH_TIMEOUT(m_main->PanelText(TStatusPanel::ComStatus), reason, 5000);

        m_main->Ui().rb_online->click(); // still missing: stays offline
        QVERIFY(m_main->Ui().rb_offline->isChecked());
        m_main->Ui().Befehle_Info->trigger();
        QVERIFY(!m_main->ComPort()->Connected());
        QCOMPARE(m_main->PanelText(TStatusPanel::ComStatus), reason);

        QVERIFY(m_sim->Replug());
        m_sim->Sensor().ClearTrace();
        m_main->Ui().Befehle_Info->trigger();
        QVERIFY(m_main->ComPort()->Connected());
        QVERIFY(m_main->Ui().rb_online->isChecked());
        QVERIFY(m_main->PanelText(TStatusPanel::ComStatus) != reason);
        QVERIFY(!m_main->LinkView().PortProblem().IsProblem());
        QTRY_VERIFY_WITH_TIMEOUT(m_sim->Sensor().ReceivedBytes().endsWith("\r\021\033INFO\r\n"),
                                 10000);

        // Closed by the user: a command does not reopen it, and says how to.
        m_main->Ui().rb_offline->click();
        QVERIFY(!m_main->ComPort()->Connected());
        QVERIFY(m_main->SpecialKey(Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier));
        QVERIFY(!m_main->ComPort()->Connected());
        QCOMPARE(m_main->PanelText(TStatusPanel::ComStatus),
                 LabelText(613).arg(m_sim->DevicePath()));
        m_main->Ui().rb_online->click();
        QVERIFY(m_main->ComPort()->Connected());
        QVERIFY(m_main->Ui().rb_online->isChecked());
    }

    void lostDeviceIsReopened() {
        StartWithPort(m_sim->DevicePath());
        QTRY_VERIFY_WITH_TIMEOUT(m_main->ComPort()->Connected(), 5000);
        m_sim->Unplug();
        QTRY_VERIFY_WITH_TIMEOUT(!m_main->ComPort()->Connected(), 5000);
        QVERIFY(m_main->Ui().rb_offline->isChecked());
        QVERIFY(!m_main->Ui().Befehle_Info->isEnabled());
        QVERIFY(m_main->LinkView().ReopenPending());
        QVERIFY(m_main->PanelText(TStatusPanel::ComStatus).startsWith(LabelText(126)));
        QVERIFY(m_sim->Replug());
        QTRY_VERIFY_WITH_TIMEOUT(m_main->ComPort()->Connected(), 5000);
        QVERIFY(m_main->PanelText(TStatusPanel::ComStatus).startsWith(LabelText(127)));
        QVERIFY(m_main->Ui().rb_online->isChecked());
        QVERIFY(!m_main->LinkView().ReopenPending());
    }

    // A unit swapped while the device was away: a box says so, and the
    // editor marks the set it holds as the earlier sensor's.
    void swappedSensorIsTold() {
        QStringList boxes;
        TFormMsgBox::SetResponder([&boxes](const TMsgBoxRequest& r) {
            boxes << r.text;
            return mrOk;
        });
        StartWithPort(m_sim->DevicePath());
        TParameterForm& editor = *m_main->Windows().ParameterForm;
        const QString first = m_sim->Sensor().Serial();
        QTRY_COMPARE_WITH_TIMEOUT(editor.SerialNumberText(), first, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!m_main->SensorBusy(), 10000);
        editor.ReadAction()->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(editor.Owner(), first, 20000);
        QCOMPARE(editor.OtherSensorWarning(), QString());

        m_sim->Unplug();
        QTRY_VERIFY_WITH_TIMEOUT(!m_main->ComPort()->Connected(), 5000);
        m_sim->Sensor().SetSerial(QStringLiteral("40777"));
        QVERIFY(m_sim->Replug());
        QTRY_COMPARE_WITH_TIMEOUT(editor.SerialNumberText(), QStringLiteral("40777"), 10000);
        const QString told = LabelText(141).arg(first, QStringLiteral("40777"));
        QTRY_VERIFY_WITH_TIMEOUT(boxes.contains(told), 5000);
        QCOMPARE(editor.OtherSensorWarning(), LabelText(142).arg(first, QStringLiteral("40777")));
        QCOMPARE(editor.Owner(), first);
        // It follows the language.
        m_main->SaveLanguage(1);
        QCOMPARE(editor.OtherSensorWarning(), LabelText(142).arg(first, QStringLiteral("40777")));
        m_main->SaveLanguage(0);
        TFormMsgBox::SetResponder(nullptr);
    }

    // A flapping adapter: the device goes away again while the reopened
    // port greets the sensor. The watch for it goes on, and the status bar
    // does not claim it was reopened; when it is back for good, it opens.
    void lossDuringReopenKeepsWatching() {
        StartWithPort(m_sim->DevicePath());
        QTRY_VERIFY_WITH_TIMEOUT(m_main->ComPort()->Connected(), 5000);
        m_sim->Unplug();
        QTRY_VERIFY_WITH_TIMEOUT(!m_main->ComPort()->Connected(), 5000);
        // The reopened port greets the sensor with the attention sequence,
        // pausing 100 ms after its first byte: 30 ms into that pause the
        // device goes again.
        bool armed = true;
        auto flap =
            connect(&m_sim->Sensor(), &TSimSensor::Traced, this, [&](const TSimTraceEntry& entry) {
                if (!armed || !entry.FromHost) return;
                armed = false;
                QTimer::singleShot(30, this, [this] { m_sim->Unplug(); });
            });
        QVERIFY(m_sim->Replug());
        QTRY_VERIFY_WITH_TIMEOUT(!armed, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(
            !m_main->ComPort()->Connected() && m_main->LinkView().ReopenPending(), 5000);
        QVERIFY(m_main->LinkView().ReopenTimer().isActive());
        QVERIFY(m_main->PanelText(TStatusPanel::ComStatus).startsWith(LabelText(126)));
        disconnect(flap);
        QVERIFY(m_sim->Replug());
        QTRY_VERIFY_WITH_TIMEOUT(m_main->ComPort()->Connected(), 5000);
        QVERIFY(!m_main->LinkView().ReopenPending());
    }

    // OK in the connection dialog: mode saved, port closed, the new port
    // and rate stored, the TCP fields saved, the link restarted. Cancel
    // changes nothing.
    void connectionDialog() {
        StartWithPort(m_dir.filePath(QStringLiteral("old-port")));
        QTRY_VERIFY_WITH_TIMEOUT(!m_main->StartUpTimer().isActive(), 5000);
        auto* dlg = m_main->Windows().ComSetupDlg;
        QTimer::singleShot(0, this, [dlg] { dlg->Button2->click(); });
        m_main->LinkView().Extras_Konfiguration_COMExecute();
        QVERIFY(!m_main->StartUpTimer().isActive());
        QCOMPARE(m_main->ComPort()->Port(), m_dir.filePath(QStringLiteral("old-port")));

        const QString port = m_sim->DevicePath();
        QWidget* focused = nullptr;
        QTimer::singleShot(0, this, [dlg, port, &focused] {
            dlg->Combo_Port->setEditText(port);
            dlg->Combo_Baudrate->setCurrentIndex(int(TBaudRate::br38400));
            dlg->ed_TCPClientIP->setText(QStringLiteral("300.0.0.1"));
            dlg->OKBtn->click(); // invalid address: stays open
            focused = dlg->focusWidget();
            dlg->ed_TCPClientIP->setText(QStringLiteral("127.0.0.2"));
            dlg->OKBtn->click();
        });
        int errors = 0;
        TFormMsgBox::SetResponder([&](const TMsgBoxRequest& r) {
            // "Error", the field and what is wrong with it; the field, greyed
            // out in Local mode, is editable and focused once the box closes.
            if (r.text == QStringLiteral("Error\nTCP Client: IP: \"300.0.0.1\" is not an IPv4 "
                                         "address such as 192.168.0.10."))
                ++errors;
            return mrOk;
        });
        m_main->LinkView().Extras_Konfiguration_COMExecute();
        TFormMsgBox::SetResponder(nullptr);
        QCOMPARE(errors, 1);
        QCOMPARE(focused, dlg->ed_TCPClientIP);
        QVERIFY(m_main->StartUpTimer().isActive());
        QTRY_VERIFY_WITH_TIMEOUT(m_main->ComPort()->Connected(), 5000);
        QCOMPARE(m_main->PanelText(TStatusPanel::ComPort),
                 port + QStringLiteral(":38400-8-None-1-Software"));
        QSettings s(m_main->Settings().fileName(), QSettings::IniFormat);
        QCOMPARE(s.value(QStringLiteral("ComPort/Port")).toString(), port);
        QCOMPARE(s.value(QStringLiteral("ComPort/BaudRate")).toString(), QStringLiteral("38400"));
        QCOMPARE(s.value(QStringLiteral("Option/TCPClientIP")).toString(),
                 QStringLiteral("127.0.0.2"));
        QVERIFY(!s.contains(QStringLiteral("Option/Mode"))); // unchanged: not written

        QTimer::singleShot(0, this, [dlg] {
            dlg->rg_Local->button(1)->click();
            dlg->OKBtn->click();
        });
        m_main->LinkView().Extras_Konfiguration_COMExecute();
        QVERIFY(!m_main->ComPort()->Connected());
        QCOMPARE(m_main->LinkMode(), TLinkMode::Telnet);
        QCOMPARE(m_main->PanelText(TStatusPanel::ComPort), QStringLiteral("Telnet"));
    }

    // Command actions and special keys, as they arrive at the sensor.
    void commandsOnTheWire() {
        StartWithPort(m_sim->DevicePath());
        QTRY_VERIFY_WITH_TIMEOUT(m_main->ComPort()->Connected(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(m_main->Ui().Befehle_S2->isEnabled(), 5000);
        TSimSensor& sensor = m_sim->Sensor();
        QTRY_VERIFY_WITH_TIMEOUT(sensor.ReceivedBytes().endsWith(" INFO\r\n") &&
                                     !m_main->SensorBusy(),
                                 10000); // after opening
        auto sent = [&](auto run, const QByteArray& expected) {
            sensor.ClearTrace();
            run();
            QTRY_COMPARE_WITH_TIMEOUT(sensor.ReceivedBytes(), expected, 5000);
        };
        sent([&] { m_main->Ui().Befehle_S2->trigger(); }, QByteArray("\r\021\033PS2\r\n"));
        sent([&] { m_main->Ui().Befehle_Esc->trigger(); }, QByteArray("\033"));
        sent([&] { m_main->Ui().Befehle_System->trigger(); },
             QByteArray("\r\021\033*SYSTEM\r\nTARVEK\r\nPARAMETER\r\n*EXIT\r\n"));
        const auto ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;
        sent([&] { QVERIFY(m_main->SpecialKey(Qt::Key_I, ctrlShift)); },
             QByteArray("\r\021\033*SIMULATION 1 50\r\n"));
        sent([&] { QVERIFY(m_main->SpecialKey(Qt::Key_U, ctrlShift)); },
             QByteArray("\r\021\033*SYSTEM\r\nTARVEK\r\n*UPDATE\r\n"));

        // Help: shown, nothing sent, the pane read-only until a key without Ctrl.
        QString help;
        TFormMsgBox::SetResponder([&help](const TMsgBoxRequest& r) {
            help = r.text;
            return mrOk;
        });
        sensor.ClearTrace();
        QVERIFY(m_main->SpecialKey(Qt::Key_H, ctrlShift));
        TFormMsgBox::SetResponder(nullptr);
        QVERIFY(help.startsWith(QStringLiteral("Description of Special Function Keys")));
        QVERIFY(help.contains(QStringLiteral("[U]\t*UPDATE (only ORX 9)\n")));
        QVERIFY(m_main->Ui().ComTerminal->ReadOnly());
        QVERIFY(!m_main->SpecialKey(Qt::Key_A, Qt::NoModifier));
        QVERIFY(!m_main->Ui().ComTerminal->ReadOnly());
        QVERIFY(!m_main->SpecialKey(Qt::Key_F4, Qt::ControlModifier)); // Ctrl alone: passed on
        QCOMPARE(sensor.ReceivedBytes(), QByteArray());

        // Without a link the command actions are disabled; keys still send.
        m_main->Ui().Datei_Open->trigger();
        QVERIFY(!m_main->Ui().Befehle_Info->isEnabled());
        QVERIFY(m_main->SpecialKey(Qt::Key_T, ctrlShift));
    }

    void closedByUserStaysClosed() {
        StartWithPort(m_sim->DevicePath());
        QTRY_VERIFY_WITH_TIMEOUT(m_main->ComPort()->Connected(), 5000);
        m_main->Ui().Datei_Open->trigger();
        QVERIFY(!m_main->ComPort()->Connected());
        m_sim->Unplug();
        QVERIFY(m_sim->Replug());
        QVERIFY(!m_main->LinkView().ReopenPending());
        QVERIFY(!m_main->LinkView().ReopenTimer().isActive());
        QVERIFY(!m_main->ComPort()->Connected());
    }
};

QTEST_MAIN(TestMainLink)
#include "tst_mainlink.moc"
