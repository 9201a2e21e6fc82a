#include "analysis/TextPosition.h"

#include <algorithm>
#include <cstddef>

namespace Vorn::Analysis {

namespace {

// The length in bytes of the character at `at` and its length in UTF-16 units.
struct Character {
    std::size_t bytes;
    std::int32_t units;
};

Character characterAt(std::string_view line, std::size_t at) {
    const auto byte = static_cast<unsigned char>(line[at]);
    std::size_t length = 1;
    if (byte >= 0xF0 && byte <= 0xF4) {
        length = 4;
    } else if (byte >= 0xE0) {
        length = byte <= 0xEF ? 3 : 1;
    } else if (byte >= 0xC2) {
        length = 2;
    }
    if (length == 1 || at + length > line.size()) {
        return {1, 1};
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(line[at + i]) & 0xC0) != 0x80) {
            return {1, 1};
        }
    }
    return {length, length == 4 ? 2 : 1};
}

}  // namespace

std::int32_t utf16Column(std::string_view line, std::int32_t byteColumn) {
    const std::size_t limit =
        std::min(line.size(), static_cast<std::size_t>(std::max<std::int32_t>(byteColumn, 0)));
    std::int32_t units = 0;
    std::size_t at = 0;
    while (at < limit) {
        const Character character = characterAt(line, at);
        at += character.bytes;
        units += character.units;
    }
    return units;
}

std::int32_t byteColumn(std::string_view line, std::int32_t column) {
    std::int32_t units = 0;
    std::size_t at = 0;
    while (at < line.size()) {
        const Character character = characterAt(line, at);
        if (units + character.units > column) {
            break;
        }
        units += character.units;
        at += character.bytes;
    }
    return static_cast<std::int32_t>(at);
}

}  // namespace Vorn::Analysis
