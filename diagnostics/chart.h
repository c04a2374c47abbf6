#pragma once
// The telemetry chart behind a seam of our own: QtCharts is on its way out of Qt, so nothing
// outside chart.cpp touches it.
#include "diagnostics/telemetry.h"

#include <QList>
#include <QPointF>
#include <QWidget>

class QChart;
class QChartView;
class QLineSeries;
class QValueAxis;

// A line chart "TChart" with one series, `Series1`, without a legend.  Point n has X = n,
// counted from 0 after creation or clear().  The bottom axis is hidden and ends at 500; the
// left axis spans every point's Y.
//
// Every point is kept, but the chart library only ever holds the points up to X = 500, the
// ones the bottom axis can show: a QLineSeries copies all its points on each append, and with
// the whole run in it a poll would slow down hour by hour.
class TelemetryChart : public QWidget {
    Q_OBJECT
public:
    static constexpr int VisibleMax = 500; // last X the bottom axis shows

    explicit TelemetryChart(QWidget* parent = nullptr);

    // The next point: X = count(), Y = the sample, widened to double for the chart.
    void append(float y);
    // Removes every point; the next one is point 0 again.
    void clear();

    int count() const;
    QPointF pointAt(int i) const;
    QList<QPointF> points() const;
    // The points the chart library holds, i.e. the drawn ones.
    int drawnCount() const;

private:
    void updateLeftAxis();

    telemetry::PointStore store_;
    QChart* chart_;
    QChartView* view_;
    QLineSeries* Series1;
    QValueAxis* bottom_;
    QValueAxis* left_;
};
