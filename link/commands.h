#pragma once
#include <cstdint>

// The command bytes the unit understands and the answers the tool relies on.
namespace cmd {
constexpr std::uint8_t End = 'Z';        // end of the conversation, answered 'V'
constexpr std::uint8_t Start = 'U';      // start of the conversation, answered 'W'
constexpr std::uint8_t Read = 'R';       // unit sends its 512-byte settings image
constexpr std::uint8_t Write = 'S';      // a 512-byte settings image follows
constexpr std::uint8_t Telemetry = 0x10; // unit sends 12 bytes of live readings
constexpr std::uint8_t Messages = 0x60;  // PPK1 and PPK2 voice messages follow
constexpr std::uint8_t Siren = 0x70;     // siren sound follows

constexpr std::uint8_t EndOk = 'V';
constexpr std::uint8_t Accepted = 'W';
constexpr std::uint8_t Refused = '[';    // answer to a write the unit did not take
constexpr std::uint8_t Ready = 'U';      // upload: ready, and block received
constexpr std::uint8_t CountsOk = 'T';   // upload: block counts taken
constexpr std::uint8_t Stored = 0xFF;    // upload: block stored
} // namespace cmd
