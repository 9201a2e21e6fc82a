// Turns one source text into one memory image.
//
// The source is read one token at a time; each statement goes to the handler
// of its first token. Names are stored as written and resolved only when the
// image is written, so a name may be used before the statement that binds it.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "assembly/Lexer.h"
#include "assembly/MemoryImage.h"
#include "assembly/SymbolTable.h"
#include "assembly/Token.h"

namespace Vorn::Assembly {

struct ProgramRecorder;

class Assembler {
  public:
    // Both streams are borrowed: the Assembler neither opens nor closes them.
    Assembler(std::istream& source, std::ostream& image);

    // Reads the whole source, then writes the image. Any fault leaves as a
    // ParseError; the lines of the cells before a cell whose name cannot be
    // resolved are written first.
    void assemble();
    // The two halves of assemble(), for tools and benchmarks that time them:
    // the start of a run and the statement loop; then resolution and output.
    void readSource();
    void writeImage();

    // The run's results, for tools that show more than the image.
    std::uint32_t cellCount() const { return count; }
    const MemoryCell& cell(std::size_t address) const { return memory[address]; }
    const SymbolTable& symbolTable() const { return symbols; }
    SymbolTable& symbolTable() { return symbols; }
    // The token being read, and its line, when the last error left.
    const Token& currentToken() const { return token; }
    std::int32_t currentLine() const { return line; }
    // Where readSource() notes the places of bindings and uses; null (the
    // default) notes nothing. Borrowed.
    void recordInto(ProgramRecorder* notes) { recorder = notes; }

  private:
    // The statement handlers; each starts with `advanceFirst` (read the next
    // token before the first test) and returns with the last token it used current.
    void parseDefinition(bool advanceFirst);
    void parseLabel(bool advanceFirst);
    std::int32_t parseRepetition(bool advanceFirst);
    void parseRepeated(bool advanceFirst, std::int32_t times);
    void parseData(bool advanceFirst, std::int32_t times);
    void parseInstruction(bool advanceFirst, std::int32_t times);

    void runStatements();
    void statementTail();
    void expectComment(bool advanceFirst);
    void expectEndOfStatement(bool advanceFirst);
    void nextToken();
    // The name a label or definition binds, tested against the reserved names
    // and the names already bound.
    std::string_view nameToBind();
    // Notes, with a recorder, that the name just bound is bound here.
    void recordBinding(SymbolId id, bool isLabel);
    // The id of a name a cell uses, noted with a recorder.
    SymbolId usedName(std::string_view name);
    RegisterId registerOperand();
    // Stores `times` copies of the cell at the location counter.
    void store(const MemoryCell& cell, std::int32_t times);

    Token token;
    // Set while readSource() runs.
    TokenStream* tokens = nullptr;
    std::int32_t line = 1;
    ProgramRecorder* recorder = nullptr;
    // With a recorder: the name token nameToBind() read.
    Token boundName;
    // The address of the next cell to fill: 0 to 65536 (all cells filled).
    std::uint32_t count = 0;
    SymbolTable symbols;
    MemoryImage memory;
    std::istream& input;
    std::ostream& output;
};

}  // namespace Vorn::Assembly
