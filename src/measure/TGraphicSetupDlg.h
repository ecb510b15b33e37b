// SPDX-License-Identifier: MIT
#pragma once

#include "THost.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QRadioButton;

// Chart setup: the axis limits and line widths, the velocity unit, the
// sensor's output period (Update), the time span of the measurement buffer
// (Period, from which its capacity XNumber follows) and the data logger.
// Created at start, it holds the current chart settings for the whole run
// (the chart window and the CSV functions read them here) and keeps them
// in the "Option" group. Every setter ignores a value outside its range.
class TGraphicSetupDlg : public QDialog {
    Q_OBJECT
public:
    TGraphicSetupDlg(THost& host, QWidget* parent = nullptr);

    // --- The settings ----------------------------------------------------------
    double Minimum(int axis) const { return m_min[axis]; } // 0 velocity, 1 rate
    double Maximum(int axis) const { return m_max[axis]; }
    int Width(int axis) const { return m_width[axis]; }
    bool AutoScale(int axis) const { return m_autoScale[axis]; }
    int VUnit() const { return m_vUnit; } // 0 m/s, 1 m/min
    int Update() const { return m_update; }
    int Period() const { return m_period; }
    int XNumber() const { return m_xNumber; }
    bool DataLog() const { return m_dataLog; }
    QString DataLogName() const { return m_dataLogName; }
    void SetMinimum(int axis, double value);
    void SetMaximum(int axis, double value);
    void SetWidth(int axis, int value);
    void SetAutoScale(int axis, bool value);
    void SetVUnit(int value);
    void SetUpdate(int value);
    void SetPeriod(int value);
    void SetXNumber(int value);
    void SetDataLog(bool value);
    void SetDataLogName(const QString& value);

    // Reads every setting from the store (at start and at every opening).
    void LoadSettings();
    // Takes the fields, checks them and writes the store; false (with a
    // message) keeps the dialog open.
    bool SaveSettings();
    // Opens the dialog modally with the stored settings.
    int Execute();
    // The least Update the line allows: 15 characters of 10 bits.
    static int MinimumUpdate(int baud);
    // Letters, digits and "-" stay; every other character becomes "_".
    static QString CleanRecordName(const QString& name);

    QLineEdit* ed_min_1 = nullptr;
    QLineEdit* ed_max_1 = nullptr;
    QLineEdit* ed_line_1 = nullptr;
    QCheckBox* cb_scale_1 = nullptr;
    QRadioButton* rb_ms = nullptr;
    QRadioButton* rb_mmin = nullptr;
    QLineEdit* ed_min_2 = nullptr;
    QLineEdit* ed_max_2 = nullptr;
    QLineEdit* ed_line_2 = nullptr;
    QCheckBox* cb_scale_2 = nullptr;
    QLineEdit* ed_update = nullptr;
    QLineEdit* ed_period = nullptr;
    QCheckBox* cb_record = nullptr;
    QLineEdit* ed_record = nullptr;

private:
    void ShowValues();
    void btnOkClick();

    THost& m_host;
    double m_min[2] = {0, 0};
    double m_max[2] = {40, 100};
    int m_width[2] = {1, 1};
    bool m_autoScale[2] = {false, false};
    int m_vUnit = 0;
    int m_update = 100;
    int m_period = 60;
    int m_xNumber = 2400;
    bool m_dataLog = false;
    QString m_dataLogName = QStringLiteral("_Log");
};
