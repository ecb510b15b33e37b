// SPDX-License-Identifier: MIT
// The main window's TCP side on real sockets on 127.0.0.1 and the
// simulated sensor: Remote mode against the sensor's TCP port, Telnet
// mode against a listener, the relay server on the sensor's pty with real
// clients, data received over TCP, the measurement line feed, and two
// ORXTERMs where the second works with the first one's sensor.
#include "Labels.h"
#include "LinkView.h"
#include "MeasurementLine.h"
#include "MsgBox.h"
#include "TComDataPacket.h"
#include "TComPort.h"
#include "TCommandEngine.h"
#include "TCustomComTerminal.h"
#include "TGrafikDlg.h"
#include "TLink.h"
#include "TMainForm.h"
#include "TNumberDlg.h"
#include "TSimPty.h"
#include "TSimSensor.h"
#include "TSimTcpServer.h"
#include "TTcpLink.h"
#include "Windows.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <sys/socket.h>
#include <vector>

namespace {
using TOptionMap = QList<QPair<QString, QString>>;

int OpenDescriptors() {
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

quint16 ClosedPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

std::unique_ptr<QTcpSocket> ConnectClient(quint16 port) {
    auto s = std::make_unique<QTcpSocket>();
    s->connectToHost(QHostAddress::LocalHost, port);
    return s;
}
} // namespace

class TestTcpMain : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::vector<std::unique_ptr<TMainForm>> m_forms;
    std::unique_ptr<TSimPty> m_pty;
    QStringList m_questions;

    // A main window started with these "Option" values and serial port.
    TMainForm* Start(const TOptionMap& options, const QString& port) {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("OrxTerm"),
                           QStringLiteral("OrxTerm"));
        settings.clear();
        settings.setValue(QStringLiteral("ComPort/Port"), port);
        for (const auto& [key, value] : options)
            settings.setValue(QStringLiteral("Option/") + key, value);
        settings.sync();
        m_forms.emplace_back(CreateWindows({}).MainForm);
        TMainForm* form = m_forms.back().get();
        form->FormShow();
        return form;
    }
    QString NoPort() const { return m_dir.filePath(QStringLiteral("no-port")); }

    // A main window relaying a simulated sensor's pty on 127.0.0.1 (a free
    // port); null when the sensor cannot start.
    TMainForm* StartRelay(TOptionMap options = {}) {
        m_pty = std::make_unique<TSimPty>();
        m_pty->SetLinkPath(m_dir.filePath(QStringLiteral("sim")));
        if (!m_pty->Start()) return nullptr;
        options += {{QStringLiteral("LocalServer"), QStringLiteral("1")},
                    {QStringLiteral("TCPServerIP"), QStringLiteral("127.0.0.1")},
                    {QStringLiteral("TCPServerPort"), QStringLiteral("0")}};
        return Start(options, m_pty->DevicePath());
    }

private slots:
    void init() {
        SetLabelFilePath(QStringLiteral(ORX_SOURCE_DIR "/labels/orxterm.lab"));
        m_questions.clear();
        TFormMsgBox::SetResponder([this](const TMsgBoxRequest& r) {
            m_questions.append(r.text);
            return r.buttons == mbYesNo ? mrNo : mrOk;
        });
    }
    void cleanup() {
        for (auto& f : m_forms)
            f->StartUpTimer().stop();
        m_forms.clear();
        m_pty.reset();
        TFormMsgBox::SetResponder(nullptr);
        TTcpLink::TelnetPort = 23;
    }

    // Remote mode against the sensor's own TCP port: panels, start-up,
    // commands, replies in pieces, typed keys.
    void remoteMode() {
        TSimTcpServer sim;
        QVERIFY(sim.Listen());
        TMainForm* f = Start({{QStringLiteral("Mode"), QStringLiteral("2")},
                              {QStringLiteral("TCPClientIP"), QStringLiteral("127.0.0.1")},
                              {QStringLiteral("TCPClientPort"), QString::number(sim.Port())}},
                             NoPort());
        const QString target = QStringLiteral("127.0.0.1:%1").arg(sim.Port());
        QCOMPARE(f->PanelText(TStatusPanel::SocketStatus), LabelText(117) + u' ' + target);
        QVERIFY(f->PanelText(TStatusPanel::IpPort).startsWith(QStringLiteral("127.0.0.1:")));
        QCOMPARE(f->PanelText(TStatusPanel::ComPort), LabelText(115));
        QVERIFY(!f->Ui().Datei_UpdateFirmware->isEnabled());
        QVERIFY(f->StartUpTimer().isActive());

        QTRY_VERIFY_WITH_TIMEOUT(!f->StartUpTimer().isActive(), 5000);
        QVERIFY(f->Ui().rb_offline->isChecked());
        QVERIFY(!f->Ui().rb_online->isEnabled() && !f->Ui().rb_offline->isEnabled());
        QVERIFY(f->Ui().Befehle_Info->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(sim.Sensor().ReceivedBytes().startsWith("\r\021\033"), 5000);
        QVERIFY(m_questions.isEmpty());

        QCOMPARE(f->Engine().GetCmd(QByteArray("SID\r\n"), QByteArray("SID\r\n"),
                                    QByteArray("\r\n"), 0, 1000),
                 QByteArray("1"));
        const QByteArray info = f->Engine().GetCmd(QByteArray("INFO\r\n"), QByteArray("INFO\r\n"),
                                                   QByteArray("->"), 0, 1000);
        QVERIFY2(info.startsWith("ORX 9 V4.07"), info.constData());

        // An answer that comes in pieces is found once its stop string is there.
        TSimFaults faults;
        faults.SplitPieces = 4;
        faults.SplitPauseMs = 60;
        sim.Sensor().SetFaults(faults);
        QCOMPARE(f->Engine().GetCmd(QByteArray("SID\r\n"), QByteArray("SID\r\n"),
                                    QByteArray("\r\n"), 0, 1000),
                 QByteArray("1"));
        sim.Sensor().ClearFaults();

        // What comes back is shown in the terminal and kept in the history.
        QTRY_VERIFY_WITH_TIMEOUT(
            f->HistoryLines().join(u'\n').contains(QStringLiteral("S/N 40001")), 5000);

        // Typed keys leave over TCP.
        sim.Sensor().ClearTrace();
        QTest::keyClicks(f->Ui().ComTerminal, QStringLiteral("ab"));
        QTRY_COMPARE_WITH_TIMEOUT(sim.Sensor().ReceivedBytes(), QByteArray("ab"), 5000);
        f->Engine().SetCmd(QByteArray("\r"));
        QTRY_COMPARE_WITH_TIMEOUT(sim.Sensor().ReceivedBytes(), QByteArray("ab\r"), 5000);

        // With a serial port opened as well (F9), typed keys go to both.
        m_pty = std::make_unique<TSimPty>();
        QVERIFY(m_pty->Start());
        f->ComPort()->SetPort(m_pty->DevicePath());
        f->Ui().Datei_Open->trigger();
        QVERIFY(f->ComPort()->Connected());
        QTRY_VERIFY_WITH_TIMEOUT(
            m_pty->Sensor().ReceivedBytes().endsWith(" INFO\r\n") && !f->SensorBusy(), 10000);
        sim.Sensor().ClearTrace();
        m_pty->Sensor().ClearTrace();
        QTest::keyClicks(f->Ui().ComTerminal, QStringLiteral("c"));
        QTRY_COMPARE_WITH_TIMEOUT(sim.Sensor().ReceivedBytes(), QByteArray("c"), 5000);
        // (The remote end's echo follows it: data from TCP goes to an open port.)
        QTRY_VERIFY_WITH_TIMEOUT(m_pty->Sensor().ReceivedBytes().startsWith("c"), 5000);
        f->Ui().Datei_Open->trigger();

        // The peer goes away: only the Socket Status changes.
        sim.DropClients();
        QTRY_COMPARE_WITH_TIMEOUT(f->PanelText(TStatusPanel::SocketStatus), LabelText(120), 5000);
    }

    // Nobody listens: the Socket Status says so and the question follows.
    void remoteUnreachable() {
        const quint16 port = ClosedPort();
        TMainForm* f = Start({{QStringLiteral("Mode"), QStringLiteral("2")},
                              {QStringLiteral("TCPClientIP"), QStringLiteral("127.0.0.1")},
                              {QStringLiteral("TCPClientPort"), QString::number(port)}},
                             NoPort());
        QCOMPARE(f->PanelText(TStatusPanel::SocketStatus),
                 LabelText(118) + QStringLiteral(" 127.0.0.1:%1").arg(port));
        QCOMPARE(f->StartUpTimer().property("tag").toInt(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(m_questions.size(), 1, 5000);
        QCOMPARE(m_questions.at(0), LabelText(121) + u'\n' + LabelText(122));
        QVERIFY(f->FormCloseQuery());
    }

    // A chart run over TCP: the window takes lines only once its Start
    // sequence has gone, so the echoes of its own commands never enter the
    // buffer as measurements (or gaps), and the first real line is kept.
    void chartRunOverTcp() {
        TSimTcpServer sim;
        QVERIFY(sim.Listen());
        TMainForm* f = Start({{QStringLiteral("Mode"), QStringLiteral("2")},
                              {QStringLiteral("TCPClientIP"), QStringLiteral("127.0.0.1")},
                              {QStringLiteral("TCPClientPort"), QString::number(sim.Port())}},
                             NoPort());
        QTRY_VERIFY_WITH_TIMEOUT(!f->StartUpTimer().isActive() && !f->SensorBusy(), 10000);
        TGrafikDlg& chart = *f->Windows().GrafikDlg;
        chart.FormShow();
        QVERIFY(chart.btnStart->isEnabled());
        chart.btnStartClick();
        QTRY_VERIFY_WITH_TIMEOUT(chart.Rohdaten().Count() >= 5, 10000);
        chart.btnStopClick();
        for (qsizetype i = 0; i < chart.Rohdaten().Count(); ++i) {
            const QByteArray line = chart.Rohdaten().At(i).Packet().toByteArray();
            QVERIFY2(DecodeMeasurementLine(line, false).Kind == TMeasurement::TKind::Valid,
                     line.constData());
        }
        // Nothing but the sensor's lines.
        QVERIFY(chart.Rohdaten().Count() <= qsizetype(sim.Sensor().MeasurementLines()));
        chart.done(QDialog::Rejected);
    }

    // Telnet mode goes to port 23 of the sensor's address (redirected here
    // to a listener); measurement lines arriving there reach the number
    // window's line handler once per line.
    void telnetMode() {
        QTcpServer sensor;
        QVERIFY(sensor.listen(QHostAddress::LocalHost));
        TTcpLink::TelnetPort = sensor.serverPort();
        TMainForm* f = Start({{QStringLiteral("Mode"), QStringLiteral("1")},
                              {QStringLiteral("TCPTelnetIP"), QStringLiteral("127.0.0.1")}},
                             NoPort());
        QCOMPARE(f->PanelText(TStatusPanel::SocketStatus),
                 LabelText(117) + QStringLiteral(" 127.0.0.1:%1").arg(sensor.serverPort()));
        QCOMPARE(f->PanelText(TStatusPanel::ComPort), QStringLiteral("Telnet"));
        QTRY_VERIFY_WITH_TIMEOUT(sensor.hasPendingConnections(), 5000);
        std::unique_ptr<QTcpSocket> peer(sensor.nextPendingConnection());
        QTRY_VERIFY_WITH_TIMEOUT(peer->bytesAvailable() >= 3, 5000);
        QCOMPARE(peer->read(3), QByteArray("\r\021\033"));
        // The listener is no sensor: the identification that follows gets
        // no answer and says so (label 105).
        QTRY_COMPARE_WITH_TIMEOUT(m_questions, QStringList{LabelText(105)}, 10000);
        m_questions.clear();
        peer->readAll();

        QList<QByteArray> lines;
        TComDataPacket& numberLines = f->Windows().NumberDlg->Channel().Framer();
        connect(&numberLines, &TComDataPacket::Packet, this,
                [&lines](const QByteArray& l) { lines.append(l); });
        numberLines.SetComPort(&f->Engine().Port()); // as a run attaches it
        peer->write("12.3\r\n");
        peer->write("45");
        peer->flush();
        QTRY_COMPARE_WITH_TIMEOUT(lines, QList<QByteArray>{QByteArray("12.3")}, 5000);
        peer->write(".6\r\n");
        QTRY_COMPARE_WITH_TIMEOUT(lines.size(), 2, 5000);
        QCOMPARE(lines.at(1), QByteArray("45.6"));

        // A failed Telnet connect asks with its own text.
        sensor.close();
        TTcpLink::TelnetPort = ClosedPort();
        f->LinkView().StartLink(TLinkMode::Telnet, false);
        QTRY_COMPARE_WITH_TIMEOUT(m_questions.size(), 1, 5000);
        QCOMPARE(m_questions.at(0), LabelText(124) + u'\n' + LabelText(122));
    }

    // Data received over TCP on a client link: terminal and history, and
    // the framers of the serial line cutting replies and measurement lines
    // with their buffer limit.
    void receivedDataOnClientSide() {
        TMainForm* f = Start({{QStringLiteral("Mode"), QStringLiteral("2")},
                              {QStringLiteral("TCPClientPort"), QString::number(ClosedPort())}},
                             NoPort());
        QTRY_VERIFY_WITH_TIMEOUT(!f->StartUpTimer().isActive(), 5000);
        f->CopyData(9, QByteArray(1990, 'a'));
        f->CopyData(9, QByteArray(20, 'b'));
        QCOMPARE(f->HistoryLines().last().right(21), u'a' + QString(20, u'b'));
        // A peer that never sends CR does not grow one history line for ever.
        f->CopyData(9, QByteArray(3 * TReceiveHistory::MaxLine, 'c'));
        QCOMPARE(f->HistoryLines().last().size(),
                 2010); // 2010 + 3 * 4096: three full lines, then 2010
        QCOMPARE(f->HistoryLines().at(f->HistoryLines().size() - 2).size(),
                 TReceiveHistory::MaxLine);

        QList<QByteArray> chart;
        QList<QByteArray> number;
        TComDataPacket& chartLines = f->Windows().GrafikDlg->Channel().Framer();
        TComDataPacket& numberLines = f->Windows().NumberDlg->Channel().Framer();
        connect(&chartLines, &TComDataPacket::Packet, this,
                [&chart](const QByteArray& l) { chart.append(l); });
        connect(&numberLines, &TComDataPacket::Packet, this,
                [&number](const QByteArray& l) { number.append(l); });
        // Only a window whose run attached its framer gets lines.
        numberLines.SetComPort(&f->Engine().Port());
        f->CopyData(9, "1.5\r\n");
        chartLines.SetComPort(&f->Engine().Port());
        numberLines.SetComPort(nullptr);
        f->CopyData(9, "2.5\r\n");
        QCOMPARE(number, QList<QByteArray>{QByteArray("1.5")});
        QCOMPARE(chart, QList<QByteArray>{QByteArray("2.5")});
        // A line split over several pieces is one line.
        f->CopyData(9, "7.");
        f->CopyData(9, "25\r");
        f->CopyData(9, "\n");
        QCOMPARE(chart.mid(1), QList<QByteArray>{QByteArray("7.25")});
        // A peer that never ends its line cannot grow the framer without
        // bound: the unfinished line is dropped at the limit.
        f->CopyData(9, QByteArray(100000, '9'));
        QVERIFY(chartLines.Buffer().size() < chartLines.MaxBufferSize());
        f->CopyData(9, "\r\n8\r\n");
        QCOMPARE(chart.last(), QByteArray("8"));
        // A reply to a command over TCP is cut by the command framer too.
        f->Engine().Framer().SetStartString("SID\r\n");
        f->Engine().Framer().SetStopString("\r\n");
        f->Engine().Framer().SetComPort(&f->Engine().Port());
        f->CopyData(9, "SID\r\n1");
        QVERIFY(f->Engine().TakeReply().isEmpty());
        f->CopyData(9, "\r\n->");
        QCOMPARE(f->Engine().TakeReply(), QByteArray("1"));
        QVERIFY(!f->Engine().Framer().Attached());
        chartLines.SetComPort(nullptr);

        // Copy-data kinds 0-4 are the panels. A text too long for its panel
        // is shown shortened, whole in the tool tip, and kept whole.
        f->CopyData(3, "10.0.0.1:99");
        QCOMPARE(f->PanelText(TStatusPanel::IpPort), QStringLiteral("10.0.0.1:99"));
        const QString longText = QStringLiteral("Client connected: ") + QString(200, u'x');
        f->ShowStatus(longText, TStatusPanel::SocketStatus);
        QCOMPARE(f->PanelText(TStatusPanel::SocketStatus), longText);
        auto* panel = f->findChild<QLabel*>(QStringLiteral("StatusPanel4"));
        QVERIFY(panel && panel->text().endsWith(QChar(0x2026)) &&
                panel->text().size() < longText.size());
        QCOMPARE(panel->toolTip(), longText);
        f->ShowStatus(QStringLiteral("short"), TStatusPanel::SocketStatus);
        QCOMPARE(panel->text(), QStringLiteral("short"));
        QCOMPARE(panel->toolTip(), QStringLiteral("[Socket Status]"));
    }

    // The relay on the sensor's pty with real clients: counter and slots,
    // sensor data to every client, client data to the sensor, zero bytes.
    void serverMode() {
        TMainForm* f = StartRelay();
        QVERIFY(f);
        TSimPty& pty = *m_pty;
        const quint16 port = f->TcpLink()->ServerPort();
        QVERIFY(port != 0);
        QCOMPARE(f->PanelText(TStatusPanel::SocketStatus), LabelText(116));
        QCOMPARE(f->PanelText(TStatusPanel::IpPort), QStringLiteral("127.0.0.1:%1").arg(port));
        QVERIFY(f->Ui().Datei_UpdateFirmware->isEnabled() || !f->ComPort()->Connected());
        QTRY_VERIFY_WITH_TIMEOUT(f->ComPort()->Connected(), 5000);

        auto c1 = ConnectClient(port);
        QTRY_COMPARE_WITH_TIMEOUT(f->PanelText(TStatusPanel::TcpCounter), QStringLiteral("1"),
                                  5000);
        QTRY_VERIFY_WITH_TIMEOUT(c1->state() == QAbstractSocket::ConnectedState, 5000);
        QCOMPARE(f->PanelText(TStatusPanel::SocketStatus),
                 LabelText(119) + QStringLiteral(" 127.0.0.1:%1").arg(c1->localPort()));
        auto c2 = ConnectClient(port);
        QTRY_COMPARE_WITH_TIMEOUT(f->PanelText(TStatusPanel::TcpCounter), QStringLiteral("2"),
                                  5000);

        // A client's command reaches the sensor; its answer reaches both.
        QTRY_VERIFY_WITH_TIMEOUT(
            pty.Sensor().ReceivedBytes().endsWith(" INFO\r\n") && !f->SensorBusy(), 10000);
        pty.Sensor().ClearTrace();
        c1->write("SID\r");
        QTRY_VERIFY_WITH_TIMEOUT(pty.Sensor().SentBytes().endsWith("->"), 5000);
        const QByteArray answer = pty.Sensor().SentBytes();
        QTRY_VERIFY_WITH_TIMEOUT(c1->peek(1 << 20).endsWith(answer), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(c2->peek(1 << 20).endsWith(answer), 5000);
        QVERIFY(f->Link().TcpDelay() == 100);

        // Zero bytes cut their read; garbage is passed on as it is.
        pty.Sensor().ClearTrace();
        c2->write(QByteArray("\x01\xff"
                             "AB\0CD",
                             7));
        QTRY_COMPARE_WITH_TIMEOUT(pty.Sensor().ReceivedBytes(),
                                  QByteArray("\x01\xff"
                                             "AB"),
                                  5000);

        // Client 1 leaves, client 3 takes its slot.
        QTcpSocket* second = f->TcpLink()->ClientSockets().at(1);
        c1->disconnectFromHost();
        QTRY_COMPARE_WITH_TIMEOUT(f->PanelText(TStatusPanel::TcpCounter), QStringLiteral("1"),
                                  5000);
        QCOMPARE(f->PanelText(TStatusPanel::SocketStatus), LabelText(120));
        auto c3 = ConnectClient(port);
        QTRY_COMPARE_WITH_TIMEOUT(f->PanelText(TStatusPanel::TcpCounter), QStringLiteral("2"),
                                  5000);
        QCOMPARE(f->TcpLink()->ClientSockets().size(), 2);
        QCOMPARE(f->TcpLink()->ClientSockets().at(1), second);

        // A client that leaves while the port is closed is released too.
        f->Ui().Datei_Open->trigger();
        QVERIFY(!f->ComPort()->Connected());
        c3->disconnectFromHost();
        QTRY_COMPARE_WITH_TIMEOUT(f->TcpLink()->ClientCount(), 1, 5000);
        QCOMPARE(f->PanelText(TStatusPanel::TcpCounter), QStringLiteral("1"));

        // Closing the window closes the relay.
        QVERIFY(f->close());
        QVERIFY(!f->TcpLink()->Listening());
        QTRY_COMPARE_WITH_TIMEOUT(c2->state(), QAbstractSocket::UnconnectedState, 5000);
    }

    // A client floods the relay with 1 MiB of every byte but zero while the
    // sensor holds the line with XOFF for a while: it all reaches the
    // sensor, in order; during the hold nothing leaves, the port stays
    // open and the relay holds the client back instead of queueing.
    void burstFromClient() {
        TMainForm* f = StartRelay();
        QVERIFY(f);
        TSimPty& pty = *m_pty;
        TSimSensor& sensor = pty.Sensor();
        QTRY_VERIFY_WITH_TIMEOUT(f->ComPort()->Connected(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(sensor.ReceivedBytes().endsWith(" INFO\r\n") && !f->SensorBusy(),
                                 10000);
        QByteArray fromSensor;
        connect(f->ComPort(), &TComPort::DataReceived, this,
                [&fromSensor](const QByteArray& d) { fromSensor += d; });
        auto c = ConnectClient(f->TcpLink()->ServerPort());
        QTRY_COMPARE_WITH_TIMEOUT(f->TcpLink()->ClientCount(), 1, 5000);
        QByteArray burst(1 << 20, '\0');
        for (qsizetype i = 0; i < burst.size(); ++i)
            burst[i] = char(1 + i % 255);
        sensor.ClearTrace();
        int ticks = 0;
        qint64 mostQueued = 0;
        QTimer tick;
        connect(&tick, &QTimer::timeout, this, [&] {
            ++ticks;
            mostQueued = std::max(mostQueued, f->ComPort()->PendingOutput());
        });
        tick.start(10);
        c->write(burst);

        QTRY_VERIFY_WITH_TIMEOUT(sensor.ReceivedBytes().size() > 256 * 1024, 20000);
        sensor.HoldHost(true);
        QTRY_VERIFY_WITH_TIMEOUT(!f->ReadyForRelayData(), 10000); // the queue filled up
        const qsizetype before = sensor.ReceivedBytes().size();
        sensor.SendMarker("\x01"); // the sensor echoes no control characters
        QTRY_VERIFY_WITH_TIMEOUT(fromSensor.contains('\x01'), 5000);
        QCOMPARE(sensor.ReceivedBytes().size(), before);
        QVERIFY(f->ComPort()->Connected());
        QVERIFY(c->bytesToWrite() > 0 || sensor.ReceivedBytes().size() < burst.size());
        sensor.HoldHost(false);

        // The client ends its side while its data is still on the way (a
        // half close: it still takes the echo, so nothing resets the line).
        QTRY_COMPARE_WITH_TIMEOUT(c->bytesToWrite(), qint64(0), 60000);
        ::shutdown(int(c->socketDescriptor()), SHUT_WR);
        QTRY_VERIFY2_WITH_TIMEOUT(sensor.ReceivedBytes().size() >= burst.size(),
                                  qPrintable(QStringLiteral("%1 %2 %3 %4 %5")
                                                 .arg(sensor.ReceivedBytes().size())
                                                 .arg(c->bytesToWrite())
                                                 .arg(f->ComPort()->PendingOutput())
                                                 .arg(f->TcpLink()->ClientCount())
                                                 .arg(int(c->state()))),
                                  20000);
        QVERIFY(sensor.ReceivedBytes() == burst);
        QVERIFY(ticks > 0);
        QVERIFY(mostQueued <= TComPort::RelayHighMark + TTcpLink::ReadChunk);
        QTRY_COMPARE_WITH_TIMEOUT(f->TcpLink()->ClientCount(), 0, 5000);
    }

    // The relay's port is taken: the system's text in an error box, the
    // start ends there (no start-up timer), the program goes on.
    void serverPortTaken() {
        QTcpServer taken;
        QVERIFY(taken.listen(QHostAddress::LocalHost));
        TMainForm* f =
            Start({{QStringLiteral("LocalServer"), QStringLiteral("1")},
                   {QStringLiteral("TCPServerIP"), QStringLiteral("127.0.0.1")},
                   {QStringLiteral("TCPServerPort"), QString::number(taken.serverPort())}},
                  NoPort());
        QCOMPARE(m_questions.size(), 1);
        QVERIFY(!m_questions.at(0).isEmpty());
        QVERIFY(!f->StartUpTimer().isActive());
        QVERIFY(!f->TcpLink()->Listening());
        QCOMPARE(f->PanelText(TStatusPanel::SocketStatus), QString());
        QVERIFY(f->FormCloseQuery());
    }

    // With the default delay, text waits for the timer, which a second
    // piece does not restart; a very large batch leaves at once.
    void serverBatching() {
        TMainForm* f = StartRelay();
        QVERIFY(f);
        QTRY_VERIFY_WITH_TIMEOUT(f->ComPort()->Connected(), 5000);
        auto c = ConnectClient(f->TcpLink()->ServerPort());
        QTRY_COMPARE_WITH_TIMEOUT(f->TcpLink()->ClientCount(), 1, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!f->Link().TcpBatch().isActive(), 5000);
        c->readAll();

        f->Link().SendTcp("a");
        QVERIFY(f->Link().TcpBatch().isActive());
        const int timer = f->Link().TcpBatch().timerId();
        f->Link().SendTcp("b");
        QCOMPARE(f->Link().TcpBatch().timerId(), timer);
        QCOMPARE(f->Link().TcpPending(), QByteArray("ab"));
        QTRY_VERIFY_WITH_TIMEOUT(c->peek(16).contains("ab"), 5000);
        QVERIFY(f->Link().TcpPending().isEmpty());

        f->Link().SendTcp(QByteArray(TLink::MaxTcpPending, 'z'));
        QVERIFY(f->Link().TcpPending().isEmpty());
        QVERIFY(!f->Link().TcpBatch().isActive());
        QTRY_VERIFY_WITH_TIMEOUT(c->bytesAvailable() >= TLink::MaxTcpPending, 10000);
    }

    // With "TCPServerDelay" 0 what the sensor sends leaves at once, without
    // the batching timer.
    void serverDelayZero() {
        TMainForm* f = StartRelay({{QStringLiteral("TCPServerDelay"), QStringLiteral("0")}});
        QVERIFY(f);
        QCOMPARE(f->Link().TcpDelay(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(f->ComPort()->Connected(), 5000);
        auto c = ConnectClient(f->TcpLink()->ServerPort());
        QTRY_COMPARE_WITH_TIMEOUT(f->PanelText(TStatusPanel::TcpCounter), QStringLiteral("1"),
                                  5000);
        c->readAll();
        int timerStarts = 0;
        connect(&f->Link().TcpBatch(), &QTimer::timeout, this, [&timerStarts] { ++timerStarts; });
        for (char ch : QByteArray("xyz")) {
            c->write(QByteArray(1, ch)); // echoed by the sensor, one character at a time
            QTRY_VERIFY_WITH_TIMEOUT(c->peek(1 << 20).endsWith(ch), 5000);
        }
        QCOMPARE(timerStarts, 0);
        QVERIFY(f->Link().TcpPending().isEmpty());
    }

    // Many clients while the sensor streams a line every 10 ms: every client
    // gets every byte in order; then connect/disconnect cycles give every
    // slot and descriptor back. (bench/relay_load runs the full-size load.)
    void relayUnderLoad() {
        TMainForm* f = StartRelay();
        QVERIFY(f);
        TSimPty& pty = *m_pty;
        const quint16 port = f->TcpLink()->ServerPort();
        QTRY_VERIFY_WITH_TIMEOUT(f->ComPort()->Connected(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(
            pty.Sensor().ReceivedBytes().endsWith(" INFO\r\n") && !f->SensorBusy(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!f->StartUpTimer().isActive(), 5000);
        const int before = OpenDescriptors();

        std::vector<std::unique_ptr<QTcpSocket>> clients;
        for (int i = 0; i < 10; ++i) {
            clients.push_back(ConnectClient(port));
            QTRY_COMPARE_WITH_TIMEOUT(f->TcpLink()->ClientCount(), i + 1, 5000);
        }
        pty.Sensor().ClearTrace();
        pty.Sensor().Receive("S1FORMAT s\rS1OUTPUT 0\rS1TIME 10\rS1ON 1\r");
        QTRY_VERIFY_WITH_TIMEOUT(pty.Sensor().SentBytes().count("\r\n") > 150, 10000);
        pty.Sensor().Receive("S1ON 0\r");
        QTRY_VERIFY_WITH_TIMEOUT(pty.Sensor().SentBytes().endsWith("->"), 5000);
        const QByteArray sent = pty.Sensor().SentBytes();
        for (auto& c : clients) {
            // (What the relay sent before, such as the end of the greeting's
            // answers, may come first.)
            QTRY_VERIFY_WITH_TIMEOUT(c->peek(1 << 24).endsWith(sent), 10000);
            c->readAll();
        }

        for (int cycle = 0; cycle < 100; ++cycle) {
            auto c = ConnectClient(port);
            QTRY_COMPARE_WITH_TIMEOUT(f->TcpLink()->ClientCount(), 11, 5000);
            c->abort();
            QTRY_COMPARE_WITH_TIMEOUT(f->TcpLink()->ClientCount(), 10, 5000);
        }
        QCOMPARE(f->PanelText(TStatusPanel::TcpCounter), QStringLiteral("10"));
        clients.clear();
        QTRY_COMPARE_WITH_TIMEOUT(f->PanelText(TStatusPanel::TcpCounter), QStringLiteral("0"),
                                  5000);
        QTRY_COMPARE_WITH_TIMEOUT(OpenDescriptors(), before, 5000);
    }

    // Two ORXTERMs: one relays its sensor's pty, the other works with that
    // sensor in Remote mode as if it were local.
    void twoProgramsThroughTheRelay() {
        TMainForm* relay = StartRelay();
        QVERIFY(relay);
        QTRY_VERIFY_WITH_TIMEOUT(relay->ComPort()->Connected(), 5000);
        TMainForm* remote = Start(
            {{QStringLiteral("Mode"), QStringLiteral("2")},
             {QStringLiteral("TCPClientIP"), QStringLiteral("127.0.0.1")},
             {QStringLiteral("TCPClientPort"), QString::number(relay->TcpLink()->ServerPort())}},
            NoPort());
        QTRY_COMPARE_WITH_TIMEOUT(relay->PanelText(TStatusPanel::TcpCounter), QStringLiteral("1"),
                                  5000);
        QTRY_VERIFY_WITH_TIMEOUT(!remote->StartUpTimer().isActive(), 5000);
        QVERIFY(remote->Ui().Befehle_Info->isEnabled());

        const QByteArray info = remote->Engine().GetCmd(
            QByteArray("INFO\r\n"), QByteArray("INFO\r\n"), QByteArray("->"), 0, 2000);
        QVERIFY2(info.contains("S/N 40001"), info.constData());
        QCOMPARE(remote->Engine().GetCmd(QByteArray("S1TIME\r\n"), QByteArray("S1TIME\r\n"),
                                         QByteArray("\r\n"), 0, 2000),
                 QByteArray("1000 ms"));
        // Both terminals show the answer.
        QTRY_VERIFY_WITH_TIMEOUT(relay->HistoryLines().contains(QStringLiteral("1000 ms")), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(remote->HistoryLines().contains(QStringLiteral("1000 ms")), 5000);
    }
};

QTEST_MAIN(TestTcpMain)
#include "tst_tcpmain.moc"
