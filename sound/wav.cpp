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
    // up to the end of the file itself.
    const qint64 size = file.size();
    qint64 at = 12;
    for (;;) {
        char head[8];
        if (at + 8 > size || !file.seek(at) || file.read(head, 8) != 8) {
            s.problem = Problem::NoData;
            return s;
        }
        const quint32 chunk = le32(head + 4);
        if (std::memcmp(head, "data", 4) == 0) {
            s.offset = at + 8;
            s.length = chunk;
            s.blocks = blocksof(chunk);
            if (s.blocks > MaxBlocks)
                s.problem = Problem::TooLong;
            else if (size - s.offset < qint64(chunk))
                s.problem = Problem::ShortData;
            else
                s.problem = Problem::None;
            return s;
        }
        // Chunks are padded to an even length.
        at += 8 + qint64(chunk) + (chunk & 1);
    }
}

} // namespace wav
