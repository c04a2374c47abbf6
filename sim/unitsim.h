#pragma once
// A simulated control unit on the master side of a pseudo-terminal.  The tool opens the slave
// side like any serial port.  The unit serves in a thread of its own until it is destroyed.
// While an image or upload is due, bytes are data, not commands; after about 2 s without a
// byte the unit drops what it has of it (a part image is never stored) and takes commands again.
#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace sim {

// The replies a fault can be put on.
enum class Reply { End, Start, Image, Verdict, Telemetry, Ready, Counts, Ack };
// What goes wrong with that reply: nothing comes, other bytes come ('?' in place of every
// byte), only the first half comes, or the line is hung up instead.
enum class Fault { None, Silent, Garbage, Short, Hangup };

struct Config {
    std::uint8_t firmware = 52;     // image index 0; 50 or more is new firmware
    std::uint8_t minor = 14;        // image index 50
    std::uint8_t deviceType = 1;    // image index 1

    bool silent = false;            // answers nothing at all (still takes images and blocks)
    int answerToStart = 'W';        // answer to "U"; -1 answers nothing
    int answerToEnd = 'V';          // answer to "Z"; -1 answers nothing
    int imageLength = 512;          // bytes sent after "R" (0 = silent after "R")
    bool badChecksum = false;       // send the image with index 51 off by one
    int writeVerdict = ']';         // new firmware: answer after "S" + image; -1 answers nothing
    bool refuseWrites = false;      // new firmware: answer "[" after "S" + image, keep the old one
    int alterStored = -1;           // a write stores this image index one higher than it came
                                    // (checksum made good again): the read-back differs
    int keepStored = -1;            // a write leaves the unit's own bytes at this image index
    int keepWidth = 1;              // and the ones after it, this many in all (checksum made
                                    // good again): a field the unit did not take
    int telemetryLength = 12;       // bytes sent after 0x10
    std::array<std::uint16_t, 6> readings{{512, 600, 700, 800, 500, 2400}};

    // Both take effect at the first byte of the upload after this many blocks were acknowledged.
    int stallAfterBlocks = -1;      // upload: stop answering after this many blocks, until the
                                    // next setConfig()
    int hangupAfterBlocks = -1;     // upload: close the line after this many blocks
    int ackExtra = 1;               // upload: bytes between the block's "U" and its 0xFF
    int blockWorkMs = 0;            // upload: the unit's own work per block before 0xFF

    bool paced = false;             // model 115200 baud 8N1 both ways (86.8 us a byte)

    // A unit that dribbles: every reply goes out at one byte per slowMs ms on average (0 = as
    // fast as the line goes), counted on absolute deadlines from the start of the reply, so the
    // first byte too comes slowMs ms late.  Bytes go slowBurst at a time, one burst every
    // slowBurst x slowMs ms.  Above 10 ms a byte a reply outlasts the read that waits for it.
    // Takes precedence over paced for the replies.
    int slowMs = 0;
    int slowBurst = 1;

    Fault fault = Fault::None;      // the fault put on every reply of kind faultOn
    Reply faultOn = Reply::Start;
    int faultAck = 0;               // with Reply::Ack: only the acknowledgement of this block
                                    // (counted from 0 over the whole upload); -1 every block
};

class Unit {
public:
    explicit Unit(const Config& config = {});
    ~Unit();
    Unit(const Unit&) = delete;
    Unit& operator=(const Unit&) = delete;

    // The slave's path, e.g. /dev/pts/5.
    std::string slavePath() const;

    // Links folder/COMn to the slave (the folder is created); the link is removed again by
    // unlink() or the destructor.  False when the link could not be made.
    bool link(int comNumber, const std::string& folder);
    void unlink();

    // Switches may be changed while the unit serves.
    Config config() const;
    void setConfig(const Config& config);

    // The settings image the unit holds (what "R" sends, what "S" replaces).
    std::array<std::uint8_t, 512> image() const;
    void setImage(const std::array<std::uint8_t, 512>& image);

    // Every byte the tool sent, in order, since start or clearReceived().
    std::vector<std::uint8_t> received() const;
    void clearReceived();

    // The block counts and blocks of the last upload: 0 PPK1, 1 PPK2, 2 siren.
    std::vector<std::uint8_t> sound(int which) const;
    int count(int which) const;
    int blocksReceived() const;     // blocks of the current or last upload, all files

    // Closes the master now, as if the cable had been pulled.
    void hangup();

private:
    struct Impl;
    Impl* d;
};

// A settings image with factory-like values, the given identity bytes and a good checksum.
std::array<std::uint8_t, 512> defaultImage(std::uint8_t firmware, std::uint8_t minor,
                                           std::uint8_t deviceType);

} // namespace sim
