// SPDX-License-Identifier: MIT
#include "TGraphicSetupDlg.h"

#include "ChartSettings.h"

#include "ApplyLabels.h"
#include "Labels.h"
#include "MsgBox.h"
#include "Tag.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <tuple>

namespace {
// A number field as the user's locale writes it; `fallback` when it is none.
double NumberOf(const QString& text, double fallback) {
    bool ok = false;
    const double value = QLocale().toDouble(text.trimmed(), &ok);
    return ok ? value : fallback;
}
int IntegerOf(const QString& text, int fallback) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? value : fallback;
}
} // namespace

TGraphicSetupDlg::TGraphicSetupDlg(THost& host, QWidget* parent) : QDialog(parent), m_host(host) {
    setObjectName(QStringLiteral("GraphicSetupDlg"));
    SetTag(this, 98);
    setWindowTitle(QStringLiteral("Setup"));
    auto edit = [this](const char* name, const char* hint = nullptr) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        if (hint) e->setToolTip(QLatin1String(hint));
        return e;
    };
    auto check = [this](const char* name, int tag) {
        auto* c = new QCheckBox(this);
        c->setObjectName(QLatin1String(name));
        SetTag(c, tag);
        return c;
    };
    auto caption = [this](int tag, QWidget* buddy) {
        auto* l = new QLabel(this);
        SetTag(l, tag);
        l->setBuddy(buddy);
        return l;
    };
    auto group = [this](int tag) {
        auto* g = new QGroupBox(this);
        SetTag(g, tag);
        return g;
    };
    ed_min_1 = edit("ed_min_1");
    ed_max_1 = edit("ed_max_1");
    ed_line_1 = edit("ed_line_1", "1..5");
    cb_scale_1 = check("cb_scale_1", 854);
    rb_ms = new QRadioButton(QStringLiteral("m/s"), this);
    rb_mmin = new QRadioButton(QStringLiteral("m/min"), this);
    ed_min_2 = edit("ed_min_2");
    ed_max_2 = edit("ed_max_2");
    ed_line_2 = edit("ed_line_2", "1..5");
    cb_scale_2 = check("cb_scale_2", 854);
    ed_update = edit("ed_update", "Time in ms (1..10000)");
    ed_period = edit("ed_period", "Time in s (1.. )");
    cb_record = check("cb_record", 860);
    ed_record = edit("ed_record");

    auto* velocity = group(850);
    auto* vForm = new QFormLayout(velocity);
    vForm->addRow(caption(851, ed_min_1), ed_min_1);
    vForm->addRow(caption(852, ed_max_1), ed_max_1);
    vForm->addRow(caption(853, ed_line_1), ed_line_1);
    vForm->addRow(cb_scale_1);
    auto* units = new QHBoxLayout;
    units->addWidget(rb_ms);
    units->addWidget(rb_mmin);
    vForm->addRow(units);
    auto* rate = group(855);
    auto* rForm = new QFormLayout(rate);
    rForm->addRow(caption(851, ed_min_2), ed_min_2);
    rForm->addRow(caption(852, ed_max_2), ed_max_2);
    rForm->addRow(caption(853, ed_line_2), ed_line_2);
    rForm->addRow(cb_scale_2);
    auto* time = group(856);
    auto* tForm = new QFormLayout(time);
    tForm->addRow(caption(857, ed_update), ed_update);
    tForm->addRow(caption(858, ed_period), ed_period);
    auto* logger = group(859);
    auto* lForm = new QFormLayout(logger);
    lForm->addRow(cb_record);
    lForm->addRow(caption(861, ed_record), ed_record);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("btnOk"));
    SetTag(ok, 1);
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Abbrechen"), this);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    SetTag(cancel, 2);
    auto* grid = new QGridLayout;
    grid->addWidget(velocity, 0, 0);
    grid->addWidget(rate, 0, 1);
    grid->addWidget(time, 1, 0);
    grid->addWidget(logger, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    connect(ok, &QPushButton::clicked, this, &TGraphicSetupDlg::btnOkClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(cb_scale_1, &QCheckBox::toggled, this, [this](bool on) {
        ed_min_1->setEnabled(!on);
        ed_max_1->setEnabled(!on);
    });
    connect(rb_ms, &QRadioButton::clicked, this, [this] { m_vUnit = 0; });
    connect(rb_mmin, &QRadioButton::clicked, this, [this] { m_vUnit = 1; });
    LoadSettings();
}

// --- Setters: a value outside the range leaves the previous one ------------------

void TGraphicSetupDlg::SetMinimum(int axis, double value) {
    m_min[axis] = value;
    ShowValues();
}
void TGraphicSetupDlg::SetMaximum(int axis, double value) {
    m_max[axis] = value;
    ShowValues();
}
void TGraphicSetupDlg::SetWidth(int axis, int value) {
    if (value >= 1 && value <= 5) m_width[axis] = value;
    ShowValues();
}
void TGraphicSetupDlg::SetAutoScale(int axis, bool value) {
    m_autoScale[axis] = value;
    ShowValues();
}
void TGraphicSetupDlg::SetVUnit(int value) {
    m_vUnit = value;
    ShowValues();
}
void TGraphicSetupDlg::SetUpdate(int value) {
    if (value >= 1 && value <= 10000) m_update = value;
    ShowValues();
}
void TGraphicSetupDlg::SetPeriod(int value) {
    if (value >= 1 && value <= 2147483646) m_period = value;
    ShowValues();
}
void TGraphicSetupDlg::SetXNumber(int value) {
    if (value >= 1 && value <= 1000000) m_xNumber = value;
}
void TGraphicSetupDlg::SetDataLog(bool value) {
    m_dataLog = value;
    ShowValues();
}
void TGraphicSetupDlg::SetDataLogName(const QString& value) {
    m_dataLogName = value;
    ShowValues();
}

void TGraphicSetupDlg::ShowValues() {
    const QLocale locale;
    ed_min_1->setText(locale.toString(m_min[0]));
    ed_max_1->setText(locale.toString(m_max[0]));
    ed_line_1->setText(QString::number(m_width[0]));
    cb_scale_1->setChecked(m_autoScale[0]);
    (m_vUnit == 1 ? rb_mmin : rb_ms)->setChecked(true);
    ed_min_2->setText(locale.toString(m_min[1]));
    ed_max_2->setText(locale.toString(m_max[1]));
    ed_line_2->setText(QString::number(m_width[1]));
    cb_scale_2->setChecked(m_autoScale[1]);
    ed_update->setText(QString::number(m_update));
    ed_period->setText(QString::number(m_period));
    cb_record->setChecked(m_dataLog);
    ed_record->setText(m_dataLogName);
}

// --- Store -----------------------------------------------------------------------

void TGraphicSetupDlg::LoadSettings() {
    QSettings& s = m_host.SettingsStore();
    s.beginGroup(QStringLiteral("Option"));
    auto text = [&s](const char* key, const QString& fallback) {
        return s.value(QLatin1String(key), fallback).toString().left(4096);
    };
    auto integer = [&](const char* key, int fallback) {
        return IntegerOf(text(key, {}), fallback);
    };
    auto number = [&](const char* key, double fallback) {
        return NumberOf(text(key, {}), fallback);
    };
    SetMinimum(0, number("VMinimum", 0));
    SetMaximum(0, number("VMaximum", 40));
    SetWidth(0, integer("VWidth", 1));
    SetAutoScale(0, integer("VAutoScale", 0) != 0);
    SetVUnit(StoredVelocityUnit(s));
    SetUpdate(StoredUpdatePeriod(s));
    SetPeriod(integer("Period", 60));
    SetXNumber(integer("XNumber", 2400));
    SetDataLog(integer("DataLog", 0) == 1);
    SetDataLogName(text("DataLogName", QStringLiteral("_Log")));
    SetMinimum(1, number("RMinimum", 0));
    SetMaximum(1, number("RMaximum", 100));
    SetWidth(1, integer("RWidth", 1));
    SetAutoScale(1, integer("RAutoScale", 0) != 0);
    s.endGroup();
}

int TGraphicSetupDlg::MinimumUpdate(int baud) {
    return int(std::trunc(1000.0 / std::max(1, baud) * 10 * 15));
}

QString TGraphicSetupDlg::CleanRecordName(const QString& name) {
    QString clean = name;
    for (QChar& c : clean) {
        const char16_t u = c.unicode();
        const bool keep =
            (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '-';
        if (!keep) c = u'_';
    }
    return clean;
}

bool TGraphicSetupDlg::SaveSettings() {
    // Every field is read first: each setter shows all settings again.
    const int update = IntegerOf(ed_update->text(), 100);
    const int period = IntegerOf(ed_period->text(), 60);
    const double vMin = NumberOf(ed_min_1->text(), 0), vMax = NumberOf(ed_max_1->text(), 40);
    const double rMin = NumberOf(ed_min_2->text(), 0), rMax = NumberOf(ed_max_2->text(), 100);
    const int width1 = IntegerOf(ed_line_1->text(), 1), width2 = IntegerOf(ed_line_2->text(), 1);
    const bool scale1 = cb_scale_1->isChecked(), scale2 = cb_scale_2->isChecked();
    const bool record = cb_record->isChecked();
    const QString name = CleanRecordName(ed_record->text());

    SetUpdate(update);
    SetPeriod(period);
    const int least = MinimumUpdate(m_host.BaudRate());
    if (least >= m_update) {
        m_host.ShowMsgBox(LabelText(166).arg(least), mtError, mbOK);
        return false;
    }
    // An axis whose minimum lies above its maximum cannot be shown.
    for (const auto& [lo, hi, axis] : {std::tuple{vMin, vMax, 850}, std::tuple{rMin, rMax, 855}})
        if (lo > hi) {
            m_host.ShowMsgBox(
                QStringLiteral("%1: %2 > %3").arg(LabelText(axis), LabelText(851), LabelText(852)),
                mtError, mbOK);
            return false;
        }
    SetXNumber(int(std::min(std::trunc(double(m_period) * 1000.0 / m_update), 2e9)));
    SetDataLog(record);
    SetDataLogName(name);
    SetMinimum(0, vMin);
    SetMaximum(0, vMax);
    SetWidth(0, width1);
    SetAutoScale(0, scale1);
    SetMinimum(1, rMin);
    SetMaximum(1, rMax);
    SetWidth(1, width2);
    SetAutoScale(1, scale2);

    QSettings& s = m_host.SettingsStore();
    const QLocale locale;
    s.beginGroup(QStringLiteral("Option"));
    s.setValue(QStringLiteral("VMinimum"), locale.toString(m_min[0]));
    s.setValue(QStringLiteral("VMaximum"), locale.toString(m_max[0]));
    s.setValue(QStringLiteral("VWidth"), QString::number(m_width[0]));
    s.setValue(QStringLiteral("VAutoScale"), QString::number(m_autoScale[0] ? 1 : 0));
    s.setValue(QStringLiteral("VUnit"), QString::number(m_vUnit));
    s.setValue(QStringLiteral("XNumber"), QString::number(m_xNumber));
    s.setValue(QStringLiteral("Update"), QString::number(m_update));
    s.setValue(QStringLiteral("Period"), QString::number(m_period));
    s.setValue(QStringLiteral("DataLog"), QString::number(m_dataLog ? 1 : 0));
    s.setValue(QStringLiteral("DataLogName"), m_dataLogName);
    s.setValue(QStringLiteral("RMinimum"), locale.toString(m_min[1]));
    s.setValue(QStringLiteral("RMaximum"), locale.toString(m_max[1]));
    s.setValue(QStringLiteral("RWidth"), QString::number(m_width[1]));
    s.setValue(QStringLiteral("RAutoScale"), QString::number(m_autoScale[1] ? 1 : 0));
    s.endGroup();
    s.sync();
    if (s.status() != QSettings::NoError)
        m_host.ShowMsgBox(LabelText(128).arg(s.fileName()), mtError, mbOK);
    return true;
}

void TGraphicSetupDlg::btnOkClick() {
    if (SaveSettings()) accept();
}

int TGraphicSetupDlg::Execute() {
    LoadSettings();
    return exec();
}
