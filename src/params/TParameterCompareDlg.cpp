// SPDX-License-Identifier: MIT
#include "TParameterCompareDlg.h"

#include "Labels.h"
#include "TParameterReader.h"
#include "Tag.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

TParameterCompareDlg::TParameterCompareDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ParameterCompareDlg"));
    setWindowTitle(LabelText(921));
    resize(560, 460);
    Table = new QTableWidget(0, 3, this);
    Table->setObjectName(QStringLiteral("Table"));
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->verticalHeader()->hide();
    Table->horizontalHeader()->setStretchLastSection(true);
    cb_all = new QCheckBox(RawLabelText(922), this);
    cb_all->setObjectName(QStringLiteral("cb_all"));
    lb_summary = new QLabel(this);
    lb_summary->setObjectName(QStringLiteral("lb_summary"));
    lb_more = new QLabel(this);
    lb_more->setObjectName(QStringLiteral("lb_more"));
    lb_more->hide();
    auto* note = new QLabel(LabelText(924), this);
    BtnClose = new QPushButton(RawLabelText(84), this);
    BtnClose->setObjectName(QStringLiteral("BtnClose"));
    BtnClose->setDefault(true);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(cb_all);
    bottom->addStretch();
    bottom->addWidget(BtnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lb_summary);
    layout->addWidget(Table, 1);
    layout->addWidget(lb_more);
    layout->addWidget(note);
    layout->addLayout(bottom);

    connect(cb_all, &QCheckBox::toggled, this, &TParameterCompareDlg::Fill);
    connect(BtnClose, &QPushButton::clicked, this, &QDialog::accept);
}

void TParameterCompareDlg::SetSets(const QStringList& ours, const QStringList& sensor,
                                   const QString& oursTitle) {
    m_ours = ours;
    m_sensor = sensor;
    m_oursTitle = oursTitle;
    Fill();
}

void TParameterCompareDlg::Fill() {
    const auto rows = CompareParameterSets(m_ours, m_sensor, cb_all->isChecked());
    Table->setHorizontalHeaderLabels(
        {QStringLiteral("Parameter"), m_oursTitle, QStringLiteral("Sensor")});
    // A sensor set has about seventy keys; a crafted file of hundreds of
    // thousands would make a table that the window cannot hold.
    const int shown = int(std::min<qsizetype>(rows.size(), MaxRows));
    Table->setRowCount(shown);
    m_differing = 0;
    for (int i = 0; i < shown; ++i) {
        const TParameterDifference& row = rows.at(i);
        auto cell = [&](int column, const QString& text) {
            auto* item = new QTableWidgetItem(text);
            if (row.Differs()) {
                QFont bold = item->font();
                bold.setBold(true);
                item->setFont(bold);
            }
            Table->setItem(i, column, item);
        };
        const QString key = CompareCellText(row.Key);
        cell(0, row.FactoryConstant ? key + QStringLiteral(" !") : key);
        cell(1, row.InOurs ? CompareCellText(row.Ours) : QStringLiteral("-"));
        cell(2, row.InSensor ? CompareCellText(row.Sensor) : QStringLiteral("-"));
    }
    for (const TParameterDifference& row : CompareParameterSets(m_ours, m_sensor, false))
        if (row.Differs()) ++m_differing;
    lb_summary->setText(LabelText(923).arg(m_differing));
    m_leftOut = int(rows.size() - shown);
    lb_more->setText(LabelText(269).arg(m_leftOut));
    lb_more->setVisible(m_leftOut > 0);
    Table->resizeColumnsToContents();
}

bool TParameterCompareDlg::CompareWithSensor(TParameterReader& reader, const QStringList& ours,
                                             const QString& oursTitle, QWidget* parent) {
    QStringList sensor;
    if (!reader.ReadSensorSet(&sensor)) return false;
    TParameterCompareDlg dialog(parent);
    dialog.SetSets(ours, sensor, oursTitle);
    dialog.exec();
    return true;
}
