// The framing that the language server and the debug adapter share: header
// lines ("Content-Length: N"), a blank line, then N bytes of JSON. Reads
// messages one at a time from a stream and never trusts the other side: a
// header line or a body past its limit, a header without a length or with a
// wrong one, and the end of the input in the middle of a message each end in
// a result, never in a crash or a hang. The body is read in bounded chunks,
// so that memory follows the bytes that arrive, not the length announced.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>

namespace Vorn::Protocol {

struct ReadResult {
    enum class Status : unsigned char {
        Message,     // `body` holds the message
        EndOfInput,  // the input ended (between messages, or within one)
        BadHeader,   // the header had no usable Content-Length; `problem` says why
        TooLarge,    // the body was longer than the limit, or than memory allows; it was skipped
    };
    Status status = Status::EndOfInput;
    std::string body;
    std::string problem;
};

class MessageReader {
  public:
    static constexpr std::size_t defaultBodyLimit = std::size_t{64} << 20;  // 64 MiB
    static constexpr std::size_t headerLineLimit = 4096;
    static constexpr std::size_t chunkSize = std::size_t{64} << 10;

    explicit MessageReader(std::istream& in, std::size_t bodyLimit = defaultBodyLimit);

    ReadResult read();

  private:
    std::istream& in_;
    std::size_t bodyLimit_;
};

}  // namespace Vorn::Protocol
