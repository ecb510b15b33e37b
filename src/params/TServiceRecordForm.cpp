// SPDX-License-Identifier: MIT
#include "TServiceRecordForm.h"

#include "Labels.h"
#include "MsgBox.h"
#include "ParameterFileHeader.h"
#include "RecordChanges.h"
#include "RecordPrint.h"
#include "TFlowRecorder.h"
#include "TParameterCompareDlg.h"
#include "TParameterForm.h"
#include "TParameterReadForm.h"
#include "TRecordStore.h"

#include <algorithm>

#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

TServiceRecordForm::TServiceRecordForm(THost& host, QWidget* parent)
    : QDialog(parent), m_host(host) {
    setObjectName(QStringLiteral("ServiceRecordForm"));
    lb_sensor = new QLabel(this);
    Table = new QTableWidget(0, 4, this);
    Table->setObjectName(QStringLiteral("Table"));
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->setSelectionMode(QAbstractItemView::SingleSelection);
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->verticalHeader()->hide();
    Table->horizontalHeader()->setStretchLastSection(true);
    Memo_changes = new QPlainTextEdit(this);
    Memo_changes->setObjectName(QStringLiteral("Memo_changes"));
    Memo_changes->setReadOnly(true);
    Memo_changes->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo_changes->setMaximumHeight(120);
    auto button = [this](const char* name) {
        auto* b = new QPushButton(this);
        b->setObjectName(QLatin1String(name));
        return b;
    };
    BtnCompare = button("BtnCompare");
    BtnLoad = button("BtnLoad");
    BtnSinceLast = button("BtnSinceLast");
    BtnClose = button("BtnClose");
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {BtnSinceLast, BtnCompare, BtnLoad})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(BtnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lb_sensor);
    layout->addWidget(Table, 1);
    layout->addWidget(Memo_changes);
    layout->addLayout(buttons);
    resize(640, 480);
    Retranslate();

    connect(Table, &QTableWidget::currentCellChanged, this, [this](int row) { ShowEvent(row); });
    connect(BtnCompare, &QPushButton::clicked, this, &TServiceRecordForm::BtnCompareClick);
    connect(BtnLoad, &QPushButton::clicked, this, &TServiceRecordForm::BtnLoadClick);
    connect(BtnSinceLast, &QPushButton::clicked, this, &TServiceRecordForm::BtnSinceLastClick);
    connect(BtnClose, &QPushButton::clicked, this, &QDialog::accept);
}

void TServiceRecordForm::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) Retranslate();
    QDialog::changeEvent(event);
}

void TServiceRecordForm::Retranslate() {
    setWindowTitle(LabelText(631));
    Table->setHorizontalHeaderLabels(
        {LabelText(636), LabelText(637), LabelText(638), LabelText(639)});
    BtnCompare->setText(LabelText(920));
    BtnLoad->setText(LabelText(633));
    BtnSinceLast->setText(LabelText(632));
    BtnClose->setText(LabelText(640));
    lb_sensor->setText(m_serial.isEmpty() ? LabelText(641)
                                          : QStringLiteral("%1 %2").arg(LabelText(710), m_serial));
}

int TServiceRecordForm::Execute() {
    Fill();
    return exec();
}

bool TServiceRecordForm::Fill() {
    m_serial = m_host.Sensor().Identity().SerialNumber.trimmed();
    m_events.clear();
    Table->setRowCount(0);
    Memo_changes->clear();
    Retranslate();
    bool ok = true;
    TFlowRecorder* recorder = m_host.Recorder();
    TRecordStore* store = recorder && !m_serial.isEmpty() ? recorder->Store() : nullptr;
    if (store) {
        // The window lists a bounded number: the record of a sensor that
        // reconnects every minute grows without end.
        constexpr int MaxEvents = 5000;
        ok = store->ForEachEvent(m_serial, {}, [this](const TRecordEvent& event) {
            m_events << event;
            return m_events.size() < MaxEvents;
        });
        if (!ok) m_host.ShowError(LabelText(635), store->Error());
    }
    Table->setRowCount(int(m_events.size()));
    for (int row = 0; row < m_events.size(); ++row) {
        const TRecordEvent& e = m_events.at(row);
        const QStringList cells = {
            e.Time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
            ActionText(e.Action), OutcomeText(e.Outcome), e.User};
        for (int column = 0; column < cells.size(); ++column)
            Table->setItem(row, column, new QTableWidgetItem(cells.at(column)));
    }
    Table->resizeColumnsToContents();
    // A header wider than its column's cells keeps its room.
    for (int column = 0; column < Table->columnCount() - 1; ++column)
        Table->setColumnWidth(column, std::max(Table->columnWidth(column),
                                               Table->horizontalHeader()->sectionSizeHint(column)));
    if (!m_events.isEmpty()) Table->setCurrentCell(0, 0);
    ShowEvent(Table->currentRow());
    const bool linked = m_host.LinkOpen() && !m_serial.isEmpty();
    BtnSinceLast->setEnabled(linked && !m_events.isEmpty());
    return ok;
}

// The list's words in the window's language; the record itself keeps
// its fixed English names.
QString TServiceRecordForm::ActionText(TRecordAction action) {
    return LabelText(642 + int(action));
}

QString TServiceRecordForm::OutcomeText(TFlowResult outcome) {
    return LabelText(650 + int(outcome));
}

const TRecordEvent* TServiceRecordForm::Current() const {
    const int row = Table->currentRow();
    return row >= 0 && row < m_events.size() ? &m_events.at(row) : nullptr;
}

void TServiceRecordForm::ShowEvent(int row) {
    const TRecordEvent* event = row >= 0 && row < m_events.size() ? &m_events.at(row) : nullptr;
    // The event's lines as the service command prints them: the message,
    // a write's changes, an update's file.
    Memo_changes->setPlainText(event ? EventText(*event).trimmed() : QString());
    const bool hasSet = event && event->HasSet;
    BtnCompare->setEnabled(hasSet && m_host.LinkOpen() && m_editor);
    BtnLoad->setEnabled(hasSet && m_editor && m_browser);
}

std::optional<QStringList> TServiceRecordForm::RecordedSet(qint64 eventId) {
    TFlowRecorder* recorder = m_host.Recorder();
    TRecordStore* store = recorder ? recorder->Store() : nullptr;
    if (!store) return std::nullopt;
    const std::optional<QString> set = store->EventSet(eventId);
    if (!set) {
        if (!store->Error().isEmpty()) m_host.ShowError(LabelText(635), store->Error());
        return std::nullopt;
    }
    return SetLines(*set);
}

void TServiceRecordForm::CompareWith(const QStringList& set, const QString& title) {
    if (!m_editor) return;
    TParameterCompareDlg::CompareWithSensor(m_editor->Reader(), set, title, this);
}

void TServiceRecordForm::BtnCompareClick() {
    const TRecordEvent* event = Current();
    if (!event || !event->HasSet) return;
    const QString title = event->Time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    if (const auto set = RecordedSet(event->Id)) CompareWith(*set, title);
    Fill(); // the comparison's read is an event of its own
}

void TServiceRecordForm::BtnSinceLastClick() {
    TFlowRecorder* recorder = m_host.Recorder();
    TRecordStore* store = recorder && !m_serial.isEmpty() ? recorder->Store() : nullptr;
    if (!store) return;
    qint64 id = 0;
    const std::optional<QString> set = store->LastSet(m_serial, &id);
    if (!set) {
        if (!store->Error().isEmpty())
            m_host.ShowError(LabelText(635), store->Error());
        else
            m_host.ShowError(LabelText(634));
        return;
    }
    QString title = LabelText(632);
    for (const TRecordEvent& event : std::as_const(m_events))
        if (event.Id == id)
            title = event.Time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    CompareWith(SetLines(*set), title);
    Fill(); // the comparison's read is an event of its own
}

void TServiceRecordForm::BtnLoadClick() {
    const TRecordEvent* event = Current();
    if (!event || !event->HasSet || !m_browser) return;
    const auto set = RecordedSet(event->Id);
    if (!set) return;
    // As a parameter file is opened: its head from the sensor's identity.
    TParameterFileHeader header;
    header.SerialNumber = event->Serial;
    header.Remarks = EventText(*event).section(u'\n', 0, 0).simplified();
    m_browser->LoadLinesIntoEditor(header, *set);
}
