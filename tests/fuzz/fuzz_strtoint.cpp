// The integer conversion against a second, independent reading of the forms it accepts: any
// leading spaces, at most one sign, then decimal digits within the 32-bit signed range, or a
// hexadecimal prefix ("$", "x", "X", "0x", "0X") and hexadecimal digits fitting 32 bits, taken
// as a bit pattern and negated after "-".  Nothing else is a number.
//
// The input is tried twice: as UTF-8 (readable seeds, the texts an operator types) and as raw
// UTF-16 code units (so that any character at all, digits of other scripts, no-break spaces and
// lone surrogates included, reaches the conversion).
#include "settings/strtoint.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

namespace {

bool startswith(const std::u16string& s, const std::u16string& p)
{
    return s.compare(0, p.size(), p) == 0;
}

int digitvalue(char16_t c, int base)
{
    int v = -1;
    if (c >= u'0' && c <= u'9')
        v = c - u'0';
    else if (c >= u'a' && c <= u'z')
        v = c - u'a' + 10;
    else if (c >= u'A' && c <= u'Z')
        v = c - u'A' + 10;
    return v < base ? v : -1;
}

std::optional<std::int32_t> reference(std::u16string s)
{
    const size_t first = s.find_first_not_of(u' ');
    if (first == std::u16string::npos)
        return std::nullopt; // empty, or spaces only
    s.erase(0, first);

    bool negative = false;
    if (s[0] == u'+' || s[0] == u'-') {
        negative = s[0] == u'-';
        s.erase(0, 1);
    }

    int base = 10;
    for (const std::u16string prefix : {u"0x", u"0X", u"$", u"x", u"X"}) {
        if (startswith(s, prefix)) {
            base = 16;
            s.erase(0, prefix.size());
            break;
        }
    }

    if (s.empty())
        return std::nullopt;
    for (char16_t c : s)
        if (digitvalue(c, base) < 0)
            return std::nullopt;

    // Leading zeros are allowed; what is left must not be longer than the largest value.
    s.erase(0, std::min(s.find_first_not_of(u'0'), s.size()));
    if (s.size() > (base == 10 ? 10u : 8u))
        return std::nullopt;
    std::uint64_t v = 0;
    for (char16_t c : s)
        v = v * std::uint64_t(base) + std::uint64_t(digitvalue(c, base));

    std::uint32_t bits;
    if (base == 10) {
        if (v > (negative ? 2147483648ull : 2147483647ull))
            return std::nullopt;
        bits = std::uint32_t(v);
    } else {
        bits = std::uint32_t(v); // eight digits at most: always fits
    }
    if (negative)
        bits = ~bits + 1u;
    std::int32_t out;
    std::memcpy(&out, &bits, sizeof out);
    return out;
}

[[noreturn]] void fail(const std::u16string& text, const char* what, std::optional<std::int32_t> got,
                       std::optional<std::int32_t> want)
{
    std::fprintf(stderr, "strtoint: %s for the text (UTF-16 code units):", what);
    for (char16_t c : text)
        std::fprintf(stderr, " %04X", unsigned(c));
    std::fprintf(stderr, "\n  conversion: %s", got ? std::to_string(*got).c_str() : "refused");
    std::fprintf(stderr, "\n  reference:  %s\n", want ? std::to_string(*want).c_str() : "refused");
    std::abort();
}

void check(const std::u16string& text)
{
    const QString q(reinterpret_cast<const QChar*>(text.data()), qsizetype(text.size()));
    const std::optional<std::int32_t> got = settings::strtoint(q);
    const std::optional<std::int32_t> want = reference(text);
    if (got != want)
        fail(text, "differs from the reference", got, want);

    // The throwing form agrees with the plain one.
    bool threw = false;
    std::int32_t thrown = 0;
    try {
        thrown = settings::strtointorthrow(q);
    } catch (const settings::ConvertError& e) {
        threw = true;
        // The message travels as a C string in UTF-8: only a text without NUL characters and
        // lone surrogates comes back exactly.
        const bool exact = !q.contains(QChar(0)) && QStringView(q).isValidUtf16();
        if (exact && e.message() != settings::notvalidtext(q))
            fail(text, "strtointorthrow gives another message", got, want);
    }
    if (threw != !got || (got && thrown != *got))
        fail(text, "strtointorthrow disagrees", got, want);

    // Every accepted value reads back from its own decimal and hexadecimal texts.
    if (got) {
        const QString dec = QString::number(*got);
        const QString hex = QStringLiteral("0x") + QString::number(std::uint32_t(*got), 16);
        if (settings::strtoint(dec) != got || settings::strtoint(hex) != got)
            fail(text, "value does not read back", got, want);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    const QString utf8 = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    check(std::u16string(reinterpret_cast<const char16_t*>(utf8.utf16()), size_t(utf8.size())));

    std::u16string units(size / 2, u'\0');
    if (!units.empty())
        std::memcpy(&units[0], data, units.size() * 2); // little-endian code units
    check(units);
    return 0;
}
