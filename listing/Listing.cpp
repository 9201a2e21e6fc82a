#include "listing/Listing.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <iomanip>
#include <ostream>
#include <sstream>
#include <string>

#include "analysis/ControlFlow.h"
#include "analysis/Diagnostics.h"
#include "analysis/Document.h"
#include "machine/Trace.h"
#include "run/Profile.h"
#include "tools/HexText.h"

namespace Vorn::Listing {

namespace {

constexpr int addressWidth = 5;
constexpr int decimalWidth = 11;
constexpr int instructionWidth = 12;
constexpr int lineWidth = 5;
constexpr const char* gap = "  ";

// A longer name overflows its column instead of widening the whole table:
// the listing stays in proportion to the source.
constexpr std::size_t widestName = 24;

std::string mnemonic(Word word, const AddressNames* names = nullptr) {
    std::ostringstream text;
    writeInstruction(text, word, names);
    return text.str();
}

void writeWordColumns(std::ostream& out, std::size_t address, Word word) {
    out << std::setw(addressWidth) << address << gap
        << Tools::hexText(static_cast<std::uint32_t>(address), 4) << gap
        << Tools::hexText(word.bits(), 8) << gap << std::setw(decimalWidth) << word.value();
}

void writeWordHeader(std::ostream& out) {
    out << std::setw(addressWidth) << "addr" << gap << std::setw(6) << "hex" << gap << std::setw(10)
        << "word" << gap << std::setw(decimalWidth) << "decimal";
}

void writeSymbols(std::ostream& out, const std::vector<Assembly::ProgramSymbol>& symbols) {
    std::size_t nameWidth = 6;
    for (const Assembly::ProgramSymbol& symbol : symbols) {
        nameWidth = std::max(nameWidth, std::min(symbol.name.size(), widestName));
    }
    const auto width = static_cast<int>(nameWidth);
    out << '\n'
        << std::left << std::setw(width) << "symbol" << std::right << gap << std::setw(decimalWidth)
        << "value" << gap << "hex\n";
    // Each line made in one string and written at once: a program may have a
    // million names, and a stream's padding costs more per line than the line.
    std::string line;
    for (const Assembly::ProgramSymbol& symbol : symbols) {
        line.assign(symbol.name);
        line.resize(std::max(line.size(), nameWidth), ' ');
        line += symbol.name.size() > widestName ? " " : gap;
        if (symbol.number) {
            std::array<char, 16> digits{};
            const auto end = std::to_chars(digits.begin(), digits.end(), *symbol.number).ptr;
            const auto length = static_cast<std::size_t>(end - digits.begin());
            line.append(std::max(length, std::size_t{decimalWidth}) - length, ' ');
            line.append(digits.begin(), end);
            line += gap;
            line += Tools::hexText(static_cast<std::uint32_t>(*symbol.number), 8);
        } else {
            line += "does not resolve: ";
            line += symbol.problem;
        }
        line += '\n';
        out.write(line.data(), static_cast<std::streamsize>(line.size()));
    }
}

// The rows of a source's cells; `between` writes what goes before a cell
// (at its address) and after the last (at the cell count).
// `extra(address)` writes more columns before the source text (`extraHeader`
// their titles).
template <typename Between, typename Extra>
void writeSourceRows(std::ostream& out, const Program& program, Between between,
                     std::string_view extraHeader, Extra extra) {
    std::vector<std::string> instructions;
    std::size_t width = instructionWidth;
    for (const Assembly::ProgramCell& cell : program.cells()) {
        instructions.push_back(cell.isInstruction ? mnemonic(cell.word, program.labels()) : "");
        width = std::max(width, std::min(instructions.back().size(), widestName));
    }
    const auto instructionColumn = static_cast<int>(width);
    writeWordHeader(out);
    out << gap << std::left << std::setw(instructionColumn) << "instruction" << std::right << gap
        << std::setw(lineWidth) << "line" << extraHeader << gap << "source\n";
    for (std::size_t address = 0; address < program.cells().size(); ++address) {
        between(address);
        const Assembly::ProgramCell& cell = program.cells()[address];
        writeWordColumns(out, address, cell.word);
        out << gap << std::left << std::setw(instructionColumn) << instructions[address]
            << std::right << gap << std::setw(lineWidth) << cell.line;
        extra(address);
        if (static_cast<std::size_t>(cell.line - 1) < program.lines().size()) {
            out << gap << program.lineText(cell.line);
        }
        out << '\n';
    }
    between(program.cells().size());
    writeSymbols(out, program.symbols());
}

void writeSourceListing(std::ostream& out, const Program& program) {
    writeSourceRows(
        out, program, [](std::size_t) {}, "", [](std::size_t) {});
}

// "6 (done)", "end", "8 (table, data)", "20 (unfilled)".
std::string placeName(const Program& program, std::uint32_t address) {
    if (address == Analysis::ControlFlow::haltAddress) {
        return "end";
    }
    std::string text = std::to_string(address);
    const std::string* label = program.labelFor(static_cast<std::uint16_t>(address));
    std::string notes = label != nullptr ? *label : "";
    if (address >= program.cells().size()) {
        notes += notes.empty() ? "unfilled" : ", unfilled";
    } else if (!program.cells()[address].isInstruction) {
        notes += notes.empty() ? "data" : ", data";
    }
    return notes.empty() ? text : text + " (" + notes + ")";
}

// The whole text back from its lines: the analysis reads a text, and line
// ends do not change what the assembler makes of it.
std::string textOf(const Program& program) {
    std::string text;
    for (std::int32_t line = 1; static_cast<std::size_t>(line) <= program.lines().size(); ++line) {
        text += program.lineText(line);
        text += '\n';
    }
    return text;
}

}  // namespace

void writeProfiledListing(std::ostream& out, const Program& program, const Run::Profile& profile) {
    const double total = static_cast<double>(std::max<std::uint64_t>(profile.total(), 1));
    constexpr int countWidth = 12;
    constexpr int shareWidth = 6;
    std::ostringstream header;
    header << gap << std::setw(countWidth) << "count" << gap << std::setw(shareWidth) << "share";
    writeSourceRows(
        out, program, [](std::size_t) {}, header.str(),
        [&](std::size_t address) {
            const std::uint64_t count = profile.counts[address];
            out << gap << std::setw(countWidth) << count << gap << std::setw(shareWidth - 1)
                << std::fixed << std::setprecision(1) << 100.0 * static_cast<double>(count) / total
                << '%';
        });
    out << "\nsteps: " << profile.total() << '\n';
}

void writeFlowListing(std::ostream& out, const Program& program) {
    const Analysis::ControlFlow flow = Analysis::analyzeControlFlow(program.cells());
    const auto& cells = program.cells();
    std::vector<bool> pointer(cells.size(), false);
    for (const std::uint32_t address : flow.pointerWords) {
        pointer[address] = true;
    }
    writeSourceRows(
        out, program,
        [&](std::size_t address) {
            if (address > 0 && flow.blockOf[address - 1] != Analysis::ControlFlow::noBlock &&
                flow.blocks[flow.blockOf[address - 1]].last == address - 1) {
                std::string next;
                for (const std::uint32_t successor :
                     flow.blocks[flow.blockOf[address - 1]].successors) {
                    next += (next.empty() ? "" : ", ") + placeName(program, successor);
                }
                out << "  → " << (next.empty() ? "nowhere" : next) << '\n';
            }
            if (address == cells.size()) {
                return;
            }
            const std::uint32_t block = flow.blockOf[address];
            if (block != Analysis::ControlFlow::noBlock && flow.blocks[block].first == address) {
                out << "block " << placeName(program, static_cast<std::uint32_t>(address)) << ": "
                    << (flow.blocks[block].reachable ? "reached"
                        : pointer[address] ? "not reached, a word that loads and stores use"
                                           : "not reached")
                    << '\n';
            } else if (block == Analysis::ControlFlow::noBlock &&
                       (address == 0 || cells[address - 1].isInstruction)) {
                out << "data\n";
            }
        },
        "", [](std::size_t) {});
    const Analysis::Document document(textOf(program));
    out << "\nflow\n";
    bool any = false;
    for (const Analysis::Diagnostic& diagnostic : document.diagnostics()) {
        if (diagnostic.code == Analysis::Codes::unusedLabel ||
            diagnostic.code == Analysis::Codes::unusedDefinition ||
            diagnostic.code == Analysis::Codes::addressTruncated) {
            continue;
        }
        out << "line " << diagnostic.position.line << ": "
            << Analysis::severityName(diagnostic.severity) << ": " << diagnostic.message << " ["
            << diagnostic.code << "]\n";
        any = true;
    }
    if (!any) {
        out << "none\n";
    }
}

namespace {

void writeImageListing(std::ostream& out, const std::vector<Word>& words) {
    writeWordHeader(out);
    out << gap << "instruction\n";
    for (std::size_t address = 0; address < words.size(); ++address) {
        writeWordColumns(out, address, words[address]);
        out << gap << mnemonic(words[address]) << '\n';
    }
}

}  // namespace

void writeListing(std::ostream& out, const Program& program) {
    if (program.hasSource()) {
        writeSourceListing(out, program);
    } else {
        writeImageListing(out, program.words());
    }
}

}  // namespace Vorn::Listing
