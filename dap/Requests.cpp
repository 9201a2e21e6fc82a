#include "dap/Requests.h"

#include <algorithm>
#include <cstdio>

#include "debug/Commands.h"
#include "text/Number.h"

namespace Vorn::Dap {

[[noreturn]] void fail(std::string message) {
    throw RequestError{std::move(message)};
}

std::string inQuotes(std::string_view text) {
    return "'" + std::string(text) + "'";
}

// An argument of a request: absent, or of the type asked for.
const Json* argument(const Json& arguments, const char* name) {
    if (!arguments.is_object()) {
        return nullptr;
    }
    const auto found = arguments.find(name);
    return found == arguments.end() || found->is_null() ? nullptr : &*found;
}

std::optional<std::string> stringArgument(const Json& arguments, const char* name) {
    const Json* value = argument(arguments, name);
    if (value == nullptr) {
        return std::nullopt;
    }
    if (!value->is_string()) {
        fail(std::string("The argument '") + name + "' is not a string.");
    }
    return value->get<std::string>();
}

std::optional<std::int64_t> integerArgument(const Json& arguments, const char* name) {
    const Json* value = argument(arguments, name);
    if (value == nullptr) {
        return std::nullopt;
    }
    if (!value->is_number_integer()) {
        fail(std::string("The argument '") + name + "' is not a whole number.");
    }
    return value->get<std::int64_t>();
}

bool flagArgument(const Json& arguments, const char* name) {
    const Json* value = argument(arguments, name);
    if (value == nullptr) {
        return false;
    }
    if (!value->is_boolean()) {
        fail(std::string("The argument '") + name + "' is not true or false.");
    }
    return value->get<bool>();
}

const Json& listArgument(const Json& arguments, const char* name) {
    static const Json empty = Json::array();
    const Json* value = argument(arguments, name);
    if (value == nullptr) {
        return empty;
    }
    if (!value->is_array()) {
        fail(std::string("The argument '") + name + "' is not a list.");
    }
    return *value;
}

std::string requiredString(const Json& arguments, const char* name) {
    auto value = stringArgument(arguments, name);
    if (!value) {
        fail(std::string("The argument '") + name + "' is missing.");
    }
    return *value;
}

std::string hexAddress(std::int64_t address) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%04llX", static_cast<unsigned long long>(address));
    return text;
}

std::string hexWord(Word word) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", word.bits());
    return text;
}

// A memory reference: a word address, "0x0008" or "8".
std::uint16_t referencedAddress(const std::string& reference) {
    const auto value = Text::parseInteger(reference);
    if (!value || *value < 0 || *value >= static_cast<std::int64_t>(Machine::memorySize)) {
        fail("The memory reference " + inQuotes(reference) + " is not an address from 0 to 65535.");
    }
    return static_cast<std::uint16_t>(*value);
}

// A byte offset, in whole words.
std::int64_t wordOffset(const Json& arguments) {
    const std::int64_t offset = integerArgument(arguments, "offset").value_or(0);
    if (offset % 4 != 0) {
        fail("The offset " + std::to_string(offset) +
             " is not a multiple of 4: memory is read and written in words of 4 bytes.");
    }
    return offset / 4;
}

std::optional<RegisterId> registerNamed(std::string_view name) {
    for (std::size_t i = 0; i < registerCount; ++i) {
        if (registerNames[i] == name) {
            return static_cast<RegisterId>(i);
        }
    }
    return std::nullopt;
}

namespace {

constexpr std::string_view base64Digits =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace

std::string toBase64(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t count = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t group = 0;
        for (std::size_t k = 0; k < 3; ++k) {
            group = (group << 8) | (k < count ? bytes[i + k] : 0U);
        }
        for (std::size_t k = 0; k < 4; ++k) {
            text += k <= count ? base64Digits[(group >> (18 - 6 * k)) & 63U] : '=';
        }
    }
    return text;
}

std::vector<std::uint8_t> fromBase64(std::string_view text) {
    std::vector<std::uint8_t> bytes;
    std::uint32_t group = 0;
    int bits = 0;
    for (const char c : text) {
        if (c == '=') {
            break;
        }
        const std::size_t digit = base64Digits.find(c);
        if (digit == std::string_view::npos) {
            fail("The data is not base64: " + inQuotes(std::string(1, c)) +
                 " is not one of its digits.");
        }
        group = (group << 6) | static_cast<std::uint32_t>(digit);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes.push_back(static_cast<std::uint8_t>((group >> bits) & 0xFFU));
        }
    }
    return bytes;
}

std::string firstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

std::string withoutFinalLineEnd(std::string text) {
    while (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    return text;
}

}  // namespace Vorn::Dap
