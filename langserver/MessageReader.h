// The base protocol's framing: header lines ("Content-Length: N"), a blank
// line, then N bytes of JSON. Reads messages one at a time from a stream and
// never trusts the other side: a header line or a body past its limit, a
// header without a length or with a wrong one, and the end of the input in
// the middle of a message each end in a result, never in a crash or a hang.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>

namespace Vorn::LanguageServer {

struct ReadResult {
    enum class Status : unsigned char {
        Message,     // `body` holds the message
        EndOfInput,  // the input ended (between messages, or within one)
        BadHeader,   // the header had no usable Content-Length; `problem` says why
        TooLarge,    // the body was longer than the limit; it was skipped
    };
    Status status = Status::EndOfInput;
    std::string body;
    std::string problem;
};

class MessageReader {
  public:
    static constexpr std::size_t defaultBodyLimit = std::size_t{64} << 20;  // 64 MiB
    static constexpr std::size_t headerLineLimit = 4096;

    explicit MessageReader(std::istream& in, std::size_t bodyLimit = defaultBodyLimit);

    ReadResult read();

  private:
    std::istream& in_;
    std::size_t bodyLimit_;
};

// A message framed for the output: the header, then the body.
std::string frame(const std::string& body);

}  // namespace Vorn::LanguageServer
