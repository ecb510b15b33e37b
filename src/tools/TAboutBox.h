// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>

// About box: product name, version, copyright and the maker's addresses.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
};
