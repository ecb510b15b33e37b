// SPDX-License-Identifier: MIT
#include "TGrafikDlg.h"

#include "FileDialogs.h"
#include "Labels.h"
#include "MeasurementCsv.h"
#include "MeasurementLine.h"
#include "MsgBox.h"
#include "PrintDialogs.h"
#include "SafeFile.h"
#include "TAccuTimer.h"
#include "TGraphicSetupDlg.h"
#include "Tag.h"
#include "WaitCursor.h"
#include "WarningLabel.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImageWriter>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <qcustomplot.h>

#include <cmath>

namespace {
// Four minor ticks between two labelled ones, on every axis.
class TFourSubTicker : public QCPAxisTicker {
protected:
    int getSubTickCount(double) override { return 4; }
};

// Tick labels of the velocity axis: group separators and up to four
// decimals ("#,##0.####").
class TGroupedTicker : public TFourSubTicker {
protected:
    QString getTickLabel(double tick, const QLocale& locale, QChar, int) override {
        QString text = locale.toString(std::abs(tick) < 1e-9 ? 0.0 : tick, 'f', 4);
        const QString point = locale.decimalPoint();
        if (text.contains(point)) {
            while (text.endsWith(u'0'))
                text.chop(1);
            if (text.endsWith(point)) text.chop(point.size());
        }
        return text;
    }
};

// The glyphs of the three small zoom buttons: a magnifier with "+", "-"
// or "=" (back to the whole view).
QIcon MagnifierGlyph(QChar sign) {
    QPixmap pixmap(20, 20);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 2));
    p.drawEllipse(QRectF(2, 2, 11, 11));
    p.drawLine(QPointF(12, 12), QPointF(18, 18));
    p.setPen(QPen(QColor(40, 40, 40), 1.6));
    if (sign == u'=') {
        p.drawLine(QPointF(5, 6), QPointF(10, 6));
        p.drawLine(QPointF(5, 9), QPointF(10, 9));
    } else {
        p.drawLine(QPointF(5, 7.5), QPointF(10, 7.5));
        if (sign == u'+') p.drawLine(QPointF(7.5, 5), QPointF(7.5, 10));
    }
    return QIcon(pixmap);
}

QString Seconds(double seconds) {
    return QString::asprintf("%.0f s", seconds);
}
} // namespace

TGrafikDlg::TGrafikDlg(THost& host, TGraphicSetupDlg& setup, QWidget* parent)
    : QDialog(parent), m_host(host), m_setup(setup),
      m_channel(host, TMeasurementChannel::TWindow::Chart) {
    setObjectName(QStringLiteral("GrafikDlg"));
    SetTag(this, 62);
    setWindowTitle(LabelText(62));
    setMinimumSize(545, 490);
    resize(760, 540);
    setSizeGripEnabled(true);

    acTimer = new TAccuTimer(this);
    acTimerProbe = new TAccuTimer(this);
    acTimerProbe->setInterval(100);
    connect(acTimerProbe, &QTimer::timeout, this, &TGrafikDlg::acTimerProbeTimer);

    CreateActions();
    CreateChart();

    auto button = [this](const char* name, const QString& caption, int tag) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        if (tag) SetTag(b, tag);
        return b;
    };
    btnStart = button("btnStart", QStringLiteral("Start"), 0);
    btnStop = button("btnStop", QStringLiteral("Stop"), 0);
    btnSetup = button("btnSetup", RawLabelText(98), 98);
    btnCancel = button("btnCancel", RawLabelText(2), 2);
    auto glyph = [this](const char* name, QAction* action, QChar sign) {
        auto* b = new QToolButton(this);
        b->setObjectName(QLatin1String(name));
        b->setDefaultAction(action);
        b->setToolButtonStyle(Qt::ToolButtonIconOnly);
        b->setAutoRaise(true);
        action->setIcon(MagnifierGlyph(sign));
        return b;
    };
    sbZoomIn = glyph("sbZoomIn", acZoomIn, u'+');
    sbResetZoom = glyph("sbResetZoom", acResetZoom, u'=');
    sbZoomOut = glyph("sbZoomOut", acZoomOut, u'-');
    // Auto scale by its name, one click beside the zoom.
    sbAutoScale = new QToolButton(this);
    sbAutoScale->setObjectName(QStringLiteral("sbAutoScale"));
    sbAutoScale->setDefaultAction(acAutoScale);
    sbAutoScale->setToolButtonStyle(Qt::ToolButtonTextOnly);

    auto* bottom = new QHBoxLayout;
    for (QPushButton* b : {btnStart, btnStop, btnSetup})
        bottom->addWidget(b);
    bottom->addSpacing(12);
    for (QToolButton* b : {sbZoomIn, sbResetZoom, sbZoomOut, sbAutoScale})
        bottom->addWidget(b);
    bottom->addStretch();
    bottom->addWidget(btnCancel);

    StatusBar = new QStatusBar(this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setSizeGripEnabled(false);
    Panel0 = new QLabel(StatusBar);
    Panel0->setObjectName(QStringLiteral("Panel0"));
    Panel0->setAlignment(Qt::AlignCenter);
    Panel0->setFixedWidth(100);
    ProgressBar = new QProgressBar(StatusBar);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setFixedWidth(400);
    ProgressBar->setTextVisible(false);
    ProgressBar->setMaximumHeight(Panel0->sizeHint().height() + 2);
    Panel2 = new QLabel(StatusBar);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setMinimumWidth(50);
    PanelLink = new QLabel(StatusBar);
    PanelLink->setObjectName(QStringLiteral("PanelLink"));
    MarkAsWarning(PanelLink);
    PanelLink->hide();
    StatusBar->addWidget(Panel0);
    StatusBar->addWidget(ProgressBar);
    StatusBar->addWidget(Panel2, 1);
    StatusBar->addWidget(PanelLink);

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(MainMenu);
    layout->addWidget(Chart, 1);
    layout->addLayout(bottom);
    layout->addWidget(StatusBar);
    layout->setContentsMargins(4, 0, 4, 0);

    connect(btnStart, &QPushButton::clicked, this, &TGrafikDlg::btnStartClick);
    connect(btnStop, &QPushButton::clicked, this, &TGrafikDlg::btnStopClick);
    connect(btnSetup, &QPushButton::clicked, this, &TGrafikDlg::btnSetupClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    // The buffer takes its size from the setup, which has loaded its
    // settings before this window is created.
    m_rohdaten.SetCapacity(m_setup.XNumber());
    ProgressBar->setRange(0, m_setup.XNumber());
    ProgressBar->setValue(0);
    ProgressBar->setToolTip(QStringLiteral("Measurement Buffer= %1").arg(m_setup.XNumber()));
    btnStop->setEnabled(false);

    // The measurement lines, from the chart's framer: it is attached from
    // the end of the Start sequence on, so the echoes of its own commands
    // are no measurement lines.
    ConnectMeasurementLines(this, m_host, m_channel.Framer(), QStringLiteral("Grafik"),
                            [this](const QByteArray& line) { ReceiveLine(line); });

    ConnectLineAndLinkEvents(this, m_host, m_watch, &TGrafikDlg::ShowLinkState,
                             &TGrafikDlg::LinkLost, &TGrafikDlg::LinkReady);
}

void TGrafikDlg::ShowLinkState(const QString& text) {
    PanelLink->setText(text);
    PanelLink->setVisible(!text.isEmpty());
}

// A run ends as Stop ends it, without the commands that cannot reach the
// sensor now; Start waits until the sensor is back.
void TGrafikDlg::LinkLost() {
    if (!m_shown) return;
    if (m_measureState == TMeasureState::Running) EndRun(false);
    btnStart->setEnabled(false);
    ShowLinkState(LabelText(130));
}

// The sensor is back: its channel gets its own settings again, then the
// window borrows it afresh.
void TGrafikDlg::LinkReady() {
    if (!m_shown || m_measureState == TMeasureState::Running) return;
    TWaitCursor wait;
    btnStart->setEnabled(m_channel.BorrowAgain());
    if (btnStart->isEnabled()) ShowLinkState(QString());
}

TGrafikDlg::~TGrafikDlg() = default;

void TGrafikDlg::CreateActions() {
    auto action = [this](QAction*& a, const char* name, int tag, void (TGrafikDlg::*handler)(),
                         const QKeySequence& key = {}) {
        a = new QAction(RawLabelText(tag), this);
        a->setObjectName(QLatin1String(name));
        SetTag(a, tag);
        if (!key.isEmpty()) a->setShortcut(key);
        connect(a, &QAction::triggered, this, handler);
    };
    action(acOpen, "acOpen", 88, &TGrafikDlg::acOpenExecute, QKeySequence::Open);
    action(acSaveAs, "acSaveAs", 81, &TGrafikDlg::acSaveAsExecute, QKeySequence::SaveAs);
    action(acSaveAsBmp, "acSaveAsBmp", 82, &TGrafikDlg::acSaveAsBmpExecute);
    action(acPrint, "acPrint", 83, &TGrafikDlg::acPrintExecute, QKeySequence::Print);
    action(acClose, "acClose", 84, &TGrafikDlg::acCloseExecute);
    action(acResetZoom, "acResetZoom", 91, &TGrafikDlg::acResetZoomExecute,
           QKeySequence(Qt::CTRL | Qt::Key_0));
    action(acMoveRight, "acMoveRight", 92, &TGrafikDlg::acMoveRightExecute);
    action(acMoveLeft, "acMoveLeft", 93, &TGrafikDlg::acMoveLeftExecute);
    action(acMoveUp, "acMoveUp", 94, &TGrafikDlg::acMoveUpExecute);
    action(acMoveDown, "acMoveDown", 95, &TGrafikDlg::acMoveDownExecute);
    action(acZoomIn, "acZoomIn", 96, &TGrafikDlg::acZoomInExecute, QKeySequence::ZoomIn);
    action(acZoomOut, "acZoomOut", 97, &TGrafikDlg::acZoomOutExecute, QKeySequence::ZoomOut);
    action(acAutoScale, "acAutoScale", 99, &TGrafikDlg::acAutoScaleExecute);

    MainMenu = new QMenuBar(this);
    MainMenu->setObjectName(QStringLiteral("MainMenu"));
    mnFile = new QMenu(RawLabelText(80), MainMenu);
    mnFile->setObjectName(QStringLiteral("mnFile"));
    SetTag(mnFile, 80);
    mnFile->addAction(acOpen);
    mnFile->addSeparator();
    mnFile->addActions({acSaveAs, acSaveAsBmp, acPrint});
    mnFile->addSeparator();
    mnFile->addAction(acClose);
    mnView = new QMenu(RawLabelText(90), MainMenu);
    mnView->setObjectName(QStringLiteral("mnView"));
    SetTag(mnView, 90);
    mnView->addActions({acResetZoom, acAutoScale, acMoveRight, acMoveLeft, acMoveUp, acMoveDown,
                        acZoomIn, acZoomOut});
    MainMenu->addMenu(mnFile);
    MainMenu->addMenu(mnView);
    // The moves are there for the keyboard and scripts; the mouse pans.
    for (QAction* a : {acMoveRight, acMoveLeft, acMoveUp, acMoveDown})
        a->setVisible(false);
    for (QAction* a :
         {acResetZoom, acMoveRight, acMoveLeft, acMoveUp, acMoveDown, acZoomIn, acZoomOut})
        a->setEnabled(false);
}

void TGrafikDlg::CreateChart() {
    Chart = new QCustomPlot(this);
    Chart->setObjectName(QStringLiteral("Chart"));
    Chart->setLocale(QLocale());
    Chart->setCursor(Qt::CrossCursor);
    Chart->setBackground(Qt::white);
    Chart->setMinimumHeight(200);
    Chart->plotLayout()->insertRow(0);
    auto* title = new QCPTextElement(Chart, QStringLiteral("ORX"), QFont(font().family(), 11));
    Chart->plotLayout()->addElement(0, 0, title);

    Series1 = Chart->addGraph(Chart->xAxis, Chart->yAxis);
    Series2 = Chart->addGraph(Chart->xAxis, Chart->yAxis2);
    Series1->setPen(QPen(Qt::blue, 1));
    Series2->setPen(QPen(Qt::darkGreen, 1));
    Series1->setAdaptiveSampling(true);
    Series2->setAdaptiveSampling(true);
    Chart->xAxis->setTicker(QSharedPointer<QCPAxisTicker>(new TFourSubTicker));
    Chart->yAxis->setTicker(QSharedPointer<QCPAxisTicker>(new TGroupedTicker));
    Chart->yAxis2->setTicker(QSharedPointer<QCPAxisTicker>(new TFourSubTicker));
    Chart->yAxis2->setVisible(true);
    Chart->yAxis2->setRange(0, 100);
    for (QCPAxis* axis : {Chart->xAxis, Chart->yAxis, Chart->xAxis2, Chart->yAxis2}) {
        axis->grid()->setVisible(false);
        axis->ticker()->setTickCount(6);
    }
    auto colour = [](QCPAxis* axis, const QColor& c) {
        axis->setTickLabelColor(c);
        axis->setLabelColor(c);
        axis->setBasePen(QPen(c));
        axis->setTickPen(QPen(c));
        axis->setSubTickPen(QPen(c));
    };
    colour(Chart->yAxis, Qt::blue);
    colour(Chart->yAxis2, Qt::darkGreen);
    QFont bold = Chart->xAxis->labelFont();
    bold.setBold(true);
    Chart->xAxis->setLabelFont(bold);
    Chart->xAxis->setLabelColor(Qt::black);
    Chart->xAxis->setLabel(QStringLiteral("%1 in s").arg(LabelText(832)));
    Chart->yAxis->setLabel(LeftTitle(0));
    Chart->yAxis2->setLabel(QStringLiteral("%1 in %").arg(LabelText(833)));
    Chart->axisRect()->setRangeZoomAxes({Chart->xAxis, Chart->xAxis2},
                                        {Chart->yAxis, Chart->yAxis2});
    Chart->setSelectionRectMode(QCP::srmNone);
    Chart->setInteraction(QCP::iRangeZoom, false);

    // Mouse zoom: a rectangle drawn with the left button, or the wheel;
    // panning with the right button. The scaling before the first step is
    // kept for Reset zoom.
    connect(Chart->selectionRect(), &QCPSelectionRect::started, this,
            [this](QMouseEvent*) { RememberScaling(); });
    connect(Chart->selectionRect(), &QCPSelectionRect::accepted, this,
            [this](const QRect&, QMouseEvent*) {
                m_auto = {false, false, false, false};
                acResetZoom->setEnabled(true);
            });
    connect(Chart, &QCustomPlot::mouseWheel, this, [this](QWheelEvent*) {
        if (!m_mouseEnabled) return;
        RememberScaling();
        m_auto = {false, false, false, false};
        acResetZoom->setEnabled(true);
    });
    connect(Chart, &QCustomPlot::mousePress, this, &TGrafikDlg::PanPress);
    connect(Chart, &QCustomPlot::mouseMove, this, &TGrafikDlg::PanMove);
    connect(Chart, &QCustomPlot::mouseRelease, this, [this](QMouseEvent*) { EndPan(); });
}

QCPAxis* TGrafikDlg::Axis(TAxisIndex axis) const {
    switch (axis) {
    case Bottom:
        return Chart->xAxis;
    case Left:
        return Chart->yAxis;
    case Top:
        return Chart->xAxis2;
    case Right:
        return Chart->yAxis2;
    }
    return Chart->xAxis;
}

TAxisSpan TGrafikDlg::AxisSpan(TAxisIndex axis) const {
    const QCPRange range = Axis(axis)->range();
    return {range.lower, range.upper};
}

void TGrafikDlg::SetAxisSpan(TAxisIndex axis, TAxisSpan span) {
    Axis(axis)->setRange(span.Lower, span.Upper);
}

QString TGrafikDlg::LeftTitle(int unit) const {
    return QStringLiteral("%1 in %2").arg(LabelText(831), unit == 1 ? "m/min" : "m/s");
}

// File and printer errors: the system's reason in an error box.
void TGrafikDlg::ErrorBox(const QString& text) {
    m_host.ShowMsgBox(text, mtError, mbOK);
}

double TGrafikDlg::Clock() const {
    return m_clock ? m_clock() : acTimer->ElapsedSeconds();
}

void TGrafikDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    // Start waits for the channel to be borrowed.
    btnStart->setEnabled(false);
    QMetaObject::invokeMethod(this, &TGrafikDlg::FormShow, Qt::QueuedConnection);
}

void TGrafikDlg::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() != QEvent::LanguageChange || !Chart) return;
    Chart->yAxis->setLabel(LeftTitle(m_plottedUnit));
    Chart->yAxis2->setLabel(QStringLiteral("%1 in %").arg(LabelText(833)));
    Chart->xAxis->setLabel(QStringLiteral("%1 in s").arg(LabelText(832)));
    if (m_logFileName.isEmpty()) ShowTitle(LabelText(62));
    Chart->replot(QCustomPlot::rpQueuedReplot);
}

void TGrafikDlg::FormShow() {
    m_logFileName.clear();
    ShowTitle(LabelText(62));
    ProgressBar->setValue(0);
    m_shown = true;
    {
        TWaitCursor wait;
        btnStart->setEnabled(m_channel.PrepareChannel());
    }
    btnStop->setEnabled(false);
    btnSetup->setEnabled(true);
    ShowLinkState(QString());
    ApplyAxisSettings();
    Chart->replot();
}

void TGrafikDlg::ShowTitle(const QString& caption) {
    setWindowTitle(caption);
}

void TGrafikDlg::ApplyAxisSettings() {
    auto apply = [this](TAxisIndex index, int axis) {
        m_auto[index] = m_setup.AutoScale(axis);
        const double low = m_setup.Minimum(axis), high = m_setup.Maximum(axis);
        // Limits the chart cannot show (the setup refuses them) scale automatically.
        if (!m_auto[index] && QCPRange::validRange(low, high))
            Axis(index)->setRange(low, high);
        else
            m_auto[index] = true;
    };
    apply(Left, 0);
    Chart->yAxis->setLabel(LeftTitle(m_setup.VUnit()));
    apply(Right, 1);
    Chart->yAxis2->setLabel(QStringLiteral("%1 in %").arg(LabelText(833)));
    Chart->xAxis->setLabel(QStringLiteral("%1 in s").arg(LabelText(832)));
    m_auto[Bottom] = true;
    m_auto[Top] = true;
    QPen velocity = Series1->pen();
    velocity.setWidth(m_setup.Width(0));
    Series1->setPen(velocity);
    QPen rate = Series2->pen();
    rate.setWidth(m_setup.Width(1));
    Series2->setPen(rate);
    RescaleAutoAxes();
}

void TGrafikDlg::SetPostMeasurementActions(bool on) {
    for (QAction* a : {acMoveRight, acMoveLeft, acMoveUp, acMoveDown, acZoomIn, acZoomOut})
        a->setEnabled(on);
}

void TGrafikDlg::SetMouseZoom(bool on) {
    m_mouseEnabled = on;
    m_panning = false;
    Chart->setSelectionRectMode(on ? QCP::srmZoom : QCP::srmNone);
    Chart->setInteraction(QCP::iRangeZoom, on);
}

void TGrafikDlg::btnStartClick() {
    // What Start switches off, to be put back if the run cannot begin.
    // Open too: a file opened into a run would mix its points and unit
    // with the run's.
    const QList<QAction*> held = {acPrint,     acSaveAs,   acSaveAsBmp, acOpen,
                                  acMoveRight, acMoveLeft, acMoveUp,    acMoveDown,
                                  acZoomIn,    acZoomOut,  acResetZoom};
    QList<bool> before;
    for (QAction* a : held)
        before.append(a->isEnabled());
    btnStart->setEnabled(false);
    btnSetup->setEnabled(false);
    for (QAction* a : held)
        a->setEnabled(false);

    ApplyAxisSettings();
    m_points.Clear();
    m_rohdaten.Clear();
    m_rohdaten.SetCapacity(m_setup.XNumber());
    ProgressBar->setRange(0, m_setup.XNumber());
    ProgressBar->setValue(0);
    ProgressBar->setToolTip(QStringLiteral("Measurement Buffer= %1").arg(m_setup.XNumber()));
    SetMouseZoom(false);
    // The new settings are the scaling now: nothing older to go back to.
    m_scalingBeforeZoom.reset();
    m_plottedUnit = m_setup.VUnit();
    Panel2->clear();
    Panel2->setToolTip(QString());
    ShowPoints();

    if (m_setup.DataLog() && m_logFileName.isEmpty() && !StartLog()) {
        btnStart->setEnabled(true);
        btnSetup->setEnabled(true);
        for (qsizetype i = 0; i < held.size(); ++i)
            held[i]->setEnabled(before[i]);
        return;
    }

    m_measureState = TMeasureState::Running;
    acTimerProbe->start();
    acTimer->StartStopwatch();
    m_startClock = DayFraction(QTime::currentTime());
    ShowLinkState(QString());
    bool started = false;
    {
        TWaitCursor wait;
        started = m_channel.Start(m_setup.Update());
    }
    Panel0->setText(Seconds(0));
    btnStop->setEnabled(true);
    if (!started) {
        LinkLost();
        return;
    }
    m_watch.Start(m_setup.Update());
}

bool TGrafikDlg::StartLog() {
    const QString name =
        CsvLogFileName(m_host.TextDir(), QDateTime::currentDateTime(), m_setup.DataLogName());
    QString error;
    if (!CreateCsvLog(name, m_setup.VUnit(), &error)) {
        ErrorBox(error);
        return false;
    }
    m_logFileName = name;
    ShowTitle(QFileInfo(name).fileName());
    Panel2->setText(QFileInfo(name).fileName());
    Panel2->setToolTip(QDir::toNativeSeparators(name));
    return true;
}

void TGrafikDlg::ShowLogEnded(const QString& reason) {
    m_logFileName.clear();
    ShowTitle(LabelText(62));
    Panel2->setText(QStringLiteral("<span style='color:#c00000'>%1</span>")
                        .arg(LabelTextOr(836, QStringLiteral("Logging ended")).toHtmlEscaped()));
    const QString text =
        LabelTextOr(837, QStringLiteral("The log file could not be written; logging has ended "
                                        "and the measurement goes on. %1"))
            .arg(reason);
    Panel2->setToolTip(text);
    Panel2->setStatusTip(text);
}

void TGrafikDlg::ReceiveLine(const QByteArray& line) {
    m_watch.LineArrived();
    m_rohdaten.Add(Clock(), line);
}

void TGrafikDlg::ShowBufferState() {
    ProgressBar->setValue(int(m_rohdaten.Count()));
    if (m_rohdaten.Cut()) Panel0->setText(Seconds(m_rohdaten.CutSeconds()));
}

void TGrafikDlg::acTimerProbeTimer() {
    ShowBufferState();
    if (!m_rohdaten.NewData()) return;
    m_rohdaten.SetNewData(false);
    AddPoint(m_rohdaten.Newest());
    ShowPoints();
}

void TGrafikDlg::AddPoint(const TMesswert& record) {
    const TMeasurement m = DecodeMeasurementLine(record.Packet(), false);
    if (m.Kind == TMeasurement::TKind::Invalid) {
        m_points.Add(record.Seconds, m_points.LastVelocity(), m_points.LastRate(), true);
    } else if (m.Kind == TMeasurement::TKind::Valid) {
        const double velocity = m_setup.VUnit() == 1 ? m.Velocity * 60 : m.Velocity;
        m_points.Add(record.Seconds, velocity, m.Rate, false);
        if (m_setup.DataLog() && !m_logFileName.isEmpty()) {
            QString error;
            if (!AppendCsvLog(
                    m_logFileName,
                    CsvRow(record.Seconds, velocity, m.Rate, ClockText(QTime::currentTime())),
                    &error))
                ShowLogEnded(error);
        }
    }
    if (m_measureState == TMeasureState::Running) m_points.KeepNewest(100);
}

void TGrafikDlg::ShowPoints() {
    Series1->setData(m_points.Times(), m_points.DrawnVelocity(), true);
    Series2->setData(m_points.Times(), m_points.DrawnRate(), true);
    RescaleAutoAxes();
    Chart->replot(QCustomPlot::rpQueuedReplot);
}

void TGrafikDlg::RescaleAutoAxes() {
    if (m_points.IsEmpty()) return;
    if (m_auto[Bottom]) Series1->rescaleKeyAxis(false);
    if (m_auto[Top]) Chart->xAxis2->setRange(Chart->xAxis->range());
    if (m_auto[Left]) Series1->rescaleValueAxis(false, false);
    if (m_auto[Right]) Series2->rescaleValueAxis(false, false);
}

void TGrafikDlg::btnStopClick() {
    EndRun(true);
}

void TGrafikDlg::EndRun(bool sendStop) {
    m_watch.Stop();
    m_logFileName.clear();
    ShowTitle(LabelText(62));
    btnStop->setEnabled(false);
    btnSetup->setEnabled(true);
    for (QAction* a : {acPrint, acSaveAs, acSaveAsBmp, acOpen})
        a->setEnabled(true);
    SetPostMeasurementActions(true);
    acResetZoom->setEnabled(false);
    acTimerProbe->stop();
    m_measureState = TMeasureState::Stopped;
    bool stopped = !sendStop;
    {
        TWaitCursor wait;
        if (sendStop) stopped = m_channel.Stop();
        SetMouseZoom(true);
        PlotBuffer();
    }
    btnStart->setEnabled(true);
    if (!stopped) LinkLost();
}

// Every line of the buffer, not only the ones plotted live, in the run's
// unit (which Save as then names).
void TGrafikDlg::PlotBuffer() {
    m_plottedUnit = m_setup.VUnit();
    Chart->yAxis->setLabel(LeftTitle(m_plottedUnit));
    m_points.Clear();
    m_points.Reserve(m_rohdaten.Count());
    for (qsizetype i = 0; i < m_rohdaten.Count(); ++i)
        AddPoint(m_rohdaten.At(i));
    ShowBufferState();
    ShowPoints();
}

void TGrafikDlg::btnSetupClick() {
    m_setup.Execute();
}

void TGrafikDlg::done(int result) {
    if (m_shown) {
        m_shown = false;
        // A run that the window's closing ends: nothing more is plotted or
        // logged, and lines from TCP no longer come here.
        acTimerProbe->stop();
        m_watch.Stop();
        m_logFileName.clear();
        if (m_measureState == TMeasureState::Running) m_measureState = TMeasureState::Idle;
        btnStop->setEnabled(false);
        TWaitCursor wait;
        m_channel.RestoreChannel();
    }
    QDialog::done(result);
}

void TGrafikDlg::acCloseExecute() {
    reject();
}

// --- Zoom and move -------------------------------------------------------------

void TGrafikDlg::acAutoScaleExecute() {
    // While a run goes on, its points keep the axes fitted; afterwards the
    // scaling before is kept for Reset zoom.
    const bool running = m_measureState == TMeasureState::Running;
    if (!running) RememberScaling();
    m_auto = {true, true, true, true};
    RescaleAutoAxes();
    if (!running) acResetZoom->setEnabled(true);
    Chart->replot(QCustomPlot::rpQueuedReplot);
}

void TGrafikDlg::RememberScaling() {
    if (m_scalingBeforeZoom) return;
    std::array<TAxisScaling, 4> scaling;
    for (int i = 0; i < 4; ++i)
        scaling[i] = {m_auto[i], AxisSpan(TAxisIndex(i))};
    m_scalingBeforeZoom = scaling;
}

void TGrafikDlg::ZoomOrMove(const std::array<bool, 4>& axes,
                            const std::function<TAxisSpan(TAxisSpan)>& step) {
    RememberScaling();
    for (int i = 0; i < 4; ++i) {
        if (!axes[i]) continue;
        SetAxisSpan(TAxisIndex(i), step(AxisSpan(TAxisIndex(i))));
        m_auto[i] = false;
    }
    acResetZoom->setEnabled(true);
    Chart->replot(QCustomPlot::rpQueuedReplot);
}

void TGrafikDlg::acZoomInExecute() {
    ZoomOrMove({true, true, true, true}, [](TAxisSpan s) { return ZoomSpan(s, 120); });
}

void TGrafikDlg::acZoomOutExecute() {
    ZoomOrMove({true, true, true, true}, [](TAxisSpan s) { return ZoomSpan(s, 80); });
}

void TGrafikDlg::acMoveLeftExecute() {
    ZoomOrMove({true, false, true, false}, [](TAxisSpan s) { return MoveSpan(s, 0.1); });
}

void TGrafikDlg::acMoveRightExecute() {
    ZoomOrMove({true, false, true, false}, [](TAxisSpan s) { return MoveSpan(s, -0.1); });
}

void TGrafikDlg::acMoveUpExecute() {
    ZoomOrMove({false, true, false, true}, [](TAxisSpan s) { return MoveSpan(s, -0.1); });
}

void TGrafikDlg::acMoveDownExecute() {
    ZoomOrMove({false, true, false, true}, [](TAxisSpan s) { return MoveSpan(s, 0.1); });
}

// Back to the scaling before the first zoom, move or mouse step.
void TGrafikDlg::acResetZoomExecute() {
    if (m_scalingBeforeZoom) {
        for (int i = 0; i < 4; ++i) {
            m_auto[i] = (*m_scalingBeforeZoom)[i].Auto;
            SetAxisSpan(TAxisIndex(i), (*m_scalingBeforeZoom)[i].Span);
        }
        m_scalingBeforeZoom.reset();
        RescaleAutoAxes();
        Chart->replot(QCustomPlot::rpQueuedReplot);
    }
    acResetZoom->setEnabled(false);
}

void TGrafikDlg::PanPress(QMouseEvent* event) {
    if (!m_mouseEnabled || event->button() != Qt::RightButton) return;
    // The chart would draw its zoom rectangle for any button: a pan keeps
    // the span, so no rectangle starts while the right button is down.
    Chart->setSelectionRectMode(QCP::srmNone);
    m_panning = true;
    m_panOrigin = event->pos();
    for (int i = 0; i < 4; ++i)
        m_panSpans[i] = AxisSpan(TAxisIndex(i));
}

void TGrafikDlg::PanMove(QMouseEvent* event) {
    if (!m_panning || !(event->buttons() & Qt::RightButton)) return;
    if (!m_scalingBeforeZoom) {
        // The scaling as it was when the button went down.
        std::array<TAxisScaling, 4> scaling;
        for (int i = 0; i < 4; ++i)
            scaling[i] = {m_auto[i], m_panSpans[i]};
        m_scalingBeforeZoom = scaling;
    }
    for (int i = 0; i < 4; ++i) {
        QCPAxis* axis = Axis(TAxisIndex(i));
        const TAxisSpan from = m_panSpans[i];
        axis->setRange(from.Lower, from.Upper);
        const bool horizontal = i == Bottom || i == Top;
        const double d =
            horizontal ? axis->pixelToCoord(m_panOrigin.x()) - axis->pixelToCoord(event->pos().x())
                       : axis->pixelToCoord(m_panOrigin.y()) - axis->pixelToCoord(event->pos().y());
        axis->setRange(from.Lower + d, from.Upper + d);
        m_auto[i] = false;
    }
    acResetZoom->setEnabled(true);
    Chart->replot(QCustomPlot::rpQueuedReplot);
}

void TGrafikDlg::EndPan() {
    if (!m_panning) return;
    m_panning = false;
    if (m_mouseEnabled) Chart->setSelectionRectMode(QCP::srmZoom);
}

// --- Files, bitmap and print --------------------------------------------------

// The dialog of Save as and Open: CSV files in the text folder.
TFileDialogRequest TGrafikDlg::CsvRequest(TFileDialogRequest::Kind kind, int caption) const {
    TFileDialogRequest request;
    request.kind = kind;
    request.caption = LabelText(caption);
    request.directory = m_host.TextDir();
    request.filter = LabelText(123) + u'|' + LabelText(107);
    request.defaultSuffix = QStringLiteral("csv");
    request.mustExist = kind == TFileDialogRequest::Open;
    return request;
}

void TGrafikDlg::acSaveAsExecute() {
    const TFileDialogRequest request = CsvRequest(TFileDialogRequest::Save, 81);
    const QString path = TFileDialogs::GetSaveFileName(this, request);
    if (path.isEmpty()) return;
    TFormMsgBox::ShowMessage(QStringLiteral("%1 %2 %3")
                                 .arg(m_points.Count())
                                 .arg(LabelText(87), QFileInfo(path).fileName()));
    TWaitCursor wait;
    QString error;
    if (!SaveCsv(path, m_points, m_plottedUnit, m_startClock, &error)) ErrorBox(error);
}

void TGrafikDlg::acOpenExecute() {
    const TFileDialogRequest request = CsvRequest(TFileDialogRequest::Open, 88);
    const QString path = TFileDialogs::GetOpenFileName(this, request);
    if (path.isEmpty()) return;
    TWaitCursor wait;
    ApplyAxisSettings();
    m_points.Clear();
    bool metersPerSecond = false;
    QString error;
    TChartData read;
    if (!ReadCsv(path, read, metersPerSecond, &error)) {
        ShowPoints();
        ErrorBox(error);
        return;
    }
    m_points = std::move(read);
    m_plottedUnit = metersPerSecond ? 0 : 1;
    Chart->yAxis->setLabel(LeftTitle(m_plottedUnit));
    ShowPoints();
    SetPostMeasurementActions(true);
    acResetZoom->setEnabled(false);
    m_scalingBeforeZoom.reset();
    SetMouseZoom(true);
    if (!error.isEmpty()) ErrorBox(error);
}

void TGrafikDlg::acSaveAsBmpExecute() {
    TFileDialogRequest request;
    request.kind = TFileDialogRequest::Save;
    request.caption = LabelText(82);
    request.directory = m_host.TextDir();
    request.filter = LabelTextOr(838, QStringLiteral("Bitmap files (*.bmp)|*.bmp"));
    request.defaultSuffix = QStringLiteral("bmp");
    const QString path = TFileDialogs::GetSaveFileName(this, request);
    if (path.isEmpty()) return;
    TWaitCursor wait;
    // The chart on white, at the size it has on the screen.
    Chart->setBackground(Qt::white);
    const QImage image = Chart->toPixmap(Chart->width(), Chart->height()).toImage();
    // Made in memory first: the user's file is replaced only by a whole
    // bitmap.
    QBuffer bitmap;
    bitmap.open(QIODevice::WriteOnly);
    QImageWriter writer(&bitmap, "bmp");
    QString error;
    if (!writer.write(image))
        error = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), writer.errorString());
    else
        WriteFileSafely(path, bitmap.data(), &error);
    if (!error.isEmpty()) ErrorBox(error);
}

// The page shows what the window shows: the chart is laid out at its size
// on screen and at the screen's resolution, so that its texts and lines keep
// their proportions, and scaled as a whole into the page less a margin of
// 5 % on every side. The printer still gets lines and text, not pixels. A
// chart is wider than tall, so the page starts out in landscape.
void TGrafikDlg::acPrintExecute() {
    QPrinter printer(QPrinter::ScreenResolution);
    printer.setDocName(QStringLiteral("Printing Chart"));
    printer.setPageOrientation(QPageLayout::Landscape);
    if (!TPrintDialogs::Exec(printer, this)) return;
    TWaitCursor wait;
    QCPPainter painter;
    if (!painter.begin(&printer)) {
        printer.abort();
        ErrorBox(QStringLiteral("Printing Chart: %1")
                     .arg(printer.outputFileName().isEmpty()
                              ? printer.printerName()
                              : QDir::toNativeSeparators(printer.outputFileName())));
        return;
    }
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    const QRect target(page.left() + qRound(page.width() * 0.05),
                       page.top() + qRound(page.height() * 0.05),
                       page.width() - 2 * qRound(page.width() * 0.05),
                       page.height() - 2 * qRound(page.height() * 0.05));
    const QSize shown = Chart->size().expandedTo(QSize(200, 150));
    const double scale =
        std::min(double(target.width()) / shown.width(), double(target.height()) / shown.height());
    painter.setMode(QCPPainter::pmVectorized);
    painter.setMode(QCPPainter::pmNoCaching);
    painter.translate(target.topLeft() - page.topLeft());
    painter.scale(scale, scale);
    Chart->toPainter(&painter, shown.width(), shown.height());
    painter.end();
}
