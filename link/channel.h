#pragma once
// The serial channel: the one port, the two sound files and the exchange area in which every
// reply from the unit lands.  Every exchange with the unit goes through these functions; they
// block the calling (window) thread until the bytes have moved or the read timeout has run out.
#include <cstddef>
#include <cstdint>

class QFile;

namespace link {

// Exchange area layout.
constexpr int AreaSize = 3076;
constexpr int Rx = 0;             // receive area, 512 bytes: every read lands here from index 0
constexpr int RxSize = 512;
constexpr int SendCell = 512;     // the byte being sent by sendbyte
constexpr int Sound1 = 1024;      // first sound buffer, 512 bytes
constexpr int Sound2 = 2048;      // second sound buffer, 512 bytes
constexpr int Connected = 3073;   // 1 while the unit is connected
constexpr int NewFirmware = 3074; // 1 when the last image read had firmware code 50 or more
constexpr int BlockSize = 512;
constexpr int TelemetrySize = 12;
constexpr int PortCount = 40;     // COM1 .. COM40

// Read timeout: 10 ms per requested byte, counted from the start of the read.
constexpr int MsPerByte = 10;

extern std::uint8_t area[AreaSize];

// How an open went.  Busy: the device exists but another program holds it (or the user may
// not use it); the window's log and the command line tell that apart from a silent unit.
enum class Opened { Ok, NoPort, Busy, Failed };

// Opens COM(index+1) at 115200 8N1 with the read timeout above.  An index outside 0..39 or a
// port that cannot be opened leaves no port open.
Opened open(int index);
bool isopen();

// Discards whatever the unit sent that no one has read yet (a late reply), then sends the byte
// from the send cell.  Every command starts with it, so a late reply never answers a new one.
// When there was a late reply, or the last read gave up in the middle of one or with nothing,
// the unit may still be sending: the line is first drained until it has been quiet for a
// moment, for at most a second.  After an answered exchange the byte goes out at once.
void sendbyte(std::uint8_t b);

// Reads at most one byte into receive index 0 and returns receive index 0 afterwards: the byte
// that arrived, or the stale value when nothing did.  *arrived tells which.
std::uint8_t readbyte(bool* arrived = nullptr);

// Reads at most 512 (12) bytes into receive indices 0.. ; bytes not delivered keep their old
// values.  Returns how many arrived.
int readimage();
int readtelemetry();

// Reads up to n bytes into dst, giving up after n x 10 ms.  Returns how many arrived.
int readinto(std::uint8_t* dst, int n);

// Writes 512 bytes in one call.
void writeblock(const std::uint8_t* buf);

// Opens COM(index+1) like open, asks for its line settings and closes it again.  True when it
// could be opened and its settings read.  Leaves no port open.
bool probe(int index);

// The two sound file handles of an upload.
QFile& soundfile1();
QFile& soundfile2();

void closeport();
// First sound file, second sound file, port, in that order.
void closeall();

// Time the last read spent waiting (for the benches); and how many bytes the last read got.
int lastcount();

} // namespace link
