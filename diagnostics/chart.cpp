#include "diagnostics/chart.h"
TelemetryChart::TelemetryChart(QWidget* parent) : QWidget(parent) {}
