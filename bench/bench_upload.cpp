// Sound upload through the simulated unit: what the tool itself adds to each block, and how
// close an upload comes to the time its bytes need on a 115200-baud line.
//
//   bench_upload   prints the figures (see bench/run) and exits non-zero when one is missed or
//                  could not be measured
//
// (a) against an unpaced unit, the time per block is the tool's own work (file read, write,
//     two awaited bytes, one pass of the window's events) plus the pseudo-terminal's round trip;
// (b) against a unit paced at real byte times, upload time / wire time, where the wire time is
//     514 bytes a block (the block, its "U" and its 0xFF) at 10 bits a byte.
#include "bench/figure.h"
#include "link/channel.h"
#include "link/portnames.h"
#include "sim/unitsim.h"
#include "ui/application.h"
#include "ui/unit1.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QtEndian>

#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

double threadcpums()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

QByteArray canonicalwav(int blocks)
{
    const quint32 n = quint32(blocks) * 512;
    QByteArray h(44, '\0');
    auto put32 = [&](int at, quint32 v) { qToLittleEndian(v, h.data() + at); };
    auto put16 = [&](int at, quint16 v) { qToLittleEndian(v, h.data() + at); };
    h.replace(0, 4, "RIFF");
    put32(4, 36 + n);
    h.replace(8, 8, "WAVEfmt ");
    put32(16, 16);
    put16(20, 1);
    put16(22, 1);
    put32(24, 8000);
    put32(28, 8000);
    put16(32, 1);
    put16(34, 8);
    h.replace(36, 4, "data");
    put32(40, n);
    QByteArray d(qsizetype(n), '\0');
    for (quint32 i = 0; i < n; ++i)
        d[i] = char(i * 7 + i / 512);
    return h + d;
}

struct Result {
    bool ok = false;
    double ms = 0;    // from the chosen file to the end of the last block
    double cpums = 0; // the window thread's CPU time over the same stretch
};

// One siren upload of `blocks` blocks against a unit with this configuration.
Result upload(const sim::Config& config, int blocks, const QString& folder)
{
    sim::Unit unit(config);
    unit.link(1, link::portfolder().toStdString());
    const QString file = folder + QStringLiteral("/siren.wav");
    {
        QFile f(file);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(canonicalwav(blocks));
    }

    TForm1 form;
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        return {};
    form.ComboBox1->setCurrentIndex(0);
    form.Button1Click();
    Result r;
    if (link::area[link::Connected] != 1 || !form.Button8->isVisible()) {
        std::printf("the simulated unit did not connect as old firmware\n");
        return r;
    }

    QElapsedTimer wall;
    double cpu0 = 0;
    bool started = false, moved = false;
    // The dialog is answered as soon as it has read its folder; the clock starts when it closes.
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* dlg = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dlg || !dlg->isVisible())
            return;
        auto* edit = dlg->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        edit->clear();
        edit->setText(file);
        if (dlg->selectedFiles() != QStringList{file})
            return;
        answer.stop();
        started = true;
        cpu0 = threadcpums();
        wall.start();
        QMetaObject::invokeMethod(dlg, "accept");
    });
    answer.start(10);
    // The bar goes back to 0 right after the last block, before the settings are read back.
    QObject::connect(form.ProgressBar1, &QProgressBar::valueChanged, [&](int v) {
        if (v > 0) {
            moved = true;
        } else if (moved && started && r.ms == 0) {
            r.ms = double(wall.nsecsElapsed()) / 1e6;
            r.cpums = threadcpums() - cpu0;
        }
    });
    form.Button8Click();
    r.ok = started && r.ms > 0 && unit.count(2) == blocks && int(unit.sound(2).size()) == blocks * 512;
    if (!r.ok)
        std::printf("the upload did not complete (%d of %d blocks)\n", int(unit.sound(2).size() / 512), blocks);
    form.close();
    return r;
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir scratch;
    qputenv("XDG_DATA_HOME", scratch.path().toUtf8());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv);
    const QString ports = link::portfolder();
    QDir().mkpath(ports);
    // Keep the machine's own serial ports out of the scan.
    for (int i = 0; i < link::PortCount; ++i)
        QFile::link(QStringLiteral("/nonexistent/tty"), ports + QLatin1Char('/') + link::comname(i));
    QDir::setCurrent(scratch.path());

    sim::Config fast;
    fast.firmware = 40; // old firmware: the siren upload is offered
    constexpr int FastBlocks = 2000;
    const Result a = upload(fast, FastBlocks, scratch.path());

    sim::Config paced = fast;
    paced.paced = true;
    paced.ackExtra = 0; // "U" and 0xFF only: 514 bytes a block on the wire
    constexpr int PacedBlocks = 300;
    const Result b = upload(paced, PacedBlocks, scratch.path());
    const double wire = PacedBlocks * 514 * 10.0 / 115200.0 * 1000.0;
    const double nan = std::nan("");
    if (a.ok)
        std::printf("unpaced: %d blocks in %s ms (window thread CPU %s ms)\n", FastBlocks,
                    bench::num(a.ms, 1).constData(), bench::num(a.cpums, 1).constData());
    else
        bench::unmeasured("blocktime", "the upload to the unpaced unit did not complete");
    if (b.ok)
        std::printf("paced:   %d blocks in %s ms, wire time %s ms\n", PacedBlocks,
                    bench::num(b.ms, 1).constData(), bench::num(wire, 1).constData());
    else
        bench::unmeasured("wireratio", "the upload to the paced unit did not complete");
    bool ok = true;
    ok &= bench::figure("blocktime", a.ok ? a.ms / FastBlocks : nan, "<", 0.5,
                        "tool's own time per block, unpaced unit (ms)");
    if (a.ok)
        std::printf("  of it CPU time of the window thread: %s ms a block\n", bench::num(a.cpums / FastBlocks).constData());
    ok &= bench::figure("wireratio", b.ok ? b.ms / wire : nan, "<=", 1.02,
                        "upload time / wire time, unit paced at 115200 8N1");
    return ok ? 0 : 1;
}
