#include "assembly/Lexer.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <istream>
#include <limits>
#include <streambuf>
#include <string>
#include <typeinfo>

#include "assembly/SourceBuffer.h"

namespace Vorn::Assembly {

namespace {

using Detail::Place;

using Traits = std::char_traits<char>;
constexpr int endOfInput = Traits::eof();

// Character classes of 7-bit ASCII, looked up by the value a read gives
// (0 to 255, or endOfInput); every other byte is in no class.
enum CharClass : std::uint8_t {
    blank = 1,
    digit = 2,
    identifierStart = 4,
    identifierPart = 8,
};

constexpr std::array<std::uint8_t, 257> charClasses = [] {
    std::array<std::uint8_t, 257> classes{};
    auto set = [&](int c, std::uint8_t flags) {
        classes[static_cast<std::size_t>(c + 1)] |= flags;
    };
    for (const int c : {' ', '\t', '\v'}) {
        set(c, blank);
    }
    for (int c = '0'; c <= '9'; ++c) {
        set(c, digit | identifierPart);
    }
    for (int c = 'A'; c <= 'Z'; ++c) {
        set(c, identifierStart | identifierPart);
        set(c - 'A' + 'a', identifierStart | identifierPart);
    }
    set('_', identifierStart | identifierPart);
    return classes;
}();
static_assert(endOfInput == -1, "the class table starts at endOfInput");

constexpr bool isIn(int c, CharClass charClass) {
    return (charClasses[static_cast<std::size_t>(c + 1)] & charClass) != 0;
}

// The index of the first byte (in memory order) of a 64-bit word that has a
// bit set in `marks`, which is not 0.
std::size_t firstMarked(std::uint64_t marks) {
    const int bits = std::endian::native == std::endian::little ? std::countr_zero(marks)
                                                                : std::countl_zero(marks);
    return static_cast<std::size_t>(bits / 8);
}

// A position clamped to what a token's place holds.
std::int32_t placeValue(std::int64_t value) {
    constexpr std::int64_t largest = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(value < largest ? value : largest);
}

// Two ways to read the characters of a token; the token rules below are one
// template over both. A token's end is found by reading one character past it
// and putting that one back, which every stream buffer allows right after a read.
//
// Any stream buffer, one call per character; the stream's state changes at once.
class StreamReader {
  public:
    StreamReader(std::istream& in, Place& place) : in_(in), buffer_(*in.rdbuf()), place_(place) {}

    int next() {
        const int c = buffer_.sbumpc();
        if (c != endOfInput) {
            ++place_.offset;
        }
        return c;
    }
    // A read that found the end has nothing to put back.
    void putBack(int c) {
        if (c != endOfInput) {
            buffer_.sungetc();
            --place_.offset;
        }
    }
    std::int64_t offset() const { return place_.offset; }
    Place& place() { return place_; }
    void markEnd() { in_.setstate(std::ios::eofbit); }
    void fail() { in_.setstate(std::ios::failbit); }

    void skipSpaces() {}

    // Reads up to the line feed and leaves it; false when the input ended first.
    bool skipToLineFeed() {
        int c = next();
        while (c != '\n' && c != endOfInput) {
            c = next();
        }
        putBack(c);
        return c != endOfInput;
    }

    // Reads the rest of an identifier that begins with `first` into the
    // token; false when the input ended in it. The characters gather in a
    // local chunk, which the compiler keeps apart from the buffer's pointers.
    bool readIdentifier(int first, Token& token) {
        std::string& text = token.beginIdentifier();
        std::array<char, 64> chunk;
        chunk[0] = static_cast<char>(first);
        std::size_t used = 1;
        int c = next();
        for (; isIn(c, identifierPart); c = next()) {
            if (used == chunk.size()) {
                text.append(chunk.data(), used);
                used = 0;
            }
            chunk[used++] = static_cast<char>(c);
        }
        text.append(chunk.data(), used);
        putBack(c);
        return c != endOfInput;
    }

  private:
    std::istream& in_;
    std::streambuf& buffer_;
    Place& place_;
};

// The whole source in memory, scanned in place; the state is kept here until
// the caller hands it to the stream.
class MemoryReader {
  public:
    MemoryReader(const char* origin, const char* current, const char* end, Place& place)
        : origin_(origin), current_(current), end_(end), place_(place) {}

    std::int64_t offset() const { return current_ - origin_; }
    Place& place() { return place_; }

    int next() { return current_ < end_ ? static_cast<unsigned char>(*current_++) : endOfInput; }
    void putBack(int c) {
        if (c != endOfInput) {
            --current_;
        }
    }
    void markEnd() { ended_ = true; }
    void fail() { failed_ = true; }

    // After a blank: skips spaces eight at a time, as indentation has them;
    // the token rules skip the rest of the blanks one by one.
    void skipSpaces() {
        constexpr std::uint64_t spaces = 0x2020202020202020;
        while (end_ - current_ >= 8) {
            std::uint64_t eight;
            std::memcpy(&eight, current_, sizeof eight);
            if (const std::uint64_t different = eight ^ spaces; different != 0) {
                current_ += firstMarked(different);
                return;
            }
            current_ += 8;
        }
    }

    bool skipToLineFeed() {
        const void* lineFeed =
            std::memchr(current_, '\n', static_cast<std::size_t>(end_ - current_));
        current_ = lineFeed == nullptr ? end_ : static_cast<const char*>(lineFeed);
        return lineFeed != nullptr;
    }

    // The token borrows the characters from the source text.
    bool readIdentifier(int, Token& token) {
        const char* begin = current_ - 1;
        while (current_ < end_ && isIn(static_cast<unsigned char>(*current_), identifierPart)) {
            ++current_;
        }
        token.setIdentifierInPlace({begin, static_cast<std::size_t>(current_ - begin)});
        return current_ < end_;
    }

    const char* position() const { return current_; }
    bool ended() const { return ended_; }
    bool failed() const { return failed_; }

  private:
    const char* origin_;
    const char* current_;
    const char* end_;
    Place& place_;
    bool ended_ = false;
    bool failed_ = false;
};

// What a read that found the end of the input does to the stream's state.
template <typename Reader>
void failAtEnd(Reader& reader) {
    reader.markEnd();
    reader.fail();
}

// Leading zeros change nothing; a value past 2147483647 fails the stream and
// leaves the largest value, as the formatted integer read does.
template <typename Reader>
void readNumber(Reader& reader, int first, Token& token) {
    constexpr std::int64_t largest = std::numeric_limits<std::int32_t>::max();
    std::int64_t value = first - '0';
    bool tooLarge = false;
    int c = reader.next();
    for (; isIn(c, digit); c = reader.next()) {
        value = value * 10 + (c - '0');
        if (value > largest) {
            tooLarge = true;
            value = largest;
        }
    }
    if (c == endOfInput) {
        reader.markEnd();
    }
    reader.putBack(c);
    if (tooLarge) {
        reader.fail();
    }
    token.setNumber(static_cast<std::int32_t>(value));
}

template <typename Reader>
void readToken(Reader& reader, Token& token) {
    int c = reader.next();
    while (isIn(c, blank)) {
        reader.skipSpaces();
        c = reader.next();
    }
    const std::int64_t start = reader.offset() - (c == endOfInput ? 0 : 1);
    bool lineEnded = false;
    switch (c) {
        case endOfInput:
            failAtEnd(reader);
            token.setEndOfFile();
            break;
        case '\n':
            token.setEndOfLine();
            lineEnded = true;
            break;
        case '\r':
            // CR LF is one line end; a lone CR begins no token.
            if (const int after = reader.next(); after == '\n') {
                token.setEndOfLine();
                lineEnded = true;
            } else {
                reader.putBack(after);
                token.setNone();
            }
            break;
        case ';':
            // The comment's characters are stored nowhere.
            if (!reader.skipToLineFeed()) {
                failAtEnd(reader);
            }
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
            if (isIn(c, digit)) {
                readNumber(reader, c, token);
            } else if (isIn(c, identifierStart)) {
                if (!reader.readIdentifier(c, token)) {
                    failAtEnd(reader);
                }
            } else {
                token.setNone();
            }
            break;
    }
    Place& place = reader.place();
    const std::int64_t end = reader.offset();
    token.setPlace(placeValue(start - place.lineStart), placeValue(end - start));
    if (lineEnded) {
        place.lineStart = end;
    }
}

}  // namespace

std::istream& operator>>(std::istream& in, Token& token) {
    if (in.fail() || in.rdbuf() == nullptr) {
        in.setstate(std::ios::failbit);
        token.setEndOfFile();
        return in;
    }
    // One token alone: its column counts from where this read began.
    Place place;
    StreamReader reader(in, place);
    readToken(reader, token);
    return in;
}

TokenStream::TokenStream(std::istream& in) : in_(in) {
    std::streambuf* buffer = in.rdbuf();
    // A stream that throws on a state change keeps the per-token path, so
    // that the state is never set late, in the destructor.
    if (buffer == nullptr || in.fail() || in.exceptions() != std::ios::goodbit ||
        typeid(*buffer) != typeid(SourceBuffer)) {
        return;
    }
    source_ = static_cast<SourceBuffer*>(buffer);
    const std::string_view unread = source_->unread();
    start_ = unread.data();
    current_ = start_;
    end_ = start_ + unread.size();
}

TokenStream::~TokenStream() {
    if (source_ == nullptr) {
        return;
    }
    source_->consume(static_cast<std::size_t>(current_ - start_));
    if (ended_) {
        in_.setstate(std::ios::eofbit);
    }
    if (failed_) {
        in_.setstate(std::ios::failbit);
    }
}

void TokenStream::read(Token& token) {
    if (source_ == nullptr) {
        if (in_.fail() || in_.rdbuf() == nullptr) {
            in_.setstate(std::ios::failbit);
            token.setEndOfFile();
            token.setPlace(placeValue(place_.offset - place_.lineStart), 0);
            return;
        }
        StreamReader reader(in_, place_);
        readToken(reader, token);
        return;
    }
    if (failed_) {
        token.setEndOfFile();
        token.setPlace(placeValue(place_.offset - place_.lineStart), 0);
        return;
    }
    MemoryReader reader(start_, current_, end_, place_);
    readToken(reader, token);
    current_ = reader.position();
    place_.offset = reader.offset();
    ended_ = ended_ || reader.ended();
    failed_ = reader.failed();
}

bool TokenStream::failed() const {
    return source_ == nullptr ? in_.fail() : failed_;
}

}  // namespace Vorn::Assembly
