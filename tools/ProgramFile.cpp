#include "tools/ProgramFile.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "assembly/Assembler.h"
#include "assembly/ParseError.h"
#include "machine/ImageFile.h"
#include "tools/ToolError.h"

namespace Vorn::Tools {

namespace {

std::string readWholeFile(const std::string& path, const std::string& what) {
    std::ifstream in = openForReading(path, what);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

template <typename Error>
std::string messageOf(const Error& error) {
    std::ostringstream message;
    message << error;
    return message.str();
}

std::vector<SourceSymbol> sortedSymbols(const Assembly::SymbolTable& table) {
    std::vector<SourceSymbol> symbols;
    table.forEach([&](const std::string& name, const Assembly::Value&) {
        SourceSymbol symbol{name, std::nullopt, {}};
        try {
            symbol.number = table.resolve(name);
        } catch (const Assembly::ParseError& error) {
            symbol.problem = messageOf(error);
        }
        symbols.push_back(std::move(symbol));
    });
    std::sort(symbols.begin(), symbols.end(),
              [](const SourceSymbol& a, const SourceSymbol& b) { return a.name < b.name; });
    return symbols;
}

}  // namespace

std::ifstream openForReading(const std::string& path, const std::string& what) {
    std::ifstream in(path, std::ios::binary);
    std::error_code ignored;
    if (!in || std::filesystem::is_directory(path, ignored)) {
        throw ToolError("cannot read " + what + " '" + path + "'.");
    }
    return in;
}

std::vector<Word> readImageFile(const std::string& path) {
    // Read from the file as it comes: reading stops at the first bad line.
    std::ifstream file = openForReading(path, "image file");
    try {
        return readImage(file);
    } catch (const ImageError& error) {
        std::string message = path + ", " + messageOf(error);
        if (endsWith(path, ".vorn")) {
            message += " (an assembly source needs --source)";
        }
        throw ToolError(message + ".");
    }
}

std::vector<Word> AssembledSource::words() const {
    std::vector<Word> result;
    result.reserve(cells.size());
    for (const SourceCell& cell : cells) {
        result.push_back(cell.word);
    }
    return result;
}

AssembledSource assembleSourceFile(const std::string& path) {
    AssembledSource result;
    const std::string text = readWholeFile(path, "source file");
    result.lines = splitLines(text);

    std::istringstream source(text);
    std::ostringstream image;
    Assembly::Assembler assembler(source, image);
    try {
        assembler.assemble();
    } catch (const Assembly::ParseError& error) {
        throw ToolError(messageOf(error) + ".");
    }
    for (std::uint32_t address = 0; address < assembler.cellCount(); ++address) {
        const Assembly::MemoryCell& cell = assembler.cell(address);
        result.cells.push_back({Word(cell.value.number()), cell.line, !cell.isData});
    }
    result.symbols = sortedSymbols(assembler.symbolTable());
    return result;
}

}  // namespace Vorn::Tools
