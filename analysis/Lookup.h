// What stands at a place in the source, where a name is defined and used, and
// whether it can be renamed: go to definition, find references and rename.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/Document.h"
#include "analysis/SourceTokens.h"

namespace Vorn::Analysis {

struct NameAt {
    enum class Kind : std::uint8_t {
        Operation,
        Register,
        Symbol,   // a label, a definition or "end"
        Unknown,  // a name nothing binds
    };
    Kind kind = Kind::Unknown;
    SourceToken token;
    const Assembly::ProgramSymbol* symbol = nullptr;  // for Kind::Symbol
};

// The identifier at (or ending at) the byte column of the line.
std::optional<NameAt> nameAt(const Document& document, std::int32_t line, std::int32_t column);

// Where the name at the place is defined; nothing for a name that is not
// bound in the source.
std::optional<Assembly::SourcePosition> definitionAt(const Document& document, std::int32_t line,
                                                     std::int32_t column);

// Every place the name at the place stands: its definition (when asked for)
// and its uses, in source order.
std::vector<Assembly::SourcePosition> referencesAt(const Document& document, std::int32_t line,
                                                   std::int32_t column, bool withDefinition);

struct Rename {
    std::vector<Assembly::SourcePosition> places;  // to replace by the new name
    std::string refusal;                           // why not, when not empty
};

// Renaming the name at the place to `newName`: refused for an operation or a
// register name, for "end", for a new name that is not a name, is reserved
// or is already bound.
Rename renameAt(const Document& document, std::int32_t line, std::int32_t column,
                std::string_view newName);

}  // namespace Vorn::Analysis
