// Start-up, exit and log appends with years of history, and a connect against the wire time.
// Each run of the tool is a child process of this bench, so that start-up is measured the way
// an engineer sees it: from launching the program to its window on the screen.
//
//   bench_log            prints the ratios and exits non-zero when a goal is missed
//   bench_log --lines N  with a history of N lines (default 1 000 000)
#include "link/channel.h"
#include "link/portnames.h"
#include "sim/unitsim.h"
#include "ui/application.h"
#include "ui/memo.h"
#include "ui/unit1.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
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

// The tool's run, inside the child: window shown, then appends, memory and exit timed.
int child()
{
    int argc = 1;
    char name[] = "virelan2";
    char* argv[] = {name, nullptr};
    Application app(argc, argv);
    TForm1 form;
    form.show();
    QTest::qWaitForWindowExposed(&form);
    QCoreApplication::processEvents();
    std::printf("shown\n");
    std::fflush(stdout);

    const long rss = rsskb();
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
    std::printf("rss %ld\nappend %.6f\nexit %.3f\nclosed %d\n", rss, append, exitms, int(closed));
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
    QTest::qWaitForWindowExposed(&form);
    form.ComboBox1->setCurrentIndex(0);
    unit.clearReceived();
    QElapsedTimer t;
    t.start();
    form.Button1Click();
    const double ms = double(t.nsecsElapsed()) / 1e6;
    // Bytes on the wire: what the tool sent, and "V", "W" and the image back.
    const double bytes = double(unit.received().size()) + 2 + 512;
    std::printf("connect %.3f\nwire %.3f\n", ms, bytes * 10.0 / 115200.0 * 1000.0);
    form.close();
    return 0;
}

struct Run {
    double startup = 0, append = 0, exit = 0;
    long rss = 0;
};

Run runchild(const QString& folder, const QString& self)
{
    QProcess p;
    p.setWorkingDirectory(folder);
    p.setProcessChannelMode(QProcess::SeparateChannels);
    QElapsedTimer t;
    t.start();
    p.start(self, {QStringLiteral("--child")});
    Run r;
    QByteArray out;
    while (!out.contains("shown\n") && p.waitForReadyRead(60000))
        out += p.readAllStandardOutput();
    r.startup = double(t.nsecsElapsed()) / 1e6;
    p.waitForFinished(120000);
    out += p.readAllStandardOutput();
    for (const QByteArray& l : out.split('\n')) {
        const QList<QByteArray> kv = l.split(' ');
        if (kv.size() != 2)
            continue;
        if (kv[0] == "rss")
            r.rss = kv[1].toLong();
        else if (kv[0] == "append")
            r.append = kv[1].toDouble();
        else if (kv[0] == "exit")
            r.exit = kv[1].toDouble();
    }
    return r;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

bool report(const char* what, double value, const char* op, double goal)
{
    const bool ok = (op[0] == '<' && op[1] == '=') ? value <= goal : value < goal;
    std::printf("%-62s %8.3f   goal %s %.2f   %s\n", what, value, op, goal, ok ? "ok" : "MISSED");
    return ok;
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
    std::vector<double> s0, s1, a0, a1, e1;
    long rss1 = 0;
    for (int rep = 0; rep < 5; ++rep) {
        putlog();
        const Run r0 = runchild(empty, self);
        const Run r1 = runchild(big, self);
        s0.push_back(r0.startup);
        s1.push_back(r1.startup);
        a0.push_back(r0.append);
        a1.push_back(r1.append);
        e1.push_back(r1.exit);
        rss1 = std::max(rss1, r1.rss);
    }
    std::printf("history: %d lines, %.1f MB\n", lines, history.size() / 1e6);
    std::printf("start-up: empty log %.1f ms, with history %.1f ms; exit with history %.1f ms\n",
                median(s0), median(s1), median(e1));
    bool ok = true;
    ok &= report("start-up with history / start-up with empty log", median(s1) / median(s0), "<=", 2.0);
    ok &= report("exit saving the history / start-up with empty log", median(e1) / median(s0), "<", 1.0);
    ok &= report("log append with history / log append with empty log", median(a1) / median(a0), "<=", 1.5);
    ok &= report("memory with history / history size in bytes", rss1 * 1024.0 / history.size(), "<=", 4.0);

    // A connect to the settings shown, against the fixed pause plus the wire time.
    {
        QProcess p;
        p.setWorkingDirectory(empty);
        p.start(self, {QStringLiteral("--child-connect")});
        p.waitForFinished(60000);
        double ms = 0, wire = 0;
        for (const QByteArray& l : p.readAllStandardOutput().split('\n')) {
            const QList<QByteArray> kv = l.split(' ');
            if (kv.size() == 2 && kv[0] == "connect")
                ms = kv[1].toDouble();
            if (kv.size() == 2 && kv[0] == "wire")
                wire = kv[1].toDouble();
        }
        std::printf("connect: %.1f ms, pause + wire %.1f ms\n", ms, 1000 + wire);
        ok &= report("connect to settings shown / (1000 ms pause + wire time)", ms / (1000 + wire), "<=", 1.01);
    }
    return ok ? 0 : 1;
}
