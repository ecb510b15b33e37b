// SPDX-License-Identifier: MIT
#pragma once

#include "FileDialogs.h"
#include "TChartData.h"
#include "THost.h"
#include "TLineWatch.h"
#include "TMeasurementChannel.h"
#include "TRohdaten.h"

#include <QDialog>
#include <QPoint>

#include <array>
#include <functional>
#include <optional>

class QAction;
class QCPAxis;
class QCPGraph;
class QCustomPlot;
class QLabel;
class QMenu;
class QMenuBar;
class QMouseEvent;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QToolButton;
class TAccuTimer;
class TGraphicSetupDlg;

// Chart window: the sensor's velocity (blue, left axis) and signal rate
// (green, right axis) over the seconds since Start. During a run every
// received line goes into the raw-data buffer and the newest one is
// plotted every 100 ms (the live chart keeps 100 points); Stop plots the
// whole buffer, which can then be zoomed, moved, printed and saved as a
// bitmap or CSV file. With logging on, every live point is also appended
// to a CSV log file. A link that goes away ends the run as Stop does (the
// buffer is plotted); when the sensor is back, the channel's own settings
// are written back and it is borrowed afresh. Lines that stop coming are
// told in the status bar.
class TGrafikDlg : public QDialog {
    Q_OBJECT
public:
    enum class TMeasureState { Idle, Running, Stopped };
    // The axes in the order the zoom steps treat them.
    enum TAxisIndex { Bottom, Left, Top, Right };

    TGrafikDlg(THost& host, TGraphicSetupDlg& setup, QWidget* parent = nullptr);
    ~TGrafikDlg() override;

    void FormShow();
    void btnStartClick();
    void btnStopClick();
    void btnSetupClick();
    void acTimerProbeTimer();
    // Decodes one record and adds its point (or a gap) to both curves.
    void AddPoint(const TMesswert& record);
    void ApplyAxisSettings();

    void acOpenExecute();
    void acSaveAsExecute();
    void acSaveAsBmpExecute();
    void acPrintExecute();
    void acCloseExecute();
    void acResetZoomExecute();
    void acMoveRightExecute();
    void acMoveLeftExecute();
    void acMoveUpExecute();
    void acMoveDownExecute();
    void acZoomInExecute();
    void acZoomOutExecute();
    // Every axis scaled to the points shown, for this view only (the
    // setup keeps its limits); Reset zoom goes back.
    void acAutoScaleExecute();

    // One measurement line from the serial framer or from TCP.
    void ReceiveLine(const QByteArray& line);

    // Closing restores the channel, whichever way the window closes.
    void done(int result) override;

    TMeasureState MeasureState() const { return m_measureState; }
    const TRohdaten& Rohdaten() const { return m_rohdaten; }
    const TChartData& Points() const { return m_points; }
    QString LogFileName() const { return m_logFileName; }
    TMeasurementChannel& Channel() { return m_channel; }
    TAxisSpan AxisSpan(TAxisIndex axis) const;
    bool AxisAuto(TAxisIndex axis) const { return m_auto[axis]; }
    void SetAxisSpan(TAxisIndex axis, TAxisSpan span);
    bool MouseZoomEnabled() const { return m_mouseEnabled; }
    // The seconds since Start that a received line is stamped with; a test
    // sets its own clock (nullptr: the stopwatch).
    void SetClock(std::function<double()> clock) { m_clock = std::move(clock); }
    // Makes the chart show the points (the probe and Stop do it).
    void ShowPoints();
    // Stop's plot: every record of the buffer, oldest first.
    void PlotBuffer();

    QCustomPlot* Chart = nullptr;
    QCPGraph* Series1 = nullptr; // velocity
    QCPGraph* Series2 = nullptr; // rate
    QMenuBar* MainMenu = nullptr;
    QMenu* mnFile = nullptr;
    QMenu* mnView = nullptr;
    QPushButton* btnStart = nullptr;
    QPushButton* btnStop = nullptr;
    QPushButton* btnSetup = nullptr;
    QPushButton* btnCancel = nullptr;
    QToolButton* sbZoomIn = nullptr;
    QToolButton* sbResetZoom = nullptr;
    QToolButton* sbZoomOut = nullptr;
    QToolButton* sbAutoScale = nullptr;
    QStatusBar* StatusBar = nullptr;
    QLabel* Panel0 = nullptr; // how far back the buffer has been cut
    QProgressBar* ProgressBar = nullptr;
    QLabel* Panel2 = nullptr;    // the log's state
    QLabel* PanelLink = nullptr; // the link lost, lines not coming
    TLineWatch& LineWatch() { return m_watch; }
    QAction* acOpen = nullptr;
    QAction* acSaveAs = nullptr;
    QAction* acSaveAsBmp = nullptr;
    QAction* acPrint = nullptr;
    QAction* acClose = nullptr;
    QAction* acResetZoom = nullptr;
    QAction* acMoveRight = nullptr;
    QAction* acMoveLeft = nullptr;
    QAction* acMoveUp = nullptr;
    QAction* acMoveDown = nullptr;
    QAction* acZoomIn = nullptr;
    QAction* acZoomOut = nullptr;
    QAction* acAutoScale = nullptr;
    TAccuTimer* acTimer = nullptr;      // the stopwatch of the run
    TAccuTimer* acTimerProbe = nullptr; // plots the newest line every 100 ms

protected:
    void showEvent(QShowEvent* event) override;
    // A language switch: the texts built here follow it.
    void changeEvent(QEvent* event) override;

private:
    struct TAxisScaling {
        bool Auto = true;
        TAxisSpan Span;
    };

    void CreateActions();
    void CreateChart();
    QCPAxis* Axis(TAxisIndex axis) const;
    void SetPostMeasurementActions(bool on);
    void SetMouseZoom(bool on);
    void RescaleAutoAxes();
    void RememberScaling();
    void ZoomOrMove(const std::array<bool, 4>& axes,
                    const std::function<TAxisSpan(TAxisSpan)>& step);
    void ShowBufferState();
    void ShowLogEnded(const QString& reason);
    void ShowLinkState(const QString& text);
    void LinkLost();
    void LinkReady();
    void EndRun(bool sendStop);
    void ShowTitle(const QString& caption);
    bool StartLog();
    QString LeftTitle(int unit) const;
    void PanPress(QMouseEvent* event);
    void PanMove(QMouseEvent* event);
    void EndPan();
    double Clock() const;
    void ErrorBox(const QString& text);
    TFileDialogRequest CsvRequest(TFileDialogRequest::Kind kind, int caption) const;

    THost& m_host;
    TGraphicSetupDlg& m_setup;
    TMeasurementChannel m_channel;
    TLineWatch m_watch;
    TRohdaten m_rohdaten;
    TChartData m_points;
    TMeasureState m_measureState = TMeasureState::Idle;
    double m_startClock = 0; // time of day at Start, as a fraction of a day
    QString m_logFileName;
    int m_plottedUnit = 0; // velocity unit of the points shown: 0 m/s, 1 m/min
    std::array<bool, 4> m_auto = {true, true, true, true};
    std::optional<std::array<TAxisScaling, 4>> m_scalingBeforeZoom;
    bool m_mouseEnabled = false;
    bool m_shown = false; // the channel is borrowed
    bool m_panning = false;
    QPoint m_panOrigin;
    std::array<TAxisSpan, 4> m_panSpans;
    std::function<double()> m_clock;
};
