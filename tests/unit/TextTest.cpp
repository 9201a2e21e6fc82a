// The text layer: numbers at the edges of their ranges, names as the lexer
// reads them, and lines with every kind of ending.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "assembly/Lexer.h"
#include "assembly/Token.h"
#include "text/Identifier.h"
#include "text/Lines.h"
#include "text/Number.h"

namespace Vorn::Text {
namespace {

constexpr std::int64_t twoTo62 = std::int64_t{1} << 62;

// Each text with the number it reads as, or none.
template <typename Number>
using Cases = std::vector<std::pair<std::string_view, std::optional<Number>>>;

template <typename Parse, typename Number>
void expectParses(Parse parse, const Cases<Number>& cases) {
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(parse(text), value) << '"' << text << '"';
    }
}

TEST(Text, ParseInteger) {
    const Cases<std::int64_t> cases{
        {"0", 0},
        {"-0", 0},
        {"+7", 7},
        {"-2147483648", -2147483648LL},
        {"4294967295", 4294967295LL},
        {"0x1F", 31},
        {"0X1f", 31},
        {"-0x10", -16},
        {"4611686018427387904", twoTo62},
        {"-4611686018427387904", -twoTo62},
        {"4611686018427387905", std::nullopt},
        {"18446744073709551616", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"0x", std::nullopt},
        {" 1", std::nullopt},
        {"1 ", std::nullopt},
        {"1a", std::nullopt},
        {"--1", std::nullopt},
        {"+-1", std::nullopt},
        {"0x-1", std::nullopt},
        {"0x+1", std::nullopt},
        {"1.5", std::nullopt},
    };
    expectParses(parseInteger, cases);
}

TEST(Text, ParseAddress) {
    const Cases<std::uint16_t> cases{
        {"0", 0},
        {"65535", 65535},
        {"0xFFFF", 65535},
        {"0x0", 0},
        {"007", 7},
        {"65536", std::nullopt},
        {"0x10000", std::nullopt},
        {"-1", std::nullopt},
        {"+1", std::nullopt},
        {"", std::nullopt},
        {"0x", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {"12 ", std::nullopt},
        {"end", std::nullopt},
    };
    expectParses(parseAddress, cases);
}

TEST(Text, ParseCount) {
    const Cases<std::uint64_t> cases{
        {"0", 0},
        {"18446744073709551615", std::numeric_limits<std::uint64_t>::max()},
        {"18446744073709551616", std::nullopt},
        {"-1", std::nullopt},
        {"+1", std::nullopt},
        {"0x10", std::nullopt},
        {"", std::nullopt},
        {"1e3", std::nullopt},
    };
    expectParses(parseCount, cases);
}

TEST(Text, RangeChecks) {
    EXPECT_EQ(addressFrom(-1), std::nullopt);
    EXPECT_EQ(addressFrom(0), 0);
    EXPECT_EQ(addressFrom(65535), 65535);
    EXPECT_EQ(addressFrom(65536), std::nullopt);

    EXPECT_EQ(wordFrom(-2147483649LL), std::nullopt);
    EXPECT_EQ(wordFrom(-2147483648LL), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(wordFrom(2147483647), 2147483647);
    EXPECT_EQ(wordFrom(2147483648LL), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(wordFrom(4294967295LL), -1);
    EXPECT_EQ(wordFrom(4294967296LL), std::nullopt);
}

TEST(Text, Identifiers) {
    for (const char* name : {"a", "_", "Z9", "_0", "loop_2", "end"}) {
        EXPECT_TRUE(isIdentifier(name)) << name;
    }
    for (const char* text : {"", "1a", "a-b", "a b", "a.", "\xC3\xA9t\xC3\xA9", ":a"}) {
        EXPECT_FALSE(isIdentifier(text)) << text;
    }
}

// The lexer's names are these: every byte begins a name exactly when
// isIdentifierStart says so, and continues one exactly when isIdentifierPart
// says so.
TEST(Text, TheLexerReadsNamesByTheSameRule) {
    for (int byte = 1; byte < 256; ++byte) {
        const auto c = static_cast<char>(byte);
        Assembly::Token first;
        std::istringstream alone(std::string(1, c));
        alone >> first;
        EXPECT_EQ(first.getKind() == Assembly::TokenKind::Identifier, isIdentifierStart(c))
            << "byte " << byte;

        Assembly::Token after;
        std::istringstream following(std::string("a") + c);
        following >> after;
        ASSERT_EQ(after.getKind(), Assembly::TokenKind::Identifier) << "byte " << byte;
        EXPECT_EQ(after.getIdentifier().size() == 2, isIdentifierPart(c)) << "byte " << byte;
    }
}

TEST(Text, SplitLines) {
    struct Case {
        std::string_view text;
        std::vector<std::string_view> lines;
    };
    const Case cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\n", {"a"}},
        {"a\nb", {"a", "b"}},
        {"a\n\nb\n", {"a", "", "b"}},
        {"\n", {""}},
        {"\n\n", {"", ""}},
        {"a\r\nb\r\n", {"a\r", "b\r"}},
        {"a\rb", {"a\rb"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(splitLines(c.text), c.lines) << '"' << c.text << '"';
    }
    EXPECT_EQ(withoutCarriageReturn("a\r"), "a");
    EXPECT_EQ(withoutCarriageReturn("a\r\r"), "a\r");
    EXPECT_EQ(withoutCarriageReturn("\ra"), "\ra");
    EXPECT_EQ(withoutCarriageReturn(""), "");
}

TEST(Text, LineStartsAndLineAt) {
    EXPECT_EQ(lineStarts(""), (std::vector<std::size_t>{0}));
    EXPECT_EQ(lineStarts("ab\ncd"), (std::vector<std::size_t>{0, 3}));
    EXPECT_EQ(lineStarts("ab\r\n"), (std::vector<std::size_t>{0, 4}));

    struct Case {
        std::string_view text;
        std::size_t index;
        std::optional<std::size_t> start;
        std::string_view line;
    };
    const Case cases[] = {
        {"ab\ncd", 0, 0, "ab"},    {"ab\ncd", 1, 3, "cd"},     {"ab\ncd", 2, std::nullopt, ""},
        {"ab\n", 1, 3, ""},        {"ab\r\ncd", 0, 0, "ab\r"}, {"", 0, 0, ""},
        {"", 1, std::nullopt, ""},
    };
    for (const Case& c : cases) {
        const std::optional<TextLine> line = lineAt(c.text, c.index);
        ASSERT_EQ(line.has_value(), c.start.has_value()) << '"' << c.text << "\" " << c.index;
        if (line) {
            EXPECT_EQ(line->start, *c.start);
            EXPECT_EQ(line->text, c.line);
        }
    }
}

}  // namespace
}  // namespace Vorn::Text
