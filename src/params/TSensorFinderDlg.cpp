// SPDX-License-Identifier: MIT
#include "TSensorFinderDlg.h"

#include "Labels.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

TSensorFinderDlg::TSensorFinderDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("SensorFinderDlg"));
    setWindowTitle(LabelText(181));
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lb_FinderStatus"));
    m_status->setWordWrap(true);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("pb_Finder"));
    m_list = new QTableWidget(0, 6, this);
    m_list->setObjectName(QStringLiteral("lv_Sensors"));
    m_list->setHorizontalHeaderLabels(LabelText(185).split(u'|'));
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->verticalHeader()->hide();
    m_list->horizontalHeader()->setStretchLastSection(true);
    m_list->setMinimumSize(620, 160);
    m_skipped = new QLabel(this);
    m_skipped->setObjectName(QStringLiteral("lb_FinderSkipped"));
    m_skipped->setWordWrap(true);
    m_skipped->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_skipped->hide();
    m_use = new QPushButton(LabelText(186), this);
    m_use->setObjectName(QStringLiteral("btn_Use"));
    m_use->setDefault(true);
    m_use->setEnabled(false);
    m_cancel = new QPushButton(LabelText(2), this);
    m_cancel->setObjectName(QStringLiteral("btn_Cancel"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_use);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_status);
    layout->addWidget(m_progress);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_skipped);
    layout->addLayout(buttons);

    connect(m_use, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &TSensorFinderDlg::reject);
    connect(m_list, &QTableWidget::itemSelectionChanged, this, &TSensorFinderDlg::UpdateUse);
    connect(m_list, &QTableWidget::cellDoubleClicked, this, [this] {
        if (m_list->currentRow() >= 0) accept();
    });
    m_finder.Progressed = [this](int done, int total) {
        m_progress->setMaximum(std::max(1, total));
        m_progress->setValue(done);
    };
    m_finder.SensorFound = [this](const TFoundSensor& s) { AddRow(s, false); };
    m_finder.Finished = [this] { ScanFinished(); };
}

void TSensorFinderDlg::AddKnown(const TFoundSensor& sensor) {
    AddRow(sensor, true);
}

void TSensorFinderDlg::AddRow(const TFoundSensor& s, bool known) {
    const int row = m_list->rowCount();
    m_list->insertRow(row);
    m_rows << s;
    const TSensorIdentity& id = s.Identity;
    QString device = s.ById.isEmpty() ? s.Device : s.Device + QStringLiteral(" (") + s.ById + u')';
    if (known) device += u' ' + LabelText(187);
    const QString cells[] = {
        device,
        QString::number(s.Rate),
        id.SerialNumber,
        id.Model.isEmpty() ? QStringLiteral("?") : QStringLiteral("ORX ") + id.Model,
        id.SoftwareVersion,
        id.SensorPort >= 0 ? QString::number(id.SensorPort) : QStringLiteral("?")};
    for (int column = 0; column < 6; ++column)
        m_list->setItem(row, column, new QTableWidgetItem(cells[column]));
    m_list->resizeColumnsToContents();
    if (m_list->currentRow() < 0) m_list->selectRow(row);
    UpdateUse();
}

void TSensorFinderDlg::Start(const QList<TScanPort>& ports, const QList<int>& rates) {
    m_rateTexts.clear();
    for (const int rate : rates)
        m_rateTexts << QString::number(rate);
    m_progress->setRange(0, std::max<int>(1, int(ports.size() * rates.size())));
    m_progress->setValue(0);
    m_status->setText(ports.isEmpty() ? LabelText(188)
                                      : LabelText(182).arg(ports.size()).arg(rates.size()));
    m_finder.Start(ports, rates);
}

bool TSensorFinderDlg::Execute(const QList<TScanPort>& ports, const QList<int>& rates,
                               TFoundSensor* chosen) {
    Start(ports, rates);
    const bool used = exec() == QDialog::Accepted && Current(chosen);
    m_finder.Cancel();
    return used;
}

void TSensorFinderDlg::ScanFinished() {
    const TScanResult& r = m_finder.Result();
    m_progress->setValue(m_progress->maximum());
    if (!m_rows.isEmpty())
        m_status->setText(LabelText(183).arg(m_rows.size()));
    else if (!r.Ports.isEmpty())
        m_status->setText(LabelText(184).arg(r.Ports.join(QStringLiteral(", ")),
                                             m_rateTexts.join(QStringLiteral(", "))));
    QStringList skipped;
    for (const TSkippedPort& p : r.Skipped)
        skipped << p.Problem.ShortText();
    m_skipped->setText(skipped.join(u'\n'));
    m_skipped->setVisible(!skipped.isEmpty());
}

QString TSensorFinderDlg::StatusText() const {
    return m_status->text();
}

bool TSensorFinderDlg::Current(TFoundSensor* sensor) const {
    const int row = m_list->currentRow();
    if (row < 0 || row >= m_rows.size()) return false;
    if (sensor) *sensor = m_rows.at(row);
    return true;
}

void TSensorFinderDlg::UpdateUse() {
    m_use->setEnabled(m_list->currentRow() >= 0);
}

// Esc and Cancel end the scan first: every port is closed again.
void TSensorFinderDlg::reject() {
    m_finder.Cancel();
    QDialog::reject();
}
