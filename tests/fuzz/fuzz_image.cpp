// The settings image: what a read shows goes back unchanged by a write.  decode, then the bars
// clamping their positions as the controls do, then encode over a copy of the same image must
// give the image itself, except that a flag byte other than 1 reads as off and goes back as 0,
// a bar byte outside its range goes back as the nearest end, and index 51 is the checksum of
// the result.
//
// The input is the image (an input shorter than 512 bytes is padded with zeros).  Bytes past
// the image, when there are any, edit one number field: the first picks the field, the rest is
// its text as typed (UTF-8).  That write either stores the typed value or is refused and leaves
// the image as it was.
#include "settings/image.h"
#include "settings/strtoint.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using Image = std::array<std::uint8_t, settings::ImageSize>;
using settings::Fields;

[[noreturn]] void fail(const char* what, const Image& in, const Image& got, const Image& want)
{
    std::fprintf(stderr, "settings image: %s\n", what);
    for (int i = 0; i < settings::ImageSize; ++i)
        if (got[size_t(i)] != want[size_t(i)] || i < 52)
            std::fprintf(stderr, "  [%3d] in %02X  got %02X  want %02X%s\n", i, in[size_t(i)],
                         got[size_t(i)], want[size_t(i)], got[size_t(i)] != want[size_t(i)] ? "  <--" : "");
    std::abort();
}

std::uint8_t sum(const Image& im)
{
    unsigned s = 0;
    for (int i = 0; i < 51; ++i)
        s += im[size_t(i)];
    return std::uint8_t(s % 256);
}

// The image a write sends after a read of `in`, worked out byte by byte.
Image expected(const Image& in)
{
    Image out = in;
    for (int i : {8, 9, 22, 23, 24, 25, 26, 27, 34, 35, 36, 37})
        out[size_t(i)] = in[size_t(i)] == 1 ? 1 : 0;
    out[38] = std::uint8_t(std::clamp<int>(in[38], 5, 20));
    out[42] = std::uint8_t(std::clamp<int>(in[42], 0, 100));
    out[43] = std::uint8_t(std::clamp<int>(in[43], 2, 16));
    out[51] = sum(out);
    return out;
}

// What the bars hold after decode has set them.
Fields clamped(Fields f)
{
    f.flashSpeed = std::clamp(f.flashSpeed, settings::FlashSpeedMin, settings::FlashSpeedMax);
    f.frequency = std::clamp(f.frequency, settings::FrequencyMin, settings::FrequencyMax);
    f.volume = std::clamp(f.volume, settings::VolumeMin, settings::VolumeMax);
    return f;
}

Image encoded(const Fields& f, const Image& over, const Image& in)
{
    Image out = over;
    try {
        settings::encode(f, out.data());
    } catch (const settings::ConvertError&) {
        fail("encode refused what decode gave", in, out, over);
    }
    return out;
}

void checkidentity(const Image& in)
{
    const settings::Decoded d = settings::decode(in.data());
    const std::uint8_t code = in[0], minor = in[50];
    const QString firmware = QString::number(code / 10) + QLatin1Char('.')
                           + QString::number(code < 50 ? code % 10 : minor);
    if (d.newFirmware != (code >= 50) || d.firmware != firmware)
        fail("firmware text or new-firmware flag", in, in, in);
    if (d.startups != QString::number(in[4] * 256 + in[5]))
        fail("start-up count", in, in, in);
    if (d.deviceType.isNull() != (in[1] < 1 || in[1] > 3))
        fail("device type text", in, in, in);
    if (settings::imagesum(in.data()) != sum(in))
        fail("imagesum", in, in, in);
}

struct NumberField {
    QString Fields::*text;
    int at;
    int width;
};
const NumberField numbers[] = {
    {&Fields::address, 6, 1},       {&Fields::zone, 7, 1},         {&Fields::boardDrift, 10, 2},
    {&Fields::lineDrift, 12, 2},    {&Fields::signalLeave, 14, 2}, {&Fields::levelShort, 16, 2},
    {&Fields::levelBreak, 18, 2},   {&Fields::levelTrigger, 20, 2}, {&Fields::currentLeave, 39, 1},
    {&Fields::lineShort, 40, 2},
};

// One field typed anew: stored as typed when it is a number that fits, else refused with the
// image untouched.
void checkedit(const Image& in, const std::uint8_t* extra, size_t size)
{
    const NumberField& nf = numbers[extra[0] % std::size(numbers)];
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(extra + 1), qsizetype(size - 1));
    Fields f = clamped(settings::decode(in.data()).fields);
    f.*nf.text = text;

    const auto v = settings::strtoint(text);
    const int max = nf.width == 1 ? 0xFF : 0xFFFF;
    const bool fits = v && *v >= 0 && *v <= max;

    Image out = in;
    bool refused = false;
    try {
        settings::encode(f, out.data());
    } catch (const settings::ConvertError&) {
        refused = true;
    }
    if (refused) {
        if (fits)
            fail("a value that fits was refused", in, out, in);
        if (out != in)
            fail("a refused write changed the image", in, out, in);
        return;
    }
    if (!fits)
        fail("a value that does not fit was taken", in, out, in);
    Image want = expected(in);
    if (nf.width == 1) {
        want[size_t(nf.at)] = std::uint8_t(*v);
    } else {
        want[size_t(nf.at)] = std::uint8_t(*v >> 8);
        want[size_t(nf.at) + 1] = std::uint8_t(*v & 0xFF);
    }
    want[51] = sum(want);
    if (out != want)
        fail("the typed value was not stored as typed", in, out, want);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    Image in{};
    std::memcpy(in.data(), data, std::min(size, in.size()));

    checkidentity(in);

    // Read, then write: the expected bytes.
    const Fields f = settings::decode(in.data()).fields;
    const Image want = expected(in);
    const Image got = encoded(clamped(f), in, in);
    if (got != want)
        fail("read then write changed the image", in, got, want);

    // Without the bars' clamping the bar bytes go back as they came.
    Image raw = want;
    raw[38] = in[38];
    raw[42] = in[42];
    raw[43] = in[43];
    raw[51] = sum(raw);
    const Image unclamped = encoded(f, in, in);
    if (unclamped != raw)
        fail("the bar bytes did not go back as they came", in, unclamped, raw);

    // A second read and write of what was sent changes nothing.
    const Image again = encoded(clamped(settings::decode(got.data()).fields), got, in);
    if (again != got)
        fail("a second read and write changed the image", in, again, got);

    if (size > in.size())
        checkedit(in, data + in.size(), size - in.size());
    return 0;
}
