#pragma once
// The unit's live readings: the 12-byte telemetry reply, the chart sample made from a reading
// and the store that keeps every sample of a run.  No widgets here, so tests call it directly.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace telemetry {

constexpr int Count = 6;      // readings in one reply, two bytes each, high byte first
constexpr int ReplySize = 12;
constexpr int Light = 4;      // reading 5, the one "LIGHT" plots
constexpr int Power = 5;      // reading 6, the one "POWER" plots

// Reading n (0..5) of a reply that lies at `reply` (at least 12 bytes).
std::uint16_t reading(const std::uint8_t* reply, int n);
std::array<std::uint16_t, Count> decode(const std::uint8_t* reply);

// One poll of the unit: 0x10, then the 12-byte reply into the receive area.  A short reply
// leaves the bytes it did not bring as the last read left them; `got` says how many came.
struct Poll {
    int got = 0;
    std::array<std::uint16_t, Count> readings{};
    bool complete() const { return got == ReplySize; }
};
Poll poll();

// Takes a reply to the last poll off the line when polling stops, so that it does not answer
// the next command.
void drain();

// What the chart plots for a reading: a tenth of it, held in single precision (the float
// nearest to reading / 10; 500 gives exactly 50, 9 gives 0.899999976...).
float sample(std::uint16_t reading);

// Every sample since the start or the last clear.  A point's X is its index, so only the Y
// values are kept: four bytes a point.  The Y range is kept up to date as points arrive.
class PointStore {
public:
    void append(float y);
    void clear();
    std::size_t size() const { return ys_.size(); }
    bool empty() const { return ys_.empty(); }
    float y(std::size_t i) const { return ys_[i]; }
    float minY() const { return min_; } // meaningful only when not empty
    float maxY() const { return max_; }
    std::size_t bytes() const { return ys_.capacity() * sizeof(float); }

private:
    std::vector<float> ys_;
    float min_ = 0, max_ = 0;
};

} // namespace telemetry
