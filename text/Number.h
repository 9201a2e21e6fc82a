// Numbers written in commands, options and files: a whole number with its
// sign, an address, a count, and the range checks that turn a whole number
// into a machine word or an address. The assembly language's own numbers are
// the lexer's (decimal, no sign); these are for the tools around it.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace Vorn::Text {

// Decimal with an optional sign, or hexadecimal after "0x" or "0X" (after
// the sign, if any): "-12", "+7", "0x1F", "-0x10". No blanks. The magnitude
// is at most 2^62, far past any word, so that the range checks below can
// name the number that does not fit.
std::optional<std::int64_t> parseInteger(std::string_view text);

// An address: decimal, or hexadecimal after "0x" or "0X", no sign, 0 to 65535.
std::optional<std::uint16_t> parseAddress(std::string_view text);

// A count: decimal digits, no sign, 0 to 2^64 - 1.
std::optional<std::uint64_t> parseCount(std::string_view text);

// A whole number as an address: 0 to 65535.
std::optional<std::uint16_t> addressFrom(std::int64_t value);

// A whole number as a 32-bit word: -2^31 to 2^32 - 1, a number above
// 2^31 - 1 taken as its bits (0xFFFFFFFF is -1).
std::optional<std::int32_t> wordFrom(std::int64_t value);

}  // namespace Vorn::Text
