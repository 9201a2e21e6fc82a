#include "assembly/Lexer.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
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

// The three ways to read tokens: extraction from any stream, and a
// TokenStream, which reads through the stream or, over a SourceBuffer, scans
// the text in place. All three must give the same tokens and fail alike.
enum class Way { Extraction, TokenStreamThroughStream, TokenStreamInMemory };

// Every token in printed form, each followed by "!" when the stream has
// failed after it, up to and including the first end-of-file.
std::vector<std::string> lexed(const std::string& source, Way way) {
    std::stringbuf streamBuffer(source);
    SourceBuffer memoryBuffer(source);
    std::istream in(way == Way::TokenStreamInMemory ? static_cast<std::streambuf*>(&memoryBuffer)
                                                    : &streamBuffer);
    std::vector<std::string> result;
    Token token;
    TokenStream tokens(in);
    do {
        bool failed = false;
        if (way == Way::Extraction) {
            in >> token;
            failed = in.fail();
        } else {
            tokens.read(token);
            failed = tokens.failed();
        }
        result.push_back(printed(token) + (failed ? "!" : ""));
    } while (token.getKind() != TokenKind::EndOfFile && result.size() < 1000);
    return result;
}

// The tokens in printed form, without the failure marks, after checking that
// every way agrees.
std::vector<std::string> tokensOf(const std::string& source) {
    const std::vector<std::string> expected = lexed(source, Way::Extraction);
    EXPECT_EQ(lexed(source, Way::TokenStreamThroughStream), expected) << "source: '" << source;
    EXPECT_EQ(lexed(source, Way::TokenStreamInMemory), expected) << "source: '" << source;
    std::vector<std::string> result;
    for (std::string token : expected) {
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
    EXPECT_EQ(lexed("2147483648 5", Way::Extraction),
              (std::vector<std::string>{"number('2147483647')!", "end-of-file!"}));
    EXPECT_EQ(tokensOf("x 2147483648 5"),
              (std::vector<std::string>{"identifier('x')", "number('2147483647')", "end-of-file"}));
}

// A TokenStream over a SourceBuffer keeps the position itself; the stream
// gets it back, with the state, when the TokenStream goes.
TEST(Lexer, TokenStreamHandsBackThePositionAndState) {
    const std::string source = "ab 12";
    SourceBuffer buffer(source);
    std::istream in(&buffer);
    Token token;
    {
        TokenStream tokens(in);
        tokens.read(token);
        EXPECT_EQ(token.getIdentifier(), "ab");
    }
    EXPECT_EQ(buffer.unread(), " 12");
    EXPECT_FALSE(in.fail());
    in >> token;
    EXPECT_EQ(token.getNumber(), 12);
    {
        TokenStream tokens(in);
        tokens.read(token);
        EXPECT_EQ(token.getKind(), TokenKind::EndOfFile);
    }
    EXPECT_TRUE(in.eof());
    EXPECT_TRUE(in.fail());
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
