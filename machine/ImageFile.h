// Reads a memory image in the text form vornasm writes: one signed 32-bit
// decimal per line, lines ended by LF or CR LF (the last one may lack it), at
// most one line per memory word.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

#include "machine/Word.h"

namespace Vorn {

// A line that is not a memory word. Prints as "line N: what is wrong".
class ImageError {
  public:
    enum class Problem : std::uint8_t {
        EmptyLine,
        NotANumber,
        OutOfRange,
        TooManyLines,
        ReadFailed,  // the file could not be read
    };

    ImageError(Problem problem, std::size_t line, std::string text)
        : problem_(problem), line_(line), text_(std::move(text)) {}

    Problem problem() const { return problem_; }
    std::size_t line() const { return line_; }
    // The line as read, without its line end; of a long line only its start
    // (what the message shows and one byte more).
    const std::string& text() const { return text_; }

  private:
    Problem problem_;
    std::size_t line_;
    std::string text_;
};

std::ostream& operator<<(std::ostream& out, const ImageError& error);

// The words of the image, for addresses 0 upwards; throws ImageError for the
// first line that is not one. Reading stops at that line, and at the 65537th:
// an endless input (a device) costs neither unbounded memory nor time.
std::vector<Word> readImage(std::istream& in);

}  // namespace Vorn
