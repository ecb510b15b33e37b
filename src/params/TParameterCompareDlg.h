// SPDX-License-Identifier: MIT
#pragma once

#include "ParameterCompare.h"
#include "THost.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;
class QTableWidget;
class TParameterReader;

// A parameter set (a file or the editor's) side by side with the set just
// read from the sensor: the keys whose values differ, or every key with
// "Show identical values"; the factory constant marked with "!".
class TParameterCompareDlg : public QDialog {
    Q_OBJECT
public:
    TParameterCompareDlg(QWidget* parent = nullptr);

    // Reads the sensor's set through `reader` and shows the comparison
    // with `ours` (titled `oursTitle`) modally. False when the sensor gave
    // no set (the reader has said why).
    static bool CompareWithSensor(TParameterReader& reader, const QStringList& ours,
                                  const QString& oursTitle, QWidget* parent);

    // The table shows at most MaxRows rows, long values cut; `lb_more`
    // says how many rows were left out.
    static constexpr int MaxRows = 2000;
    void SetSets(const QStringList& ours, const QStringList& sensor, const QString& oursTitle);
    int DifferingCount() const { return m_differing; }
    int LeftOutCount() const { return m_leftOut; }

    QTableWidget* Table = nullptr;
    QCheckBox* cb_all = nullptr;
    QLabel* lb_summary = nullptr;
    QLabel* lb_more = nullptr;
    QPushButton* BtnClose = nullptr;

private:
    void Fill();

    QStringList m_ours;
    QStringList m_sensor;
    QString m_oursTitle;
    int m_differing = 0;
    int m_leftOut = 0;
};
