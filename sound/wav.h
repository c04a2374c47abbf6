#pragma once
// WAV files as the uploads take them: the sound data is the "data" chunk, wherever it stands
// among the file's chunks, cut into 512-byte blocks.  No widgets here; tests call it directly.
#include <QtGlobal>

class QIODevice;

namespace wav {

constexpr int BlockSize = 512;
constexpr int HeaderSize = 44;          // the canonical header: RIFF, fmt and data chunk heads
constexpr quint32 MaxBlocks = 65535;    // the block count travels as 16 bits

enum class Problem {
    None,
    NotWave,      // no "RIFF" ... "WAVE" at the start
    NoData,       // the chunks end without a "data" chunk
    ShortData,    // the file holds less sound data than its data chunk states
    TooLong,      // more blocks than the 16-bit count can carry
};

struct Sound {
    Problem problem = Problem::NotWave;
    qint64 offset = 0;     // where the sound data starts in the file
    quint32 length = 0;    // bytes of sound data the data chunk states
    quint32 blocks = 0;    // whole blocks in it; a last partial block is not sent
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
