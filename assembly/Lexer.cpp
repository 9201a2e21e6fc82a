#include "assembly/Lexer.h"
#include "text/Identifier.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <istream>
#include <limits>
#include <streambuf>
#include <string>

namespace Vorn::Assembly {

namespace {

using Detail::Span;

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
    for (int c = 0; c < 256; ++c) {
        const auto character = static_cast<char>(c);
        if (Text::isDecimalDigit(character)) {
            set(c, digit);
        }
        if (Text::isIdentifierStart(character)) {
            set(c, identifierStart);
        }
        if (Text::isIdentifierPart(character)) {
            set(c, identifierPart);
        }
    }
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

// The lexer reads a stream buffer's characters where they are, in its get
// area, and asks the buffer for more (its underflow) only when they run out:
// a source held whole in memory (SourceBuffer) is one get area, a file or a
// pipe is read a buffer at a time, and a buffer without a get area (one that
// hands out a character per call) gives a window of one character. Whatever
// the window, a read takes the characters of one token and leaves the one
// after it in the buffer, as a read of one character at a time would.
//
// The get area's pointers are protected members of std::streambuf; pointers
// to them, taken in a class derived from it, reach them in any stream buffer.
struct GetArea : std::streambuf {
    static const char* next(std::streambuf& buffer) { return (buffer.*&GetArea::gptr)(); }
    static const char* end(std::streambuf& buffer) { return (buffer.*&GetArea::egptr)(); }
    // Marks `count` characters of the get area read.
    static void advance(std::streambuf& buffer, std::ptrdiff_t count) {
        constexpr std::ptrdiff_t largestStep = std::numeric_limits<int>::max();
        const auto bump = &GetArea::gbump;
        if (count > largestStep) [[unlikely]] {
            // Only a source in memory of over 2 GB has such a get area.
            for (; count > largestStep; count -= largestStep) {
                (buffer.*bump)(static_cast<int>(largestStep));
            }
        }
        (buffer.*bump)(static_cast<int>(count));
    }
};

std::uint64_t address(const char* at) {
    return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(at));
}

// The offset, from the address and a span's origin.
std::int64_t offsetAt(std::uint64_t address, std::uint64_t origin) {
    return static_cast<std::int64_t>(address + origin);
}

// The offset in the input of the character at `at`, which is in the span.
std::int64_t offsetOf(const Span& span, const char* at) {
    return offsetAt(address(at), span.origin);
}

// The origin that puts the character at `at` at `offset`.
std::uint64_t originFor(const char* at, std::int64_t offset) {
    return static_cast<std::uint64_t>(offset) - address(at);
}

// The get area, whose first character is at `offset` in the input.
Span viewOf(std::streambuf& buffer, std::int64_t offset) {
    const char* next = GetArea::next(buffer);
    return {next, next, GetArea::end(buffer), true, originFor(next, offset)};
}

// Hands what the reads of the span took to the buffer.
void commit(std::streambuf& buffer, Span& span) {
    if (span.inGetArea) {
        GetArea::advance(buffer, span.current - span.start);
    }
    span.start = span.current;
}

// The window after the one in `span`, which the reads have used up; an empty
// one at the end of the input. Kept out of line and given the span by value,
// so that the window's pointers stay in registers while it scans.
[[gnu::noinline]] Span refilled(std::streambuf& buffer, char& one, Span span) {
    commit(buffer, span);
    if (buffer.sgetc() == endOfInput) {
        return span;
    }
    const std::int64_t offset = offsetOf(span, span.current);
    span = viewOf(buffer, offset);
    if (span.current == span.end) {
        one = Traits::to_char_type(buffer.sbumpc());
        span = {&one, &one, &one + 1, false, originFor(&one, offset)};
    }
    return span;
}

// Where the identifier characters from `begin` end, at `end` at the latest.
const char* identifierEnd(const char* begin, const char* end) {
    while (begin < end && isIn(static_cast<unsigned char>(*begin), identifierPart)) {
        ++begin;
    }
    return begin;
}

// An identifier that runs past the window: copies what the window holds from
// `begin` and appends the rest as the windows come; `ended` when the input
// ended in it. Out of line, as `refilled`, so that the common read of a name
// whole in its window keeps its registers and a small frame.
[[gnu::noinline]] Span identifierAcrossWindows(std::streambuf& buffer, char& one, Span span,
                                               const char* begin, Token& token, bool& ended) {
    std::string& text = token.beginIdentifier();
    text.append(begin, span.current);
    while (true) {
        span = refilled(buffer, one, span);
        if (span.current == span.end) {
            ended = true;
            return span;
        }
        begin = span.current;
        span.current = identifierEnd(begin, span.end);
        text.append(begin, span.current);
        if (span.current < span.end) {
            return span;
        }
    }
}

// A name whole in a window that it may not borrow, copied: out of line, as
// the copying of a name across windows.
[[gnu::noinline]] void copyIdentifier(Token& token, const char* begin, const char* end) {
    token.setIdentifier({begin, static_cast<std::size_t>(end - begin)});
}

// The reads of one token. The read position, the window's end and its origin
// are copied into it (kept in registers while it scans); the position goes
// back to the span at the end (`release`) and when the window is refilled,
// the only time the rest of the span changes.
class Window {
  public:
    // With `borrow`, an identifier that lies in one get area borrows its
    // characters from it (see Token::setIdentifierInPlace). `one` holds the
    // character taken from a buffer without a get area. `lineStart` is the
    // offset at which the current line began.
    Window(std::streambuf& buffer, char& one, Span& span, std::int64_t& lineStart, bool borrow)
        : buffer_(buffer),
          one_(one),
          span_(span),
          lineStart_(lineStart),
          current_(span.current),
          end_(span.end),
          origin_(span.origin),
          borrow_(borrow) {}
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    std::int64_t offset() const { return offsetAt(address(current_), origin_); }
    std::int64_t lineStart() const { return lineStart_; }
    void startLine(std::int64_t offset) { lineStart_ = offset; }

    int next() {
        if (current_ == end_ && !refill()) {
            return endOfInput;
        }
        return static_cast<unsigned char>(*current_++);
    }
    // The character a read just gave is still in the window; the end has
    // nothing to put back.
    void putBack(int c) {
        if (c != endOfInput) {
            --current_;
        }
    }
    void markEnd() { state_ |= std::ios::eofbit; }
    void fail() { state_ |= std::ios::failbit; }
    // What the reads found: the stream's end, a failure.
    std::ios::iostate state() const { return state_; }

    // After a blank: skips spaces eight at a time, as indentation has them;
    // the token rules skip the rest of the blanks one by one.
    void skipSpaces() {
        constexpr std::uint64_t spaces = 0x2020202020202020;
        const char* at = current_;
        while (end_ - at >= 8) {
            std::uint64_t eight;
            std::memcpy(&eight, at, sizeof eight);
            if (const std::uint64_t different = eight ^ spaces; different != 0) {
                at += firstMarked(different);
                break;
            }
            at += 8;
        }
        current_ = at;
    }

    // Reads up to the line feed and leaves it; false when the input ended first.
    bool skipToLineFeed() {
        do {
            const auto left = static_cast<std::size_t>(end_ - current_);
            if (const void* lineFeed = std::memchr(current_, '\n', left); lineFeed != nullptr) {
                current_ = static_cast<const char*>(lineFeed);
                return true;
            }
            current_ = end_;
        } while (refill());
        return false;
    }

    // Reads the rest of the identifier whose first character the last read
    // gave; false when the input ended in it. A name that runs past the
    // window is copied, the rest appended as the windows come.
    bool readIdentifier(Token& token) {
        const char* begin = current_ - 1;
        current_ = identifierEnd(current_, end_);
        if (current_ < end_) {
            if (borrow_ && span_.inGetArea) {
                token.setIdentifierInPlace({begin, static_cast<std::size_t>(current_ - begin)});
            } else {
                copyIdentifier(token, begin, current_);
            }
            return true;
        }
        bool ended = false;
        span_.current = current_;
        span_ = identifierAcrossWindows(buffer_, one_, span_, begin, token, ended);
        current_ = span_.current;
        end_ = span_.end;
        origin_ = span_.origin;
        return !ended;
    }

    // Hands the read position back to the span.
    void release() { span_.current = current_; }

  private:
    // Called when the window is used up; false at the end of the input.
    bool refill() {
        span_.current = current_;
        span_ = refilled(buffer_, one_, span_);
        current_ = span_.current;
        end_ = span_.end;
        origin_ = span_.origin;
        return current_ < end_;
    }

    std::streambuf& buffer_;
    char& one_;
    Span& span_;
    std::int64_t& lineStart_;
    const char* current_;
    const char* end_;
    std::uint64_t origin_;
    bool borrow_;
    std::ios::iostate state_ = std::ios::goodbit;
};

// What a read that found the end of the input does to the stream's state.
void failAtEnd(Window& reader) {
    reader.markEnd();
    reader.fail();
}

// Leading zeros change nothing; a value past 2147483647 fails the stream and
// leaves the largest value, as the formatted integer read does.
void readNumber(Window& reader, int first, Token& token) {
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

// Inlined into its one caller, so that the window stays in registers.
[[gnu::always_inline]] inline void readToken(Window& reader, Token& token) {
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
                if (!reader.readIdentifier(token)) {
                    failAtEnd(reader);
                }
            } else {
                token.setNone();
            }
            break;
    }
    const std::int64_t end = reader.offset();
    token.setPlace(reader.lineStart(), start, end);
    if (lineEnded) {
        reader.startLine(end);
    }
}

// Hands what the reads of the span took to the buffer; a character taken
// from a buffer without a get area but not read goes back to it.
void finish(std::streambuf& buffer, Span& span) {
    commit(buffer, span);
    if (!span.inGetArea && span.current < span.end) {
        buffer.sungetc();
        span.current = span.end;
    }
}

// The token of a failed stream, and of one without a buffer, which is bad.
// It is where the reads of `span` have got to.
void readFromFailed(std::ios& in, std::int64_t lineStart, const Span& span, Token& token) {
    in.setstate(std::ios::failbit);
    token.setEndOfFile();
    const std::int64_t offset = offsetOf(span, span.current);
    token.setPlace(lineStart, offset, offset);
}

}  // namespace

std::istream& operator>>(std::istream& in, Token& token) {
    // One token alone: its column counts from where this read began, and it
    // owns its text, since nothing says how long the buffer keeps it.
    if (in.fail()) {
        readFromFailed(in, 0, Span{}, token);
        return in;
    }
    std::streambuf& buffer = *in.rdbuf();
    char one = 0;
    Span span = viewOf(buffer, 0);
    std::int64_t lineStart = 0;
    Window window(buffer, one, span, lineStart, false);
    readToken(window, token);
    window.release();
    finish(buffer, span);
    if (window.state() != std::ios::goodbit) {
        in.setstate(window.state());
    }
    return in;
}

TokenStream::TokenStream(std::istream& in) : in_(in), buffer_(in.rdbuf()) {
    if (buffer_ != nullptr) {
        span_ = viewOf(*buffer_, 0);
    }
}

TokenStream::~TokenStream() {
    if (buffer_ != nullptr) {
        finish(*buffer_, span_);
    }
}

void TokenStream::read(Token& token) {
    if (in_.fail() || buffer_ == nullptr) {
        readFromFailed(in_, lineStart_, span_, token);
        return;
    }
    Window window(*buffer_, one_, span_, lineStart_, true);
    readToken(window, token);
    window.release();
    if (window.state() != std::ios::goodbit) {
        in_.setstate(window.state());
    }
}

bool TokenStream::failed() const {
    return in_.fail();
}

}  // namespace Vorn::Assembly
