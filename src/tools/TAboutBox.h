// SPDX-License-Identifier: MIT
#pragma once

#include "THost.h"

#include <QDialog>

class QLabel;
class QPushButton;

// About box: the program's icon, product name, version line ("Version
// %d.%d Build (%d)") and copyright from the version information, the
// maker's postal address, and a web and an e-mail link that the desktop
// opens (the hand cursor over them).
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    TAboutBox(THost& host, QWidget* parent = nullptr);

    QLabel* Image = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* lb_Version = nullptr;
    QLabel* lb_copyright = nullptr;
    QLabel* lb_Address = nullptr;
    QLabel* lb_Web = nullptr;
    QLabel* lb_Mail = nullptr;
    QPushButton* OKButton = nullptr;

    // What a click on the web or the e-mail link asks the desktop to open.
    QUrl WebUrl() const;
    QUrl MailUrl() const;
    // The maker's addresses (postal lines separated by "\n"); those left
    // empty are not shown. The box starts with those the build was
    // configured with.
    void SetAddresses(const QString& postal, const QString& web, const QString& mail);

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* CreateLink(const char* name);
    void FillVersionTexts();

    THost& m_host;
};
