#include "tools/ProgramFile.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <streambuf>

#include "assembly/Program.h"
#include "machine/ImageFile.h"
#include "machine/Printable.h"
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

}  // namespace

std::ifstream openForReading(const std::string& path, const std::string& what) {
    std::ifstream in(path, std::ios::binary);
    std::error_code ignored;
    if (!in || std::filesystem::is_directory(path, ignored)) {
        throw ToolError("cannot read " + what + " '" + printable(path) + "'.");
    }
    return in;
}

std::vector<Word> readImageFile(const std::string& path) {
    // Read from the file as it comes: reading stops at the first bad line.
    std::ifstream file = openForReading(path, "image file");
    try {
        return readImage(file);
    } catch (const ImageError& error) {
        std::string message = printable(path) + ", " + messageOf(error);
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
    std::ifstream file = openForReading(path, "source file");
    std::string text;
    KeepingBuffer keeping(*file.rdbuf(), text);
    std::istream source(&keeping);
    Assembly::Program program;
    try {
        program = Assembly::assembleProgram(source);
    } catch (const std::ios_base::failure&) {
        source.setstate(std::ios::badbit);
    }
    if (source.bad()) {
        throw ToolError("cannot read source file '" + printable(path) + "'.");
    }
    if (program.error) {
        throw ToolError(program.error->message + ".");
    }
    // Assembled to the end: the whole file has been read and kept.
    AssembledSource result;
    result.lines = splitLines(text);
    for (const Assembly::ProgramCell& cell : program.cells) {
        result.cells.push_back({cell.word, cell.line, cell.isInstruction});
    }
    for (const Assembly::ProgramSymbol& symbol : program.symbols) {
        result.symbols.push_back({symbol.name, symbol.number, symbol.problem});
    }
    result.program = std::move(program);
    return result;
}

}  // namespace Vorn::Tools
