// SPDX-License-Identifier: MIT
#pragma once

#include "ParameterFileHeader.h"

#include <QList>
#include <QTableWidget>

// The grid of parameter files that the browser and the store dialog show:
// file name, date, serial number, place and type, one row per file, whole
// rows selected. Without files it keeps one blank row.
class TParameterFileGrid : public QTableWidget {
    Q_OBJECT
public:
    explicit TParameterFileGrid(QWidget* parent = nullptr);

    // Header row from the labels; the rows of `records`; the first current.
    void Fill(const QList<TParameterFileHeader>& records);

protected:
    // The header follows the language, also while the grid is shown.
    void changeEvent(QEvent* event) override;

private:
    void LabelHeader();
};
