// A poll's chart work - one append plus a repaint of the shown chart - must cost the same
// whether the series holds a thousand points or a million (a day of "Цикл" at 100 ms is
// 864 000).  Prints both times, their ratio as a figure (see bench/run) and the memory a point
// takes; exits 1 when the goal is missed or the charts did not paint.
#include "bench/figure.h"
#include "diagnostics/chart.h"
#include "diagnostics/telemetry.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QElapsedTimer>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <vector>

namespace {

constexpr double Goal = 1.2;
constexpr int Small = 1000;
constexpr int Large = 1000000;
constexpr int Rounds = 400;
constexpr int Warmup = 30;

// A POWER-like reading wandering around 240.0 V; the range is set by the first few hundred
// points, as in a real run.
std::uint16_t reading(int i)
{
    return std::uint16_t(2350 + (i * 37) % 101);
}

long residentBytes()
{
#ifdef __linux__
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    if (statm >> size >> resident)
        return resident * 4096;
#endif
    return -1;
}

void fill(TelemetryChart& c, int n)
{
    for (int i = c.count(); i < n; ++i)
        c.append(telemetry::sample(reading(i)));
}

double poll(TelemetryChart& c)
{
    QElapsedTimer t;
    t.start();
    c.append(telemetry::sample(reading(c.count())));
    QCoreApplication::processEvents();
    // The chart draws in its view's viewport; a repaint of the chart widget alone does not
    // reach it.
    if (auto* view = c.findChild<QAbstractScrollArea*>())
        view->viewport()->repaint();
    else
        c.repaint();
    return double(t.nsecsElapsed()) / 1e6;
}

// Counts the paint events of the chart's views, so that a repaint that painted nothing cannot
// pass for a fast one.
class PaintCounter : public QObject {
public:
    int paints = 0;
    void watch(QWidget* w)
    {
        for (auto* view : w->findChildren<QAbstractScrollArea*>())
            view->viewport()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        qputenv("QT_LOGGING_RULES", "qt.qpa.*=false");
    QApplication app(argc, argv);

    TelemetryChart small, large;
    for (TelemetryChart* c : {&small, &large}) {
        c->resize(386, 247); // the size it has in the panel
        c->show();
    }
    // A window paints only once the platform has exposed it.
    QElapsedTimer exposing;
    exposing.start();
    while (!(small.windowHandle() && small.windowHandle()->isExposed()
             && large.windowHandle() && large.windowHandle()->isExposed())
           && exposing.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    fill(small, Small);
    const long before = residentBytes();
    fill(large, Large);
    const long after = residentBytes();
    QCoreApplication::processEvents();

    PaintCounter counter;
    counter.watch(&small);
    counter.watch(&large);

    // Alternate the two so that the load of a shared machine falls on both alike.
    std::vector<double> ts, tl;
    for (int r = 0; r < Warmup + Rounds; ++r) {
        const double a = poll(small), b = poll(large);
        if (r >= Warmup) {
            ts.push_back(a);
            tl.push_back(b);
        }
    }
    const double ms = median(ts), ml = median(tl);
    const bool painted = counter.paints >= 2 * (Warmup + Rounds);

    std::printf("chart poll (append + repaint, %d polls each, median)\n", Rounds);
    std::printf("  at %7d points: %s ms\n", Small, bench::num(ms).constData());
    std::printf("  at %7d points: %s ms\n", Large, bench::num(ml).constData());
    std::printf("  chart paints: %d in %d polls\n", counter.paints, 2 * (Warmup + Rounds));
    std::printf("  drawn points: %d of %d\n", large.drawnCount(), large.count());
    std::printf("  memory per point: 4 bytes kept (float Y, X is the index); ");
    if (before >= 0 && after >= 0)
        std::printf("resident growth %s bytes a point over %d points\n",
                    bench::num(double(after - before) / (Large - Small), 2).constData(), Large - Small);
    else
        std::printf("resident growth not measured here\n");
    if (!painted)
        bench::unmeasured("chartpoll", "the charts were not painted on every poll");
    const bool ok = bench::figure("chartpoll", painted ? ml / ms : std::nan(""), "<=", Goal,
                                  "chart poll at 1 000 000 points / at 1 000 points");
    return ok ? 0 : 1;
}
