// SPDX-License-Identifier: MIT
#pragma once

#include "THost.h"

#include <QWidget>

// History window: the received terminal lines, to read, clear and save.
class THistoryForm : public QWidget {
    Q_OBJECT
public:
    THistoryForm(THost& host, QWidget* parent = nullptr);

private:
    THost& m_host;
};
