// The lexer: reads the next token of a source stream into a Token.
//
// There is no token list and no look-ahead: each extraction reads one token,
// looks at most one character past it and leaves that character in the stream.
// Character classes are 7-bit ASCII; every other byte begins no token.
#pragma once

#include <cstdint>
#include <ios>
#include <iosfwd>

#include "assembly/Token.h"

namespace Vorn::Assembly {

namespace Detail {
// The characters of a stream buffer that a lexer reads in place: from where
// its reads began, not yet handed back to the buffer, to the end of what the
// buffer holds (its get area, or one character taken from a buffer without
// one); and what turns the address of a character in it into the offset of
// that character in the input: the offset is the address plus `origin`,
// modulo 2^64.
struct Span {
    const char* start = nullptr;
    const char* current = nullptr;
    const char* end = nullptr;
    bool inGetArea = true;
    std::uint64_t origin = 0;
};
}  // namespace Detail

// Reads one token. At the end of the input (or once the stream has failed) the
// token is EndOfFile, forever after. A run of digits whose value exceeds
// 2147483647 leaves the stream failed, as a formatted integer read would; the
// caller reports it (Assembler::nextToken).
std::istream& operator>>(std::istream& in, Token& token);

// Reads the tokens of one stream for a whole run: each read gives the token
// and sets the stream's state at once, as `in >> token` would. The position
// is kept here, and handed to the stream when its buffer is refilled and when
// the TokenStream is destroyed: read nothing else from the stream meanwhile.
// Columns count from where the TokenStream began. An identifier may borrow its
// characters from the stream's buffer until the next read (see
// Token::setIdentifierInPlace); copy the token to keep it longer.
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
    // The stream's state, found once (behind the stream's virtual base)
    // rather than at every read, and its buffer.
    std::ios& in_;
    std::streambuf* buffer_;
    Detail::Span span_;
    // The offset at which the current line began, for the tokens' columns.
    std::int64_t lineStart_ = 0;
    char one_ = 0;
};

}  // namespace Vorn::Assembly
