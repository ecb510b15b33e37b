// SPDX-License-Identifier: MIT
#include "TNumberDlg.h"

#include "Labels.h"
#include "MeasurementLine.h"
#include "TCommandEngine.h"
#include "Tag.h"
#include "WarningLabel.h"

#include <QButtonGroup>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {
QLabel* Figure(const char* name, const QColor& colour, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(64);
    font.setBold(true);
    label->setFont(font);
    label->setMinimumWidth(QFontMetrics(font).horizontalAdvance(QStringLiteral("-0000.000")));
    if (colour.isValid()) {
        QPalette p = label->palette();
        p.setColor(QPalette::WindowText, colour);
        label->setPalette(p);
    }
    return label;
}

// The figure as the language writes decimals, without thousands
// separators: a big number that changes every line must keep its shape.
QString Fixed(double value, int decimals) {
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    return locale.toString(value, 'f', decimals);
}
} // namespace

TNumberDlg::TNumberDlg(THost& host, QWidget* parent)
    : QDialog(parent), m_host(host), m_channel(host, TMeasurementChannel::TWindow::Number) {
    setObjectName(QStringLiteral("NumberDlg"));
    SetTag(this, 63);
    setWindowTitle(QStringLiteral("Number"));

    gb_velocity = new QGroupBox(this);
    gb_velocity->setObjectName(QStringLiteral("gb_velocity"));
    lb_v = Figure("lb_v", Qt::blue, gb_velocity);
    rb_ms = new QRadioButton(QStringLiteral("m/s"), gb_velocity);
    rb_mmin = new QRadioButton(QStringLiteral("m/min"), gb_velocity);
    rb_ms->setChecked(true);
    gb_rate = new QGroupBox(QStringLiteral("Rate in %"), this);
    gb_rate->setObjectName(QStringLiteral("gb_rate"));
    lb_r = Figure("lb_r", Qt::darkGreen, gb_rate);
    gb_length = new QGroupBox(this);
    gb_length->setObjectName(QStringLiteral("gb_length"));
    lb_l = Figure("lb_l", QColor(), gb_length);
    rb_m = new QRadioButton(QStringLiteral("m"), gb_length);
    rb_km = new QRadioButton(QStringLiteral("km"), gb_length);
    rb_m->setChecked(true);
    gb_length->hide();

    auto group = [](QGroupBox* box, QLabel* figure, QRadioButton* a, QRadioButton* b) {
        auto* row = new QHBoxLayout(box);
        if (a) {
            auto* units = new QVBoxLayout;
            units->addWidget(a);
            units->addWidget(b);
            auto* buttons = new QButtonGroup(box);
            buttons->addButton(a);
            buttons->addButton(b);
            row->addLayout(units);
        }
        row->addWidget(figure, 1);
    };
    group(gb_velocity, lb_v, rb_ms, rb_mmin);
    group(gb_rate, lb_r, nullptr, nullptr);
    group(gb_length, lb_l, rb_m, rb_km);

    auto button = [this](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    btnStart = button("btnStart", QStringLiteral("Start"));
    btnStop = button("btnStop", QStringLiteral("Stop"));
    btnCancel = button("btnCancel", QStringLiteral("Abbrechen"));
    SetTag(btnCancel, 2);
    btnStartLength = button("btnStartLength", QString());
    btnStopLength = button("btnStopLength", QString());
    auto* bottom = new QHBoxLayout;
    for (QPushButton* b : {btnStart, btnStop, btnStartLength, btnStopLength})
        bottom->addWidget(b);
    bottom->addStretch();
    bottom->addWidget(btnCancel);

    lb_status = new QLabel(this);
    lb_status->setObjectName(QStringLiteral("lb_status"));
    lb_status->setWordWrap(true);
    MarkAsWarning(lb_status);
    lb_status->hide();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(gb_velocity);
    layout->addWidget(gb_rate);
    layout->addWidget(gb_length);
    layout->addWidget(lb_status);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(btnStart, &QPushButton::clicked, this, &TNumberDlg::btnStartClick);
    connect(btnStop, &QPushButton::clicked, this, &TNumberDlg::btnStopClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnStartLength, &QPushButton::clicked, this,
            [this] { m_host.Engine().SetCmd(QByteArray("START\r\n")); });
    connect(btnStopLength, &QPushButton::clicked, this,
            [this] { m_host.Engine().SetCmd(QByteArray("STOP\r\n")); });
    for (QRadioButton* rb : {rb_ms, rb_mmin})
        connect(rb, &QRadioButton::clicked, this, &TNumberDlg::rb_msClick);
    for (QRadioButton* rb : {rb_m, rb_km})
        connect(rb, &QRadioButton::clicked, this, &TNumberDlg::rb_mClick);

    // The measurement lines, from the number window's framer while its
    // display runs.
    ConnectMeasurementLines(this, m_host, m_channel.Framer(), QStringLiteral("Number"),
                            [this](const QByteArray& line) { ShowPacket(line); });
    btnStop->setEnabled(false);

    ConnectLineAndLinkEvents(this, m_host, m_watch, &TNumberDlg::ShowStatusText,
                             &TNumberDlg::LinkLost, &TNumberDlg::LinkReady);
}

void TNumberDlg::ShowStatusText(const QString& text) {
    lb_status->setText(text);
    lb_status->setVisible(!text.isEmpty());
}

// The display ends; nothing can be sent to the sensor now.
void TNumberDlg::LinkLost() {
    if (!m_shown) return;
    m_watch.Stop();
    for (QPushButton* b : {btnStart, btnStop, btnStartLength, btnStopLength})
        b->setEnabled(false);
    ShowStatusText(LabelText(130));
}

// The sensor is back: its channel gets its own settings again, then the
// window borrows it afresh.
void TNumberDlg::LinkReady() {
    if (!m_shown || btnStop->isEnabled()) return;
    BorrowChannel(true);
    if (btnStart->isEnabled()) ShowStatusText(QString());
}

void TNumberDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    // Start waits for the channel to be borrowed.
    btnStart->setEnabled(false);
    QMetaObject::invokeMethod(this, &TNumberDlg::FormShow, Qt::QueuedConnection);
}

void TNumberDlg::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() != QEvent::LanguageChange || !btnStartLength) return;
    btnStartLength->setText(QStringLiteral("Start %1").arg(LabelText(835)));
    btnStopLength->setText(QStringLiteral("Stop %1").arg(LabelText(835)));
    rb_msClick();
    rb_mClick();
}

void TNumberDlg::FormShow() {
    for (QLabel* figure : {lb_v, lb_r, lb_l})
        figure->clear();
    ShowStatusText(QString());
    m_shown = true;
    BorrowChannel(false);
}

void TNumberDlg::BorrowChannel(bool again) {
    btnStart->setEnabled(again ? m_channel.BorrowAgain() : m_channel.PrepareChannel());
    btnStop->setEnabled(false);
    btnStartLength->setEnabled(false);
    btnStopLength->setEnabled(false);
    btnStartLength->setText(QStringLiteral("Start %1").arg(LabelText(835)));
    btnStopLength->setText(QStringLiteral("Stop %1").arg(LabelText(835)));
    rb_msClick();
    rb_mClick();
    if (btnStart->isEnabled()) {
        btnStartLength->setEnabled(m_channel.LengthAvailable());
        btnStopLength->setEnabled(m_channel.LengthAvailable());
        gb_length->setVisible(m_channel.LengthAvailable());
    }
}

void TNumberDlg::rb_msClick() {
    m_velocityFactor = rb_mmin->isChecked() ? 60 : 1;
    gb_velocity->setTitle(
        QStringLiteral("%1 in %2").arg(LabelText(831), m_velocityFactor == 60 ? "m/min" : "m/s"));
}

void TNumberDlg::rb_mClick() {
    m_lengthDivisor = rb_km->isChecked() ? 1000 : 1;
    gb_length->setTitle(
        QStringLiteral("%1 in %2").arg(LabelText(835), m_lengthDivisor == 1000 ? "km" : "m"));
}

void TNumberDlg::btnStartClick() {
    btnStart->setEnabled(false);
    ShowStatusText(QString());
    if (!m_channel.Start()) {
        LinkLost();
        return;
    }
    btnStop->setEnabled(true);
    m_watch.Start(100);
}

void TNumberDlg::btnStopClick() {
    btnStop->setEnabled(false);
    m_watch.Stop();
    ShowStatusText(QString());
    if (!m_channel.Stop()) {
        LinkLost();
        return;
    }
    btnStart->setEnabled(true);
}

void TNumberDlg::done(int result) {
    if (m_shown) {
        m_shown = false;
        btnStop->setEnabled(false);
        m_watch.Stop();
        m_channel.RestoreChannel();
    }
    QDialog::done(result);
}

void TNumberDlg::ShowPacket(const QByteArray& text) {
    m_watch.LineArrived();
    const TMeasurement m = DecodeMeasurementLine(text, m_channel.LengthAvailable());
    if (m.Kind == TMeasurement::TKind::Valid) {
        lb_v->setText(Fixed(m.Velocity * m_velocityFactor, 3));
        lb_r->setText(Fixed(m.Rate, 0));
    } else if (m.Kind == TMeasurement::TKind::Invalid) {
        lb_v->setText(QStringLiteral("-"));
        lb_r->setText(QStringLiteral("-"));
    }
    if (m.HasLength)
        lb_l->setText(m.LengthValid ? Fixed(m.Length / m_lengthDivisor, 3) : QStringLiteral("-"));
}
