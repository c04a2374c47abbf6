#include "ui/codepage.h"

#include <cstring>

namespace codepage {

QStringDecoder decoder()
{
#ifdef Q_OS_WIN
    return QStringDecoder(QStringConverter::System);
#else
    return QStringDecoder("windows-1251");
#endif
}

QStringEncoder encoder()
{
#ifdef Q_OS_WIN
    return QStringEncoder(QStringConverter::System);
#else
    return QStringEncoder("windows-1251");
#endif
}

namespace {
// The page as two tables, taken once from the system's converter, so the mapping is exactly
// the converter's.
struct Tables {
    char16_t to[256];
    unsigned char from[65536];
    bool has[65536];
    Tables()
    {
        auto d = decoder();
        std::memset(from, '?', sizeof from);
        std::memset(has, 0, sizeof has);
        for (int b = 0; b < 256; ++b) {
            const char c = char(b);
            const QString u = d.decode(QByteArrayView(&c, 1));
            d.resetState();
            to[b] = u.size() == 1 ? u.at(0).unicode() : char16_t(0xFFFD);
        }
        for (int b = 255; b >= 0; --b) {
            if (to[b] == 0xFFFD)
                continue;
            from[to[b]] = static_cast<unsigned char>(b);
            has[to[b]] = true;
        }
    }
};

const Tables& tables()
{
    static const Tables t;
    return t;
}
} // namespace

bool singlebyte()
{
#ifdef Q_OS_WIN
    return false;
#else
    return true;
#endif
}

char16_t tochar(unsigned char b)
{
    return tables().to[b];
}

void tochars(const unsigned char* b, qsizetype n, char16_t* out)
{
    const char16_t* to = tables().to;
    for (qsizetype k = 0; k < n; ++k)
        out[k] = to[b[k]];
}

bool tobyte(char16_t c, unsigned char* b)
{
    const Tables& t = tables();
    *b = t.from[c];
    return t.has[c];
}

QStringView linebreak()
{
#ifdef Q_OS_WIN
    return u"\r\n";
#else
    return u"\n";
#endif
}

} // namespace codepage
