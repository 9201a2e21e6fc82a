// Resolves each filled cell and writes the image: one signed decimal per
// line, in address order. The lines gather in a small buffer that goes out
// whenever it is nearly full, so writing takes no memory in proportion to the
// image; when a cell cannot be resolved, the lines before it are written
// before the error leaves.
#include <array>
#include <charconv>
#include <ostream>

#include "assembly/Assembler.h"
#include "assembly/ParseError.h"

namespace Vorn::Assembly {

namespace {

class LineWriter {
  public:
    explicit LineWriter(std::ostream& output) : output_(output) {}

    void write(std::int32_t number) {
        // The longest line: "-2147483648" and its line feed.
        constexpr std::ptrdiff_t longestLine = 12;
        if (buffer_.end() - end_ < longestLine) {
            flush();
        }
        end_ = std::to_chars(end_, buffer_.end(), number).ptr;
        *end_++ = '\n';
    }

    void flush() {
        output_.write(buffer_.data(), end_ - buffer_.data());
        output_.flush();
        end_ = buffer_.data();
    }

  private:
    std::ostream& output_;
    std::array<char, 1 << 15> buffer_;
    char* end_ = buffer_.data();
};

}  // namespace

void Assembler::writeImage() {
    LineWriter lines(output);
    try {
        for (std::uint32_t address = 0; address < count; ++address) {
            MemoryCell& cell = memory[address];
            cell.resolve(symbols);
            lines.write(cell.number());
        }
    } catch (const ParseError&) {
        lines.flush();
        throw;
    }
    lines.flush();
}

}  // namespace Vorn::Assembly
