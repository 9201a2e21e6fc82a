#include "assembly/Lexer.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "assembly/ParseError.h"

namespace Vorn::Assembly {
namespace {

std::string printed(const Token& token) {
    std::ostringstream out;
    out << token;
    return out.str();
}

// Every token of the source in printed form, up to and including the first
// end-of-file.
std::vector<std::string> tokensOf(const std::string& source) {
    std::istringstream in(source);
    std::vector<std::string> result;
    Token token;
    do {
        in >> token;
        result.push_back(printed(token));
    } while (token.getKind() != TokenKind::EndOfFile && result.size() < 1000);
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

TEST(Lexer, ANumberTooLargeFailsTheStream) {
    std::istringstream in("2147483648 5");
    Token token;
    in >> token;
    EXPECT_EQ(token.getKind(), TokenKind::Number);
    EXPECT_TRUE(in.fail());
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
