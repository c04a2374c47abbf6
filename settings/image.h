#pragma once
// The unit's configuration as one 512-byte block: its layout, the checksum, the texts derived
// from the identity bytes, and the conversion between the block and the values the settings
// controls show.  No widgets here: the window only moves these values into and out of its
// controls.
#include <QString>

#include <cstdint>

namespace settings {

constexpr int ImageSize = 512;
constexpr int SumIndex = 51;        // checksum over indices 0..50
constexpr int FirmwareIndex = 0;
constexpr int DeviceTypeIndex = 1;
constexpr int MinorIndex = 50;
constexpr int NewFirmwareCode = 50; // firmware codes from here on verify the checksum

// Bar ranges, shared with the controls so that decode clamps as the bars do.
constexpr int FlashSpeedMin = 5, FlashSpeedMax = 20;  // TrackBar1
constexpr int FrequencyMin = 0, FrequencyMax = 100;   // TrackBar2
constexpr int VolumeMin = 2, VolumeMax = 16;          // TrackBar3

// What the operator can change: the texts of the number fields as typed, the flags and the
// bar positions.
struct Fields {
    QString address;      // Edit5, index 6
    QString zone;         // Edit6, index 7
    QString boardDrift;   // Edit7, 10-11
    QString lineDrift;    // Edit8, 12-13
    QString signalLeave;  // Edit9, 14-15
    QString levelShort;   // Edit10, 16-17 (shown under "Короткое замыкание")
    QString levelBreak;   // Edit11, 18-19 (shown under "Обрыв")
    QString levelTrigger; // Edit12, 20-21
    QString currentLeave; // Edit13, 39
    QString lineShort;    // Edit20, 40-41
    bool relay[6] = {};   // CheckBox5..CheckBox10, 22-27
    bool monitor[4] = {}; // CheckBox1..CheckBox4, 34-37
    bool boardLit = false;   // CheckBox11, 8
    bool boardFlash = false; // CheckBox12, 9
    int flashSpeed = 0;   // TrackBar1, 38
    int frequency = 0;    // TrackBar2, 42
    int volume = 0;       // TrackBar3, 43
};

// What a read shows: the identity and the fields.
struct Decoded {
    bool newFirmware = false;
    QString firmware;   // Edit1
    QString startups;   // Edit2, indices 4-5
    QString deviceType; // Edit4; null for a code without a name (the field keeps its text)
    Fields fields;      // bar positions as the bytes came, not yet clamped
};

// 8-bit sum of indices 0..50.
std::uint8_t imagesum(const std::uint8_t* image);

QString firmwaretext(std::uint8_t code, std::uint8_t minor);
QString devicetypetext(std::uint8_t code); // null for an unknown code

Decoded decode(const std::uint8_t* image);

// Puts the fields into image (indices the tool does not write keep their bytes) and the
// checksum at index 51.  Every number is converted first: a text that is not an integer, or a
// number outside its field (0..255 for one byte, 0..65535 for two), raises ConvertError and
// leaves image untouched.  Fields are checked in the unit's encoding order, so the first bad
// one in that order is the one reported.
void encode(const Fields& fields, std::uint8_t* image);

// "'<text>' is out of range: the field takes 0 to <max>."
QString outofrangetext(const QString& text, int max);

// The values "Заводские настройки" puts into the window, and the command line's factory: address
// 1, zone 1, levels 30, 20, 1000, 3500, 700, 2900, 50 and 3100, every relay and monitoring flag
// on, both display flags off, bars 10, 51 and 12.
Fields factoryfields();

} // namespace settings
