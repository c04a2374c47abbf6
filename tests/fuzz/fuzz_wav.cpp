// The WAV header and chunk walk on any bytes at all: it ends, every seek it makes lies inside
// the file, and what it reports agrees with a walk of the same bytes done here: the first
// "data" chunk reached from "RIFF" ... "WAVE" by the chunk sizes (each padded to an even
// length).  Sound data it accepts lies wholly inside the file and fits the 16-bit block count.
#include "sound/wav.h"

#include <QBuffer>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

[[noreturn]] void fail(const char* what, const QByteArray& in, const wav::Sound& s)
{
    std::fprintf(stderr, "wav: %s\n  file of %lld bytes; problem %d, offset %lld, length %u, blocks %u\n  start:",
                 what, static_cast<long long>(in.size()), int(s.problem), static_cast<long long>(s.offset),
                 unsigned(s.length), unsigned(s.blocks));
    for (qsizetype i = 0; i < in.size() && i < 64; ++i)
        std::fprintf(stderr, " %02X", unsigned(quint8(in[i])));
    std::fprintf(stderr, "\n");
    std::abort();
}

// A file that refuses, and reports, any seek outside itself.
class Bounded : public QBuffer {
public:
    explicit Bounded(QByteArray* bytes) : QBuffer(bytes) {}
    bool seek(qint64 pos) override
    {
        ++seeks;
        if (pos < 0 || pos > size())
            outside = true;
        return QBuffer::seek(pos);
    }
    bool outside = false;
    qint64 seeks = 0;
};

quint32 le32(const QByteArray& b, qint64 at)
{
    quint32 v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | quint8(b[at + i]);
    return v;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QByteArray in = bytes;
    Bounded file(&bytes);
    file.open(QIODevice::ReadOnly);
    const wav::Sound s = wav::inspect(file);

    if (file.outside)
        fail("the chunk walk sought outside the file", in, s);
    // Every chunk head is at least 8 bytes on from the one before.  The heads are read at most
    // twice (again after an empty data chunk, to tell chunks from bare sound), and the "fmt "
    // chunk's body once or twice.
    if (file.seeks > 2 * (in.size() / 8) + 8)
        fail("the chunk walk sought more often than the file has chunk heads", in, s);

    const bool wave = in.size() >= 12 && in.startsWith("RIFF") && in.mid(8, 4) == "WAVE";
    if (!wave) {
        if (s.problem != wav::Problem::NotWave)
            fail("a file without RIFF ... WAVE was not refused as such", in, s);
        return 0;
    }

    // The walk done again: the first "data" chunk head the sizes lead to, if any.
    qint64 at = 12;
    while (at + 8 <= in.size() && in.mid(at, 4) != "data") {
        const quint32 chunk = le32(in, at + 4);
        at += 8 + qint64(chunk) + (chunk & 1);
    }
    if (at + 8 > in.size()) {
        if (s.problem != wav::Problem::NoData)
            fail("a file without a data chunk was not refused as such", in, s);
        return 0;
    }
    const qint64 offset = at + 8;
    const quint32 length = le32(in, at + 4);
    if (s.offset != offset || s.length != length)
        fail("the data chunk was not the one the chunk sizes lead to", in, s);
    if (s.blocks != length / 512)
        fail("the block count is not the whole blocks of the data", in, s);

    switch (s.problem) {
    case wav::Problem::None:
        if (s.offset < 20 || s.offset + qint64(s.length) > in.size())
            fail("accepted sound data reaches outside the file", in, s);
        if (s.blocks > wav::MaxBlocks)
            fail("accepted sound data has more blocks than the count can carry", in, s);
        break;
    case wav::Problem::ShortData:
        if (s.offset + qint64(s.length) <= in.size())
            fail("sound data inside the file was called short", in, s);
        break;
    case wav::Problem::ZeroLength:
        if (s.length != 0 || s.offset >= in.size())
            fail("only an empty data chunk with bytes after it may be called unstated", in, s);
        break;
    case wav::Problem::TooLong:
        if (s.blocks <= wav::MaxBlocks)
            fail("sound data within the block count was called too long", in, s);
        break;
    default:
        fail("a data chunk was found but the file refused for another reason", in, s);
    }
    return 0;
}
