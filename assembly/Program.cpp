#include "assembly/Program.h"

#include <algorithm>
#include <array>
#include <istream>
#include <ostream>
#include <sstream>
#include <streambuf>
#include <utility>

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

// The error as a program keeps it: its message, its place, its kind and
// what its kind carries.
AssemblyError errorOf(const ParseError& error, SourcePosition at) {
    AssemblyError result;
    result.error = std::current_exception();
    result.message = messageOf(error);
    result.position = at;
    result.kind = error.kind();
    switch (familyOf(result.kind)) {
        case ParseErrorFamily::Expecting:
            result.found = static_cast<const Expecting&>(error).foundToken();
            break;
        case ParseErrorFamily::Name:
            result.name = static_cast<const NameError&>(error).missingName();
            break;
        case ParseErrorFamily::Redefinition:
        case ParseErrorFamily::Line:
        case ParseErrorFamily::Address:
        case ParseErrorFamily::Plain:
            break;
    }
    return result;
}

// A name's first eight bytes as a number that orders as the text does.
std::uint64_t prefixOf(std::string_view name) {
    std::uint64_t prefix = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        const auto byte = i < name.size() ? static_cast<unsigned char>(name[i]) : 0U;
        prefix = (prefix << 8) | byte;
    }
    return prefix;
}

struct NameKey {
    std::uint64_t prefix;
    SymbolId id;
};

// Sorts the keys into name order: by their prefixes a byte at a time, from
// the last byte to the first, skipping a byte that every key has alike (most
// names are short, and many begin alike); then the few runs of names that
// share their first eight bytes, by their whole text.
void sortByName(std::vector<NameKey>& keys, const SymbolTable& table) {
    constexpr std::size_t byteValues = 256;
    std::array<std::array<std::size_t, byteValues>, 8> counts{};
    for (const NameKey& key : keys) {
        for (std::size_t byte = 0; byte < 8; ++byte) {
            ++counts[byte][(key.prefix >> (8 * byte)) & 0xFF];
        }
    }
    std::vector<NameKey> spare(keys.size());
    for (std::size_t byte = 0; byte < 8; ++byte) {
        std::array<std::size_t, byteValues>& starts = counts[byte];
        if (std::find(starts.begin(), starts.end(), keys.size()) != starts.end()) {
            continue;
        }
        std::size_t start = 0;
        for (std::size_t& count : starts) {
            start += std::exchange(count, start);
        }
        for (const NameKey& key : keys) {
            spare[starts[(key.prefix >> (8 * byte)) & 0xFF]++] = key;
        }
        keys.swap(spare);
    }
    for (auto run = keys.begin(); run != keys.end();) {
        const auto runEnd = std::find_if(
            run, keys.end(), [&](const NameKey& key) { return key.prefix != run->prefix; });
        if (runEnd - run > 1) {
            std::sort(run, runEnd, [&](const NameKey& a, const NameKey& b) {
                return table.name(a.id) < table.name(b.id);
            });
        }
        run = runEnd;
    }
}

// The message of the error resolving a name raises.
std::string problemOf(const SymbolTable& table, const SymbolTable::Outcome& outcome) {
    const std::string_view named = table.name(outcome.named);
    return outcome.kind == SymbolTable::Outcome::Kind::Undefined
               ? UndefinedLabel::messageFor(named)
               : CircularDefinition::messageFor(named);
}

// The symbols of a run that read its statements, or stopped in them: every
// bound name, with where it is bound and used.
std::vector<ProgramSymbol> symbolsOf(SymbolTable& table, const ProgramRecorder& recorder) {
    // Every name once, in linear time and with no exception thrown: a
    // million aliases in a cycle take no longer than a million labels.
    table.resolveAll();
    // The bound names in name order, sorted as ids before any is copied.
    std::vector<NameKey> keys;
    keys.reserve(table.size());
    for (std::size_t i = 0; i < table.nameCount(); ++i) {
        const auto id = static_cast<SymbolId>(i);
        if (table.isBound(id)) {
            keys.push_back({prefixOf(table.name(id)), id});
        }
    }
    sortByName(keys, table);
    constexpr std::uint32_t none = 0xFFFFFFFF;
    std::vector<std::uint32_t> indexOf(table.nameCount(), none);
    std::vector<ProgramSymbol> symbols(keys.size());
    for (std::size_t index = 0; index < keys.size(); ++index) {
        const SymbolId id = keys[index].id;
        ProgramSymbol& symbol = symbols[index];
        symbol.name = table.name(id);
        // Only "end" is bound without a statement.
        symbol.kind = ProgramSymbol::Kind::Predefined;
        if (const std::optional<SymbolId> target = table.aliasTarget(id)) {
            symbol.aliasOf.emplace(table.name(*target));
        }
        const SymbolTable::Outcome outcome = table.outcome(id);
        if (outcome.kind == SymbolTable::Outcome::Kind::Number) {
            symbol.number = outcome.number;
        } else {
            symbol.problem = problemOf(table, outcome);
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
    if (familyOf(error.kind()) == ParseErrorFamily::Name) {
        const auto& nameError = static_cast<const NameError&>(error);
        if (const std::optional<SymbolId> id = table.idOf(nameError.missingName())) {
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
        program.error = errorOf(error, at);
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

}  // namespace Vorn::Assembly
