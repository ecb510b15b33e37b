// SPDX-License-Identifier: MIT
#include "TParameterStoreForm.h"

#include "MsgBox.h"
#include "ParameterFileGrid.h"
#include "Tag.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TParameterStoreForm::TParameterStoreForm(THost& host, QWidget* parent)
    : QDialog(parent), m_host(host) {
    setObjectName(QStringLiteral("ParameterStoreForm"));
    SetTag(this, 820);
    setWindowTitle(QStringLiteral("Parameter speichern"));
    StringGrid1 = new TParameterFileGrid(this);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    auto* label = new QLabel(QStringLiteral("Dateiname:"), this);
    label->setObjectName(QStringLiteral("Label1"));
    SetTag(label, 822);
    label->setBuddy(Edit1);
    BtnStore = new QPushButton(QStringLiteral("Speichern"), this);
    BtnStore->setObjectName(QStringLiteral("BtnStore"));
    SetTag(BtnStore, 821);
    BtnStore->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Abbrechen"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    SetTag(Button2, 2);

    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(label);
    nameRow->addWidget(Edit1, 1);
    nameRow->addWidget(BtnStore);
    nameRow->addWidget(Button2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(StringGrid1, 1);
    layout->addLayout(nameRow);
    resize(640, 400);

    auto takeName = [this](int row) {
        // The file's own name: the list shows it in small letters, but the
        // set must replace that file, not go beside it.
        if (row >= 0 && row < m_records.size())
            Edit1->setText(QFileInfo(m_records.at(row).Path).fileName());
    };
    connect(StringGrid1, &QTableWidget::currentCellChanged, this, takeName);
    connect(StringGrid1, &QTableWidget::cellClicked, this, takeName);
    connect(BtnStore, &QPushButton::clicked, this, [this] {
        done(Edit1->text().trimmed().isEmpty() ? int(mrNo) : int(QDialog::Accepted));
    });
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

void TParameterStoreForm::Prepare(const QList<TParameterFileHeader>& records) {
    m_records = records;
    StringGrid1->Fill(m_records);
    Edit1->clear(); // filling made the first row current; the name starts empty
    Edit1->setFocus();
}

int TParameterStoreForm::Execute(const QList<TParameterFileHeader>& records) {
    Prepare(records);
    return exec();
}

QString TParameterStoreForm::FileName() const {
    return Edit1->text();
}
