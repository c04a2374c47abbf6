// Start-up, exit and log appends with years of history, and a connect against the wire time.
// Each run of the tool is a child process of this bench, so that start-up is measured the way
// an engineer sees it: from launching the program to its window on the screen.  A child that
// fails, hangs or reports nothing leaves its figures unmeasured, and they fail.
//
//   bench_log            prints the figures (see bench/run) and exits non-zero when one is
//                        missed or could not be measured
//   bench_log --lines N  with a history of N lines (default 1 000 000)
#include "link/channel.h"
#include "bench/figure.h"
#include "link/portnames.h"
#include "sim/unitsim.h"
#include "ui/application.h"
#include "ui/memo.h"
#include "ui/unit1.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <vector>

QString link_portfolder();

namespace {

long rsskb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& l : f.readAll().split('\n'))
        if (l.startsWith("VmRSS:"))
            return l.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

// The tool's run, inside the child: window shown, then appends, memory and exit timed.  The
// figures go to the parent as "name value" lines, numbers with a decimal point.
int child()
{
    int argc = 1;
    char name[] = "virelan2";
    char* argv[] = {name, nullptr};
    Application app(argc, argv);
    TForm1 form;
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        return 3;
    QCoreApplication::processEvents();
    std::printf("shown\n");
    std::fflush(stdout);

    const long rss = rsskb();
    const qsizetype lines = form.Memo1->count();
    // Appending a line: the log line itself and the repaint it causes.
    constexpr int N = 2000;
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < N; ++i) {
        form.log(QString::fromUtf8(" Ждите..."));
        form.Memo1->viewport()->repaint();
    }
    const double append = double(t.nsecsElapsed()) / N / 1e6;
    t.restart();
    const bool closed = form.close();
    const double exitms = double(t.nsecsElapsed()) / 1e6;
    std::printf("lines %lld\nrss %ld\nappend %s\nexit %s\nclosed %d\n", static_cast<long long>(lines), rss,
                bench::num(append, 6).constData(), bench::num(exitms).constData(), int(closed));
    return 0;
}

int childconnect()
{
    int argc = 1;
    char name[] = "virelan2";
    char* argv[] = {name, nullptr};
    Application app(argc, argv);
    sim::Config c;
    c.paced = true;
    sim::Unit unit(c);
    unit.link(1, link_portfolder().toStdString());
    TForm1 form;
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        return 3;
    form.ComboBox1->setCurrentIndex(0);
    unit.clearReceived();
    QElapsedTimer t;
    t.start();
    form.Button1Click();
    const double ms = double(t.nsecsElapsed()) / 1e6;
    // Bytes on the wire: what the tool sent, and "V", "W" and the image back.
    const std::vector<std::uint8_t> sent = unit.received();
    const double bytes = double(sent.size()) + 2 + 512;
    std::printf("connect %s\nwire %s\nread %d\n", bench::num(ms).constData(),
                bench::num(bytes * 10.0 / 115200.0 * 1000.0).constData(), int(std::count(sent.begin(), sent.end(), std::uint8_t('R'))));
    form.close();
    return 0;
}

// A child's run: its "name value" lines, or why there are none to trust.
struct Child {
    QByteArray failure;
    double startup = 0; // ms from starting the process to "shown"
    QHash<QByteArray, double> values;
    double operator[](const char* k) const { return values.value(k); }
};

Child runchild(const QString& folder, const QString& self, const QString& mode, const QList<QByteArray>& keys)
{
    QProcess p;
    p.setWorkingDirectory(folder);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    Child r;
    QElapsedTimer t;
    t.start();
    p.start(self, {mode});
    if (!p.waitForStarted(30000)) {
        r.failure = "the child did not start: " + p.errorString().toUtf8();
        return r;
    }
    QByteArray out;
    if (mode == QLatin1String("--child")) {
        while (!out.contains("shown\n") && p.state() == QProcess::Running && t.elapsed() < 120000) {
            p.waitForReadyRead(1000);
            out += p.readAllStandardOutput();
        }
        r.startup = double(t.nsecsElapsed()) / 1e6;
    }
    if (!p.waitForFinished(300000)) {
        p.kill();
        p.waitForFinished(10000);
        r.failure = "the child did not finish within 5 minutes";
        return r;
    }
    out += p.readAllStandardOutput();
    if (p.exitStatus() != QProcess::NormalExit) {
        r.failure = "the child crashed";
        return r;
    }
    if (p.exitCode() != 0) {
        r.failure = "the child exited with status " + QByteArray::number(p.exitCode());
        return r;
    }
    if (mode == QLatin1String("--child") && !out.contains("shown\n")) {
        r.failure = "the child never showed its window";
        return r;
    }
    for (const QByteArray& l : out.split('\n')) {
        const QList<QByteArray> kv = l.split(' ');
        double v;
        if (kv.size() == 2 && bench::parse(kv[1], &v))
            r.values.insert(kv[0], v);
    }
    for (const QByteArray& k : keys)
        if (!r.values.contains(k)) {
            r.failure = "the child reported no readable \"" + k + "\"";
            return r;
        }
    return r;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

QString link_portfolder()
{
    return link::portfolder();
}

int main(int argc, char** argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--child") == 0)
        return child();
    if (argc > 1 && qstrcmp(argv[1], "--child-connect") == 0)
        return childconnect();

    QCoreApplication app(argc, argv);
    int lines = 1000000;
    for (int i = 1; i + 1 < argc; ++i)
        if (qstrcmp(argv[i], "--lines") == 0)
            lines = std::atoi(argv[i + 1]);

    QTemporaryDir scratch;
    qputenv("XDG_DATA_HOME", scratch.path().toUtf8());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QString ports = scratch.path() + QStringLiteral("/virelan2/ports");
    QDir().mkpath(ports);
    // Keep the machine's own serial ports out of the scan.
    for (int i = 1; i <= 40; ++i)
        QFile::link(QStringLiteral("/nonexistent/tty"), ports + QStringLiteral("/COM%1").arg(i));
    const QString empty = scratch.path() + QStringLiteral("/empty");
    const QString big = scratch.path() + QStringLiteral("/big");
    QDir().mkpath(empty);
    QDir().mkpath(big);

    // Years of service: a million lines of Russian text in Windows-1251, about 40 MB.
    QByteArray history;
    {
        QStringEncoder enc("windows-1251");
        const QByteArray samples[] = {
            enc.encode(QString::fromUtf8(" Соединение установлено")),
            enc.encode(QString::fromUtf8(" Контрольная сумма не совпадает")),
            enc.encode(QString::fromUtf8(" Запись настроек...")),
            enc.encode(QString::fromUtf8(" Прочитано")),
        };
        history.reserve(qsizetype(lines) * 42);
        for (int i = 0; i < lines; ++i) {
            history += QByteArray::number(10 + i % 14) + ':' + QByteArray::number(10 + i % 50) + ':'
                + QByteArray::number(10 + i % 50) + samples[i % 4] + " - " + QByteArray::number(i) + "\r\n";
        }
    }
    auto putlog = [&] {
        QFile f(big + QStringLiteral("/log.txt"));
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(history);
        QFile::remove(empty + QStringLiteral("/log.txt"));
    };

    const QString self = QCoreApplication::applicationFilePath();
    const QList<QByteArray> keys = {"lines", "rss", "append", "exit", "closed"};
    std::vector<double> s0, s1, a0, a1, e1;
    double rss1 = 0;
    QByteArray failure; // why the log figures could not be measured
    for (int rep = 0; rep < 5 && failure.isEmpty(); ++rep) {
        putlog();
        const Child r0 = runchild(empty, self, QStringLiteral("--child"), keys);
        const Child r1 = runchild(big, self, QStringLiteral("--child"), keys);
        if (!r0.failure.isEmpty())
            failure = "empty log: " + r0.failure;
        else if (!r1.failure.isEmpty())
            failure = "with history: " + r1.failure;
        else if (r1["lines"] < lines)
            failure = "with history: the log showed " + QByteArray::number(r1["lines"], 'f', 0) + " lines";
        else if (r0["closed"] != 1 || r1["closed"] != 1)
            failure = "the window did not close: the exit could not save the log";
        else if (QFileInfo(big + QStringLiteral("/log.txt")).size() <= history.size())
            failure = "with history: the exit did not save the history";
        if (!failure.isEmpty())
            break;
        s0.push_back(r0.startup);
        s1.push_back(r1.startup);
        a0.push_back(r0["append"]);
        a1.push_back(r1["append"]);
        e1.push_back(r1["exit"]);
        rss1 = std::max(rss1, r1["rss"]);
    }
    bool ok = true;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::printf("history: %d lines, %s MB\n", lines, bench::num(history.size() / 1e6, 1).constData());
    if (failure.isEmpty()) {
        std::printf("start-up: empty log %s ms, with history %s ms; exit with history %s ms\n",
                    bench::num(median(s0), 1).constData(), bench::num(median(s1), 1).constData(),
                    bench::num(median(e1), 1).constData());
    } else {
        for (const char* k : {"startup", "exit", "append", "memory"})
            bench::unmeasured(k, failure);
        s0 = s1 = a0 = a1 = e1 = {nan};
        rss1 = nan;
    }
    ok &= bench::figure("startup", median(s1) / median(s0), "<=", 1.3,
                        "start-up with history / start-up with empty log");
    ok &= bench::figure("exit", median(e1) / median(s0), "<=", 2.0,
                        "exit saving the history / start-up with empty log");
    ok &= bench::figure("append", median(a1) / median(a0), "<=", 1.5,
                        "log append with history / log append with empty log");
    ok &= bench::figure("memory", rss1 * 1024.0 / history.size(), "<=", 4.0,
                        "memory with history / history size in bytes");

    // A connect to the settings shown, against the fixed pause plus the wire time.
    {
        const Child c = runchild(empty, self, QStringLiteral("--child-connect"), {"connect", "wire", "read"});
        double ratio = nan;
        if (!c.failure.isEmpty()) {
            bench::unmeasured("connect", c.failure);
        } else if (c["read"] < 1) {
            bench::unmeasured("connect", "the connect read no settings");
        } else {
            std::printf("connect: %s ms, pause + wire %s ms\n", bench::num(c["connect"], 1).constData(),
                        bench::num(1000 + c["wire"], 1).constData());
            ratio = c["connect"] / (1000 + c["wire"]);
        }
        ok &= bench::figure("connect", ratio, "<=", 1.01, "connect to settings shown / (1000 ms pause + wire time)");
    }
    return ok ? 0 : 1;
}
