// The outline of a source (its labels and definitions) and the classes of its
// tokens, for an editor's symbol list and its colours.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/Document.h"

namespace Vorn::Analysis {

struct OutlineSymbol {
    bool isLabel = true;  // a label; otherwise a definition
    std::string name;
    std::string detail;  // "address 12 (0x000C)", "= 10", "= start → 12"
    Assembly::SourcePosition definition;
};

// In source order; names the source does not bind (like "end") left out.
std::vector<OutlineSymbol> outlineOf(const Document& document);

// The classes of the tokens an editor colours, in the order of TokenClass.
enum class TokenClass : std::uint8_t {
    Operation,
    Register,
    Label,       // a label's name, where it is bound or used
    Definition,  // a definition's name, or "end"
    Name,        // a name nothing binds
    Number,
    Comment,
    Punctuation,  // '=', ':', '*'
};
inline constexpr std::size_t tokenClassCount = 8;

struct ClassedToken {
    std::int32_t line = 0;
    std::int32_t column = 0;
    std::int32_t length = 0;
    TokenClass tokenClass = TokenClass::Name;
};

// In source order; a token that begins nothing gets no class.
std::vector<ClassedToken> classify(const Document& document);

}  // namespace Vorn::Analysis
