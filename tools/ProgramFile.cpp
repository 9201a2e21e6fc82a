#include "tools/ProgramFile.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <streambuf>

#include "assembly/Assembler.h"
#include "assembly/ParseError.h"
#include "machine/ImageFile.h"
#include "tools/ToolError.h"

namespace Vorn::Tools {

namespace {

// Hands a file to the assembler in blocks and keeps the text it has read, for
// the listing of the source lines. The assembler stops at its first error,
// so a file that never ends (a device) is not read, nor kept, to its end.
class KeepingBuffer : public std::streambuf {
  public:
    KeepingBuffer(std::streambuf& file, std::string& kept) : file_(file), kept_(kept) {}

  protected:
    int_type underflow() override {
        const std::streamsize count = file_.sgetn(block_, sizeof block_);
        if (count <= 0) {
            return traits_type::eof();
        }
        kept_.append(block_, static_cast<std::size_t>(count));
        setg(block_, block_, block_ + count);
        return traits_type::to_int_type(block_[0]);
    }

  private:
    std::streambuf& file_;
    std::string& kept_;
    char block_[4096];
};

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
    table.forEach([&](std::string_view name, const Assembly::Value&) {
        SourceSymbol symbol{std::string(name), std::nullopt, {}};
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
    std::ifstream file = openForReading(path, "source file");
    std::string text;
    KeepingBuffer keeping(*file.rdbuf(), text);
    std::istream source(&keeping);
    std::ostringstream image;
    Assembly::Assembler assembler(source, image);
    try {
        assembler.assemble();
    } catch (const Assembly::ParseError& error) {
        throw ToolError(messageOf(error) + ".");
    }
    // Assembled to the end: the whole file has been read and kept.
    result.lines = splitLines(text);
    for (std::uint32_t address = 0; address < assembler.cellCount(); ++address) {
        const Assembly::MemoryCell& cell = assembler.cell(address);
        result.cells.push_back({cell.word(), cell.line, !cell.isData});
    }
    result.symbols = sortedSymbols(assembler.symbolTable());
    return result;
}

}  // namespace Vorn::Tools
