#include "machine/ImageFile.h"

#include <cstdint>
#include <ios>
#include <istream>
#include <optional>
#include <ostream>
#include <streambuf>

#include "machine/Machine.h"
#include "machine/Printable.h"

namespace Vorn {

namespace {

// An error shows this many bytes of its line, and "..." when there are more.
constexpr std::size_t shown = 40;

// Enough of a bad line to recognise it; bytes that would upset a terminal are escaped.
void printExcerpt(std::ostream& out, const std::string& text) {
    out << '\'';
    writePrintable(out, text, shown);
    out << (text.size() > shown ? "...'" : "'");
}

// The bytes of a line kept for its error: those shown, and one that says
// whether there are more.
constexpr std::size_t keptBytes = shown + 1;

using Traits = std::char_traits<char>;

// Reads one line as a signed 32-bit decimal, one byte at a time, and stops as
// soon as the line can no longer be a word (a byte that is no digit, or a
// value past 32 bits), once it has the bytes the error shows. So a line never
// costs more than a few bytes of memory, and an endless one (a device, say)
// ends the run at once unless it is digits forever.
class LineReader {
  public:
    LineReader(std::streambuf& in, std::size_t line) : in_(in), line_(line) {}

    Word read() {
        for (int c = in_.sbumpc(); !atLineEnd(c); c = in_.sbumpc()) {
            take(static_cast<char>(c));
            if (problem_ && text_.size() == keptBytes) {
                break;
            }
        }
        if (!problem_ && length_ == 0) {
            problem_ = ImageError::Problem::EmptyLine;
        } else if (!problem_ && digits_ == 0) {
            problem_ = ImageError::Problem::NotANumber;
        }
        if (problem_) {
            throw ImageError(*problem_, line_, text_);
        }
        return Word(static_cast<std::int32_t>(negative_ ? -value_ : value_));
    }

  private:
    // A line feed ends the line, and so does a carriage return before one or
    // before the end of the input; every other carriage return is a byte of it.
    bool atLineEnd(int c) {
        if (c == Traits::eof() || c == '\n') {
            return true;
        }
        if (c == '\r' && (in_.sgetc() == '\n' || in_.sgetc() == Traits::eof())) {
            in_.sbumpc();
            return true;
        }
        return false;
    }

    // The first fault decides: "12x9999999999" is not a number, "9999999999x"
    // does not fit.
    void take(char c) {
        if (text_.size() < keptBytes) {
            text_.push_back(c);
        }
        const bool first = length_++ == 0;
        if (problem_) {
            return;
        }
        if (first && c == '-') {
            negative_ = true;
            return;
        }
        if (c < '0' || c > '9') {
            problem_ = ImageError::Problem::NotANumber;
            return;
        }
        ++digits_;
        value_ = value_ * 10 + (c - '0');
        const std::int64_t largest = (std::int64_t{1} << 31) - (negative_ ? 0 : 1);
        if (value_ > largest) {
            problem_ = ImageError::Problem::OutOfRange;
        }
    }

    std::streambuf& in_;
    std::size_t line_;
    std::string text_;
    std::size_t length_ = 0;
    std::size_t digits_ = 0;
    bool negative_ = false;
    std::int64_t value_ = 0;
    std::optional<ImageError::Problem> problem_;
};

}  // namespace

std::ostream& operator<<(std::ostream& out, const ImageError& error) {
    out << "line " << error.line() << ": ";
    switch (error.problem()) {
        case ImageError::Problem::EmptyLine:
            return out << "empty line, expected a signed decimal number";
        case ImageError::Problem::NotANumber:
            printExcerpt(out, error.text());
            return out << " is not a signed decimal number";
        case ImageError::Problem::OutOfRange:
            printExcerpt(out, error.text());
            return out << " does not fit in 32 bits";
        case ImageError::Problem::TooManyLines:
            return out << "more than " << Machine::memorySize << " words, the size of memory";
        case ImageError::Problem::ReadFailed:
            return out << "the file could not be read (an input/output error)";
    }
    return out;
}

std::vector<Word> readImage(std::istream& in) {
    std::vector<Word> words;
    std::streambuf* const buffer = in.rdbuf();
    if (buffer == nullptr || !in) {
        return words;
    }
    std::size_t line = 1;
    try {
        for (; buffer->sgetc() != Traits::eof(); ++line) {
            if (line > Machine::memorySize) {
                throw ImageError(ImageError::Problem::TooManyLines, line, "");
            }
            words.push_back(LineReader(*buffer, line).read());
        }
    } catch (const std::ios_base::failure&) {
        // A file buffer reports a failed read by throwing.
        throw ImageError(ImageError::Problem::ReadFailed, line, "");
    }
    in.setstate(std::ios::eofbit);
    return words;
}

}  // namespace Vorn
