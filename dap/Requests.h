// What the adapter's requests share: their errors, the reading of their
// arguments, and the protocol's small formats (addresses, words, base64).
// Within the adapter only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "machine/InstructionSet.h"
#include "machine/Machine.h"
#include "protocol/Message.h"

namespace Vorn::Dap {

using Json = Protocol::Json;

// A request that fails: its error answer says this.
struct RequestError {
    std::string message;
};

[[noreturn]] void fail(std::string message);

inline constexpr int threadId = 1;
inline constexpr int frameId = 1;
// The scopes' variable references.
inline constexpr int registersScope = 1;
inline constexpr int labelsScope = 2;
inline constexpr int definitionsScope = 3;
// The bytes of program output sent in one event, at most (and whatever is
// waiting when the program stops).
inline constexpr std::size_t outputBatch = 4096;
inline constexpr std::uint64_t maxMemoryBytes = std::uint64_t{Machine::memorySize} * 4;

std::string inQuotes(std::string_view text);

// An argument of a request: absent (or null), or of the type asked for;
// another type fails the request.
const Json* argument(const Json& arguments, const char* name);
std::optional<std::string> stringArgument(const Json& arguments, const char* name);
std::optional<std::int64_t> integerArgument(const Json& arguments, const char* name);
bool flagArgument(const Json& arguments, const char* name);
const Json& listArgument(const Json& arguments, const char* name);
std::string requiredString(const Json& arguments, const char* name);

// "0x0008", and a word's bits as "0x00000005".
std::string hexAddress(std::int64_t address);
std::string hexWord(Word word);
// A memory reference: a word address, "0x0008" or "8".
std::uint16_t referencedAddress(const std::string& reference);
// The request's byte offset, in whole words.
std::int64_t wordOffset(const Json& arguments);
std::optional<RegisterId> registerNamed(std::string_view name);

// Base64, as the protocol carries memory.
std::string toBase64(const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> fromBase64(std::string_view text);

std::string firstLine(const std::string& text);
std::string withoutFinalLineEnd(std::string text);

}  // namespace Vorn::Dap
