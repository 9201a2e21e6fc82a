// The lexer: reads the next token of a source stream into a Token.
//
// There is no token list and no look-ahead: each extraction reads one token,
// looks at most one character past it and leaves that character in the stream.
// Character classes are 7-bit ASCII; every other byte begins no token.
#pragma once

#include <iosfwd>

#include "assembly/Token.h"

namespace Vorn::Assembly {

// Reads one token. At the end of the input (or once the stream has failed) the
// token is EndOfFile, forever after. A run of digits whose value exceeds
// 2147483647 leaves the stream failed, as a formatted integer read would; the
// caller reports it (Assembler::nextToken).
std::istream& operator>>(std::istream& in, Token& token);

}  // namespace Vorn::Assembly
