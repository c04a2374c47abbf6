// The simulated unit.  One serving thread owns the master side of the pseudo-terminal and runs
// the unit's command machine; everything the tests look at lives behind one mutex.
#include "sim/unitsim.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace sim {

namespace {

constexpr std::int64_t kByteNs = 86806;          // 10 bits at 115200 baud
constexpr std::int64_t kIdleResetNs = 2000000000; // a half-received image or upload is dropped
constexpr int kBlock = 512;
constexpr std::uint8_t kFiller = 0x00;           // between a block's "U" and its 0xFF

std::int64_t nowNs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

void sleepUntil(std::int64_t deadline)
{
    timespec ts;
    ts.tv_sec = time_t(deadline / 1000000000);
    ts.tv_nsec = long(deadline % 1000000000);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

void put16(std::array<std::uint8_t, 512>& a, int at, unsigned v)
{
    a[at] = std::uint8_t(v >> 8);
    a[at + 1] = std::uint8_t(v);
}

std::uint8_t sum51(const std::array<std::uint8_t, 512>& a)
{
    unsigned s = 0;
    for (int i = 0; i <= 50; ++i)
        s += a[i];
    return std::uint8_t(s);
}

bool mkdirs(const std::string& folder)
{
    if (folder.empty())
        return false;
    std::string part;
    std::size_t pos = 0;
    while (pos != std::string::npos) {
        pos = folder.find('/', pos + 1);
        part = folder.substr(0, pos);
        if (part.empty())
            continue;
        if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST)
            return false;
    }
    struct stat st;
    return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

enum class Mode { Command, Image, Counts, Blocks, Stalled };

} // namespace

std::array<std::uint8_t, 512> defaultImage(std::uint8_t firmware, std::uint8_t minor,
                                           std::uint8_t deviceType)
{
    std::array<std::uint8_t, 512> a{};
    a[0] = firmware;
    a[1] = deviceType;
    put16(a, 4, 300);
    a[6] = 1;   // address
    a[7] = 1;   // zone
    a[8] = 0;   // display lit in standby
    a[9] = 1;   // display flashes during fire
    put16(a, 10, 30);
    put16(a, 12, 20);
    put16(a, 14, 1000);
    put16(a, 16, 3500);
    put16(a, 18, 700);
    put16(a, 20, 2900);
    for (int i = 22; i <= 27; ++i)
        a[i] = 1;
    for (int i = 34; i <= 37; ++i)
        a[i] = 1;
    a[38] = 10;
    a[39] = 50;
    put16(a, 40, 3100);
    a[42] = 51;
    a[43] = 12;
    a[50] = minor;
    a[51] = sum51(a);
    return a;
}

struct Unit::Impl {
    mutable std::mutex m;
    std::condition_variable cv;
    Config cfg;
    unsigned configGen = 0;
    std::array<std::uint8_t, 512> image{};
    std::vector<std::uint8_t> received;
    std::vector<std::uint8_t> sounds[3];
    int counts[3] = {0, 0, 0};
    int blocks = 0;

    int master = -1;
    int slave = -1;
    std::string slaveName;
    std::string linkName;
    int wake[2] = {-1, -1};
    std::atomic<bool> stop{false};
    bool hangupWanted = false; // under m
    bool lineDown = false;     // under m
    std::thread thread;

    // Serving thread only.
    Mode mode = Mode::Command;
    std::vector<std::uint8_t> partial; // image or block being received
    std::vector<std::uint8_t> countBytes;
    int uploadFiles = 0;  // 2 for 0x60, 1 for 0x70
    int firstFile = 0;    // sound index of the first file
    int fileIndex = 0;    // which file of the upload is receiving
    int blocksLeftInFile = 0;
    unsigned stallGen = 0;
    std::int64_t lastByteNs = 0;
    std::int64_t inClock = 0;  // when the last received byte had fully arrived (paced)
    std::int64_t outClock = 0; // when the last sent byte had fully left (paced)
    std::deque<std::pair<std::uint8_t, std::int64_t>> pending; // byte, time it was read

    void serve();
    void handle(std::uint8_t b);
    void send(const std::vector<std::uint8_t>& bytes);
    // Sends a reply of this kind, with the fault of the configuration put on it.
    void reply(Reply kind, std::vector<std::uint8_t> bytes, const Config& c);
    void closeLine();
    bool takeHangup();
    void startBlocks();
    void endOfBlock();
    void waitMs(int ms);
    bool waitUntil(std::int64_t deadline);
    void drainWake();
};

void Unit::Impl::drainWake()
{
    char buf[64];
    while (read(wake[0], buf, sizeof buf) > 0) {
    }
}

void Unit::Impl::closeLine()
{
    std::lock_guard<std::mutex> lock(m);
    if (master >= 0)
        close(master);
    if (slave >= 0)
        close(slave);
    master = slave = -1;
    lineDown = true;
    hangupWanted = false;
    pending.clear();
    mode = Mode::Command;
    cv.notify_all();
}

// True when the line has been closed (now or before); the caller stops what it is doing.
bool Unit::Impl::takeHangup()
{
    bool want;
    {
        std::lock_guard<std::mutex> lock(m);
        if (lineDown)
            return true;
        want = hangupWanted;
    }
    if (want) {
        closeLine();
        return true;
    }
    return false;
}

// A pause until an absolute time that the destructor and hangup() can cut short.  False when
// it was cut short.  The last millisecond is slept to the deadline itself: poll() rounds up.
bool Unit::Impl::waitUntil(std::int64_t deadline)
{
    while (!stop) {
        {
            std::lock_guard<std::mutex> lock(m);
            if (hangupWanted || lineDown)
                return false;
        }
        const std::int64_t left = deadline - nowNs();
        if (left <= 0)
            return true;
        if (left < 1000000) {
            sleepUntil(deadline);
            return true;
        }
        pollfd p{wake[0], POLLIN, 0};
        poll(&p, 1, int(left / 1000000));
        if (p.revents & POLLIN)
            drainWake();
    }
    return false;
}

// A pause the destructor and hangup() can cut short.
void Unit::Impl::waitMs(int ms)
{
    waitUntil(nowNs() + std::int64_t(ms) * 1000000);
}

void Unit::Impl::send(const std::vector<std::uint8_t>& bytes)
{
    if (bytes.empty())
        return;
    bool paced;
    int fd;
    int slowMs, slowBurst;
    {
        std::lock_guard<std::mutex> lock(m);
        if (cfg.silent || master < 0)
            return;
        paced = cfg.paced;
        slowMs = cfg.slowMs;
        slowBurst = std::max(1, cfg.slowBurst);
        fd = master;
    }
    // A byte that cannot leave for a while is lost, as on a real line whose far end does not
    // read; the unit never blocks on it.
    auto writeSome = [&](const std::uint8_t* p, std::size_t n) {
        const std::int64_t giveUp = nowNs() + 200000000;
        while (n > 0 && !stop) {
            ssize_t w = write(fd, p, n);
            if (w > 0) {
                p += w;
                n -= std::size_t(w);
                continue;
            }
            if (w < 0 && errno == EINTR)
                continue;
            if (w < 0 && errno != EAGAIN)
                return false;
            if (nowNs() > giveUp)
                return true;
            pollfd pf{fd, POLLOUT, 0};
            poll(&pf, 1, 10);
        }
        return true;
    };
    if (slowMs > 0) {
        // Deadlines from the reply's start: the sleeps' overshoot does not add up.
        const std::int64_t start = nowNs();
        const std::int64_t burstNs = std::int64_t(slowMs) * 1000000 * slowBurst;
        std::size_t done = 0;
        for (std::int64_t k = 1; done < bytes.size(); ++k) {
            if (!waitUntil(start + k * burstNs)) {
                takeHangup();
                return;
            }
            const std::size_t n = std::min(bytes.size() - done, std::size_t(slowBurst));
            if (!writeSome(bytes.data() + done, n))
                return;
            done += n;
        }
        return;
    }
    if (!paced) {
        writeSome(bytes.data(), bytes.size());
        return;
    }
    outClock = std::max(outClock, nowNs());
    for (std::uint8_t b : bytes) {
        if (stop || takeHangup())
            return;
        outClock += kByteNs;
        sleepUntil(outClock);
        if (!writeSome(&b, 1))
            return;
    }
}

void Unit::Impl::startBlocks()
{
    // Skip files with no blocks; an upload with no blocks at all ends with the "T".
    while (fileIndex < uploadFiles && counts[firstFile + fileIndex] == 0)
        ++fileIndex;
    if (fileIndex >= uploadFiles) {
        mode = Mode::Command;
        return;
    }
    blocksLeftInFile = counts[firstFile + fileIndex];
    partial.clear();
    mode = Mode::Blocks;
}

void Unit::Impl::reply(Reply kind, std::vector<std::uint8_t> bytes, const Config& c)
{
    int done;
    {
        std::lock_guard<std::mutex> lock(m);
        done = blocks;
    }
    const bool hit = c.fault != Fault::None && c.faultOn == kind
        && (kind != Reply::Ack || c.faultAck < 0 || c.faultAck == done - 1);
    if (!hit) {
        send(bytes);
        return;
    }
    switch (c.fault) {
    case Fault::None:
    case Fault::Silent:
        return;
    case Fault::Garbage:
        std::fill(bytes.begin(), bytes.end(), std::uint8_t('?'));
        send(bytes);
        return;
    case Fault::Short:
        bytes.resize(bytes.size() / 2);
        send(bytes);
        return;
    case Fault::Hangup:
        closeLine();
        return;
    }
}

void Unit::Impl::endOfBlock()
{
    Config c;
    {
        std::lock_guard<std::mutex> lock(m);
        auto& s = sounds[firstFile + fileIndex];
        s.insert(s.end(), partial.begin(), partial.end());
        ++blocks;
        c = cfg;
    }
    partial.clear();
    std::vector<std::uint8_t> ack{'U'};
    ack.insert(ack.end(), std::size_t(std::max(0, c.ackExtra)), kFiller);
    if (c.fault != Fault::None && c.faultOn == Reply::Ack) {
        // The whole acknowledgement is one reply to put the fault on.
        if (c.blockWorkMs > 0)
            waitMs(c.blockWorkMs);
        ack.push_back(0xFF);
        reply(Reply::Ack, ack, c);
    } else {
        send(ack);
        if (c.blockWorkMs > 0)
            waitMs(c.blockWorkMs);
        send({0xFF});
    }

    if (--blocksLeftInFile == 0) {
        ++fileIndex;
        startBlocks();
    }
}

void Unit::Impl::handle(std::uint8_t b)
{
    Config c;
    int done;
    {
        std::lock_guard<std::mutex> lock(m);
        received.push_back(b);
        c = cfg;
        done = blocks;
        if (mode == Mode::Stalled && configGen != stallGen)
            mode = Mode::Command;
    }

    switch (mode) {
    case Mode::Stalled:
        return;

    case Mode::Command:
        switch (b) {
        case 'Z':
            if (c.answerToEnd >= 0)
                reply(Reply::End, {std::uint8_t(c.answerToEnd)}, c);
            return;
        case 'U':
            if (c.answerToStart >= 0)
                reply(Reply::Start, {std::uint8_t(c.answerToStart)}, c);
            return;
        case 'R': {
            std::array<std::uint8_t, 512> img;
            {
                std::lock_guard<std::mutex> lock(m);
                img = image;
            }
            if (c.badChecksum)
                img[51] = std::uint8_t(img[51] + 1);
            int n = std::max(0, std::min(c.imageLength, 512));
            reply(Reply::Image, std::vector<std::uint8_t>(img.begin(), img.begin() + n), c);
            return;
        }
        case 'S':
            partial.clear();
            mode = Mode::Image;
            return;
        case 0x10: {
            std::vector<std::uint8_t> t;
            for (std::uint16_t r : c.readings) {
                t.push_back(std::uint8_t(r >> 8));
                t.push_back(std::uint8_t(r));
            }
            t.resize(std::size_t(std::max(0, std::min(c.telemetryLength, 12))));
            reply(Reply::Telemetry, t, c);
            return;
        }
        case 0x60:
        case 0x70: {
            {
                std::lock_guard<std::mutex> lock(m);
                for (int i = 0; i < 3; ++i) {
                    sounds[i].clear();
                    counts[i] = 0;
                }
                blocks = 0;
            }
            uploadFiles = b == 0x60 ? 2 : 1;
            firstFile = b == 0x60 ? 0 : 2;
            fileIndex = 0;
            countBytes.clear();
            mode = Mode::Counts;
            reply(Reply::Ready, {'U'}, c);
            return;
        }
        default:
            return; // not a command of this unit
        }

    case Mode::Image:
        partial.push_back(b);
        if (partial.size() < 512)
            return;
        mode = Mode::Command;
        {
            bool store = !(c.firmware >= 50 && c.refuseWrites);
            if (store) {
                std::lock_guard<std::mutex> lock(m);
                const std::array<std::uint8_t, 512> old = image;
                std::copy(partial.begin(), partial.end(), image.begin());
                if (c.keepStored >= 0 && c.keepStored < 512 && c.keepWidth > 0) {
                    for (int i = c.keepStored; i < std::min(512, c.keepStored + c.keepWidth); ++i)
                        image[std::size_t(i)] = old[std::size_t(i)];
                    image[51] = sum51(image);
                }
                if (c.alterStored >= 0 && c.alterStored < 512) {
                    auto& b = image[std::size_t(c.alterStored)];
                    b = std::uint8_t(b + 1);
                    image[51] = sum51(image);
                }
            }
            partial.clear();
            if (c.firmware >= 50) {
                if (c.refuseWrites)
                    reply(Reply::Verdict, {'['}, c);
                else if (c.writeVerdict >= 0)
                    reply(Reply::Verdict, {std::uint8_t(c.writeVerdict)}, c);
            }
        }
        return;

    case Mode::Counts:
        countBytes.push_back(b);
        if (int(countBytes.size()) < 2 * uploadFiles)
            return;
        {
            std::lock_guard<std::mutex> lock(m);
            for (int i = 0; i < uploadFiles; ++i)
                counts[firstFile + i] = countBytes[2 * i] << 8 | countBytes[2 * i + 1];
        }
        reply(Reply::Counts, {'T'}, c);
        startBlocks();
        return;

    case Mode::Blocks:
        if (c.stallAfterBlocks >= 0 && done >= c.stallAfterBlocks) {
            std::lock_guard<std::mutex> lock(m);
            mode = Mode::Stalled;
            stallGen = configGen;
            partial.clear();
            return;
        }
        if (c.hangupAfterBlocks >= 0 && done >= c.hangupAfterBlocks) {
            closeLine();
            return;
        }
        partial.push_back(b);
        if (int(partial.size()) == kBlock)
            endOfBlock();
        return;
    }
}

void Unit::Impl::serve()
{
    std::uint8_t buf[1024];
    while (!stop) {
        if (takeHangup()) {
            // The line is gone; idle until the unit is destroyed.
            pollfd p{wake[0], POLLIN, 0};
            poll(&p, 1, 200);
            if (p.revents & POLLIN)
                drainWake();
            continue;
        }

        bool paced;
        {
            std::lock_guard<std::mutex> lock(m);
            paced = cfg.paced;
        }

        if (!pending.empty()) {
            auto [b, readAt] = pending.front();
            pending.pop_front();
            if (paced) {
                // A byte is whole only one byte time after the previous one was.
                inClock = std::max(inClock, readAt) + kByteNs;
                sleepUntil(inClock);
            }
            lastByteNs = nowNs();
            handle(b);
            continue;
        }

        // Waiting inside an image or an upload: give up on it after a long silence, so that a
        // tool that stopped half-way can talk to the unit again.
        int timeout = 200;
        if (mode == Mode::Image || mode == Mode::Counts || mode == Mode::Blocks) {
            std::int64_t left = lastByteNs + kIdleResetNs - nowNs();
            if (left <= 0) {
                partial.clear();
                countBytes.clear();
                mode = Mode::Command;
                continue;
            }
            timeout = int(std::min<std::int64_t>(left / 1000000 + 1, 200));
        }

        pollfd p[2] = {{wake[0], POLLIN, 0}, {master, POLLIN, 0}};
        int r = poll(p, 2, timeout);
        if (r < 0)
            continue;
        if (p[0].revents & POLLIN)
            drainWake();
        if (p[1].revents & (POLLIN | POLLHUP | POLLERR)) {
            ssize_t n = read(master, buf, sizeof buf);
            if (n > 0) {
                std::int64_t t = nowNs();
                for (ssize_t i = 0; i < n; ++i)
                    pending.emplace_back(buf[i], t);
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                // Nobody holds the slave (cannot happen while ours is open); do not spin.
                pollfd w{wake[0], POLLIN, 0};
                poll(&w, 1, 20);
            }
        }
    }
}

Unit::Unit(const Config& config) : d(new Impl)
{
    d->cfg = config;
    d->image = defaultImage(config.firmware, config.minor, config.deviceType);

    // Close-on-exec throughout: a program the test starts (the command line) must not inherit
    // the unit's end of the line, or closing it would no longer hang the line up.
    d->master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (d->master >= 0 && grantpt(d->master) == 0 && unlockpt(d->master) == 0) {
        char name[128];
        if (ptsname_r(d->master, name, sizeof name) == 0)
            d->slaveName = name;
    }
    if (!d->slaveName.empty())
        d->slave = open(d->slaveName.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (d->slave >= 0) {
        // Raw from the start: nothing may echo back before the tool sets the line up.
        termios t;
        if (tcgetattr(d->slave, &t) == 0) {
            cfmakeraw(&t);
            cfsetispeed(&t, B115200);
            cfsetospeed(&t, B115200);
            tcsetattr(d->slave, TCSANOW, &t);
        }
    }
    if (d->master >= 0)
        fcntl(d->master, F_SETFL, fcntl(d->master, F_GETFL) | O_NONBLOCK);
    if (pipe2(d->wake, O_CLOEXEC) == 0) {
        fcntl(d->wake[0], F_SETFL, O_NONBLOCK);
        fcntl(d->wake[1], F_SETFL, O_NONBLOCK);
    }
    if (d->master < 0 || d->slave < 0) {
        d->lineDown = true;
        if (d->master >= 0)
            close(d->master);
        if (d->slave >= 0)
            close(d->slave);
        d->master = d->slave = -1;
    }
    d->lastByteNs = nowNs();
    d->thread = std::thread([this] { d->serve(); });
}

Unit::~Unit()
{
    d->stop = true;
    if (d->wake[1] >= 0) {
        char c = 1;
        (void)!write(d->wake[1], &c, 1);
    }
    if (d->thread.joinable())
        d->thread.join();
    if (d->master >= 0)
        close(d->master);
    if (d->slave >= 0)
        close(d->slave);
    for (int fd : d->wake)
        if (fd >= 0)
            close(fd);
    unlink();
    delete d;
}

std::string Unit::slavePath() const
{
    return d->slaveName;
}

bool Unit::link(int comNumber, const std::string& folder)
{
    unlink();
    if (d->slaveName.empty() || !mkdirs(folder))
        return false;
    std::string path = folder + "/COM" + std::to_string(comNumber);
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode))
        ::unlink(path.c_str());
    if (symlink(d->slaveName.c_str(), path.c_str()) != 0)
        return false;
    std::lock_guard<std::mutex> lock(d->m);
    d->linkName = path;
    return true;
}

void Unit::unlink()
{
    std::string path;
    {
        std::lock_guard<std::mutex> lock(d->m);
        path.swap(d->linkName);
    }
    if (path.empty())
        return;
    // Only our own link: someone may have put another unit there since.
    char target[256];
    ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
    if (n >= 0) {
        target[n] = 0;
        if (d->slaveName == target)
            ::unlink(path.c_str());
    }
}

Config Unit::config() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->cfg;
}

void Unit::setConfig(const Config& config)
{
    {
        std::lock_guard<std::mutex> lock(d->m);
        d->cfg = config;
        ++d->configGen;
    }
    char c = 1;
    (void)!write(d->wake[1], &c, 1);
}

std::array<std::uint8_t, 512> Unit::image() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->image;
}

void Unit::setImage(const std::array<std::uint8_t, 512>& image)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->image = image;
}

std::vector<std::uint8_t> Unit::received() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->received;
}

void Unit::clearReceived()
{
    std::lock_guard<std::mutex> lock(d->m);
    d->received.clear();
}

std::vector<std::uint8_t> Unit::sound(int which) const
{
    std::lock_guard<std::mutex> lock(d->m);
    if (which < 0 || which > 2)
        return {};
    return d->sounds[which];
}

int Unit::count(int which) const
{
    std::lock_guard<std::mutex> lock(d->m);
    if (which < 0 || which > 2)
        return 0;
    return d->counts[which];
}

int Unit::blocksReceived() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->blocks;
}

void Unit::hangup()
{
    std::unique_lock<std::mutex> lock(d->m);
    if (d->lineDown)
        return;
    d->hangupWanted = true;
    char c = 1;
    (void)!write(d->wake[1], &c, 1);
    // The serving thread owns the descriptors; wait until it has let go of them.
    d->cv.wait_for(lock, std::chrono::seconds(2), [this] { return d->lineDown; });
}

} // namespace sim
