// The tokens of a source with their places: what an editor colours, aligns
// and points at.
//
// The assembler's lexer reads them (operator>> of assembly/Lexer.h) over the
// text held in memory; this file only notes where each token began and ended,
// so the tokens are exactly those the assembler reads. Tokens are not kept by
// the assembler itself (it reads one at a time and forgets it), so a tool that
// needs them asks here.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "assembly/Token.h"

namespace Vorn::Analysis {

struct SourceToken {
    Assembly::TokenKind kind = Assembly::TokenKind::None;
    std::int32_t line = 0;    // from 1
    std::int32_t column = 0;  // byte offset in the line, from 0
    std::string_view text;    // the characters as written, inside the source

    std::int32_t length() const { return static_cast<std::int32_t>(text.size()); }
    std::int32_t end() const { return column + length(); }
};

// Every token of the text in order, ends of line included and the end of the
// file left out. A run of digits too long for a number, which stops the
// assembler, is one Number token here, and the reading goes on after it.
std::vector<SourceToken> tokenize(std::string_view text);

// The tokens of one line (its text without the line feed), numbered `line`.
std::vector<SourceToken> tokenizeLine(std::string_view lineText, std::int32_t line);

}  // namespace Vorn::Analysis
