#pragma once

// The layout of a fuzz input for the TrueType repairs: one flag byte (bit 0:
// the font is a CID font), a 16-bit big-endian length n, n bytes of
// ToUnicode CMap text, then the font bytes.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

struct RepairFuzzInput {
    bool isCIDFont = false;
    std::string_view cmapText;
    std::span<const std::uint8_t> font;
};

inline RepairFuzzInput splitFuzzInput(const std::uint8_t* data, std::size_t size)
{
    RepairFuzzInput input;
    if (size < 3) {
        input.font = {data, size};
        return input;
    }
    input.isCIDFont = (data[0] & 1) != 0;
    std::size_t textLength = (std::size_t(data[1]) << 8) | data[2];
    if (textLength > size - 3)
        textLength = size - 3;
    input.cmapText = {reinterpret_cast<const char*>(data + 3), textLength};
    input.font = {data + 3 + textLength, size - 3 - textLength};
    return input;
}

inline std::vector<std::uint8_t> joinFuzzInput(bool isCIDFont, std::string_view text,
                                               const std::vector<std::uint8_t>& font)
{
    std::vector<std::uint8_t> out{std::uint8_t(isCIDFont ? 1 : 0), std::uint8_t(text.size() >> 8),
                                  std::uint8_t(text.size())};
    out.insert(out.end(), text.begin(), text.end());
    out.insert(out.end(), font.begin(), font.end());
    return out;
}
