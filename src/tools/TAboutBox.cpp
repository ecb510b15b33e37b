// SPDX-License-Identifier: MIT
#include "TAboutBox.h"

#include "OrxVersion.h"
#include "Tag.h"
#include "VersionInfo.h"

#include <QApplication>
#include <QDesktopServices>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {
constexpr int kImageSize = 64;
}

TAboutBox::TAboutBox(THost& host, QWidget* parent) : QDialog(parent), m_host(host) {
    setObjectName(QStringLiteral("AboutBox"));
    SetTag(this, 200);
    setWindowTitle(QStringLiteral("Info"));
    setModal(true);

    Image = new QLabel(this);
    Image->setObjectName(QStringLiteral("Image"));
    Image->setFixedSize(kImageSize, kImageSize);
    Image->setAlignment(Qt::AlignCenter);

    auto text = [this](QLabel*& member, const char* name) {
        member = new QLabel(this);
        member->setObjectName(QLatin1String(name));
        member->setTextInteractionFlags(Qt::TextSelectableByMouse);
    };
    text(ProductName, "ProductName");
    QFont big = ProductName->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    ProductName->setFont(big);
    text(lb_Version, "lb_Version");
    text(lb_copyright, "lb_copyright");
    text(lb_Address, "lb_Address");
    lb_Web = CreateLink("lb_Web");
    lb_Mail = CreateLink("lb_Mail");

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    SetTag(OKButton, 1);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->addWidget(ProductName);
    texts->addWidget(lb_Version);
    texts->addWidget(lb_copyright);
    texts->addSpacing(10);
    texts->addWidget(lb_Address);
    texts->addWidget(lb_Web);
    texts->addWidget(lb_Mail);

    auto* body = new QHBoxLayout;
    body->addWidget(Image, 0, Qt::AlignTop);
    body->addSpacing(12);
    body->addLayout(texts, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKButton);
    buttons->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->addLayout(body);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    SetAddresses(QString::fromUtf8(OrxVersion::PostalAddress),
                 QString::fromUtf8(OrxVersion::WebAddress),
                 QString::fromUtf8(OrxVersion::MailAddress));
    FillVersionTexts();
}

void TAboutBox::SetAddresses(const QString& postal, const QString& web, const QString& mail) {
    lb_Address->setText(postal);
    lb_Web->setText(web);
    lb_Web->setToolTip(web);
    lb_Mail->setText(mail);
    lb_Mail->setToolTip(mail);
    // The postal lines stand apart from the links below them.
    lb_Address->setContentsMargins(0, 0, 0, postal.isEmpty() ? 0 : 6);
    for (QLabel* label : {lb_Address, lb_Web, lb_Mail})
        label->setVisible(!label->text().isEmpty());
}

// A label that the desktop opens on a click: underlined in the link colour,
// with the hand cursor.
QLabel* TAboutBox::CreateLink(const char* name) {
    auto* link = new QLabel(this);
    link->setObjectName(QLatin1String(name));
    QFont font = link->font();
    font.setUnderline(true);
    link->setFont(font);
    link->setForegroundRole(QPalette::Link);
    link->setCursor(Qt::PointingHandCursor);
    link->installEventFilter(this);
    return link;
}

QUrl TAboutBox::WebUrl() const {
    return QUrl(lb_Web->text());
}

QUrl TAboutBox::MailUrl() const {
    return QUrl(QStringLiteral("mailto:") + lb_Mail->text());
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == lb_Web || watched == lb_Mail) && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        QDesktopServices::openUrl(watched == lb_Web ? WebUrl() : MailUrl());
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

// Product name, version line and copyright, read from the version
// information each time the box is drawn; the image is the program's icon.
void TAboutBox::FillVersionTexts() {
    const TVersionInfo info;
    ProductName->setText(info.String(TVersionInfo::ProductName));
    lb_Version->setText(info.VersionLine());
    lb_copyright->setText(info.String(TVersionInfo::LegalCopyright));
    if (!Image->pixmap().isNull()) return;
    const QIcon icon = QApplication::windowIcon();
    if (!icon.isNull()) Image->setPixmap(icon.pixmap(kImageSize, kImageSize));
}

void TAboutBox::showEvent(QShowEvent* event) {
    FillVersionTexts();
    QDialog::showEvent(event);
}

void TAboutBox::paintEvent(QPaintEvent* event) {
    FillVersionTexts(); // unchanged texts cost nothing: a label ignores the same text
    QDialog::paintEvent(event);
}
