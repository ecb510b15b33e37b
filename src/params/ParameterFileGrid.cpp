// SPDX-License-Identifier: MIT
#include "ParameterFileGrid.h"

#include "Labels.h"

#include <QEvent>
#include <QHeaderView>

TParameterFileGrid::TParameterFileGrid(QWidget* parent) : QTableWidget(parent) {
    setObjectName(QStringLiteral("StringGrid1"));
    setColumnCount(5);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    verticalHeader()->hide();
    horizontalHeader()->setStretchLastSection(true);
    setMinimumWidth(560);
    horizontalHeader()->setResizeContentsPrecision(200); // a folder may hold thousands
    LabelHeader();
}

void TParameterFileGrid::LabelHeader() {
    setHorizontalHeaderLabels(
        {LabelText(813), LabelText(814), LabelText(710), LabelText(803), LabelText(801)});
}

void TParameterFileGrid::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) LabelHeader();
    QTableWidget::changeEvent(event);
}

void TParameterFileGrid::Fill(const QList<TParameterFileHeader>& records) {
    LabelHeader();
    setUpdatesEnabled(false);
    clearContents();
    setRowCount(std::max<qsizetype>(1, records.size()));
    for (int row = 0; row < records.size(); ++row) {
        const TParameterFileHeader& r = records.at(row);
        const QString cells[] = {r.FileName, r.Date, r.SerialNumber, r.Place, r.Type};
        for (int column = 0; column < 5; ++column)
            setItem(row, column, new QTableWidgetItem(cells[column]));
    }
    resizeColumnsToContents();
    setUpdatesEnabled(true);
    setCurrentCell(0, 0);
}
