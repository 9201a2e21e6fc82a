#include "assembly/Lexer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <sstream>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

#include "assembly/ParseError.h"
#include "assembly/SourceBuffer.h"

namespace Vorn::Assembly {
namespace {

std::string printed(const Token& token) {
    std::ostringstream out;
    out << token;
    return out.str();
}

// A stream buffer that hands out its text a few characters at a time, as a
// pipe does; with a size of 0 it has no get area and gives one character per
// call.
class Trickle : public std::streambuf {
  public:
    Trickle(std::string text, std::size_t size) : text_(std::move(text)), size_(size) {}

  protected:
    int_type underflow() override {
        if (at_ >= text_.size()) {
            return traits_type::eof();
        }
        if (size_ > 0) {
            const std::size_t count = std::min(size_, text_.size() - at_);
            char* begin = text_.data() + at_;
            setg(begin, begin, begin + count);
            at_ += count;
            return traits_type::to_int_type(*begin);
        }
        return traits_type::to_int_type(text_[at_]);
    }
    int_type uflow() override {
        if (size_ > 0) {
            return std::streambuf::uflow();
        }
        return at_ < text_.size() ? traits_type::to_int_type(text_[at_++]) : traits_type::eof();
    }
    int_type pbackfail(int_type c) override {
        if (size_ > 0 || at_ == 0) {
            return traits_type::eof();
        }
        --at_;
        return c;
    }

  private:
    std::string text_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// The ways to read tokens: extraction from a stream, and a TokenStream over
// buffers of every shape: the whole text in memory, a string stream, get
// areas of one to three characters, and a buffer without a get area. All must
// give the same tokens and fail alike.
enum class Way {
    Extraction,
    InMemory,
    StringStream,
    OneAtATime,
    ThreeAtATime,
    NoGetArea,
    ExtractionWithoutGetArea
};
constexpr Way ways[] = {Way::Extraction,   Way::StringStream, Way::OneAtATime,
                        Way::ThreeAtATime, Way::NoGetArea,    Way::ExtractionWithoutGetArea};

std::unique_ptr<std::streambuf> bufferFor(const std::string& source, Way way) {
    switch (way) {
        case Way::InMemory:
            return std::make_unique<SourceBuffer>(source);
        case Way::OneAtATime:
            return std::make_unique<Trickle>(source, 1);
        case Way::ThreeAtATime:
            return std::make_unique<Trickle>(source, 3);
        case Way::NoGetArea:
        case Way::ExtractionWithoutGetArea:
            return std::make_unique<Trickle>(source, 0);
        default:
            return std::make_unique<std::stringbuf>(source);
    }
}

bool isExtraction(Way way) {
    return way == Way::Extraction || way == Way::ExtractionWithoutGetArea;
}

// Every token in printed form, with its place, each followed by "!" when the stream has
// failed after it, up to and including the first end-of-file.
std::vector<std::string> lexed(const std::string& source, Way way) {
    const std::unique_ptr<std::streambuf> buffer = bufferFor(source, way);
    std::istream in(buffer.get());
    const bool extraction = isExtraction(way);
    std::vector<std::string> result;
    Token token;
    TokenStream tokens(in);
    do {
        bool failed = false;
        if (extraction) {
            in >> token;
            failed = in.fail();
        } else {
            tokens.read(token);
            failed = tokens.failed();
        }
        result.push_back(printed(token) + "@" + std::to_string(token.column()) + "+" +
                         std::to_string(token.length()) + (failed ? "!" : ""));
    } while (token.getKind() != TokenKind::EndOfFile && result.size() < 1000);
    return result;
}

// The tokens without their places ("@column+length"), which an extraction
// counts from where it began and a TokenStream from the start of the line.
std::vector<std::string> withoutPlaces(std::vector<std::string> tokens) {
    for (std::string& token : tokens) {
        const std::size_t at = token.rfind('@');
        const std::size_t marks = token.find('!', at);
        token.erase(at, (marks == std::string::npos ? token.size() : marks) - at);
    }
    return tokens;
}

// The tokens in printed form, without places and failure marks, after
// checking that every way agrees.
std::vector<std::string> tokensOf(const std::string& source) {
    const std::vector<std::string> expected = lexed(source, Way::InMemory);
    for (const Way way : ways) {
        if (isExtraction(way)) {
            EXPECT_EQ(withoutPlaces(lexed(source, way)), withoutPlaces(expected))
                << "source: '" << source << "', way " << static_cast<int>(way);
        } else {
            EXPECT_EQ(lexed(source, way), expected)
                << "source: '" << source << "', way " << static_cast<int>(way);
        }
    }
    std::vector<std::string> result;
    for (std::string token : withoutPlaces(expected)) {
        if (token.ends_with('!')) {
            token.pop_back();
        }
        result.push_back(token);
    }
    return result;
}

struct LexCase {
    std::string source;
    std::vector<std::string> tokens;
};

TEST(Lexer, ReadsTokens) {
    const std::string eof = "end-of-file";
    const std::string eol = "end-of-line";
    const LexCase cases[] = {
        {"", {eof}},
        {" \t\v ", {eof}},
        {" \t\v x", {"identifier('x')", eof}},
        {"\f", {"none", eof}},
        {"\r", {"none", eof}},
        {"\rx", {"none", "identifier('x')", eof}},
        {"-5", {"none", "number('5')", eof}},
        {"+,#(", {"none", "none", "none", "none", eof}},
        {"; any text", {"comment(;)", eof}},
        {"; text\nx", {"comment(;)", eol, "identifier('x')", eof}},
        {";\n", {"comment(;)", eol, eof}},
        {"; a \r\n", {"comment(;)", eol, eof}},
        {"abc_12 _x A a",
         {"identifier('abc_12')", "identifier('_x')", "identifier('A')", "identifier('a')", eof}},
        {"_", {"identifier('_')", eof}},
        {"007", {"number('7')", eof}},
        {"2147483647", {"number('2147483647')", eof}},
        {"12abc", {"number('12')", "identifier('abc')", eof}},
        {"0x10", {"number('0')", "identifier('x10')", eof}},
        {"x\r\n", {"identifier('x')", eol, eof}},
        {"x=5", {"identifier('x')", "definition(=)", "number('5')", eof}},
        {":*=", {"label(:)", "repetition(*)", "definition(=)", eof}},
        {"a\xC3\xA9z", {"identifier('a')", "none", "none", "identifier('z')", eof}},
        {std::string("a\0b", 3), {"identifier('a')", "none", "identifier('b')", eof}},
        {"\x7f\x80\xff", {"none", "none", "none", eof}},
        {"\n\n", {eol, eol, eof}},
    };
    for (const LexCase& c : cases) {
        EXPECT_EQ(tokensOf(c.source), c.tokens) << "source: '" << c.source << "'";
    }
}

TEST(Lexer, LeadingZerosDoNotCount) {
    const std::string digits = std::string(10000, '0') + "42";
    EXPECT_EQ(tokensOf(digits), (std::vector<std::string>{"number('42')", "end-of-file"}));
}

TEST(Lexer, IdentifiersHaveNoLengthLimit) {
    const std::string name(100000, 'q');
    std::istringstream in(name + " ");
    Token token;
    in >> token;
    EXPECT_EQ(token.getIdentifier(), name);
}

TEST(Lexer, KeepsYieldingEndOfFile) {
    std::istringstream in("7");
    Token token;
    in >> token;
    EXPECT_EQ(token.getNumber(), 7);
    EXPECT_FALSE(in.fail());  // the digits ran to the end: only end-of-file is set
    for (int i = 0; i < 3; ++i) {
        in >> token;
        EXPECT_EQ(token.getKind(), TokenKind::EndOfFile);
    }
}

TEST(Lexer, ANumberTooLargeFailsTheStreamInEveryWay) {
    EXPECT_EQ(withoutPlaces(lexed("2147483648 5", Way::Extraction)),
              (std::vector<std::string>{"number('2147483647')!", "end-of-file!"}));
    EXPECT_EQ(tokensOf("x 2147483648 5"),
              (std::vector<std::string>{"identifier('x')", "number('2147483647')", "end-of-file"}));
}

// A TokenStream keeps the position itself and hands it to the stream when it
// goes; the state it sets at once.
TEST(Lexer, TokenStreamHandsBackThePosition) {
    const std::string source = "ab 12";
    for (const Way way : {Way::InMemory, Way::ThreeAtATime, Way::NoGetArea}) {
        const std::unique_ptr<std::streambuf> buffer = bufferFor(source, way);
        std::istream in(buffer.get());
        Token token;
        {
            TokenStream tokens(in);
            tokens.read(token);
            EXPECT_EQ(token.getIdentifier(), "ab");
            EXPECT_FALSE(in.fail());
        }
        in >> token;
        EXPECT_EQ(token.getNumber(), 12) << static_cast<int>(way);
        TokenStream tokens(in);
        tokens.read(token);
        EXPECT_EQ(token.getKind(), TokenKind::EndOfFile);
        EXPECT_TRUE(in.eof());
        EXPECT_TRUE(in.fail());
    }
}

// Long names, comments and runs of blanks cross the windows a pipe hands out.
TEST(Lexer, TokensCrossTheBuffersOfAStream) {
    const std::string name(5000, 'n');
    const std::string source = std::string(3000, ' ') + name + " ;" + std::string(9000, 'c') +
                               "\r\n" + std::string(7000, '0') + "12" + "\r";
    for (const std::size_t size :
         {std::size_t{1}, std::size_t{2}, std::size_t{7}, std::size_t{4096}}) {
        Trickle buffer(source, size);
        std::istream in(&buffer);
        TokenStream tokens(in);
        Token token;
        tokens.read(token);
        EXPECT_EQ(token.getIdentifier(), name) << size;
        EXPECT_EQ(token.column(), 3000);
        const TokenKind rest[] = {TokenKind::Comment, TokenKind::EndOfLine, TokenKind::Number,
                                  TokenKind::None, TokenKind::EndOfFile};
        for (const TokenKind kind : rest) {
            tokens.read(token);
            EXPECT_EQ(token.getKind(), kind) << size;
        }
    }
}

TEST(Lexer, ANumberTooLargeFailsTheStream) {
    std::istringstream in("2147483648 5");
    Token token;
    in >> token;
    EXPECT_EQ(token.getKind(), TokenKind::Number);
    EXPECT_TRUE(in.fail());
}

// A token that borrows its identifier from a source in memory hands out
// copies that own the text, since errors keep tokens longer than the source.
TEST(Token, CopiesOwnTheTextTheOriginalBorrows) {
    auto source = std::make_unique<std::string>("name rest");
    Token token;
    token.setIdentifierInPlace(std::string_view(*source).substr(0, 4));
    const Token constructed(token);
    Token assigned;
    assigned = token;
    token.keepText();
    source.reset();
    for (const Token* t : std::initializer_list<const Token*>{&token, &constructed, &assigned}) {
        EXPECT_EQ(t->getIdentifier(), "name");
        EXPECT_EQ(printed(*t), "identifier('name')");
    }
}

// A place is kept as offsets and shown in 32 bits: a line or a token of over
// 2 GB shows the largest value; a copy keeps the place.
TEST(Token, PlacesPastTwoGigabytesShowTheLargestValue) {
    constexpr std::int64_t far = 3'000'000'000;
    constexpr std::int32_t largest = std::numeric_limits<std::int32_t>::max();
    const struct {
        std::int64_t lineStart, start, end;
        std::int32_t column, length;
    } cases[] = {
        {100, 105, 110, 5, 5},
        {0, far, far + 5, largest, 5},
        {far, far + 7, far + 8, 7, 1},
        {0, 10, 10 + far, 10, largest},
        {0, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        Token token;
        token.setPlace(c.lineStart, c.start, c.end);
        const Token copy(token);
        for (const Token* t : std::initializer_list<const Token*>{&token, &copy}) {
            EXPECT_EQ(t->column(), c.column) << c.start;
            EXPECT_EQ(t->length(), c.length) << c.start;
        }
    }
}

// One extraction counts its columns from where it began, with a get area or
// without one.
TEST(Lexer, AnExtractionCountsColumnsFromWhereItBegan) {
    const std::string source = "  ab   12";
    for (const Way way : {Way::Extraction, Way::ExtractionWithoutGetArea}) {
        const std::unique_ptr<std::streambuf> buffer = bufferFor(source, way);
        std::istream in(buffer.get());
        Token token;
        in >> token;
        EXPECT_EQ(token.getIdentifier(), "ab");
        EXPECT_EQ(token.column(), 2) << static_cast<int>(way);
        EXPECT_EQ(token.length(), 2) << static_cast<int>(way);
        in >> token;
        EXPECT_EQ(token.getNumber(), 12);
        EXPECT_EQ(token.column(), 3) << static_cast<int>(way);
        EXPECT_EQ(token.length(), 2) << static_cast<int>(way);
    }
}

TEST(Token, AccessorsRefuseOtherKinds) {
    Token token;
    EXPECT_EQ(printed(token), "none");
    token.setIdentifier("ab");
    EXPECT_THROW(token.getNumber(), NotANumber);
    EXPECT_EQ(printed(token), "identifier('ab')");
    token.setNumber(0);
    EXPECT_THROW(token.getIdentifier(), NotAnIdentifier);
    EXPECT_EQ(printed(token), "number('0')");
}

}  // namespace
}  // namespace Vorn::Assembly
