// Resolves each filled cell and writes the image: one signed decimal per
// line, in address order. The lines go through one buffer; when a cell cannot
// be resolved, the lines before it are written before the error leaves.
#include <charconv>
#include <ostream>
#include <string>

#include "assembly/Assembler.h"
#include "assembly/ParseError.h"

namespace Vorn::Assembly {

namespace {

void appendLine(std::string& text, std::int32_t number) {
    char digits[16];
    const auto result = std::to_chars(digits, digits + sizeof digits, number);
    text.append(digits, result.ptr);
    text.push_back('\n');
}

void writeAndFlush(std::ostream& output, const std::string& text) {
    output.write(text.data(), static_cast<std::streamsize>(text.size()));
    output.flush();
}

}  // namespace

void Assembler::writeImage() {
    std::string text;
    text.reserve(static_cast<std::size_t>(count) * 12);
    try {
        for (std::uint32_t address = 0; address < count; ++address) {
            MemoryCell& cell = memory[address];
            cell.resolve(symbols);
            appendLine(text, cell.number());
        }
    } catch (const ParseError&) {
        writeAndFlush(output, text);
        throw;
    }
    writeAndFlush(output, text);
}

}  // namespace Vorn::Assembly
