// SPDX-License-Identifier: MIT
#include "TComSetupDlg.h"

#include "TComPortSetupDlg.h"

#include "Labels.h"
#include "MsgBox.h"
#include "Tag.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <arpa/inet.h>

namespace {
QLineEdit* Edit(QWidget* parent, const char* name, int maxLength = 0) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    if (maxLength) e->setMaxLength(maxLength);
    return e;
}
} // namespace

TComSetupDlg::TComSetupDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ComSetupDlg"));
    SetTag(this, 21);
    setWindowTitle(QStringLiteral("Konfiguration COM"));

    gb_Local = new QGroupBox(this);
    gb_Local->setObjectName(QStringLiteral("rg_Local"));
    SetTag(gb_Local, 880);
    rg_Local = new QButtonGroup(this);
    auto* modeRow = new QHBoxLayout(gb_Local);
    const char* modes[] = {"ORX COM Port", "ORX Telnet", "TCP Client"};
    for (int i = 0; i < 3; ++i) {
        auto* rb = new QRadioButton(QLatin1String(modes[i]), gb_Local);
        rb->setObjectName(QStringLiteral("rg_Local_%1").arg(i));
        rg_Local->addButton(rb, i);
        modeRow->addWidget(rb);
    }

    auto* gbPort = new QGroupBox(QStringLiteral("ORX COM Port"), this);
    gbPort->setObjectName(QStringLiteral("gb_ComPort"));
    Combo_Port = new QComboBox(gbPort);
    Combo_Port->setObjectName(QStringLiteral("Combo_Port"));
    Combo_Port->setEditable(true); // a device path may be typed
    Combo_Port->setInsertPolicy(QComboBox::NoInsert);
    Combo_Port->setMinimumContentsLength(18);
    Combo_Baudrate = new QComboBox(gbPort);
    Combo_Baudrate->setObjectName(QStringLiteral("Combo_Baudrate"));
    Combo_Baudrate->addItems(BaudRateTexts());
    auto* baudCaption = new QLabel(gbPort);
    baudCaption->setObjectName(QStringLiteral("lb_Baudrate"));
    SetTag(baudCaption, 884);
    baudCaption->setBuddy(Combo_Baudrate);
    lb_PortProblem = new QLabel(gbPort);
    lb_PortProblem->setObjectName(QStringLiteral("lb_PortProblem"));
    lb_PortProblem->setWordWrap(true);
    lb_PortProblem->setTextInteractionFlags(Qt::TextSelectableByMouse); // the command can be copied
    lb_PortProblem->setTextFormat(Qt::RichText);
    lb_PortProblem->hide();
    btn_FindSensor = new QPushButton(gbPort);
    btn_FindSensor->setObjectName(QStringLiteral("btn_FindSensor"));
    SetTag(btn_FindSensor, 180);
    btn_FindSensor->setAutoDefault(false);
    connect(btn_FindSensor, &QPushButton::clicked, this, &TComSetupDlg::FindSensorClick);
    auto* portForm = new QFormLayout(gbPort);
    portForm->addRow(QStringLiteral("Port:"), Combo_Port);
    portForm->addRow(lb_PortProblem);
    portForm->addRow(baudCaption, Combo_Baudrate);
    portForm->addRow(btn_FindSensor);

    auto* gbTelnet = new QGroupBox(QStringLiteral("ORX Telnet"), this);
    gbTelnet->setObjectName(QStringLiteral("gb_Telnet"));
    ed_TelnetPort = Edit(gbTelnet, "ed_TelnetPort", 5);
    ed_TelnetPort->setText(QStringLiteral("23"));
    ed_TelnetPort->setEnabled(false);
    ed_TelnetIP = Edit(gbTelnet, "ed_TelnetIP");
    auto* telnetForm = new QFormLayout(gbTelnet);
    telnetForm->addRow(QStringLiteral("Port:"), ed_TelnetPort);
    telnetForm->addRow(QStringLiteral("IP:"), ed_TelnetIP);

    auto* gbServer = new QGroupBox(QStringLiteral("TCP Server"), this);
    gbServer->setObjectName(QStringLiteral("gb_Server"));
    cb_Server = new QCheckBox(gbServer);
    cb_Server->setObjectName(QStringLiteral("cb_Server"));
    SetTag(cb_Server, 885);
    ed_TCPServerPort = Edit(gbServer, "ed_TCPServerPort", 5);
    ed_TCPServerIP = Edit(gbServer, "ed_TCPServerIP");
    ed_TCPServerIP->setEnabled(false);
    lb_TcpDelay = new QLabel(gbServer);
    lb_TcpDelay->setObjectName(QStringLiteral("lb_TcpDelay"));
    lb_TcpDelay->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* serverForm = new QFormLayout(gbServer);
    serverForm->addRow(cb_Server);
    serverForm->addRow(QStringLiteral("Port:"), ed_TCPServerPort);
    serverForm->addRow(QStringLiteral("IP:"), ed_TCPServerIP);
    serverForm->addRow(QStringLiteral("ms:"), lb_TcpDelay);

    auto* gbClient = new QGroupBox(QStringLiteral("TCP Client"), this);
    gbClient->setObjectName(QStringLiteral("gb_Client"));
    ed_TCPClientPort = Edit(gbClient, "ed_TCPClientPort", 5);
    ed_TCPClientIP = Edit(gbClient, "ed_TCPClientIP");
    auto* clientForm = new QFormLayout(gbClient);
    clientForm->addRow(QStringLiteral("Port:"), ed_TCPClientPort);
    clientForm->addRow(QStringLiteral("IP:"), ed_TCPClientIP);

    // An address and a port number are always shown whole, however much
    // room the port group takes for its reason.
    const int addressWidth =
        fontMetrics().horizontalAdvance(QStringLiteral("255.255.255.255")) + 12;
    const int portWidth = fontMetrics().horizontalAdvance(QStringLiteral("655350")) + 12;
    for (QLineEdit* e : {ed_TelnetIP, ed_TCPServerIP, ed_TCPClientIP})
        e->setMinimumWidth(addressWidth);
    for (QLineEdit* e : {ed_TelnetPort, ed_TCPServerPort, ed_TCPClientPort})
        e->setMinimumWidth(portWidth);

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    SetTag(OKBtn, 1);
    OKBtn->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Abbrechen"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    SetTag(Button2, 2);

    auto* grid = new QGridLayout;
    grid->addWidget(gbPort, 0, 0);
    grid->addWidget(gbTelnet, 0, 1);
    grid->addWidget(gbServer, 1, 0);
    grid->addWidget(gbClient, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(Button2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(gb_Local);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    connect(rg_Local, &QButtonGroup::idClicked, this, &TComSetupDlg::UpdateEnabled);
    connect(cb_Server, &QCheckBox::toggled, this, &TComSetupDlg::UpdateEnabled);
    connect(Combo_Port, &QComboBox::editTextChanged, this, &TComSetupDlg::UpdatePortProblem);
    connect(OKBtn, &QPushButton::clicked, this, &TComSetupDlg::OKBtnClick);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

void TComSetupDlg::FormShow(const TLinkSettings& s, const QList<TSerialPortEntry>& ports) {
    for (QLineEdit* e : {ed_TelnetPort, ed_TCPServerPort, ed_TCPClientPort}) {
        e->setToolTip(LabelText(886));
        e->setStatusTip(LabelText(886));
    }
    for (QLineEdit* e : {ed_TCPClientIP, ed_TelnetIP}) {
        e->setToolTip(LabelText(887));
        e->setStatusTip(LabelText(887));
    }
    lb_TcpDelay->setToolTip(LabelText(888));
    lb_TcpDelay->setText(QString::number(s.ServerDelay));
    ed_TCPServerPort->setText(s.ServerPort);
    ed_TCPServerIP->setText(s.ServerIP);
    ed_TCPClientPort->setText(s.ClientPort);
    ed_TCPClientIP->setText(s.ClientIP);
    ed_TelnetIP->setText(s.TelnetIP);
    FillPortCombo(Combo_Port, ports, s.Port);
    Combo_Baudrate->setCurrentIndex(int(s.BaudRate));
    cb_Server->setChecked(s.LocalServer);
    rg_Local->button(int(s.Mode))->setChecked(true);
    btn_FindSensor->setVisible(bool(FindSensor));
    UpdateEnabled();
}

// A port found on the system is put in as its name, as the list does;
// any other (a path given by hand) as it is.
void TComSetupDlg::ChoosePortAndRate(const QString& port, int rate) {
    int at = -1;
    for (int i = 0; i < Combo_Port->count() && at < 0; ++i)
        if (Combo_Port->itemData(i, Qt::ToolTipRole).toString() == port ||
            Combo_Port->itemData(i).toString() == port)
            at = i;
    if (at >= 0) Combo_Port->setCurrentIndex(at);
    Combo_Port->setEditText(at >= 0 ? Combo_Port->itemData(at).toString() : port);
    Combo_Baudrate->setCurrentIndex(int(StrToBaudRate(QString::number(rate))));
    rg_Local->button(int(TLinkMode::Local))->setChecked(true);
    UpdateEnabled();
    UpdatePortProblem();
}

void TComSetupDlg::FindSensorClick() {
    QString port;
    int rate = 0;
    if (FindSensor && FindSensor(&port, &rate)) ChoosePortAndRate(port, rate);
}

TLinkSettings TComSetupDlg::Values() const {
    TLinkSettings s;
    s.Mode = LinkModeFromInt(rg_Local->checkedId());
    s.Port = PortComboName(Combo_Port);
    s.BaudRate = TBaudRate(std::max(0, Combo_Baudrate->currentIndex()));
    s.TelnetIP = ed_TelnetIP->text();
    s.LocalServer = cb_Server->isChecked();
    s.ServerPort = ed_TCPServerPort->text();
    s.ServerIP = ed_TCPServerIP->text();
    s.ServerDelay = lb_TcpDelay->text().toInt();
    s.ClientPort = ed_TCPClientPort->text();
    s.ClientIP = ed_TCPClientIP->text();
    return s;
}

void TComSetupDlg::SetPortProblem(const TPortProblem& problem) {
    m_portProblem = problem;
    UpdatePortProblem();
}

void TComSetupDlg::UpdatePortProblem() {
    const bool shown =
        m_portProblem.IsProblem() && PortComboName(Combo_Port) == m_portProblem.Port.trimmed();
    if (shown) {
        const QString fix = m_portProblem.FixText();
        // The reason in bold, what to do below it, line by line.
        QString html = QStringLiteral("<b>%1</b>").arg(m_portProblem.ShortText().toHtmlEscaped());
        for (const QString& line : fix.split(u'\n', Qt::SkipEmptyParts))
            html += QStringLiteral("<br>") + line.toHtmlEscaped();
        lb_PortProblem->setText(html);
    }
    lb_PortProblem->setVisible(shown);
}

void TComSetupDlg::UpdateEnabled() {
    const int i = rg_Local->checkedId();
    Combo_Port->setEnabled(i == 0);
    Combo_Baudrate->setEnabled(i == 0);
    cb_Server->setEnabled(i == 0);
    ed_TCPServerPort->setEnabled(i == 0 && cb_Server->isChecked());
    ed_TelnetIP->setEnabled(i == 1);
    ed_TCPClientPort->setEnabled(i == 2);
    ed_TCPClientIP->setEnabled(i == 2);
    ed_TelnetPort->setEnabled(false);
    ed_TCPServerIP->setEnabled(false);
}

bool TComSetupDlg::IsValidPortText(const QString& text) {
    bool ok = false;
    int value = text.toInt(&ok);
    if (!ok) value = 0;
    if (value < 0) return false; // a sign is never part of a port number
    value %= 65536;
    return text == QString::number(value);
}

bool TComSetupDlg::IsValidAddress(const QString& text) {
    const QByteArray bytes = text.toLatin1();
    if (bytes.contains('\0')) return false;
    return ::inet_addr(bytes.constData()) != INADDR_NONE;
}

QLineEdit* TComSetupDlg::FirstInvalidField(QString* problem) const {
    struct TField {
        QLineEdit* edit;
        const char* name;
        bool port;
    };
    const TField fields[] = {
        {ed_TCPServerPort, "TCP Server: Port", true}, {ed_TCPClientPort, "TCP Client: Port", true},
        {ed_TCPClientIP, "TCP Client: IP", false},    {ed_TelnetPort, "ORX Telnet: Port", true},
        {ed_TelnetIP, "ORX Telnet: IP", false},
    };
    for (const TField& f : fields) {
        const QString text = f.edit->text();
        if (f.port ? IsValidPortText(text) : IsValidAddress(text)) continue;
        if (problem)
            *problem = LabelText(f.port ? 131 : 132).arg(QLatin1String(f.name), text.left(64));
        return f.edit;
    }
    return nullptr;
}

// "Error" and what is wrong; the field gets the focus. A field that the
// chosen mode greys out is made editable where it is, rather than the mode
// being switched under the user: OK then still connects the way chosen.
void TComSetupDlg::ShowInvalidField(QLineEdit* field, const QString& problem) {
    TFormMsgBox::ShowMessage(QStringLiteral("Error\r") + problem);
    field->setEnabled(true);
    field->setFocus();
    field->selectAll();
}

void TComSetupDlg::OKBtnClick() {
    QString problem;
    if (QLineEdit* field = FirstInvalidField(&problem)) {
        ShowInvalidField(field, problem);
        return;
    }
    accept();
}

bool TComSetupDlg::Execute(TLinkSettings& settings, const QList<TSerialPortEntry>& ports) {
    FormShow(settings, ports);
    if (exec() != QDialog::Accepted) return false;
    settings = Values();
    return true;
}
