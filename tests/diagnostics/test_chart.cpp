// The chart seam: what it keeps, what it hands the chart library, how its axes follow.
#include "diagnostics/chart.h"

#include <QtTest>
#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QValueAxis>

class TestChart : public QObject {
    Q_OBJECT
private slots:
    void looksAsDesigned();
    void numbersPointsFromZero();
    void keepsEveryPointButDrawsOnlyTheVisibleOnes();
    void leftAxisSpansEveryPoint();
    void flatLineGetsASpan();
    void clearStartsAtPointZero();

private:
    struct Parts {
        QChart* chart;
        QLineSeries* series;
        QValueAxis* bottom;
        QValueAxis* left;
    };
    static Parts parts(TelemetryChart& c);
};

TestChart::Parts TestChart::parts(TelemetryChart& c)
{
    auto* view = c.findChild<QChartView*>();
    Parts p{view ? view->chart() : nullptr, nullptr, nullptr, nullptr};
    if (!p.chart)
        return p;
    const auto series = p.chart->series();
    if (series.size() == 1)
        p.series = qobject_cast<QLineSeries*>(series.first());
    const auto h = p.chart->axes(Qt::Horizontal), v = p.chart->axes(Qt::Vertical);
    if (h.size() == 1)
        p.bottom = qobject_cast<QValueAxis*>(h.first());
    if (v.size() == 1)
        p.left = qobject_cast<QValueAxis*>(v.first());
    return p;
}

void TestChart::looksAsDesigned()
{
    TelemetryChart c;
    const Parts p = parts(c);
    QVERIFY(p.chart && p.series && p.bottom && p.left);
    QCOMPARE(p.chart->title(), QStringLiteral("TChart"));
    QVERIFY(!p.chart->legend()->isVisible());
    QCOMPARE(p.series->objectName(), QStringLiteral("Series1"));
    QCOMPARE(p.series->color(), QColor(0, 128, 0));
    QVERIFY(!p.bottom->isVisible());
    QVERIFY(p.left->isVisible());
    QCOMPARE(p.bottom->alignment(), Qt::AlignBottom);
    QCOMPARE(p.left->alignment(), Qt::AlignLeft);
    QCOMPARE(p.bottom->min(), 0.0);
    QCOMPARE(p.bottom->max(), 500.0);
    QCOMPARE(c.count(), 0);
}

void TestChart::numbersPointsFromZero()
{
    TelemetryChart c;
    const Parts p = parts(c);
    c.append(50.0f);
    c.append(0.9f);
    c.append(240.0f);
    QCOMPARE(c.count(), 3);
    const QList<QPointF> expected{{0, 50.0}, {1, double(0.9f)}, {2, 240.0}};
    QCOMPARE(c.points(), expected);
    QCOMPARE(c.pointAt(1), QPointF(1, double(0.9f)));
    QCOMPARE(p.series->points(), expected); // widened, not re-rounded to the nearest double
    QCOMPARE(p.bottom->max(), 500.0);       // fixed, whatever the data
}

void TestChart::keepsEveryPointButDrawsOnlyTheVisibleOnes()
{
    TelemetryChart c;
    const Parts p = parts(c);
    for (int i = 0; i < 1200; ++i)
        c.append(float(i % 97));
    QCOMPARE(c.count(), 1200);
    QCOMPARE(c.drawnCount(), 501); // X 0..500
    QCOMPARE(p.series->count(), 501);
    QCOMPARE(p.series->at(500), QPointF(500, 500 % 97));
    for (int i : {0, 500, 501, 777, 1199})
        QCOMPARE(c.pointAt(i), QPointF(i, i % 97));
    QCOMPARE(c.points().size(), 1200);
    QCOMPARE(c.points().last(), QPointF(1199, 1199 % 97));
}

void TestChart::leftAxisSpansEveryPoint()
{
    TelemetryChart c;
    const Parts p = parts(c);
    c.append(40.0f);
    c.append(42.5f);
    QCOMPARE(p.left->min(), 40.0);
    QCOMPARE(p.left->max(), 42.5);
    for (int i = 2; i < 700; ++i)
        c.append(i == 650 ? 99.5f : i == 660 ? 1.5f : 41.0f);
    // Points beyond the visible range still count, as in the series they belong to.
    QCOMPARE(p.left->min(), 1.5);
    QCOMPARE(p.left->max(), 99.5);
}

void TestChart::flatLineGetsASpan()
{
    TelemetryChart c;
    const Parts p = parts(c);
    c.append(240.0f);
    c.append(240.0f);
    QVERIFY(p.left->min() < 240.0);
    QVERIFY(p.left->max() > 240.0);
}

void TestChart::clearStartsAtPointZero()
{
    TelemetryChart c;
    const Parts p = parts(c);
    for (int i = 0; i < 600; ++i)
        c.append(float(i));
    c.clear();
    QCOMPARE(c.count(), 0);
    QCOMPARE(p.series->count(), 0);
    c.append(7.5f);
    c.append(8.0f);
    QCOMPARE(c.points(), (QList<QPointF>{{0, 7.5}, {1, 8.0}}));
    QCOMPARE(p.series->points(), (QList<QPointF>{{0, 7.5}, {1, 8.0}}));
    QCOMPARE(p.left->min(), 7.5);
    QCOMPARE(p.left->max(), 8.0);
}

QTEST_MAIN(TestChart)
#include "test_chart.moc"
