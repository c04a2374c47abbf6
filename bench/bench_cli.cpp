// virelan2-cli write against a unit paced at 115200 baud: the whole command as a script runs it
// (process start, connect, read, write, verdict, read-back, end, process exit) against the time
// the design itself takes, its three 1000 ms pauses plus the wire time of every byte exchanged.
// The command line must add nothing of its own worth mentioning.
//
//   bench_cli   prints the figure with its goal and exits non-zero when it is missed
#include "bench/figure.h"
#include "link/portnames.h"
#include "sim/unitsim.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int Rounds = 3;
constexpr double PausesMs = 3 * 1000.0; // after "R", after the image, after the read-back's "R"
constexpr double ByteMs = 10 * 1000.0 / 115200; // 8N1

// What the unit answers in a write of new firmware: "V" to the first "Z", "W", the image, the
// verdict, the image again, "V" to the last "Z".
constexpr int RepliedBytes = 1 + 1 + 512 + 1 + 512 + 1;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}


} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // The figures go out with a decimal point whatever the locale, for whatever reads them.
    std::setlocale(LC_NUMERIC, "C");
    QTemporaryDir scratch;
    qputenv("XDG_DATA_HOME", scratch.path().toUtf8());
    QDir::setCurrent(scratch.path());

    sim::Config paced;
    paced.paced = true;
    sim::Unit unit(paced);
    if (!unit.link(1, link::portfolder().toStdString())) {
        bench::unmeasured("cliwrite", "the simulated unit could not be linked as COM1");
        return 1;
    }

    std::vector<double> times;
    double wire = 0;
    for (int round = 0; round < Rounds; ++round) {
        const int address = 10 + round;
        unit.clearReceived();
        QProcess cli;
        QElapsedTimer clock;
        clock.start();
        cli.start(QStringLiteral(CLI_PATH),
                  {QStringLiteral("write"), QStringLiteral("COM1"), QStringLiteral("--set"),
                   QStringLiteral("address=%1").arg(address)});
        const bool finished = cli.waitForFinished(60000);
        const double ms = double(clock.nsecsElapsed()) / 1e6;
        if (!finished || cli.exitStatus() != QProcess::NormalExit || cli.exitCode() != 0
            || unit.image()[6] != address) {
            std::printf("virelan2-cli write did not succeed (exit %d):\n%s\n", cli.exitCode(),
                        cli.readAllStandardError().constData());
            times.push_back(std::nan(""));
            break;
        }
        wire = double(unit.received().size() + RepliedBytes) * ByteMs;
        std::printf("write %d: %.1f ms, %zu bytes sent, %d answered\n", round + 1, ms,
                    unit.received().size(), RepliedBytes);
        times.push_back(ms);
    }
    const double ms = std::any_of(times.begin(), times.end(), [](double t) { return std::isnan(t); })
        ? std::nan("")
        : median(times);
    std::printf("median %.1f ms against %.0f ms of pauses + %.1f ms on the wire\n", ms, PausesMs, wire);
    const bool ok = bench::figure("cliwrite", ms / (PausesMs + wire), "<=", 1.05,
                                  "virelan2-cli write / (3 x 1000 ms pauses + wire time)");
    return ok ? 0 : 1;
}
