#include "text/Number.h"

#include <charconv>
#include <limits>
#include <system_error>

namespace Vorn::Text {

namespace {

constexpr std::int64_t largestAddress = 0xFFFF;

// Takes a leading "0x" or "0X": the base of the digits after it.
int baseOf(std::string_view& text) {
    if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
        return 16;
    }
    return 10;
}

// The digits of the whole text in `base`, no sign.
template <typename Number>
std::optional<Number> digits(std::string_view text, int base) {
    Number value = 0;
    const char* const end = text.data() + text.size();
    const auto [stop, problem] = std::from_chars(text.data(), end, value, base);
    if (text.empty() || text.front() == '-' || text.front() == '+' || problem != std::errc{} ||
        stop != end) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<std::int64_t> parseInteger(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const int base = baseOf(text);
    const auto magnitude = digits<std::uint64_t>(text, base);
    if (!magnitude || *magnitude > (std::uint64_t{1} << 62)) {
        return std::nullopt;
    }
    const auto value = static_cast<std::int64_t>(*magnitude);
    return negative ? -value : value;
}

std::optional<std::uint16_t> parseAddress(std::string_view text) {
    const int base = baseOf(text);
    const auto value = digits<std::uint64_t>(text, base);
    if (!value || *value > largestAddress) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(*value);
}

std::optional<std::uint64_t> parseCount(std::string_view text) {
    return digits<std::uint64_t>(text, 10);
}

std::optional<std::uint16_t> addressFrom(std::int64_t value) {
    if (value < 0 || value > largestAddress) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

std::optional<std::int32_t> wordFrom(std::int64_t value) {
    if (value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::uint32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

}  // namespace Vorn::Text
