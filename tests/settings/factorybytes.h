#pragma once
// The bytes "Заводские настройки" puts into the image, index and value, as the unit must get
// them: address 1, zone 1, levels 30, 20, 1000, 3500, 700, 2900, 50 and 3100, every relay and
// monitoring flag on, both display flags off, bars 10, 51 and 12.
#include <cstdint>

constexpr std::uint8_t FactoryBytes[][2] = {
    {6, 1}, {7, 1}, {8, 0}, {9, 0},
    {10, 0}, {11, 30}, {12, 0}, {13, 20}, {14, 0x03}, {15, 0xE8},
    {16, 0x0D}, {17, 0xAC}, {18, 0x02}, {19, 0xBC}, {20, 0x0B}, {21, 0x54},
    {22, 1}, {23, 1}, {24, 1}, {25, 1}, {26, 1}, {27, 1},
    {34, 1}, {35, 1}, {36, 1}, {37, 1},
    {38, 10}, {39, 50}, {40, 0x0C}, {41, 0x1C}, {42, 51}, {43, 12},
};
