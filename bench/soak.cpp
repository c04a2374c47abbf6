// The soak run: many read/write cycles and uploads against a simulated unit whose faults are
// switched at random, driving the conversation library as every front end does.  A person
// starts it; it takes as long as the unit's fixed pauses make it (three 1000 ms pauses a
// cycle, so 1 000 cycles take about an hour).
//
//   bench_soak [--cycles N] [--uploads N] [--seed N]
//
// Every cycle: connect when needed, read, change one or two fields at random, write, read back,
// compare, poll the readings once.  One fault is put on one step of the cycle (or none); the
// uploads draw their own faults.  What is checked, each failure naming the cycle and the seed:
//   - every operation returns within its time limit plus slack; a watchdog ends the run when
//     one does not return at all;
//   - every step sends exactly the bytes it should: the unit hears "S" and an image only from a
//     write the run asked for, and that image carries the fields asked for with every other
//     byte as the last good read brought it; after a failed read the write is refused and sends
//     nothing, and after a stopped upload nothing is sent until the run connects again;
//   - the image the unit holds is always the one the run's own model says it holds;
//   - memory stays flat: the resident size from the first tenth of the run to its end.
// Exit status: 0 every check held, 1 a check failed, 2 wrong use, 3 an operation hung.
#include "diagnostics/telemetry.h"
#include "link/channel.h"
#include "link/listener.h"
#include "link/portnames.h"
#include "link/session.h"
#include "settings/image.h"
#include "settings/session.h"
#include "settings/settingsfile.h"
#include "settings/strtoint.h"
#include "sim/unitsim.h"
#include "sound/session.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using Image = std::array<std::uint8_t, settings::ImageSize>;
using Bytes = std::vector<std::uint8_t>;

// ---------------------------------------------------------------------------------------------
// The writable fields, written down here once more rather than taken from the library, so that
// the image the unit receives is checked against an independent account of where each lies.

struct Key {
    const char* name;
    int index;
    int width; // 1, or 2 high byte first
    int min, max;
};

const Key Keys[] = {
    {"address", 6, 1, 0, 255},
    {"zone", 7, 1, 0, 255},
    {"display_lit_in_standby", 8, 1, 0, 1},
    {"display_flashes_in_fire", 9, 1, 0, 1},
    {"display_current_drift", 10, 2, 0, 65535},
    {"line_signal_drift", 12, 2, 0, 65535},
    {"signal_leave_time", 14, 2, 0, 65535},
    {"input_level_broken", 16, 2, 0, 65535},
    {"input_level_short", 18, 2, 0, 65535},
    {"input_trigger_level", 20, 2, 0, 65535},
    {"relay_ppk1", 22, 1, 0, 1},
    {"relay_ppk2", 23, 1, 0, 1},
    {"relay_gochs", 24, 1, 0, 1},
    {"relay_line_input", 25, 1, 0, 1},
    {"relay_console", 26, 1, 0, 1},
    {"relay_siren", 27, 1, 0, 1},
    {"monitor_ppk1", 34, 1, 0, 1},
    {"monitor_ppk2", 35, 1, 0, 1},
    {"monitor_gochs", 36, 1, 0, 1},
    {"monitor_console", 37, 1, 0, 1},
    {"display_flash_speed", 38, 1, 5, 20},
    {"display_current_leave_time", 39, 1, 0, 255},
    {"line_short_circuit_level", 40, 2, 0, 65535},
    {"monitor_frequency", 42, 1, 0, 100},
    {"volume", 43, 1, 2, 16},
};
constexpr int KeyCount = int(sizeof Keys / sizeof Keys[0]);

using Values = std::map<std::string, int>;

int valueat(const Image& img, const Key& k)
{
    return k.width == 1 ? img[k.index] : img[k.index] << 8 | img[k.index + 1];
}

Values valuesof(const Image& img)
{
    Values v;
    for (const Key& k : Keys)
        v[k.name] = valueat(img, k);
    return v;
}

// The image a write of these values over `base` must send: the keys' bytes replaced, the
// checksum made anew, every other byte as it was.
Image imagewith(Image base, const Values& values)
{
    for (const Key& k : Keys) {
        const int v = values.at(k.name);
        if (k.width == 1) {
            base[k.index] = std::uint8_t(v);
        } else {
            base[k.index] = std::uint8_t(v >> 8);
            base[k.index + 1] = std::uint8_t(v);
        }
    }
    unsigned s = 0;
    for (int i = 0; i < settings::SumIndex; ++i)
        s += base[i];
    base[settings::SumIndex] = std::uint8_t(s);
    return base;
}

Image imageof(const std::uint8_t* p)
{
    Image a;
    std::copy(p, p + a.size(), a.begin());
    return a;
}

// ---------------------------------------------------------------------------------------------
// Faults.

enum class Fault { None, Silence, Garbage, Short, Hangup, Refused, BadChecksum, BadField, Count };
const char* const FaultNames[] = {"none",    "silence",       "garbage",      "short reply",
                                  "hang-up", "refused write", "bad checksum", "bad field"};

// The step of a cycle a fault is put on.
enum class Step { Connect, Read, Write, Readback, Poll, Count };
const char* const StepNames[] = {"connect", "read", "write", "read-back", "poll"};

enum class UploadFault {
    None,
    Stall,
    Hangup,
    SilentReady,
    SilentCounts,
    SilentAck,
    GarbageAck,
    Esc,
    Count
};
const char* const UploadFaultNames[] = {"none",
                                        "stall mid-upload",
                                        "hang-up mid-upload",
                                        "silent after command",
                                        "silent after counts",
                                        "silent after a block",
                                        "garbage after a block",
                                        "stopped by the operator"};

// ---------------------------------------------------------------------------------------------
// Time limits.  Each operation's bound is the design's own waits; the slack covers a machine
// busy with other work.  Past bound + HangMs the watchdog takes the operation for hung.

constexpr qint64 SlackMs = 1500;

// Growth of the resident size allowed from the first tenth of the run to its end.  Hour-long
// runs grow by well under 100 kB once the allocator has warmed up, short ones by a few hundred
// (the first uploads and the first replaced unit); a leak of 1.2 kB a cycle, two settings images,
// crosses this bound within the 900 cycles an hour's run measures.
constexpr long MemorySlackKb = 1024;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool AddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool AddressSanitizer = true;
#else
constexpr bool AddressSanitizer = false;
#endif
#else
constexpr bool AddressSanitizer = false;
#endif
constexpr qint64 HangMs = 30000;

enum class Op { Connect, Read, Write, Poll, End, Upload, Count };
const char* const OpNames[] = {"connect", "read", "write", "poll", "end", "upload"};

struct OpStats {
    long count = 0;
    qint64 maxMs = 0;
    qint64 maxBound = 0;
};

struct Watchdog {
    std::atomic<qint64> startMs{-1};
    std::atomic<qint64> limitMs{0};
    std::atomic<int> op{0};
    std::atomic<int> cycle{0};
    std::atomic<bool> stop{false};
    quint64 seed = 0;
    QElapsedTimer clock;
    std::thread thread;

    void run()
    {
        while (!stop) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            const qint64 s = startMs;
            if (s < 0)
                continue;
            const qint64 running = clock.elapsed() - s;
            if (running > limitMs) {
                std::fprintf(stderr,
                             "FAIL cycle %d seed %llu: %s has not returned after %lld ms "
                             "(limit %lld ms); the run stops here\n",
                             int(cycle), (unsigned long long)seed, OpNames[op], (long long)running,
                             (long long)limitMs.load());
                std::fflush(stderr);
                std::_Exit(3);
            }
        }
    }
};

// ---------------------------------------------------------------------------------------------

class Listener : public link::Listener {
public:
    void note(const QString& text) override { keep(text); }
    void plain(const QString& text) override { keep(text); }
    void blockdone(quint32, quint32) override { ++acked; }
    QString stopasked() override
    {
        if (stopAfter >= 0 && acked >= stopAfter)
            return QStringLiteral(" Запись прервана оператором");
        return {};
    }

    std::deque<QString> lines; // the last few, for a failure's context
    int acked = 0;             // blocks acknowledged in this upload
    int stopAfter = -1;        // ask for a stop once this many blocks were acknowledged

private:
    void keep(const QString& text)
    {
        lines.push_back(text);
        if (lines.size() > 12)
            lines.pop_front();
    }
};

long rsskb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

QByteArray wavfile(const Bytes& data)
{
    auto le32 = [](quint32 v) {
        QByteArray b(4, '\0');
        qToLittleEndian(v, b.data());
        return b;
    };
    QByteArray fmt =
        QByteArray::fromHex("01000100") + le32(8000) + le32(8000) + QByteArray::fromHex("01000800");
    QByteArray body = "WAVE" + QByteArray("fmt ") + le32(quint32(fmt.size())) + fmt + "data" +
                      le32(quint32(data.size())) +
                      QByteArray(reinterpret_cast<const char*>(data.data()), int(data.size()));
    return "RIFF" + le32(quint32(body.size())) + body;
}

QString hexof(const Bytes& b, std::size_t most = 16)
{
    QString s;
    for (std::size_t i = 0; i < b.size() && i < most; ++i)
        s += QString::asprintf("%02x ", b[i]);
    if (b.size() > most)
        s += QStringLiteral("... (%1 bytes)").arg(b.size());
    return s.trimmed();
}

class Soak {
public:
    Soak(int cycles, int uploads, quint64 seed)
        : cycles_(cycles), uploads_(uploads), seed_(seed), rng_(seed)
    {
    }
    int run();

private:
    int cycles_, uploads_;
    quint64 seed_;
    std::mt19937_64 rng_;
    int cycle_ = 0;
    int extra_ = 0; // connects after the last cycle for the uploads still due

    QTemporaryDir dir_;
    std::unique_ptr<sim::Unit> unit_;
    sim::Config clean_;     // the unit's switches this cycle, without the fault
    Image model_{};         // the image the unit must hold
    bool lineGone_ = false; // the unit hung up: the next connect needs a new one
    Listener listener_;

    Watchdog dog_;
    OpStats ops_[int(Op::Count)];

    // Tallies for the summary.
    long faults_[int(Fault::Count)] = {};
    long faultSteps_[int(Fault::Count)][int(Step::Count)] = {};
    long uploadFaults_[int(UploadFault::Count)] = {};
    long paced_ = 0;
    long connects_ = 0, newUnits_ = 0, reads_ = 0, goodReads_ = 0, writes_ = 0, refusedWrites_ = 0;
    long imagesSent_ = 0, notRead_ = 0, badFields_ = 0, comparisons_ = 0, polls_ = 0;
    long uploadsDone_ = 0, uploadsStopped_ = 0, blocksSent_ = 0;
    long checks_ = 0, failures_ = 0;
    std::map<std::string, long> failureKinds_;
    std::vector<std::pair<int, long>> rss_; // cycle, kB
    std::vector<UploadFault> deck_;         // the faults of the uploads to come

    int rnd(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    bool chance(double p) { return std::bernoulli_distribution(p)(rng_); }

    bool check(bool ok, const char* kind, const QString& what);
    template <class F> auto timed(Op op, qint64 boundMs, F&& f);

    void newunit();
    void setfault(Fault f, Step s, Step now);
    void settle(std::size_t expect);
    bool received(const Bytes& expect, const char* what);

    bool connect(Fault f, Step s);
    bool cycle();
    void upload();
    void quietAfterStop();
    void samplerss();
    void summary(qint64 ms);
};

bool Soak::check(bool ok, const char* kind, const QString& what)
{
    ++checks_;
    if (ok)
        return true;
    ++failures_;
    ++failureKinds_[kind];
    std::fprintf(stderr, "FAIL cycle %d seed %llu [%s]: %s\n", cycle_, (unsigned long long)seed_,
                 kind, qPrintable(what));
    for (const QString& l : listener_.lines)
        std::fprintf(stderr, "    log:%s\n", qPrintable(l));
    return false;
}

template <class F> auto Soak::timed(Op op, qint64 boundMs, F&& f)
{
    dog_.op = int(op);
    dog_.cycle = cycle_;
    dog_.limitMs = boundMs + SlackMs + HangMs;
    QElapsedTimer t;
    t.start();
    dog_.startMs = dog_.clock.elapsed();
    auto result = f();
    dog_.startMs = -1;
    const qint64 ms = t.elapsed();
    OpStats& s = ops_[int(op)];
    ++s.count;
    if (ms > s.maxMs)
        s.maxMs = ms;
    if (boundMs > s.maxBound)
        s.maxBound = boundMs;
    check(ms <= boundMs + SlackMs, "time limit",
          QStringLiteral("%1 took %2 ms, its limit is %3 ms + %4 ms slack")
              .arg(QLatin1String(OpNames[int(op)]))
              .arg(ms)
              .arg(boundMs)
              .arg(SlackMs));
    return result;
}

// A unit whose line is gone is replaced by a new one on the same COM number that holds what
// the old one held, as when the engineer plugs the cable in again.
void Soak::newunit()
{
    unit_.reset();
    unit_ = std::make_unique<sim::Unit>(clean_);
    unit_->setImage(model_);
    if (!unit_->link(1, link::portfolder().toStdString())) {
        std::fprintf(stderr, "cannot link the simulated unit as COM1\n");
        std::exit(1);
    }
    lineGone_ = false;
    ++newUnits_;
}

// Puts fault f on the unit when step `now` is the step it was drawn for, and takes it off
// otherwise.
void Soak::setfault(Fault f, Step s, Step now)
{
    sim::Config c = clean_;
    if (s == now) {
        sim::Reply on = sim::Reply::Start;
        switch (now) {
        case Step::Connect: on = sim::Reply::Start; break;
        case Step::Read:
        case Step::Readback: on = sim::Reply::Image; break;
        case Step::Write: on = sim::Reply::Verdict; break;
        case Step::Poll: on = sim::Reply::Telemetry; break;
        case Step::Count: break;
        }
        c.faultOn = on;
        switch (f) {
        case Fault::Silence: c.fault = sim::Fault::Silent; break;
        case Fault::Garbage: c.fault = sim::Fault::Garbage; break;
        case Fault::Short: c.fault = sim::Fault::Short; break;
        case Fault::Hangup: c.fault = sim::Fault::Hangup; break;
        case Fault::Refused: c.refuseWrites = true; break;
        case Fault::BadChecksum: c.badChecksum = true; break;
        default: break;
        }
    }
    unit_->setConfig(c);
}

// The unit takes the bytes in a thread of its own: wait until what a step should have sent
// has arrived (or a while has passed), and a little longer for anything beyond it.
void Soak::settle(std::size_t expect)
{
    QElapsedTimer t;
    t.start();
    while (unit_->received().size() < expect && t.elapsed() < 500)
        QThread::msleep(2);
    QThread::msleep(20);
}

bool Soak::received(const Bytes& expect, const char* what)
{
    settle(expect.size());
    const Bytes got = unit_->received();
    unit_->clearReceived();
    return check(got == expect, "bytes sent",
                 QStringLiteral("%1: the unit received [%2], expected [%3]")
                     .arg(QLatin1String(what), hexof(got), hexof(expect)));
}

bool Soak::connect(Fault f, Step s)
{
    if (lineGone_ || !unit_)
        newunit();
    setfault(f, s, Step::Connect);
    unit_->clearReceived();
    ++connects_;
    const link::Connection c =
        timed(Op::Connect, 2 * link::MsPerByte, [&] { return link::connectunit(0, listener_); });
    const bool faulty = s == Step::Connect && f != Fault::None;
    const bool hungup = faulty && f == Fault::Hangup;
    // A refused connect says "Z" again; on a line that was hung up it cannot.
    Bytes expect{'Z', 'U'};
    if (faulty && !hungup)
        expect.push_back('Z');
    received(expect, "connect");
    check(c.accepted() == !faulty, "connect",
          QStringLiteral("the connect was %1 with %2 on the start reply")
              .arg(c.accepted() ? QStringLiteral("accepted") : QStringLiteral("refused"),
                   QLatin1String(FaultNames[int(faulty ? f : Fault::None)])));
    check(link::connected() == c.accepted(), "connect",
          QStringLiteral("the connected flag is %1 after the connect").arg(link::connected()));
    if (f == Fault::Garbage && faulty)
        check(c.answered && c.reply == '?', "connect",
              QStringLiteral("the garbage byte was not reported"));
    if (hungup)
        lineGone_ = true;
    setfault(Fault::None, s, Step::Count);
    return c.accepted();
}

bool Soak::cycle()
{
    // Draw this cycle's fault and the step it lands on.
    Fault f = Fault::None;
    Step s = Step::Count;
    const int r = rnd(0, 99);
    if (r < 30) {
        f = Fault::None;
    } else if (r < 40) {
        f = Fault::Silence;
    } else if (r < 50) {
        f = Fault::Garbage;
    } else if (r < 60) {
        f = Fault::Short;
    } else if (r < 70) {
        f = Fault::Hangup;
    } else if (r < 80) {
        f = Fault::Refused;
    } else if (r < 90) {
        f = Fault::BadChecksum;
    } else {
        f = Fault::BadField;
    }
    switch (f) {
    case Fault::Silence:
    case Fault::Garbage:
    case Fault::Hangup: s = Step(rnd(0, int(Step::Count) - 1)); break;
    case Fault::Short: {
        const Step steps[] = {Step::Connect, Step::Read, Step::Readback, Step::Poll};
        s = steps[rnd(0, 3)];
        break;
    }
    case Fault::Refused:
    case Fault::BadField: s = Step::Write; break;
    case Fault::BadChecksum: s = chance(0.5) ? Step::Read : Step::Readback; break;
    default: break;
    }
    ++faults_[int(f)];
    if (s != Step::Count)
        ++faultSteps_[int(f)][int(s)];
    clean_ = sim::Config{};
    clean_.paced = chance(0.25);
    paced_ += clean_.paced;
    if (unit_)
        unit_->setConfig(clean_);

    // Now and then the conversation is ended and opened again, as after a day's work.
    if (link::connected() && !lineGone_ && chance(0.03)) {
        unit_->clearReceived();
        const bool ok = timed(Op::End, link::MsPerByte, [&] { return link::endunit(listener_); });
        check(ok, "end", QStringLiteral("\"Z\" was not confirmed"));
        received({'Z'}, "end");
        link::closeall();
    }
    if (!link::connected() || !link::isopen() || lineGone_ || s == Step::Connect) {
        if (!connect(f, s))
            return false;
    }

    // Read.
    const qint64 readBound = qint64(settings::PauseMs) + link::RxSize * link::MsPerByte;
    auto doread = [&](Step step, const char* what) -> std::optional<settings::Reading> {
        setfault(f, s, step);
        unit_->clearReceived();
        ++reads_;
        const settings::Reading rd =
            timed(Op::Read, readBound, [&] { return settings::readunit(listener_); });
        const bool faulty = s == step;
        received({'R'}, what);
        setfault(Fault::None, s, Step::Count);
        int got = settings::ImageSize;
        bool sumok = true;
        Image expect = model_;
        if (faulty) {
            switch (f) {
            case Fault::Silence:
            case Fault::Hangup: got = 0; break;
            case Fault::Short: got = settings::ImageSize / 2; break;
            case Fault::Garbage:
                sumok = false;
                expect.fill('?');
                break;
            case Fault::BadChecksum:
                sumok = false;
                ++expect[settings::SumIndex];
                break;
            default: break;
            }
        }
        check(rd.got == got, "read",
              QStringLiteral("%1 brought %2 bytes, expected %3")
                  .arg(QLatin1String(what))
                  .arg(rd.got)
                  .arg(got));
        if (faulty && f == Fault::Hangup) {
            lineGone_ = true;
            check(!link::isopen(), "read",
                  QStringLiteral("the port is still open after a hang-up"));
        }
        if (!rd.complete()) {
            check(settings::lastgood() == nullptr, "read",
                  QStringLiteral("%1 was short, yet a last good read is kept")
                      .arg(QLatin1String(what)));
            return std::nullopt;
        }
        check(rd.sumok == sumok, "read",
              QStringLiteral("%1: checksum reported %2")
                  .arg(QLatin1String(what), rd.sumok ? "good" : "bad"));
        check(imageof(rd.image) == expect, "read",
              QStringLiteral("%1 delivered an image other than the one the unit sent")
                  .arg(QLatin1String(what)));
        check(settings::lastgood() && imageof(settings::lastgood()->image) == imageof(rd.image),
              "read",
              QStringLiteral("%1: the last good read is not this read").arg(QLatin1String(what)));
        if (rd.sumok)
            ++goodReads_;
        return rd;
    };

    const auto rd = doread(Step::Read, "read");
    if (!rd) {
        // A write now has no image of this unit to go over: it must be refused and send nothing.
        settings::Fields fields = settings::decode(model_.data()).fields;
        const settings::Written w =
            timed(Op::Write, 0, [&] { return settings::writeunit(fields, listener_); });
        ++notRead_;
        check(w == settings::Written::NotRead, "image not asked for",
              QStringLiteral("a write after a failed read was not refused"));
        if (!lineGone_)
            received({}, "write after a failed read");
        return true;
    }
    if (!rd->sumok) {
        // A careful front end does not write over an image whose checksum failed.
        return true;
    }

    // Change one or two fields.
    const Values before = valuesof(imageof(rd->image));
    Values want = before;
    settings::Fields fields = rd->decoded.fields;
    QStringList changed;
    const int n = rnd(1, 2);
    for (int i = 0; i < n; ++i) {
        const Key& k = Keys[rnd(0, KeyCount - 1)];
        const int v = rnd(k.min, k.max);
        const QString assignment = QStringLiteral("%1=%2").arg(QLatin1String(k.name)).arg(v);
        try {
            fields = settings::setkey(fields, assignment);
        } catch (const settings::FileError& e) {
            check(false, "fields", QStringLiteral("%1 refused: %2").arg(assignment, e.message()));
            return true;
        }
        want[k.name] = v;
        changed << assignment;
    }
    {
        Values asked;
        for (const auto& [key, value] : settings::keyvalues(fields))
            asked[key.toStdString()] = value;
        check(asked == want, "fields",
              QStringLiteral("the fields after %1 are not the ones asked for")
                  .arg(changed.join(QLatin1Char(' '))));
    }

    // Write.
    setfault(f, s, Step::Write);
    unit_->clearReceived();
    const qint64 writeBound = qint64(settings::PauseMs) + link::MsPerByte;
    if (f == Fault::BadField) {
        // A value that cannot go into the image: refused before "S", nothing sent.
        settings::Fields bad = fields;
        bad.boardDrift = rnd(0, 1) ? QStringLiteral("70000") : QStringLiteral("12a");
        bool raised = false;
        timed(Op::Write, 0, [&] {
            try {
                settings::writeunit(bad, listener_);
            } catch (const settings::ConvertError&) {
                raised = true;
            }
            return 0;
        });
        ++badFields_;
        check(raised, "image not asked for",
              QStringLiteral("a field that is no number was not refused"));
        received({}, "write of a field that is no number");
        setfault(Fault::None, s, Step::Count);
        check(unit_->image() == model_, "unit image", QStringLiteral("the unit's image changed"));
        return true;
    }
    ++writes_;
    const Image sent = imagewith(imageof(rd->image), want);
    const settings::Written w =
        timed(Op::Write, writeBound, [&] { return settings::writeunit(fields, listener_); });
    const bool faulty = s == Step::Write;
    {
        Bytes expect{'S'};
        expect.insert(expect.end(), sent.begin(), sent.end());
        settle(expect.size());
        const Bytes got = unit_->received();
        unit_->clearReceived();
        if (got.size() == expect.size() && got[0] == 'S')
            ++imagesSent_;
        if (!check(got == expect, "image not asked for",
                   QStringLiteral("after asking for %1 the unit received [%2]")
                       .arg(changed.join(QLatin1Char(' ')), hexof(got))) &&
            got.size() == expect.size()) {
            for (int i = 1; i < int(got.size()); ++i)
                if (got[i] != expect[i])
                    check(false, "image not asked for",
                          QStringLiteral("  image byte %1 is %2, expected %3")
                              .arg(i - 1)
                              .arg(got[i])
                              .arg(expect[i]));
        }
    }
    setfault(Fault::None, s, Step::Count);
    const bool refused = faulty && f == Fault::Refused;
    check(w == (refused ? settings::Written::Refused : settings::Written::Done), "write",
          QStringLiteral("the write returned %1 with %2 on its verdict")
              .arg(int(w))
              .arg(QLatin1String(FaultNames[int(faulty ? f : Fault::None)])));
    if (refused)
        ++refusedWrites_;
    else
        model_ = sent;
    check(unit_->image() == model_, "unit image",
          QStringLiteral("the unit holds an image other than the one written"));
    if (faulty && f == Fault::Hangup) {
        lineGone_ = true;
        return true;
    }

    // Read back and compare.
    const auto back = doread(Step::Readback, "read-back");
    if (back && back->sumok) {
        ++comparisons_;
        const Values now = valuesof(imageof(back->image));
        check(now == (refused ? before : want), "read-back",
              QStringLiteral("the read-back differs from what %1 %2")
                  .arg(refused ? QStringLiteral("the unit held before refusing")
                               : QStringLiteral("was written:"),
                       refused ? QString() : changed.join(QLatin1Char(' '))));
    }
    if (lineGone_)
        return true;

    // One poll of the readings.
    setfault(f, s, Step::Poll);
    unit_->clearReceived();
    ++polls_;
    const telemetry::Poll p =
        timed(Op::Poll, telemetry::ReplySize * link::MsPerByte, [&] { return telemetry::poll(); });
    received({0x10}, "poll");
    setfault(Fault::None, s, Step::Count);
    {
        const bool pf = s == Step::Poll;
        int got = telemetry::ReplySize;
        if (pf && (f == Fault::Silence || f == Fault::Hangup))
            got = 0;
        if (pf && f == Fault::Short)
            got = telemetry::ReplySize / 2;
        check(p.got == got, "poll",
              QStringLiteral("the poll brought %1 bytes, expected %2").arg(p.got).arg(got));
        if (p.complete() && !(pf && f == Fault::Garbage)) {
            std::array<std::uint16_t, 6> r;
            std::copy(clean_.readings.begin(), clean_.readings.end(), r.begin());
            check(p.readings == r, "poll", QStringLiteral("the readings differ from the unit's"));
        }
        if (pf && f == Fault::Hangup)
            lineGone_ = true;
    }
    return true;
}

// After a stopped upload the tool must say nothing to the unit until it connects again.  The
// pause is also the unit's own time to give up on the sound it was waiting for.
void Soak::quietAfterStop()
{
    if (lineGone_)
        return;
    unit_->clearReceived();
    QThread::msleep(2300);
    check(unit_->received().empty(), "image not asked for",
          QStringLiteral("the unit heard [%1] after the upload stopped")
              .arg(hexof(unit_->received())));
    unit_->clearReceived();
}

void Soak::upload()
{
    // The faults come from a shuffled deck, every kind twice and the rest without a fault, so
    // that 20 uploads meet each kind however the seed falls.
    if (deck_.empty()) {
        for (int i = 1; i < int(UploadFault::Count); ++i)
            deck_.insert(deck_.end(), 2, UploadFault(i));
        deck_.insert(deck_.end(), 6, UploadFault::None);
        std::shuffle(deck_.begin(), deck_.end(), rng_);
    }
    UploadFault uf = deck_.back();
    deck_.pop_back();
    const bool siren = chance(0.4);
    // Small files: a stop is as likely early as late, and the run is not spent on the wire.  A
    // stop is asked only between blocks, so that one needs two at least.
    std::vector<Bytes> data;
    for (int i = 0; i < (siren ? 1 : 2); ++i) {
        const int least = siren && uf == UploadFault::Esc ? 2 : 1;
        Bytes d(std::size_t(rnd(least, 4) * wav::BlockSize + rnd(0, 1) * rnd(1, 511)));
        for (auto& b : d)
            b = std::uint8_t(rnd(0, 255));
        data.push_back(d);
    }
    std::vector<int> blocks;
    int total = 0;
    for (const Bytes& d : data) {
        blocks.push_back(int(d.size() / wav::BlockSize));
        total += blocks.back();
    }

    ++uploadFaults_[int(uf)];
    int k = rnd(0, total - 1); // the block the fault strikes
    if (uf == UploadFault::Esc)
        k = rnd(0, total - 2);

    sim::Config c = clean_;
    switch (uf) {
    case UploadFault::Stall: c.stallAfterBlocks = k; break;
    case UploadFault::Hangup: c.hangupAfterBlocks = k; break;
    case UploadFault::SilentReady:
        c.fault = sim::Fault::Silent;
        c.faultOn = sim::Reply::Ready;
        break;
    case UploadFault::SilentCounts:
        c.fault = sim::Fault::Silent;
        c.faultOn = sim::Reply::Counts;
        break;
    case UploadFault::SilentAck:
        c.fault = sim::Fault::Silent;
        c.faultOn = sim::Reply::Ack;
        c.faultAck = k;
        break;
    case UploadFault::GarbageAck:
        c.fault = sim::Fault::Garbage;
        c.faultOn = sim::Reply::Ack;
        c.faultAck = k;
        break;
    default: break;
    }
    unit_->setConfig(c);
    listener_.acked = 0;
    listener_.stopAfter = uf == UploadFault::Esc ? k + 1 : -1;

    // The files, written anew for each upload.
    wav::Sound sounds[2];
    const sound::Which which[2] = {siren ? sound::Which::Siren : sound::Which::Ppk1,
                                   sound::Which::Ppk2};
    for (std::size_t i = 0; i < data.size(); ++i) {
        const QString path = dir_.filePath(QStringLiteral("sound%1.wav").arg(i));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(wavfile(data[i])) < 0) {
            check(false, "upload", QStringLiteral("cannot write %1").arg(path));
            return;
        }
        file.close();
        const sound::Opened o = sound::openwav(which[i], path, sounds[i]);
        if (!check(o == sound::Opened::Ok && sounds[i].blocks == quint32(blocks[i]), "upload",
                   QStringLiteral("the WAV file %1 was not taken").arg(path)))
            return;
    }

    // What the unit must hear: the command, the counts, then the blocks in order.
    Bytes stream{std::uint8_t(siren ? 0x70 : 0x60)};
    for (int b : blocks) {
        stream.push_back(std::uint8_t(b >> 8));
        stream.push_back(std::uint8_t(b));
    }
    for (const Bytes& d : data)
        stream.insert(stream.end(), d.begin(),
                      d.begin() + std::ptrdiff_t(d.size() / wav::BlockSize * wav::BlockSize));
    const std::size_t head = 1 + 2 * data.size();

    const qint64 bound =
        sound::ReadyMs + sound::CountsMs + qint64(total) * (sound::ReceivedMs + sound::StoredMs);
    unit_->clearReceived();
    const sound::Outcome o = timed(Op::Upload, bound, [&] {
        return siren ? sound::uploadsiren(sounds[0], listener_)
                     : sound::uploadmessages(sounds[0], sounds[1], listener_);
    });
    listener_.stopAfter = -1;

    sound::Outcome expectO = sound::Outcome::Done;
    std::size_t expectLen = stream.size();
    switch (uf) {
    case UploadFault::None: break;
    case UploadFault::Stall:
        expectO = sound::Outcome::Silent;
        expectLen = head + std::size_t(k + 1) * wav::BlockSize;
        break;
    case UploadFault::Hangup:
        expectO = sound::Outcome::LineLost;
        expectLen = head + std::size_t(k) * wav::BlockSize;
        break;
    case UploadFault::SilentReady:
        expectO = sound::Outcome::Silent;
        expectLen = 1;
        break;
    case UploadFault::SilentCounts:
        expectO = sound::Outcome::Silent;
        expectLen = head;
        break;
    case UploadFault::SilentAck:
    case UploadFault::GarbageAck:
        expectO = sound::Outcome::Silent;
        expectLen = head + std::size_t(k + 1) * wav::BlockSize;
        break;
    case UploadFault::Esc:
        expectO = sound::Outcome::Stopped;
        expectLen = head + std::size_t(k + 1) * wav::BlockSize;
        break;
    case UploadFault::Count: break;
    }
    check(o == expectO, "upload",
          QStringLiteral("the upload with %1 at block %2 ended %3, expected %4")
              .arg(QLatin1String(UploadFaultNames[int(uf)]))
              .arg(k)
              .arg(int(o))
              .arg(int(expectO)));

    settle(expectLen);
    const Bytes got = unit_->received();
    unit_->clearReceived();
    if (uf == UploadFault::Hangup) {
        // The unit hangs up at the first byte of block k; bytes the tool wrote after that are
        // lost with the line.
        const bool prefix = got.size() >= expectLen && got.size() <= expectLen + wav::BlockSize &&
                            std::equal(got.begin(), got.end(), stream.begin());
        check(
            prefix, "bytes sent",
            QStringLiteral(
                "the upload hung up at block %1 delivered %2 bytes, not the first %3 of the sound")
                .arg(k)
                .arg(got.size())
                .arg(expectLen));
        lineGone_ = true;
    } else {
        check(
            got == Bytes(stream.begin(), stream.begin() + std::ptrdiff_t(expectLen)), "bytes sent",
            QStringLiteral(
                "the upload with %1 at block %2 sent %3 bytes, expected the first %4 of the sound")
                .arg(QLatin1String(UploadFaultNames[int(uf)]))
                .arg(k)
                .arg(got.size())
                .arg(expectLen));
    }
    if (o == sound::Outcome::Done) {
        ++uploadsDone_;
        blocksSent_ += total;
        for (std::size_t i = 0; i < data.size(); ++i) {
            const int idx = siren ? 2 : int(i);
            const Bytes want(data[i].begin(),
                             data[i].begin() + std::ptrdiff_t(blocks[i]) * wav::BlockSize);
            check(unit_->sound(idx) == want && unit_->count(idx) == blocks[i], "upload",
                  QStringLiteral("the unit holds other sound than file %1").arg(i + 1));
        }
        check(link::connected(), "upload",
              QStringLiteral("a finished upload left the tool not connected"));
    } else {
        ++uploadsStopped_;
        check(!link::connected(), "image not asked for",
              QStringLiteral("a stopped upload left the tool connected"));
    }
    unit_->setConfig(clean_);
    check(lineGone_ || unit_->image() == model_, "unit image",
          QStringLiteral("the unit's settings changed during an upload"));
    if (o != sound::Outcome::Done)
        quietAfterStop();
}

void Soak::samplerss()
{
    const long kb = rsskb();
    rss_.emplace_back(cycle_, kb);
    check(kb > 0, "memory", QStringLiteral("the resident size could not be read"));
}

int Soak::run()
{
    if (!dir_.isValid()) {
        std::fprintf(stderr, "cannot make a scratch folder\n");
        return 1;
    }
    // A port folder of our own: COM1 is the simulated unit, every other name points at nothing,
    // so that the machine's own serial ports are never touched.
    qputenv("XDG_DATA_HOME", dir_.path().toUtf8());
    QDir().mkpath(link::portfolder());
    for (int i = 1; i < link::PortCount; ++i)
        QFile::link(QStringLiteral("/nonexistent/tty"),
                    link::portfolder() + QLatin1Char('/') + link::comname(i));
    model_ = sim::defaultImage(52, 14, 1);
    newunit();
    newUnits_ = 0;

    dog_.seed = seed_;
    dog_.clock.start();
    dog_.thread = std::thread([this] { dog_.run(); });

    std::printf("soak: %d cycles, %d uploads, seed %llu (repeat with --seed %llu)\n", cycles_,
                uploads_, (unsigned long long)seed_, (unsigned long long)seed_);
    std::fflush(stdout);
    QElapsedTimer total;
    total.start();

    const QList<int> ports = link::scanports(listener_);
    check(ports == QList<int>{1}, "scan",
          QStringLiteral("the scan found %1 ports").arg(ports.size()));

    const int baseline = std::max(1, cycles_ / 10);
    const int every = cycles_ >= 500 ? 100 : std::max(1, cycles_ / 10);
    int uploadsStarted = 0;
    // Uploads still due after the last cycle get a few more connects of their own.
    const int most = cycles_ + 5 * uploads_;
    for (cycle_ = 1; cycle_ <= cycles_ || (uploadsStarted < uploads_ && cycle_ <= most); ++cycle_) {
        const bool connected = cycle_ <= cycles_ ? cycle() : connect(Fault::None, Step::Count);
        // The uploads are spread evenly over the run, each after a cycle that left the unit
        // connected.
        const long due = cycle_ >= cycles_ ? uploads_ : long(uploads_) * cycle_ / cycles_;
        if (connected && link::connected() && !lineGone_ && uploadsStarted < due) {
            ++uploadsStarted;
            upload();
        }
        if (cycle_ == baseline || cycle_ % every == 0)
            samplerss();
        if (cycle_ <= cycles_ && (cycle_ % every == 0 || cycle_ == cycles_)) {
            std::printf("cycle %d/%d  %.0f s  uploads %d  failures %ld  rss %ld kB\n", cycle_,
                        cycles_, total.elapsed() / 1000.0, uploadsStarted, failures_, rsskb());
            std::fflush(stdout);
        }
    }
    extra_ = std::max(0, cycle_ - 1 - cycles_);
    cycle_ = std::min(cycle_ - 1, cycles_);
    check(
        uploadsStarted == uploads_, "upload",
        QStringLiteral("only %1 of %2 uploads could be started").arg(uploadsStarted).arg(uploads_));
    if (link::connected() && !lineGone_) {
        unit_->clearReceived();
        timed(Op::End, link::MsPerByte, [&] { return link::endunit(listener_); });
        received({'Z'}, "end");
    }
    link::closeall();
    samplerss();
    dog_.stop = true;
    dog_.thread.join();
    summary(total.elapsed());
    return failures_ == 0 ? 0 : 1;
}

void Soak::summary(qint64 ms)
{
    std::printf("\n== soak summary (seed %llu)\n", (unsigned long long)seed_);
    std::printf("cycles %d (and %d connects after them for the uploads still due), time %.1f s "
                "(%.2f s a cycle)\n",
                cycle_, extra_, ms / 1000.0, cycle_ > 0 ? ms / 1000.0 / cycle_ : 0.0);
    std::printf("connects %ld (new units after a hang-up %ld), reads %ld (good %ld), writes %ld "
                "(refused by the unit %ld), read-backs compared %ld, polls %ld\n",
                connects_, newUnits_, reads_, goodReads_, writes_, refusedWrites_, comparisons_,
                polls_);
    std::printf("images the unit received %ld, writes the run asked for %ld; writes refused for "
                "want of a read %ld, for a field that is no number %ld\n",
                imagesSent_, writes_, notRead_, badFields_);
    std::printf("uploads %ld (finished %ld, %ld blocks; stopped %ld)\n",
                uploadsDone_ + uploadsStopped_, uploadsDone_, blocksSent_, uploadsStopped_);
    std::printf("cycles paced at 115200 baud: %ld\n", paced_);
    std::printf("faults by kind (step: count):\n");
    for (int f = 0; f < int(Fault::Count); ++f) {
        QString steps;
        for (int s = 0; s < int(Step::Count); ++s)
            if (faultSteps_[f][s])
                steps += QStringLiteral(" %1: %2,")
                             .arg(QLatin1String(StepNames[s]))
                             .arg(faultSteps_[f][s]);
        steps.chop(1);
        std::printf("  %-14s %5ld %s\n", FaultNames[f], faults_[f], qPrintable(steps));
    }
    std::printf("upload faults:\n");
    for (int f = 0; f < int(UploadFault::Count); ++f)
        std::printf("  %-24s %3ld\n", UploadFaultNames[f], uploadFaults_[f]);
    std::printf("time per operation (longest / limit; slack %lld ms):\n", (long long)SlackMs);
    for (int o = 0; o < int(Op::Count); ++o)
        if (ops_[o].count)
            std::printf("  %-8s %6ld  %6lld ms / %lld ms\n", OpNames[o], ops_[o].count,
                        (long long)ops_[o].maxMs, (long long)ops_[o].maxBound);

    // Memory: from the first tenth of the run to its end.
    long first = 0, last = 0, most = 0;
    if (!rss_.empty()) {
        first = rss_.front().second;
        last = rss_.back().second;
        for (const auto& [c, kb] : rss_)
            most = std::max(most, kb);
    }
    const long growth = last - first;
    const long bound = MemorySlackKb;
    std::printf(
        "rss (kB) at cycle %d: %ld, at the end: %ld, most: %ld; growth %ld kB (bound %ld kB)\n",
        rss_.empty() ? 0 : rss_.front().first, first, last, most, growth, bound);
    check(first > 0 && last > 0, "memory", QStringLiteral("the resident size was not measured"));
    if (AddressSanitizer)
        std::printf("growth not judged: AddressSanitizer keeps freed memory in quarantine\n");
    else
        check(growth < bound, "memory",
              QStringLiteral("the resident size grew by %1 kB, more than %2 kB")
                  .arg(growth)
                  .arg(bound));

    std::printf("checks %ld, failures %ld\n", checks_, failures_);
    for (const auto& [kind, n] : failureKinds_)
        std::printf("  %-20s %ld\n", kind.c_str(), n);
    std::printf("%s\n", failures_ == 0 ? "PASS" : "FAIL");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Soak run: read/write cycles and uploads against a simulated unit with random faults."));
    p.addHelpOption();
    QCommandLineOption cycles(QStringLiteral("cycles"),
                              QStringLiteral("read/write cycles (default 1000)"),
                              QStringLiteral("n"), QStringLiteral("1000"));
    QCommandLineOption uploads(QStringLiteral("uploads"), QStringLiteral("uploads (default 20)"),
                               QStringLiteral("n"), QStringLiteral("20"));
    QCommandLineOption seed(QStringLiteral("seed"),
                            QStringLiteral("seed of the fault draws (default: random)"),
                            QStringLiteral("n"));
    p.addOptions({cycles, uploads, seed});
    p.process(app);
    bool ok1 = false, ok2 = false, ok3 = true;
    const int c = p.value(cycles).toInt(&ok1);
    const int u = p.value(uploads).toInt(&ok2);
    quint64 s = std::random_device{}() ^ (quint64(std::random_device{}()) << 32);
    if (p.isSet(seed))
        s = p.value(seed).toULongLong(&ok3);
    if (!ok1 || !ok2 || !ok3 || c < 1 || u < 0) {
        std::fprintf(stderr,
                     "bench_soak: --cycles takes a number from 1, --uploads and --seed from 0\n");
        return 2;
    }
    return Soak(c, u, s).run();
}
