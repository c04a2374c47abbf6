#include "sound/wav.h"

#include <QIODevice>

#include <cstring>

namespace wav {

namespace {

quint32 le32(const char* p)
{
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return quint32(u[0]) | quint32(u[1]) << 8 | quint32(u[2]) << 16 | quint32(u[3]) << 24;
}

quint16 le16(const char* p)
{
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return quint16(u[0] | u[1] << 8);
}

Format readformat(QIODevice& file, qint64 at, quint32 size)
{
    Format f;
    char b[26];
    const qint64 want = size >= 26 ? 26 : 16;
    if (size < 16 || !file.seek(at) || file.read(b, want) != want)
        return f;
    f.known = true;
    f.code = le16(b);
    f.channels = le16(b + 2);
    f.rate = le32(b + 4);
    f.byteRate = le32(b + 8);
    f.bits = le16(b + 14);
    // An extensible header (many editors write it for 24 bits or more than two channels)
    // carries the real code in the first two bytes of its sub-format.
    if (f.code == Extensible && want == 26 && le16(b + 16) >= 22 && size >= 40) {
        char sub[2];
        if (file.seek(at + 24) && file.read(sub, 2) == 2)
            f.code = le16(sub);
    }
    return f;
}

// Whether the bytes from `at` to the end of the file are whole chunks: a genuine empty data
// chunk may be followed by others (a LIST, say), while a file streamed without its length
// filled in has bare sound there.
bool chunksonly(QIODevice& file, qint64 at, qint64 size)
{
    while (at < size) {
        char head[8];
        if (at + 8 > size || !file.seek(at) || file.read(head, 8) != 8)
            return false;
        for (int i = 0; i < 4; ++i)
            if (head[i] < 0x20 || head[i] > 0x7E)
                return false;
        const quint32 chunk = le32(head + 4);
        at += 8 + qint64(chunk);
        if (at > size)
            return false;
        at += chunk & 1; // the last pad byte may be missing
    }
    return true;
}

} // namespace

Sound inspect(QIODevice& file)
{
    Sound s;
    if (!file.seek(0))
        return s;
    char riff[12];
    if (file.read(riff, 12) != 12 || std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0)
        return s;
    // The RIFF size is not trusted: many writers leave it wrong or zero.  The chunks are walked
    // up to the end of the file itself.  The walk goes on past the data for a "fmt " chunk that
    // stands after it, as far as the chunks can be followed.
    const qint64 size = file.size();
    qint64 at = 12;
    bool data = false;
    for (;;) {
        char head[8];
        if (at + 8 > size || !file.seek(at) || file.read(head, 8) != 8)
            break;
        const quint32 chunk = le32(head + 4);
        if (!s.format.known && std::memcmp(head, "fmt ", 4) == 0)
            s.format = readformat(file, at + 8, chunk);
        if (!data && std::memcmp(head, "data", 4) == 0) {
            data = true;
            s.offset = at + 8;
            s.length = chunk;
            s.blocks = blocksof(chunk);
            s.present = size - s.offset;
            // A file written as a stream may promise far more than it holds, or nothing at
            // all: what it lacks is told before what it is too long for.
            if (s.present < qint64(chunk))
                s.problem = Problem::ShortData;
            else if (chunk == 0 && s.present > 0 && !chunksonly(file, s.offset, size))
                s.problem = Problem::ZeroLength;
            else if (s.blocks > MaxBlocks)
                s.problem = Problem::TooLong;
            else
                s.problem = Problem::None;
        }
        if (data && s.format.known)
            break;
        // Chunks are padded to an even length.
        at += 8 + qint64(chunk) + (chunk & 1);
    }
    if (!data)
        s.problem = Problem::NoData;
    return s;
}

} // namespace wav
