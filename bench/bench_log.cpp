// Start-up, exit and log appends with years of history, and a connect against the wire time.
// Start-up is measured the way an engineer sees it: the real program is started on a virtual
// X display (Xvfb) and timed from before its process starts to its window's first drawing on
// the screen, watched from outside by this bench as an X client of its own.  Exit, appends and
// memory are measured inside child processes of this bench.  A child that fails, hangs or
// reports nothing leaves its figures unmeasured, and they fail.
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
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QPushButton>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <map>
#include <vector>

#include <poll.h>
#include <linux/prctl.h>

#ifdef V2_BENCH_XCB
#include <xcb/damage.h>
#include <xcb/xcb.h>
#endif

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

// The start-ups of the real program seen from outside, in ms, or why they could not be.
struct Seen {
    QByteArray failure;
    std::vector<double> empty, history;
    std::vector<double> mappedEmpty, mappedHistory; // to the window mapped, not yet drawn
};

// <sys/prctl.h> and <csignal> bring <unistd.h>, whose link() the library's namespace link
// would clash with.
extern "C" int prctl(int option, ...);
constexpr unsigned long KillSignal = 9; // SIGKILL

#ifdef V2_BENCH_XCB

// Children that end with this bench, however it ends (a timeout kills it outright).
void endwithparent(QProcess& p)
{
    p.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, KillSignal); });
}

// A virtual X display of this bench's own, ended with it.
class Display {
public:
    ~Display()
    {
        if (conn_)
            xcb_disconnect(conn_);
        if (server_.state() != QProcess::NotRunning) {
            server_.terminate();
            if (!server_.waitForFinished(5000)) {
                server_.kill();
                server_.waitForFinished(5000);
            }
        }
    }

    // Starts Xvfb on a free display and connects to it; the reason when it cannot.
    QByteArray open()
    {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty())
            return "Xvfb is not installed (scripts/install-deps.sh installs it)";
        server_.setStandardErrorFile(QProcess::nullDevice());
        endwithparent(server_);
        // -displayfd: the server picks a free display and writes its number once it listens.
        server_.start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                             QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                             QStringLiteral("tcp"), QStringLiteral("-noreset")});
        QByteArray number;
        QElapsedTimer t;
        t.start();
        while (!number.contains('\n') && t.elapsed() < 30000 && server_.state() != QProcess::NotRunning) {
            server_.waitForReadyRead(500);
            number += server_.readAllStandardOutput();
        }
        if (!number.contains('\n'))
            return "Xvfb did not start";
        name_ = ":" + number.trimmed();
        int screen = 0;
        conn_ = xcb_connect(name_.constData(), &screen);
        if (xcb_connection_has_error(conn_))
            return "cannot connect to Xvfb on " + name_;
        const xcb_query_extension_reply_t* damage = xcb_get_extension_data(conn_, &xcb_damage_id);
        if (!damage || !damage->present)
            return "Xvfb has no DAMAGE extension";
        damageEvent_ = damage->first_event + XCB_DAMAGE_NOTIFY;
        free(xcb_damage_query_version_reply(conn_, xcb_damage_query_version(conn_, 1, 1), nullptr));
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(conn_));
        for (int i = 0; i < screen && it.rem; ++i)
            xcb_screen_next(&it);
        root_ = it.data->root;
        // Every top-level window created, mapped or destroyed is told to this client.
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(conn_, root_, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(conn_);
        return {};
    }

    QByteArray name() const { return name_; }

    // Starts the program in folder and returns the ms from just before its start to the first
    // drawing into its top-level window once mapped, or <0 with the reason in why; *mappedms
    // is when the window was mapped.
    double startup(const QString& program, const QString& folder, const QProcessEnvironment& env, QByteArray* why,
                   double* mappedms)
    {
        drain();
        std::map<xcb_window_t, xcb_damage_damage_t> tracked;
        xcb_window_t mapped = XCB_WINDOW_NONE;
        double shown = -1;
        QProcess p;
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(folder);
        endwithparent(p);
        QElapsedTimer t;
        t.start();
        p.start(program, {});
        if (!p.waitForStarted(30000)) {
            *why = "the program did not start: " + p.errorString().toUtf8();
            return -1;
        }
        const int fd = xcb_get_file_descriptor(conn_);
        while (shown < 0 && t.elapsed() < 60000) {
            xcb_generic_event_t* e = xcb_poll_for_event(conn_);
            if (!e) {
                if (xcb_connection_has_error(conn_)) {
                    *why = "the connection to Xvfb broke";
                    break;
                }
                if (p.state() == QProcess::NotRunning) {
                    *why = "the program ended before its window was shown";
                    break;
                }
                pollfd pfd{fd, POLLIN, 0};
                ::poll(&pfd, 1, 20);
                continue;
            }
            const uint8_t type = e->response_type & 0x7F;
            if (type == XCB_CREATE_NOTIFY) {
                const auto* c = reinterpret_cast<xcb_create_notify_event_t*>(e);
                if (c->parent == root_ && !c->override_redirect) {
                    // Watched for drawing from its creation on, before anything can be drawn.
                    const xcb_damage_damage_t d = xcb_generate_id(conn_);
                    xcb_damage_create(conn_, d, c->window, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
                    xcb_flush(conn_);
                    tracked[c->window] = d;
                }
            } else if (type == XCB_MAP_NOTIFY) {
                const auto* m = reinterpret_cast<xcb_map_notify_event_t*>(e);
                if (mapped == XCB_WINDOW_NONE && tracked.count(m->window)) {
                    mapped = m->window;
                    *mappedms = double(t.nsecsElapsed()) / 1e6;
                    // Whatever was drawn while unmapped was never seen: start counting afresh.
                    xcb_damage_subtract(conn_, tracked[mapped], XCB_NONE, XCB_NONE);
                    xcb_flush(conn_);
                }
            } else if (type == damageEvent_) {
                const auto* d = reinterpret_cast<xcb_damage_notify_event_t*>(e);
                if (mapped != XCB_WINDOW_NONE && d->drawable == mapped)
                    shown = double(t.nsecsElapsed()) / 1e6;
                else if (tracked.count(d->drawable)) {
                    xcb_damage_subtract(conn_, tracked[d->drawable], XCB_NONE, XCB_NONE);
                    xcb_flush(conn_);
                }
            }
            free(e);
        }
        if (shown < 0 && why->isEmpty())
            *why = mapped == XCB_WINDOW_NONE ? "no window was shown within 60 s" : "the window was never drawn";
        // Killed, not closed: the history stays as it was written, for the next start.
        p.kill();
        p.waitForFinished(30000);
        if (shown < 0) {
            const QByteArray err = p.readAllStandardError().trimmed();
            if (!err.isEmpty())
                *why += " (" + err.left(300).replace('\n', "; ") + ")";
        }
        return shown;
    }

private:
    void drain()
    {
        while (xcb_generic_event_t* e = xcb_poll_for_event(conn_))
            free(e);
    }

    QProcess server_;
    QByteArray name_;
    xcb_connection_t* conn_ = nullptr;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    uint8_t damageEvent_ = 0;
};

// The real program's start-up with an empty log and with the history, in turns, from outside.
Seen seenfromoutside(const QString& empty, const QString& history, int reps)
{
    Seen s;
    const QString program = QStringLiteral(VIRELAN2_PATH);
    if (!QFileInfo(program).isExecutable()) {
        s.failure = "the program is not built: " + program.toUtf8();
        return s;
    }
    Display display;
    s.failure = display.open();
    if (!s.failure.isEmpty())
        return s;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display.name()));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    // One run of each first, unmeasured: the program, its libraries and fonts come into memory.
    for (int rep = -1; rep < reps; ++rep) {
        for (const QString& folder : {empty, history}) {
            QFile::remove(empty + QStringLiteral("/log.txt"));
            QByteArray why;
            double mapped = 0;
            const double ms = display.startup(program, folder, env, &why, &mapped);
            if (ms < 0) {
                s.failure = (folder == empty ? "empty log: " : "with history: ") + why;
                return s;
            }
            if (rep >= 0) {
                (folder == empty ? s.empty : s.history).push_back(ms);
                (folder == empty ? s.mappedEmpty : s.mappedHistory).push_back(mapped);
            }
        }
    }
    return s;
}

#else

Seen seenfromoutside(const QString&, const QString&, int)
{
    return {"built without XCB's DAMAGE extension (libxcb-damage0-dev; scripts/install-deps.sh installs it)", {}, {}};
}

#endif

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

    // The start-up as the engineer sees it: the history written and on the disk once, then
    // the program started over it and over an empty log in turns.
    Seen seen;
    {
        const QString xempty = scratch.path() + QStringLiteral("/shown-empty");
        const QString xhistory = scratch.path() + QStringLiteral("/shown-history");
        QDir().mkpath(xempty);
        QDir().mkpath(xhistory);
        QFile f(xhistory + QStringLiteral("/log.txt"));
        const bool written = f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(history) == history.size();
        f.close();
        // On the disk, not only in the page cache: sync(1) with a file name syncs that file.
        if (!written || QProcess::execute(QStringLiteral("sync"), {f.fileName()}) != 0)
            seen.failure = "the history could not be written and synced";
        else
            seen = seenfromoutside(xempty, xhistory, 11);
        if (seen.failure.isEmpty() && QFileInfo(f.fileName()).size() != history.size())
            seen.failure = "the program changed the history it was started over";
    }

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
    if (seen.failure.isEmpty()) {
        std::printf("start-up to the window drawn on the screen (Xvfb, %zu runs each): empty log %s ms, "
                    "with history %s ms (mapped after %s and %s ms)\n",
                    seen.empty.size(), bench::num(median(seen.empty), 1).constData(),
                    bench::num(median(seen.history), 1).constData(), bench::num(median(seen.mappedEmpty), 1).constData(),
                    bench::num(median(seen.mappedHistory), 1).constData());
    } else {
        bench::unmeasured("startup", seen.failure);
        seen.empty = seen.history = {nan};
    }
    if (failure.isEmpty()) {
        std::printf("in-process start-up (offscreen): empty log %s ms, with history %s ms; exit with history %s ms\n",
                    bench::num(median(s0), 1).constData(), bench::num(median(s1), 1).constData(),
                    bench::num(median(e1), 1).constData());
    } else {
        for (const char* k : {"exit", "append", "memory"})
            bench::unmeasured(k, failure);
        s0 = s1 = a0 = a1 = e1 = {nan};
        rss1 = nan;
    }
    ok &= bench::figure("startup", median(seen.history) / median(seen.empty), "<=", 1.3,
                        "start-up to the window shown: with history / empty log");
    ok &= bench::figure("exit", median(e1) / median(s0), "<=", 2.0,
                        "exit saving the history / in-process start-up, empty log");
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
