// Resolves each filled cell and writes the image: one signed decimal per
// line, in address order. The lines gather in a small buffer that goes out
// whenever it is nearly full, so writing takes no memory in proportion to the
// image; when a cell cannot be resolved, the lines before it are written
// before the error leaves.
#include <array>
#include <bit>
#include <ostream>

#include "assembly/Assembler.h"
#include "assembly/ParseError.h"

namespace Vorn::Assembly {

namespace {

// Two decimal digits at a time, from a table of the hundred pairs.
constexpr std::array<char, 200> digitPairs = [] {
    std::array<char, 200> pairs{};
    for (std::size_t i = 0; i < 100; ++i) {
        pairs[2 * i] = static_cast<char>('0' + i / 10);
        pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}();

constexpr std::array<std::uint32_t, 10> powersOfTen{
    1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};

// From the bit width: 1233 / 4096 is just above log10(2). Taken of n | 1,
// which has as many digits as n and counts 0 as one digit.
int digitCount(std::uint32_t n) {
    const std::uint32_t odd = n | 1;
    const int guess = (std::bit_width(odd) * 1233) >> 12;
    return guess + (odd >= powersOfTen[static_cast<std::size_t>(guess)] ? 1 : 0);
}

class LineWriter {
  public:
    explicit LineWriter(std::ostream& output) : output_(output) {}

    // The number in the stream's default form: "-" for a negative number,
    // then the digits without leading zeros; then a line feed.
    void write(std::int32_t number) {
        // The longest line: "-2147483648" and its line feed.
        constexpr std::ptrdiff_t longestLine = 12;
        if (buffer_.end() - end_ < longestLine) {
            flush();
        }
        std::uint32_t magnitude = static_cast<std::uint32_t>(number);
        if (number < 0) {
            *end_++ = '-';
            magnitude = 0 - magnitude;
        }
        // The digits go in from the last one, two at a time.
        char* last = end_ + digitCount(magnitude);
        end_ = last;
        while (magnitude >= 100) {
            const std::size_t pair = 2 * (magnitude % 100);
            magnitude /= 100;
            *--last = digitPairs[pair + 1];
            *--last = digitPairs[pair];
        }
        if (magnitude >= 10) {
            *--last = digitPairs[2 * magnitude + 1];
            *--last = digitPairs[2 * magnitude];
        } else {
            *--last = static_cast<char>('0' + magnitude);
        }
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
