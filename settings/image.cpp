#include "settings/image.h"
#include "settings/strtoint.h"

#include <cstring>

namespace settings {

namespace {

unsigned two(const std::uint8_t* image, int at)
{
    return unsigned(image[at]) * 256u + image[at + 1];
}

QString num(unsigned v)
{
    return QString::number(v);
}

bool flag(const std::uint8_t* image, int at)
{
    return image[at] == 1; // anything else reads as off
}

// The unit cannot hold more than its field does; a number that does not fit is refused
// rather than cut down to its low bits, which would configure something nobody typed.
int field(const QString& text, int max)
{
    const std::int32_t v = strtointorthrow(text);
    if (v < 0 || v > max)
        throw ConvertError(outofrangetext(text, max));
    return v;
}

void puttwo(std::uint8_t* image, int at, int v)
{
    image[at] = std::uint8_t((v >> 8) & 0xFF);
    image[at + 1] = std::uint8_t(v & 0xFF);
}

} // namespace

std::uint8_t imagesum(const std::uint8_t* image)
{
    unsigned s = 0;
    for (int i = 0; i < SumIndex; ++i)
        s += image[i];
    return std::uint8_t(s & 0xFF);
}

QString firmwaretext(std::uint8_t code, std::uint8_t minor)
{
    if (code < NewFirmwareCode)
        return QStringLiteral("%1.%2").arg(code / 10).arg(code % 10);
    // New firmware carries its minor number separately; the code's units digit is not shown.
    return QStringLiteral("%1.%2").arg(code / 10).arg(minor);
}

QString devicetypetext(std::uint8_t code)
{
    switch (code) {
    case 1:
        return QStringLiteral("ВИРЕЛАН2");
    case 2:
        return QStringLiteral("ПУЛЬТ");
    case 3:
        return QStringLiteral("Модуль входов");
    default:
        return QString();
    }
}

Decoded decode(const std::uint8_t* image)
{
    Decoded d;
    d.newFirmware = image[FirmwareIndex] >= NewFirmwareCode;
    d.firmware = firmwaretext(image[FirmwareIndex], image[MinorIndex]);
    d.startups = num(two(image, 4));
    d.deviceType = devicetypetext(image[DeviceTypeIndex]);

    Fields& f = d.fields;
    f.address = num(image[6]);
    f.zone = num(image[7]);
    f.boardDrift = num(two(image, 10));
    f.lineDrift = num(two(image, 12));
    f.signalLeave = num(two(image, 14));
    f.levelShort = num(two(image, 16));
    f.levelBreak = num(two(image, 18));
    f.levelTrigger = num(two(image, 20));
    f.currentLeave = num(image[39]);
    f.lineShort = num(two(image, 40));
    for (int i = 0; i < 6; ++i)
        f.relay[i] = flag(image, 22 + i);
    for (int i = 0; i < 4; ++i)
        f.monitor[i] = flag(image, 34 + i);
    f.boardLit = flag(image, 8);
    f.boardFlash = flag(image, 9);
    f.flashSpeed = image[38];
    f.frequency = image[42];
    f.volume = image[43];
    return d;
}

void encode(const Fields& f, std::uint8_t* image)
{
    // Built on a copy so that a refused field leaves the caller's image as it was.
    std::uint8_t out[ImageSize];
    std::memcpy(out, image, ImageSize);

    out[6] = std::uint8_t(field(f.address, 0xFF));
    out[7] = std::uint8_t(field(f.zone, 0xFF));
    puttwo(out, 10, field(f.boardDrift, 0xFFFF));
    puttwo(out, 12, field(f.lineDrift, 0xFFFF));
    puttwo(out, 14, field(f.signalLeave, 0xFFFF));
    puttwo(out, 16, field(f.levelShort, 0xFFFF));
    puttwo(out, 18, field(f.levelBreak, 0xFFFF));
    puttwo(out, 20, field(f.levelTrigger, 0xFFFF));
    puttwo(out, 40, field(f.lineShort, 0xFFFF));
    for (int i = 0; i < 6; ++i)
        out[22 + i] = f.relay[i] ? 1 : 0;
    for (int i = 0; i < 4; ++i)
        out[34 + i] = f.monitor[i] ? 1 : 0;
    out[8] = f.boardLit ? 1 : 0;
    out[9] = f.boardFlash ? 1 : 0;
    out[38] = std::uint8_t(f.flashSpeed & 0xFF);
    out[42] = std::uint8_t(f.frequency & 0xFF);
    out[43] = std::uint8_t(f.volume & 0xFF);
    out[39] = std::uint8_t(field(f.currentLeave, 0xFF));
    out[SumIndex] = imagesum(out);

    std::memcpy(image, out, ImageSize);
}

QString outofrangetext(const QString& text, int max)
{
    return QStringLiteral("'%1' is out of range: the field takes 0 to %2.").arg(text).arg(max);
}

Fields factoryfields()
{
    Fields f;
    f.address = QStringLiteral("1");
    f.zone = QStringLiteral("1");
    f.boardDrift = QStringLiteral("30");
    f.lineDrift = QStringLiteral("20");
    f.signalLeave = QStringLiteral("1000");
    f.levelShort = QStringLiteral("3500");
    f.levelBreak = QStringLiteral("700");
    f.levelTrigger = QStringLiteral("2900");
    f.currentLeave = QStringLiteral("50");
    f.lineShort = QStringLiteral("3100");
    for (bool& r : f.relay)
        r = true;
    for (bool& m : f.monitor)
        m = true;
    f.boardLit = false;
    f.boardFlash = false;
    f.flashSpeed = 10;
    f.frequency = 51;
    f.volume = 12;
    return f;
}

} // namespace settings
