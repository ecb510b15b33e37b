// SPDX-License-Identifier: MIT
#pragma once

#include "THost.h"

#include <QDialog>

// About box: product name, version, copyright and the maker's addresses.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    TAboutBox(THost& host, QWidget* parent = nullptr);

private:
    THost& m_host;
};
