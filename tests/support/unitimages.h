#pragma once
// Settings images as the tests of the command line build them, and the bytes a unit holds.
#include "settings/image.h"

#include <QByteArray>

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

namespace fixture {

using Image = std::array<std::uint8_t, 512>;

inline QByteArray bytes(const std::vector<std::uint8_t>& v)
{
    return QByteArray(reinterpret_cast<const char*>(v.data()), qsizetype(v.size()));
}

inline QByteArray bytes(const Image& a)
{
    return QByteArray(reinterpret_cast<const char*>(a.data()), qsizetype(a.size()));
}

// The image indices a settings file carries.
inline bool writable(int i)
{
    return (i >= 6 && i <= 27) || (i >= 34 && i <= 43);
}

inline Image withsum(Image a)
{
    a[settings::SumIndex] = settings::imagesum(a.data());
    return a;
}

// An image far from the factory values in every writable field.
inline Image unusual(Image a)
{
    const std::pair<int, int> values[] = {
        {6, 17}, {7, 3}, {8, 1}, {9, 0}, {10, 0x01}, {11, 0x02}, {12, 0x00}, {13, 0x99},
        {14, 0x07}, {15, 0xD0}, {16, 0x0F}, {17, 0xA0}, {18, 0x01}, {19, 0x90}, {20, 0x0A},
        {21, 0x28}, {22, 0}, {23, 1}, {24, 0}, {25, 1}, {26, 0}, {27, 0}, {34, 0}, {35, 1},
        {36, 0}, {37, 1}, {38, 17}, {39, 200}, {40, 0x09}, {41, 0x60}, {42, 77}, {43, 5}};
    for (const auto& [i, v] : values)
        a[std::size_t(i)] = std::uint8_t(v);
    return withsum(a);
}

} // namespace fixture
