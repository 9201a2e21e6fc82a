// Hexadecimal as the tools print it: "0x" and a fixed number of upper-case digits.
#pragma once

#include <cstdint>
#include <string>

namespace Vorn::Tools {

inline std::string hexText(std::uint32_t value, int digits) {
    constexpr char hexDigits[] = "0123456789ABCDEF";
    std::string text = "0x" + std::string(static_cast<std::size_t>(digits), '0');
    for (std::size_t i = text.size(); value != 0 && i > 2; --i, value >>= 4) {
        text[i - 1] = hexDigits[value & 0xF];
    }
    return text;
}

}  // namespace Vorn::Tools
