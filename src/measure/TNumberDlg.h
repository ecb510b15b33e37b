// SPDX-License-Identifier: MIT
#pragma once

#include "THost.h"
#include "TLineWatch.h"
#include "TMeasurementChannel.h"

#include <QDialog>

class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

// Number window: the current velocity, signal rate and (on sensors that
// offer it) length as large figures, updated with every measurement line.
// It borrows the sensor's output channel while it is open, and starts and
// stops the sensor's own length measurement. A link that goes away ends
// the display; when the sensor is back, the channel's own settings are
// written back and it is borrowed afresh. Lines that stop coming are told
// below the figures.
class TNumberDlg : public QDialog {
    Q_OBJECT
public:
    TNumberDlg(THost& host, QWidget* parent = nullptr);

    void FormShow();
    void btnStartClick();
    void btnStopClick();
    // One measurement line, from the serial framer or from TCP.
    void ShowPacket(const QByteArray& text);
    TMeasurementChannel& Channel() { return m_channel; }

    QGroupBox* gb_velocity = nullptr;
    QGroupBox* gb_rate = nullptr;
    QGroupBox* gb_length = nullptr;
    QLabel* lb_v = nullptr;
    QLabel* lb_r = nullptr;
    QLabel* lb_l = nullptr;
    QRadioButton* rb_ms = nullptr;
    QRadioButton* rb_mmin = nullptr;
    QRadioButton* rb_m = nullptr;
    QRadioButton* rb_km = nullptr;
    QPushButton* btnStart = nullptr;
    QPushButton* btnStop = nullptr;
    QPushButton* btnCancel = nullptr;
    QPushButton* btnStartLength = nullptr;
    QPushButton* btnStopLength = nullptr;
    // What is wrong with the run: the link lost, no lines coming.
    QLabel* lb_status = nullptr;
    TLineWatch& LineWatch() { return m_watch; }

    // Closing restores the channel, whichever way the window closes.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    // A language switch: the titles and length buttons follow it.
    void changeEvent(QEvent* event) override;

private:
    void rb_msClick();
    void rb_mClick();
    void ShowStatusText(const QString& text);
    void LinkLost();
    void LinkReady();
    void BorrowChannel(bool again);

    THost& m_host;
    TMeasurementChannel m_channel;
    TLineWatch m_watch;
    int m_velocityFactor = 1;
    int m_lengthDivisor = 1;
    bool m_shown = false; // the channel is borrowed
};
