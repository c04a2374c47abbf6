#pragma once
// WAV files as the uploads take them: the sound data is the "data" chunk, wherever it stands
// among the file's chunks, cut into 512-byte blocks.  No widgets here; tests call it directly.
#include <QtGlobal>

class QIODevice;

namespace wav {

constexpr int BlockSize = 512;
constexpr int HeaderSize = 44;          // the canonical header: RIFF, fmt and data chunk heads
constexpr quint32 MaxBlocks = 65535;    // the block count travels as 16 bits
constexpr quint16 Pcm = 1;              // the format code of plain PCM
constexpr quint16 Extensible = 0xFFFE;  // the real code then stands in the sub-format

enum class Problem {
    None,
    NotWave,      // no "RIFF" ... "WAVE" at the start
    NoData,       // the chunks end without a "data" chunk
    ShortData,    // the file holds less sound data than its data chunk states
    ZeroLength,   // the data chunk states no sound, yet sound bytes follow it
    TooLong,      // more blocks than the 16-bit count can carry
};

// What the "fmt " chunk says.  Information only: an upload sends the data whatever it is.
struct Format {
    bool known = false;     // a "fmt " chunk of at least 16 bytes was found
    quint16 code = 0;       // 1 is PCM; an extensible header's sub-format code
    quint16 channels = 0;
    quint32 rate = 0;       // samples a second
    quint32 byteRate = 0;   // bytes a second, as the header states it
    quint16 bits = 0;       // bits a sample
};

struct Sound {
    Problem problem = Problem::NotWave;
    qint64 offset = 0;     // where the sound data starts in the file
    quint32 length = 0;    // bytes of sound data the data chunk states
    quint32 blocks = 0;    // whole blocks in it; a last partial block is not sent
    qint64 present = 0;    // bytes the file holds from offset to its end
    Format format;
};

// Walks the chunks of the file from its start.  The device's position afterwards is
// unspecified; seek to `offset` before reading the blocks.
Sound inspect(QIODevice& file);

// Whole 512-byte blocks in `length` bytes of sound data.
constexpr quint32 blocksof(quint32 length)
{
    return length / BlockSize;
}

} // namespace wav
