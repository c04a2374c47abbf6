#pragma once
// Uploading the voice messages and the siren sound into the unit, for every front end.  The
// operations wait for every answer of the unit for a bounded time, stop at a block boundary when
// the listener asks, and leave the tool not connected when they stop halfway.
#include "link/listener.h"
#include "sound/wav.h"

namespace sound {

enum class Which { Ppk1, Ppk2, Siren };

// "PPK1.WAV", "PPK2.WAV", "SIREN.WAV": how the log names the sound, whatever its file is called.
QString soundname(Which which);

enum class Opened { Ok, Missing, Refused };

// Opens the file chosen for a sound as its handle (the first sound file for PPK1 and the siren,
// the second for PPK2), reads its header into that handle's buffer and finds its sound data.
// A file that cannot be taken is closed again; nothing is sent either way.
Opened openwav(Which which, const QString& name, wav::Sound& sound);

// The same opening and the same refusals without a sound's handle (the command line's `info`):
// the file is closed again either way.
Opened examine(const QString& name, wav::Sound& sound);

// The log line for a file that could not be opened, or that was refused.  The siren's
// not-found text stands without a time prefix in the window's log, so it has no leading space.
QString missingtext(Which which);
QString refusaltext(Which which, const wav::Sound& sound);
// Why a file is refused, as refusaltext says it after "не принят: ".
QString refusalreason(const wav::Sound& sound);

// Every answer of the unit is awaited at most this long: the "U" after the command, the "T"
// after the block counts, the "U" after a block and the 0xFF after that "U".
constexpr int ReadyMs = 1000;
constexpr int CountsMs = 5000;
constexpr int ReceivedMs = 1000;
constexpr int StoredMs = 2000;

enum class Outcome { Done, Silent, LineLost, Stopped, FileError };

// The two voice messages in one transfer (command 0x60), from the files openwav opened for
// Ppk1 and Ppk2; and the siren sound (0x70) from the file opened for Siren.  The handles are
// closed at the end, whatever the outcome.
Outcome uploadmessages(const wav::Sound& ppk1, const wav::Sound& ppk2, link::Listener& listener);
Outcome uploadsiren(const wav::Sound& siren, link::Listener& listener);

} // namespace sound
