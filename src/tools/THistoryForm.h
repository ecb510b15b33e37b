// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

// History window: the received terminal lines, to read, clear and save.
class THistoryForm : public QWidget {
    Q_OBJECT
public:
    explicit THistoryForm(QWidget* parent = nullptr);
};
