#pragma once
// Reading the unit's settings and writing them back, for every front end.  The image read last
// is kept here: the bytes the tool does not write go back to the unit exactly as it sent them,
// and a write goes only over settings this unit has sent.
#include "link/listener.h"
#include "settings/image.h"
#include "settings/settingsfile.h"

#include <QDateTime>

namespace settings {

// The unit takes a while to gather or to store its settings.
constexpr unsigned long PauseMs = 1000;
void pause();

struct Reading {
    int got = 0;              // bytes that arrived of the 512
    bool sumok = true;        // false: new firmware whose checksum does not match
    Decoded decoded;
    std::uint8_t image[ImageSize] = {};
    QDateTime at;             // when it arrived
    int port = -1;            // index of the port it came through
    bool complete() const { return got == ImageSize; }
};

// " Ждите...", "R", the pause, then up to 512 bytes.  A complete image sets the new-firmware
// flag and becomes the last good read; a short one is not shown to anybody and forgets the
// last good read, since the unit on the line may no longer be the one that sent it.
Reading readunit(link::Listener& listener);

// The last complete read, or null after a read that failed (and before the first).
const Reading* lastgood();
// Forgets it: a new conversation may be with another unit.
void forget();

// What a settings file records of the unit a read came from, as the window shows it.
UnitInfo unitinfo(const Reading& reading);

enum class Written { Done, Refused, NotRead };

// Converts and range-checks every field before "S" goes out (ConvertError raised from here
// sends nothing), puts them over the last good read's image, sends it, waits and, for new
// firmware, takes the unit's verdict.  Without a good read nothing is sent.
Written writeunit(const Fields& fields, link::Listener& listener);

} // namespace settings
