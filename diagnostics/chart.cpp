#include "diagnostics/chart.h"

#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QValueAxis>
#include <QVBoxLayout>

TelemetryChart::TelemetryChart(QWidget* parent)
    : QWidget(parent), chart_(new QChart), Series1(new QLineSeries), bottom_(new QValueAxis),
      left_(new QValueAxis)
{
    chart_->setTitle(QStringLiteral("TChart"));
    chart_->legend()->hide();
    chart_->setAnimationOptions(QChart::NoAnimation);
    chart_->setBackgroundRoundness(0);
    chart_->setDropShadowEnabled(false);

    Series1->setObjectName(QStringLiteral("Series1"));
    Series1->setColor(QColor(0, 128, 0));
    Series1->setPointLabelsFormat(QStringLiteral("0"));
    Series1->setPointLabelsVisible(false);
    chart_->addSeries(Series1);

    // The first point is always X = 0, so the minimum the data gives is 0.
    bottom_->setRange(0, VisibleMax);
    bottom_->setVisible(false);
    chart_->addAxis(bottom_, Qt::AlignBottom);
    chart_->addAxis(left_, Qt::AlignLeft);
    Series1->attachAxis(bottom_);
    Series1->attachAxis(left_);
    updateLeftAxis();

    view_ = new QChartView(chart_, this);
    view_->setRenderHint(QPainter::Antialiasing, false);
    view_->setFrameShape(QFrame::NoFrame);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
}

void TelemetryChart::append(float y)
{
    const int x = count();
    const bool widens = store_.empty() || y < store_.minY() || y > store_.maxY();
    store_.append(y);
    if (x <= VisibleMax)
        Series1->append(x, double(y));
    if (widens)
        updateLeftAxis();
}

void TelemetryChart::clear()
{
    store_.clear();
    Series1->clear();
    updateLeftAxis();
}

int TelemetryChart::count() const
{
    return int(store_.size());
}

QPointF TelemetryChart::pointAt(int i) const
{
    return QPointF(i, double(store_.y(std::size_t(i))));
}

QList<QPointF> TelemetryChart::points() const
{
    QList<QPointF> all;
    all.reserve(count());
    for (int i = 0; i < count(); ++i)
        all.append(pointAt(i));
    return all;
}

int TelemetryChart::drawnCount() const
{
    return int(Series1->count());
}

void TelemetryChart::updateLeftAxis()
{
    if (store_.empty()) {
        left_->setRange(0, 1);
        return;
    }
    double lo = store_.minY(), hi = store_.maxY();
    if (lo == hi) { // a flat line still needs a span to sit in
        lo -= 1;
        hi += 1;
    }
    left_->setRange(lo, hi);
}
