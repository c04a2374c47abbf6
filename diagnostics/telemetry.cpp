#include "diagnostics/telemetry.h"
#include "link/channel.h"
#include "link/commands.h"

namespace telemetry {

Poll poll()
{
    Poll p;
    link::sendbyte(cmd::Telemetry);
    p.got = link::readtelemetry();
    p.readings = decode(&link::area[link::Rx]);
    return p;
}

void drain()
{
    link::readtelemetry();
}

std::uint16_t reading(const std::uint8_t* reply, int n)
{
    return std::uint16_t(reply[2 * n] << 8 | reply[2 * n + 1]);
}

std::array<std::uint16_t, Count> decode(const std::uint8_t* reply)
{
    std::array<std::uint16_t, Count> r{};
    for (int n = 0; n < Count; ++n)
        r[n] = reading(reply, n);
    return r;
}

float sample(std::uint16_t reading)
{
    // The quotient in double is correctly rounded and rounds on to the nearest float for every
    // 16-bit reading.  reading * 0.1f would not: 0.1f is already off, and 9 would give
    // 0.900000036 instead of 0.899999976.
    return float(reading / 10.0);
}

void PointStore::append(float y)
{
    if (ys_.empty()) {
        min_ = max_ = y;
    } else {
        if (y < min_)
            min_ = y;
        if (y > max_)
            max_ = y;
    }
    ys_.push_back(y);
}

void PointStore::clear()
{
    // Give the memory back too: after a day of polling it is several megabytes.
    std::vector<float>().swap(ys_);
    min_ = max_ = 0;
}

} // namespace telemetry
