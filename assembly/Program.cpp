#include "assembly/Program.h"

#include <algorithm>
#include <istream>
#include <ostream>
#include <sstream>
#include <streambuf>

#include "assembly/Assembler.h"
#include "assembly/ParseError.h"
#include "assembly/ProgramRecorder.h"
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

// The symbols of a run that read its statements, or stopped in them: every
// bound name, with where it is bound and used.
// A name's first eight bytes as a number that orders as the text does.
std::uint64_t prefixOf(std::string_view name) {
    std::uint64_t prefix = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        const auto byte = i < name.size() ? static_cast<unsigned char>(name[i]) : 0U;
        prefix = (prefix << 8) | byte;
    }
    return prefix;
}

// The message of the error resolving a name raises; one stream for all.
class ProblemText {
  public:
    std::string of(const SymbolTable& table, const SymbolTable::Outcome& outcome) {
        const std::string named(table.name(outcome.named));
        text_.str(std::string());
        if (outcome.kind == SymbolTable::Outcome::Kind::Undefined) {
            text_ << UndefinedLabel(named);
        } else {
            text_ << CircularDefinition(named);
        }
        return text_.str();
    }

  private:
    std::ostringstream text_;
};

std::vector<ProgramSymbol> symbolsOf(SymbolTable& table, const ProgramRecorder& recorder) {
    // Every name once, in linear time and with no exception thrown: a
    // million aliases in a cycle take no longer than a million labels.
    table.resolveAll();
    // The bound names in name order, sorted as ids before any is copied, by
    // their first eight bytes first (most names are no longer).
    struct Key {
        std::uint64_t prefix;
        SymbolId id;
    };
    std::vector<Key> keys;
    keys.reserve(table.size());
    for (std::size_t i = 0; i < table.nameCount(); ++i) {
        const auto id = static_cast<SymbolId>(i);
        if (table.isBound(id)) {
            keys.push_back({prefixOf(table.name(id)), id});
        }
    }
    std::sort(keys.begin(), keys.end(), [&](const Key& a, const Key& b) {
        return a.prefix != b.prefix ? a.prefix < b.prefix : table.name(a.id) < table.name(b.id);
    });
    std::vector<SymbolId> order;
    order.reserve(keys.size());
    for (const Key& key : keys) {
        order.push_back(key.id);
    }
    constexpr std::uint32_t none = 0xFFFFFFFF;
    std::vector<std::uint32_t> indexOf(table.nameCount(), none);
    std::vector<ProgramSymbol> symbols(order.size());
    ProblemText problems;
    for (std::size_t index = 0; index < order.size(); ++index) {
        const SymbolId id = order[index];
        ProgramSymbol& symbol = symbols[index];
        symbol.name = std::string(table.name(id));
        // Only "end" is bound without a statement.
        symbol.kind = ProgramSymbol::Kind::Predefined;
        if (const std::optional<SymbolId> target = table.aliasTarget(id)) {
            symbol.aliasOf = std::string(table.name(*target));
        }
        const SymbolTable::Outcome outcome = table.outcome(id);
        if (outcome.kind == SymbolTable::Outcome::Kind::Number) {
            symbol.number = outcome.number;
        } else {
            symbol.problem = problems.of(table, outcome);
        }
        indexOf[static_cast<std::size_t>(id)] = static_cast<std::uint32_t>(index);
    }
    for (const ProgramRecorder::Binding& binding : recorder.bindings) {
        ProgramSymbol& symbol = symbols[indexOf[static_cast<std::size_t>(binding.id)]];
        symbol.kind = binding.kind;
        symbol.definition = binding.at;
    }
    for (const ProgramRecorder::Mention& use : recorder.uses) {
        if (const std::uint32_t index = indexOf[static_cast<std::size_t>(use.id)]; index != none) {
            symbols[index].uses.push_back(use.at);
        }
    }
    return symbols;
}

// The first place the recorder noted for a name, if any.
std::optional<SourcePosition> firstMention(const std::vector<ProgramRecorder::Mention>& mentions,
                                           SymbolId id) {
    for (const ProgramRecorder::Mention& mention : mentions) {
        if (mention.id == id) {
            return mention.at;
        }
    }
    return std::nullopt;
}

// Where an error raised while names were resolved points: the first use of
// the name it names; a name no cell uses (one reached through aliases) at
// its first place as a definition's value; failing both, at the first use of
// the name the failing cell waits for.
SourcePosition resolutionPlace(const ParseError& error, const Assembler& assembler,
                               const ProgramRecorder& recorder) {
    const SymbolTable& table = assembler.symbolTable();
    if (const auto* nameError = dynamic_cast<const NameError*>(&error)) {
        if (const std::optional<SymbolId> id = table.idOf(nameError->missingName())) {
            if (const auto use = firstMention(recorder.uses, *id)) {
                return *use;
            }
            if (const auto value = firstMention(recorder.aliasValues, *id)) {
                return *value;
            }
        }
    }
    for (std::uint32_t address = 0; address < assembler.cellCount(); ++address) {
        const MemoryCell& cell = assembler.cell(address);
        if (cell.hasName()) {
            if (const auto use = firstMention(recorder.uses, cell.name())) {
                return *use;
            }
            return {cell.line, 0, 0};
        }
    }
    return {};
}

Program assemble(std::istream& source, const std::function<void(std::int32_t)>& filledLine) {
    Program program;
    DiscardingBuffer discard;
    std::ostream image(&discard);
    Assembler assembler(source, image);
    ProgramRecorder recorder;
    recorder.filledLine = filledLine;
    assembler.recordInto(&recorder);
    bool statementsRead = false;
    try {
        assembler.readSource();
        statementsRead = true;
        assembler.writeImage();
    } catch (const ParseError& error) {
        // An error in a statement names the token being read; the line
        // errors (an invalid token, a number out of range, a full memory)
        // and an address out of bounds have it too.
        const SourcePosition at =
            statementsRead
                ? resolutionPlace(error, assembler, recorder)
                : ProgramRecorder::placeOf(assembler.currentToken(), assembler.currentLine());
        program.error = AssemblyError{std::current_exception(), messageOf(error), at};
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
    program.symbols = symbolsOf(assembler.symbolTable(), recorder);
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
    return assemble(source, {});
}

Program assembleProgram(std::istream& source) {
    return assemble(source, {});
}

Program assembleProgram(std::istream& source, const std::function<void(std::int32_t)>& filledLine) {
    return assemble(source, filledLine);
}

void writeErrorLine(std::ostream& errors, const AssemblyError& error) {
    errors << "Error: " << error.message << "." << std::endl;
}

}  // namespace Vorn::Assembly
