// A program from its source text: what every tool that shows more than the
// image needs. The assembler itself does the work, so a program's cells,
// symbols and error are always what vornasm makes of the same text.
//
//   Program program = assembleProgram(text);
//   if (program.error) { ... program.error->message, program.error->position ... }
//   for (const ProgramCell& cell : program.cells) { ... }
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "assembly/ParseError.h"
#include "assembly/Token.h"
#include "machine/Word.h"

namespace Vorn::Assembly {

// A place in the source: a line (from 1), the byte offset of the first
// character in that line (from 0) and the length in bytes. Line 0 means no
// place (a predefined name, or an error with no token).
struct SourcePosition {
    std::int32_t line = 0;
    std::int32_t column = 0;
    std::int32_t length = 0;
};

struct ProgramCell {
    Word word;              // the final word, every name resolved
    std::int32_t line = 0;  // the source line that filled the cell
    bool isInstruction = false;
};

struct ProgramSymbol {
    enum class Kind : std::uint8_t { Predefined, Label, Definition };

    std::string name;
    Kind kind = Kind::Label;
    // The final number, when the name resolves.
    std::optional<std::int32_t> number;
    // Why it does not: the message of the error that resolving it raises. A
    // definition that no cell uses is not resolved while assembling, so it may
    // still name nothing or itself.
    std::string problem;
    // A definition's bound value when it is another name ("= a b" binds a to b).
    std::optional<std::string> aliasOf;
    SourcePosition definition;
    std::vector<SourcePosition> uses;  // in source order
};

struct AssemblyError {
    // The ParseError object that ended the run, to rethrow or inspect.
    std::exception_ptr error;
    // What vornasm prints between "Error: " and the final ".".
    std::string message;
    // The token the error names; for a name that cannot be resolved, its
    // first use.
    SourcePosition position;
    // Which error it is, and what it carries beside its message: the token
    // an Expecting error met, the name a name error names.
    ParseErrorKind kind = ParseErrorKind::NotAnIdentifier;
    std::optional<Token> found;
    std::string name;
};

struct Program {
    // Addresses 0 upwards. After an error raised while the statements were
    // read, empty; after one raised while names were resolved, the cells
    // before the first that failed (those whose lines vornasm writes).
    std::vector<ProgramCell> cells;
    std::vector<ProgramSymbol> symbols;  // in name order
    std::optional<AssemblyError> error;

    std::vector<Word> words() const;
    const ProgramSymbol* symbol(std::string_view name) const;
};

// One byte per memory address (65536), 1 where the program has no
// instruction: a data word's cell, or one no statement filled. A run that
// stops at these (Machine::runUntil) finds the step that enters data, as a
// program that forgets its "jump end" does.
std::vector<std::uint8_t> cellsOutsideInstructions(const Program& program);

// Assembles a whole source. Throws only std::bad_alloc.
Program assembleProgram(std::string_view text);
// The same from a stream, read as it comes.
Program assembleProgram(std::istream& source);
// The same, telling `filledLine` the line of each statement that fills cells
// as soon as it is read (lines in increasing order, a line at most once per
// statement): a reader that keeps the text of those lines keeps no other.
Program assembleProgram(std::istream& source, const std::function<void(std::int32_t)>& filledLine);

}  // namespace Vorn::Assembly
