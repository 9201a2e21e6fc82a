// What an Assembler notes while it reads a source, for a Program: where each
// name is bound and where it is used. vornasm's Assembler has none and notes
// nothing; the statement handlers test one pointer.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "assembly/Program.h"
#include "assembly/SymbolTable.h"
#include "assembly/Token.h"

namespace Vorn::Assembly {

struct ProgramRecorder {
    struct Mention {
        SymbolId id;
        SourcePosition at;
    };
    struct Binding {
        SymbolId id;
        ProgramSymbol::Kind kind;
        SourcePosition at;
    };

    static SourcePosition placeOf(const Token& token, std::int32_t line) {
        return {line, token.column(), token.length()};
    }

    std::vector<Binding> bindings;
    // Data words and address operands, in source order (a repeated item once).
    std::vector<Mention> uses;
    // The names definitions bind others to ("= a NAME").
    std::vector<Mention> aliasValues;
    // Told the line of each statement that fills cells, as it is read.
    std::function<void(std::int32_t)> filledLine;
};

}  // namespace Vorn::Assembly
