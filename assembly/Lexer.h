// The lexer: reads the next token of a source stream into a Token.
//
// There is no token list and no look-ahead: each extraction reads one token,
// looks at most one character past it and leaves that character in the stream.
// Character classes are 7-bit ASCII; every other byte begins no token.
#pragma once

#include <cstdint>
#include <iosfwd>

#include "assembly/Token.h"

namespace Vorn::Assembly {

class SourceBuffer;

namespace Detail {
// Where a lexer is: bytes read from the start of its input, and the offset
// at which the current line began (for the column of each token).
struct Place {
    std::int64_t offset = 0;
    std::int64_t lineStart = 0;
};
}  // namespace Detail

// Reads one token. At the end of the input (or once the stream has failed) the
// token is EndOfFile, forever after. A run of digits whose value exceeds
// 2147483647 leaves the stream failed, as a formatted integer read would; the
// caller reports it (Assembler::nextToken).
std::istream& operator>>(std::istream& in, Token& token);

// Reads the tokens of one stream for a whole run: each read gives the token,
// and leaves the stream's state, that `in >> token` would. Over a SourceBuffer
// it scans the characters in place and keeps the position itself, without
// the stream's checks for every token; the stream gets the position and the
// state back when the TokenStream is destroyed. An identifier read from a
// SourceBuffer borrows its characters from the buffer's text (see
// Token::setIdentifierInPlace).
class TokenStream {
  public:
    explicit TokenStream(std::istream& in);
    ~TokenStream();
    TokenStream(const TokenStream&) = delete;
    TokenStream& operator=(const TokenStream&) = delete;

    void read(Token& token);
    // What the stream's fail() says after the last read.
    bool failed() const;

  private:
    std::istream& in_;
    Detail::Place place_;
    SourceBuffer* source_ = nullptr;  // null: every read goes through the stream
    const char* start_ = nullptr;
    const char* current_ = nullptr;
    const char* end_ = nullptr;
    bool ended_ = false;
    bool failed_ = false;
};

}  // namespace Vorn::Assembly
