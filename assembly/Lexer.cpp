#include "assembly/Lexer.h"

#include <cstdint>
#include <istream>
#include <limits>
#include <streambuf>
#include <string>

namespace Vorn::Assembly {

namespace {

using Traits = std::char_traits<char>;
constexpr int endOfInput = Traits::eof();

constexpr bool isBlank(int c) {
    return c == ' ' || c == '\t' || c == '\v';
}
constexpr bool isDigit(int c) {
    return c >= '0' && c <= '9';
}
constexpr bool isLetter(int c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
constexpr bool startsIdentifier(int c) {
    return isLetter(c) || c == '_';
}
constexpr bool continuesIdentifier(int c) {
    return startsIdentifier(c) || isDigit(c);
}

// The stream buffer is read directly, a character at a time: peeking at the
// next character is the same as reading it and putting it back.
class Reader {
  public:
    explicit Reader(std::istream& in) : in_(in), buffer_(*in.rdbuf()) {}

    int next() { return buffer_.sbumpc(); }
    int peek() { return buffer_.sgetc(); }

    // A read that found the end of the input fails the stream.
    void failAtEnd() { in_.setstate(std::ios::eofbit | std::ios::failbit); }
    void markEnd() { in_.setstate(std::ios::eofbit); }
    void fail() { in_.setstate(std::ios::failbit); }

  private:
    std::istream& in_;
    std::streambuf& buffer_;
};

void readComment(Reader& reader) {
    for (int c = reader.peek(); c != '\n'; c = reader.peek()) {
        if (c == endOfInput) {
            reader.failAtEnd();
            return;
        }
        reader.next();
    }
}

// Leading zeros change nothing; a value past 2147483647 fails the stream and
// leaves the largest value, as the formatted integer read does.
void readNumber(Reader& reader, int first, Token& token) {
    constexpr std::int64_t largest = std::numeric_limits<std::int32_t>::max();
    std::int64_t value = first - '0';
    bool tooLarge = false;
    int c = reader.peek();
    for (; isDigit(c); c = reader.peek()) {
        reader.next();
        value = value * 10 + (c - '0');
        if (value > largest) {
            tooLarge = true;
            value = largest;
        }
    }
    if (c == endOfInput) {
        reader.markEnd();
    }
    if (tooLarge) {
        reader.fail();
    }
    token.setNumber(static_cast<std::int32_t>(value));
}

void readIdentifier(Reader& reader, int first, Token& token) {
    std::string& text = token.beginIdentifier();
    text.push_back(static_cast<char>(first));
    int c = reader.peek();
    for (; continuesIdentifier(c); c = reader.peek()) {
        text.push_back(static_cast<char>(c));
        reader.next();
    }
    if (c == endOfInput) {
        reader.failAtEnd();
    }
}

}  // namespace

std::istream& operator>>(std::istream& in, Token& token) {
    if (in.fail() || in.rdbuf() == nullptr) {
        in.setstate(std::ios::failbit);
        token.setEndOfFile();
        return in;
    }
    Reader reader(in);
    int c = reader.next();
    while (isBlank(c)) {
        c = reader.next();
    }
    if (c == endOfInput) {
        reader.failAtEnd();
        token.setEndOfFile();
        return in;
    }
    switch (c) {
        case '\n':
            token.setEndOfLine();
            break;
        case '\r':
            // CR LF is one line end; a lone CR begins no token.
            if (reader.peek() == '\n') {
                reader.next();
                token.setEndOfLine();
            } else {
                token.setNone();
            }
            break;
        case ';':
            readComment(reader);
            token.setComment();
            break;
        case ':':
            token.setLabel();
            break;
        case '*':
            token.setRepetition();
            break;
        case '=':
            token.setDefinition();
            break;
        default:
            if (isDigit(c)) {
                readNumber(reader, c, token);
            } else if (startsIdentifier(c)) {
                readIdentifier(reader, c, token);
            } else {
                token.setNone();
            }
            break;
    }
    return in;
}

}  // namespace Vorn::Assembly
