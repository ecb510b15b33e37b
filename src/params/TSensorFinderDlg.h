// SPDX-License-Identifier: MIT
#pragma once

#include "SensorFinder.h"

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;

// "Find sensor": runs the sensor finder over the given ports with its
// progress and lists every sensor as it is found; choosing a row (Use, or
// a double click) hands back its port and rate. Cancel ends the scan and
// closes the ports.
class TSensorFinderDlg : public QDialog {
    Q_OBJECT
public:
    explicit TSensorFinderDlg(QWidget* parent = nullptr);

    // A sensor that needs no probe (the one this program is connected to);
    // listed first. Before Start.
    void AddKnown(const TFoundSensor& sensor);
    // Starts the scan; the dialog shows what it finds.
    void Start(const QList<TScanPort>& ports, const QList<int>& rates);
    // Runs the dialog with a scan; true and the chosen sensor on Use.
    bool Execute(const QList<TScanPort>& ports, const QList<int>& rates, TFoundSensor* chosen);

    const TSensorFinder& Finder() const { return m_finder; }
    QTableWidget* List() const { return m_list; }
    QPushButton* UseButton() const { return m_use; }
    QString StatusText() const;
    // The sensor of the current row, when there is one.
    bool Current(TFoundSensor* sensor) const;

protected:
    void reject() override;

private:
    void AddRow(const TFoundSensor& sensor, bool known);
    void ScanFinished();
    void UpdateUse();

    TSensorFinder m_finder;
    QList<TFoundSensor> m_rows;
    QLabel* m_status = nullptr;
    QLabel* m_skipped = nullptr;
    QProgressBar* m_progress = nullptr;
    QTableWidget* m_list = nullptr;
    QPushButton* m_use = nullptr;
    QPushButton* m_cancel = nullptr;
    QStringList m_rateTexts;
};
