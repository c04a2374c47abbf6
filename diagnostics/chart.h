#pragma once
#include <QWidget>
// The telemetry chart behind a seam of our own (QtCharts is on its way out of Qt).
class TelemetryChart : public QWidget {
    Q_OBJECT
public:
    explicit TelemetryChart(QWidget* parent = nullptr);
};
