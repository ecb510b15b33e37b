// SPDX-License-Identifier: MIT
#pragma once

#include "LineTransfer.h"
#include "THost.h"

#include <QByteArray>
#include <QDialog>
#include <QList>
#include <QTimer>

class QLabel;
class QProgressBar;
class QPushButton;

// The transfer dialog: shows a file transfer (TLineTransfer) as it runs,
// sending a text file to the sensor line by line (send mode) or waiting
// for the sensor to report the end of its flashing (wait mode). It is
// modal and has no close box; its caption and message come from the
// caller. The progress bar shows the lines the sensor has been given, or
// the time waited. The Abort button and Esc stop a send.
class TFlashDlg : public QDialog {
    Q_OBJECT
public:
    using TMode = TLineTransfer::TMode;
    static constexpr TMode SendMode = TLineTransfer::SendMode;
    static constexpr TMode WaitMode = TLineTransfer::WaitMode;
    // Modal results: every line sent, or the wait over (OK); the transfer
    // stopped by the Abort button, Esc, a BEL or an unreadable file.
    static constexpr int ResultOk = QDialog::Accepted;
    static constexpr int ResultAbort = 3;
    using TStop = TTransferStop;
    TStop LastStop() const { return m_fileError ? TStop::FileError : m_transfer.LastStop(); }
    static constexpr qint64 MaxFileSize = TLineTransfer::MaxFileSize;

    TFlashDlg(THost& host, QWidget* parent = nullptr);

    static bool ReadLines(const QString& file, QList<QByteArray>* lines, QString* error) {
        return TLineTransfer::ReadLines(file, lines, error);
    }

    // Send entry: reads the file and sends its lines. A file that cannot
    // be read sends nothing: the reason is shown and the result is Abort.
    int Send(const QString& caption, const QString& message, const QString& file);
    // Send entry for lines the caller has read already.
    int SendLines(const QString& caption, const QString& message, const QList<QByteArray>& lines);
    // Wait entry: waits for the flashing to end, at most `limitMs`. OK only
    // when the sensor reported the end; Abort when it ran to the limit, the
    // sensor sent BEL or the port went away (LastStop says which).
    int Wait(const QString& caption, const QString& message, int limitMs);

    TMode Mode() const { return m_transfer.Mode(); }
    int Total() const { return m_transfer.Total(); }
    int LinesLeft() const { return m_transfer.LinesLeft(); }
    // Send mode: the lines handed to the link so far (what the bar shows).
    int LinesSent() const { return m_transfer.LinesSent(); }
    int Position() const { return m_transfer.Position(); }

    // The components.
    QLabel* lb_msg = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QPushButton* AbortBtn = nullptr;
    // The transfer's timer.
    QTimer& Timer1() { return m_transfer.Timer(); }

protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Prepare(const QString& caption, const QString& message, int maximum);
    void ShowProgress();
    int Run();

    THost& m_host;
    TLineTransfer m_transfer;
    bool m_fileError = false;
};
