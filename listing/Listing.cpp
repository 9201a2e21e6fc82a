#include "listing/Listing.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <iomanip>
#include <ostream>
#include <sstream>
#include <string>

#include "machine/Trace.h"
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

void writeSourceListing(std::ostream& out, const Program& program) {
    std::vector<std::string> instructions;
    std::size_t width = instructionWidth;
    for (const Assembly::ProgramCell& cell : program.cells()) {
        instructions.push_back(cell.isInstruction ? mnemonic(cell.word, program.labels()) : "");
        width = std::max(width, std::min(instructions.back().size(), widestName));
    }
    const auto instructionColumn = static_cast<int>(width);
    writeWordHeader(out);
    out << gap << std::left << std::setw(instructionColumn) << "instruction" << std::right << gap
        << std::setw(lineWidth) << "line" << gap << "source\n";
    for (std::size_t address = 0; address < program.cells().size(); ++address) {
        const Assembly::ProgramCell& cell = program.cells()[address];
        writeWordColumns(out, address, cell.word);
        out << gap << std::left << std::setw(instructionColumn) << instructions[address]
            << std::right << gap << std::setw(lineWidth) << cell.line;
        if (static_cast<std::size_t>(cell.line - 1) < program.lines().size()) {
            out << gap << program.lineText(cell.line);
        }
        out << '\n';
    }
    writeSymbols(out, program.symbols());
}

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
