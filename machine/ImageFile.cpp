#include "machine/ImageFile.h"

#include <charconv>
#include <istream>
#include <ostream>

#include "machine/Machine.h"

namespace Vorn {

namespace {

// Enough of a bad line to recognise it; bytes that would upset a terminal are escaped.
void printExcerpt(std::ostream& out, const std::string& text) {
    constexpr std::size_t shown = 40;
    constexpr char hexDigits[] = "0123456789ABCDEF";
    out << '\'';
    for (std::size_t i = 0; i < text.size() && i < shown; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte < 0x7F) {
            out << text[i];
        } else {
            out << "\\x" << hexDigits[byte >> 4] << hexDigits[byte & 0xF];
        }
    }
    out << (text.size() > shown ? "...'" : "'");
}

Word parseLine(const std::string& text, std::size_t line) {
    if (text.empty()) {
        throw ImageError(ImageError::Problem::EmptyLine, line, text);
    }
    std::int32_t number = 0;
    const char* const end = text.data() + text.size();
    // from_chars takes an optional '-' and decimal digits, nothing else: no
    // '+', no spaces.
    const auto [stop, error] = std::from_chars(text.data(), end, number);
    if (error == std::errc::result_out_of_range) {
        throw ImageError(ImageError::Problem::OutOfRange, line, text);
    }
    if (error != std::errc{} || stop != end) {
        throw ImageError(ImageError::Problem::NotANumber, line, text);
    }
    return Word(number);
}

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
    }
    return out;
}

std::vector<Word> readImage(std::istream& in) {
    std::vector<Word> words;
    std::string text;
    std::size_t line = 0;
    while (std::getline(in, text)) {
        ++line;
        if (line > Machine::memorySize) {
            throw ImageError(ImageError::Problem::TooManyLines, line, text);
        }
        if (!text.empty() && text.back() == '\r') {
            text.pop_back();
        }
        words.push_back(parseLine(text, line));
    }
    return words;
}

}  // namespace Vorn
