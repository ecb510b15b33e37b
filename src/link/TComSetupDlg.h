// SPDX-License-Identifier: MIT
#pragma once

#include "LinkMode.h"
#include "PortProblem.h"
#include "TComPort.h"

#include <QDialog>
#include <QString>

#include <functional>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// What the connection dialog edits; the dialog hands it back and the main
// window applies it. Port fields are texts as typed (validated on OK).
struct TLinkSettings {
    TLinkMode Mode = TLinkMode::Local;
    QString Port; // serial port name or device path
    TBaudRate BaudRate = TBaudRate::br9600;
    QString TelnetIP = QStringLiteral("127.0.0.1");
    bool LocalServer = false;
    QString ServerPort = QStringLiteral("10001");
    QString ServerIP = QStringLiteral("0.0.0.0");
    int ServerDelay = 100; // shown only
    QString ClientPort = QStringLiteral("10001");
    QString ClientIP = QStringLiteral("127.0.0.1");
};

// Connection dialog: the link mode, the serial port and its rate, the
// sensor's address for Telnet mode, the relay server's port, and the
// address and port of a relay to connect to. Fields that do not belong to
// the chosen mode are disabled. OK checks every port and address field,
// whatever the mode, and shows "Error" for the first invalid one.
class TComSetupDlg : public QDialog {
    Q_OBJECT
public:
    explicit TComSetupDlg(QWidget* parent = nullptr);

    // Shows the dialog modally with `settings`; on OK writes the edited
    // values back and returns true. `ports` fills the port list.
    bool Execute(TLinkSettings& settings, const QList<TSerialPortEntry>& ports);

    // Fills the fields from `settings` (the dialog's FormShow).
    void FormShow(const TLinkSettings& settings, const QList<TSerialPortEntry>& ports);
    TLinkSettings Values() const;
    // Why the port did not open, beside the port field with what to do
    // about it; no problem hides it. It is shown while the field names
    // that port.
    void SetPortProblem(const TPortProblem& problem);
    // The OK button's check, over every field whatever the mode: the first
    // invalid field, or null when all are valid. `problem` says what is
    // wrong with it.
    QLineEdit* FirstInvalidField(QString* problem = nullptr) const;
    bool Validate() const { return !FirstInvalidField(); }

    // A port field: the decimal text of a number 0..65535, without sign,
    // blanks or leading zeros.
    static bool IsValidPortText(const QString& text);
    // An address field: a dotted IPv4 address that the system's parser
    // accepts, other than 255.255.255.255.
    static bool IsValidAddress(const QString& text);

    // "Find sensor": looks for sensors and lets the user choose one; true
    // with its port (a name or device path) and rate. Without it the
    // button is hidden.
    std::function<bool(QString* port, int* rate)> FindSensor;
    // Puts a port and rate into the fields, as "Find sensor" does.
    void ChoosePortAndRate(const QString& port, int rate);

    QButtonGroup* rg_Local = nullptr;
    QGroupBox* gb_Local = nullptr;
    QComboBox* Combo_Port = nullptr;
    QComboBox* Combo_Baudrate = nullptr;
    QLineEdit* ed_TelnetPort = nullptr;
    QLineEdit* ed_TelnetIP = nullptr;
    QCheckBox* cb_Server = nullptr;
    QLineEdit* ed_TCPServerPort = nullptr;
    QLineEdit* ed_TCPServerIP = nullptr;
    QLabel* lb_TcpDelay = nullptr;
    QLineEdit* ed_TCPClientPort = nullptr;
    QLineEdit* ed_TCPClientIP = nullptr;
    QLabel* lb_PortProblem = nullptr;
    QPushButton* btn_FindSensor = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* Button2 = nullptr;

private:
    void UpdateEnabled();
    void UpdatePortProblem();
    void OKBtnClick();
    void FindSensorClick();
    void ShowInvalidField(QLineEdit* field, const QString& problem);

    TPortProblem m_portProblem;
};
