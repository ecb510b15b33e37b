// SPDX-License-Identifier: MIT
#include "TFlashDlg.h"

#include "Labels.h"
#include "MsgBox.h"
#include "Tag.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

TFlashDlg::TFlashDlg(THost& host, QWidget* parent)
    : QDialog(parent), m_host(host), m_transfer(host) {
    setObjectName(QStringLiteral("FlashDlg"));
    SetTag(this, 0); // the caller sets the caption
    setModal(true);
    // No close box: the transfer ends by itself, or by the Abort button.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    lb_msg = new QLabel(this);
    lb_msg->setObjectName(QStringLiteral("lb_msg"));
    lb_msg->setAlignment(Qt::AlignCenter);
    lb_msg->setWordWrap(true);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    AbortBtn = new QPushButton(QStringLiteral("Abbruch"), this);
    AbortBtn->setObjectName(QStringLiteral("AbortBtn"));
    SetTag(AbortBtn, 2);
    AbortBtn->setAutoDefault(false);
    connect(AbortBtn, &QPushButton::clicked, &m_transfer, &TLineTransfer::Abort);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(AbortBtn);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lb_msg, 1);
    layout->addWidget(ProgressBar1);
    layout->addLayout(buttons);
    resize(440, 160);

    connect(&m_transfer, &TLineTransfer::Progressed, this, &TFlashDlg::ShowProgress);
    connect(&m_transfer, &TLineTransfer::Ended, this,
            [this] { done(m_transfer.LastStop() == TStop::Done ? ResultOk : ResultAbort); });
}

void TFlashDlg::Prepare(const QString& caption, const QString& message, int maximum) {
    setWindowTitle(caption);
    lb_msg->setText(message);
    AbortBtn->setVisible(Mode() == SendMode);
    ProgressBar1->setRange(0, std::max(maximum, 1));
    ProgressBar1->setValue(0);
    m_fileError = false;
}

int TFlashDlg::Send(const QString& caption, const QString& message, const QString& file) {
    QList<QByteArray> lines;
    QString error;
    if (!ReadLines(file, &lines, &error)) {
        m_fileError = true;
        m_host.ShowMsgBox(LabelText(515) + u'\r' + error, mtError, mbOK);
        return ResultAbort;
    }
    return SendLines(caption, message, lines);
}

int TFlashDlg::SendLines(const QString& caption, const QString& message,
                         const QList<QByteArray>& lines) {
    m_transfer.StartSend(lines);
    Prepare(caption, message, int(lines.size()));
    return Run();
}

int TFlashDlg::Wait(const QString& caption, const QString& message, int limitMs) {
    m_transfer.StartWait(limitMs);
    Prepare(caption, message, limitMs);
    return Run();
}

// Shown until the transfer ends (it may have ended already).
int TFlashDlg::Run() {
    if (!m_transfer.Running()) return m_transfer.LastStop() == TStop::Done ? ResultOk : ResultAbort;
    return exec();
}

void TFlashDlg::ShowProgress() {
    if (Mode() == SendMode)
        ProgressBar1->setValue(LinesSent());
    else
        ProgressBar1->setValue(std::min(Position(), m_transfer.Limit()));
}

void TFlashDlg::reject() {
    // Esc answers the Abort button, which only the send mode has.
    if (Mode() == SendMode) m_transfer.Abort();
}

void TFlashDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
}
