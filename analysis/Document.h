// The analysis of one source held in memory: what an editor, a grader or a
// playground shows beside the text. It assembles the text with the assembler
// itself (assembleProgram), so its cells, symbols and error are always
// vornasm's; on top of them it adds the places (lines and tokens), the
// warnings vornasm does not give and the hints that explain an error.
//
//   Document document(text);
//   for (const Diagnostic& diagnostic : document.diagnostics()) { ... }
//
// It does no input or output. Columns are byte offsets in a line; see
// TextPosition.h for editors' columns.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "assembly/Program.h"

namespace Vorn::Analysis {

struct Diagnostic {
    // Information is a note, Hint a hint (an editor shows it faintly).
    enum class Severity : std::uint8_t { Error, Warning, Information, Hint };

    Severity severity = Severity::Error;
    // "assembly-error" for vornasm's error; a warning's own code otherwise
    // (see Diagnostics.h).
    std::string_view code;
    // For the error, exactly what vornasm prints between "Error: " and ".".
    std::string message;
    // A sentence that explains a misleading error (Hints.h); may be empty.
    std::string hint;
    Assembly::SourcePosition position;
};

// The addresses of the cells one line filled: [first, first + count).
struct CellRange {
    std::uint32_t first = 0;
    std::uint32_t count = 0;
};

class Document {
  public:
    explicit Document(std::string text);

    const std::string& text() const { return text_; }
    // Exactly what vornasm makes of the text: its cells, symbols and error.
    const Assembly::Program& program() const { return program_; }
    // The program as far as the text can be read: after an error raised
    // while reading, the text assembled again without the parts in error
    // (from the token in error to the end of its line, then the whole line),
    // so that the names after the error are known too. Go-to-definition,
    // references, rename, completion, the outline and hover read this;
    // the diagnostics read program(). The same object when there is no
    // such error.
    const Assembly::Program& names() const { return tolerant_ ? *tolerant_ : program_; }
    const std::vector<Diagnostic>& diagnostics() const { return diagnostics_; }

    // Lines count from 1, as vornasm counts them (a line feed ends a line).
    std::int32_t lineCount() const { return static_cast<std::int32_t>(lineStarts_.size()); }
    // The line's text without its line end (a line feed, or a carriage return
    // and a line feed); empty for a line outside the text.
    std::string_view line(std::int32_t number) const;

    CellRange cellsOfLine(std::int32_t line) const;

    // Every place a name is used, in source order: the program's uses, and
    // the value of each definition that is an alias of it ("= top start"
    // uses start), which the assembler resolves but does not count as a use.
    std::vector<Assembly::SourcePosition> usesOf(const Assembly::ProgramSymbol& symbol) const;

  private:
    std::optional<Assembly::Program> readTolerantly() const;

    std::string text_;
    std::vector<std::size_t> lineStarts_;
    Assembly::Program program_;
    std::optional<Assembly::Program> tolerant_;
    std::map<std::string, std::vector<Assembly::SourcePosition>, std::less<>> aliasUses_;
    std::vector<Diagnostic> diagnostics_;
};

}  // namespace Vorn::Analysis
