// A message's JSON, both ways. A body is parsed only when it nests no deeper
// than a limit: copying or printing a value is recursive in the JSON library,
// and a body of a million '[' would overflow the stack. A message is written
// framed, with its header, and flushed at once.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace Vorn::Protocol {

using Json = nlohmann::json;

// Deeper than any message of either protocol, far below what the stack bears.
constexpr std::size_t nestingLimit = 256;

struct ParsedBody {
    std::optional<Json> message;  // no value when the body is not usable JSON
    std::string problem;          // then why, as one sentence
};

ParsedBody parseBody(std::string_view body, std::size_t depthLimit = nestingLimit);

// The body framed: its header, a blank line, then the body.
std::string frame(std::string_view body);

// The text of a message (invalid UTF-8 in strings replaced, never thrown).
std::string bodyOf(const Json& message);

// Writes framed messages on a stream; several threads may write.
class MessageWriter {
  public:
    explicit MessageWriter(std::ostream& out) : out_(out) {}
    // False when the stream could not take it.
    bool write(const Json& message);

  private:
    std::ostream& out_;
    std::mutex mutex_;
};

}  // namespace Vorn::Protocol
