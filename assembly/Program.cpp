#include "assembly/Program.h"

#include <algorithm>
#include <istream>
#include <ostream>
#include <sstream>
#include <streambuf>

#include "assembly/Assembler.h"
#include "assembly/ParseError.h"
#include "assembly/SourceBuffer.h"

namespace Vorn::Assembly {

namespace {

// The image a program does not need written anywhere.
class DiscardingBuffer : public std::streambuf {
  protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};

std::string messageOf(const ParseError& error) {
    std::ostringstream message;
    message << error;
    return message.str();
}

std::int32_t lineOf(const ParseError& error) {
    if (const auto* expecting = dynamic_cast<const Expecting*>(&error)) {
        return expecting->lineNumber();
    }
    if (const auto* redefinition = dynamic_cast<const Redefinition*>(&error)) {
        return redefinition->lineNumber();
    }
    if (const auto* lineError = dynamic_cast<const LineError*>(&error)) {
        return lineError->lineNumber();
    }
    return 0;
}

std::vector<ProgramSymbol> symbolsOf(const SymbolTable& table) {
    std::vector<ProgramSymbol> symbols;
    table.forEach([&](std::string_view name, const Value& value) {
        ProgramSymbol symbol;
        symbol.name = std::string(name);
        symbol.kind = name == "end" ? ProgramSymbol::Kind::Predefined : ProgramSymbol::Kind::Label;
        if (!value.isNumber()) {
            symbol.aliasOf = value.name();
        }
        try {
            symbol.number = table.resolve(name);
        } catch (const ParseError& error) {
            symbol.problem = messageOf(error);
        }
        symbols.push_back(std::move(symbol));
    });
    std::sort(symbols.begin(), symbols.end(),
              [](const ProgramSymbol& a, const ProgramSymbol& b) { return a.name < b.name; });
    return symbols;
}

Program assemble(std::istream& source) {
    Program program;
    DiscardingBuffer discard;
    std::ostream image(&discard);
    Assembler assembler(source, image);
    bool statementsRead = false;
    try {
        assembler.readSource();
        statementsRead = true;
        assembler.writeImage();
    } catch (const ParseError& error) {
        program.error = AssemblyError{std::current_exception(), messageOf(error),
                                      SourcePosition{lineOf(error), 0, 0}};
    }
    if (statementsRead) {
        for (std::uint32_t address = 0; address < assembler.cellCount(); ++address) {
            const MemoryCell& cell = assembler.cell(address);
            if (cell.hasName()) {
                break;  // the first cell whose name did not resolve
            }
            program.cells.push_back({cell.word(), cell.line, !cell.isData});
        }
    }
    program.symbols = symbolsOf(assembler.symbolTable());
    return program;
}

}  // namespace

std::vector<Word> Program::words() const {
    std::vector<Word> result;
    result.reserve(cells.size());
    for (const ProgramCell& cell : cells) {
        result.push_back(cell.word);
    }
    return result;
}

const ProgramSymbol* Program::symbol(std::string_view name) const {
    const auto found = std::lower_bound(
        symbols.begin(), symbols.end(), name,
        [](const ProgramSymbol& symbol, std::string_view key) { return symbol.name < key; });
    return found != symbols.end() && found->name == name ? &*found : nullptr;
}

std::vector<std::uint8_t> cellsOutsideInstructions(const Program& program) {
    constexpr std::size_t memorySize = 0x10000;
    std::vector<std::uint8_t> outside(memorySize, 1);
    for (std::size_t address = 0; address < program.cells.size(); ++address) {
        outside[address] = program.cells[address].isInstruction ? 0 : 1;
    }
    return outside;
}

Program assembleProgram(std::string_view text) {
    SourceBuffer buffer(text);
    std::istream source(&buffer);
    return assemble(source);
}

Program assembleProgram(std::istream& source) {
    return assemble(source);
}

void writeErrorLine(std::ostream& errors, const AssemblyError& error) {
    errors << "Error: " << error.message << "." << std::endl;
}

}  // namespace Vorn::Assembly
