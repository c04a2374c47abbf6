#pragma once
// What a WAV file's header says, in the words the window's log, the command line's upload and
// its `info` all use: facts for the engineer before a file is sent, never a check.  No widgets.
#include "sound/wav.h"

#include <QString>
#include <QStringList>

namespace sound {

// The line's rate and what one block costs on it: the 512 bytes out, and back the "U" and the
// 0xFF that acknowledge it, each byte 10 bits (8N1).
constexpr qint64 LineBaud = 115200;
constexpr qint64 BlockLineBytes = wav::BlockSize + 2;

// Milliseconds the blocks take on the line, rounded.
qint64 linetimems(quint32 blocks);

// Milliseconds of sound: the stated data length over the header's byte rate, rounded; -1 when
// the header does not say (no "fmt " chunk, or a byte rate of 0).
qint64 durationms(const wav::Sound& sound);

// "PCM", or the format's code for another; empty when the header has no "fmt " chunk.
QString formatvalue(const wav::Format& format);

// The facts, one a line, indented under a line that names the file (the caller's).
QStringList factlines(const wav::Sound& sound);

} // namespace sound
