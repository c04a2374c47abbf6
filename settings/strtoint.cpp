#include "settings/strtoint.h"

namespace settings {

ConvertError::ConvertError(const QString& message)
    : std::runtime_error(message.toUtf8().toStdString())
{
}

QString ConvertError::message() const
{
    return QString::fromUtf8(what());
}

namespace {

int hexdigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

} // namespace

std::optional<std::int32_t> strtoint(const QString& text)
{
    const int n = text.size();
    int i = 0;
    // Only the space character: a tab or a no-break space is refused like any other letter.
    while (i < n && text[i] == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }

    bool hex = false;
    if (i < n && (text[i] == QLatin1Char('$') || text[i] == QLatin1Char('x')
                  || text[i] == QLatin1Char('X'))) {
        hex = true;
        i += 1;
    } else if (i + 1 < n && text[i] == QLatin1Char('0')
               && (text[i + 1] == QLatin1Char('x') || text[i + 1] == QLatin1Char('X'))) {
        hex = true;
        i += 2;
    }
    if (i >= n)
        return std::nullopt; // nothing, a bare sign or a prefix without digits

    if (hex) {
        std::uint64_t v = 0;
        for (; i < n; ++i) {
            const int d = hexdigit(text[i]);
            if (d < 0)
                return std::nullopt;
            v = v * 16 + std::uint64_t(d);
            if (v > 0xFFFFFFFFull)
                return std::nullopt;
        }
        // The digits are a 32-bit pattern: eight F digits are -1, and a sign negates that.
        std::uint32_t bits = std::uint32_t(v);
        if (negative)
            bits = 0u - bits;
        return std::int32_t(bits);
    }

    // Decimal: the magnitude may reach 2147483648 only when it is negated.
    const std::uint64_t limit = negative ? 2147483648ull : 2147483647ull;
    std::uint64_t v = 0;
    for (; i < n; ++i) {
        const char16_t u = text[i].unicode();
        if (u < '0' || u > '9')
            return std::nullopt;
        v = v * 10 + (u - '0');
        if (v > limit)
            return std::nullopt;
    }
    const std::int64_t s = negative ? -std::int64_t(v) : std::int64_t(v);
    return std::int32_t(s);
}

QString notvalidtext(const QString& text)
{
    return QStringLiteral("'%1' is not a valid integer value.").arg(text);
}

std::int32_t strtointorthrow(const QString& text)
{
    const auto v = strtoint(text);
    if (!v)
        throw ConvertError(notvalidtext(text));
    return *v;
}

} // namespace settings
