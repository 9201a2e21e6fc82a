#include "assembly/Program.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "assembly/ParseError.h"

namespace Vorn::Assembly {
namespace {

std::string placeText(const SourcePosition& at) {
    return std::to_string(at.line) + ":" + std::to_string(at.column) + "+" +
           std::to_string(at.length);
}

// Every source is assembled from a string and from a stream: both must give
// the same places.
std::vector<Program> bothWays(const std::string& text) {
    std::istringstream stream(text);
    return {assembleProgram(text), assembleProgram(stream)};
}

struct SymbolCase {
    const char* source;
    const char* name;
    ProgramSymbol::Kind kind;
    const char* definition;         // line:column+length
    std::vector<const char*> uses;  // the same, in source order
};

class SymbolPlaces : public testing::TestWithParam<SymbolCase> {};

TEST_P(SymbolPlaces, DefinitionAndUses) {
    const SymbolCase& c = GetParam();
    for (const Program& program : bothWays(c.source)) {
        ASSERT_FALSE(program.error) << program.error->message;
        const ProgramSymbol* symbol = program.symbol(c.name);
        ASSERT_NE(symbol, nullptr);
        EXPECT_EQ(symbol->kind, c.kind);
        EXPECT_EQ(placeText(symbol->definition), c.definition);
        std::vector<std::string> uses;
        for (const SourcePosition& use : symbol->uses) {
            uses.push_back(placeText(use));
        }
        EXPECT_EQ(uses, std::vector<std::string>(c.uses.begin(), c.uses.end()));
    }
}

using Kind = ProgramSymbol::Kind;

INSTANTIATE_TEST_SUITE_P(
    Program, SymbolPlaces,
    testing::Values(
        SymbolCase{": loop\njump loop\n", "loop", Kind::Label, "1:2+4", {"2:5+4"}},
        SymbolCase{"  :   start ; here\n", "start", Kind::Label, "1:6+5", {}},
        SymbolCase{"= size 10\nsize\n\tload A size\n",
                   "size",
                   Kind::Definition,
                   "1:2+4",
                   {"2:0+4", "3:8+4"}},
        // A use before the binding, a repeated item noted once, CR LF lines.
        SymbolCase{"x\r\n* 3 x\r\n:x 0\r\n", "x", Kind::Label, "3:1+1", {"1:0+1", "2:4+1"}},
        // A definition's value is not a use of the name.
        SymbolCase{"= a b\n= b 1\na\n", "b", Kind::Definition, "2:2+1", {}},
        SymbolCase{"jump end\n", "end", Kind::Predefined, "0:0+0", {"1:5+3"}},
        SymbolCase{"store A value_2 ; c\n:value_2\n", "value_2", Kind::Label, "2:1+7", {"1:8+7"}}));

struct ErrorCase {
    const char* source;
    const char* message;
    const char* at;  // line:column+length
    ParseErrorKind kind;
    const char* carried;  // the token an Expecting error met, the name a name error names
};

// What the error carries beside its message, as text.
std::string carriedText(const AssemblyError& error) {
    std::ostringstream text;
    if (error.found) {
        text << *error.found;
    }
    return text.str() + error.name;
}

class ErrorPlaces : public testing::TestWithParam<ErrorCase> {};

TEST_P(ErrorPlaces, TheTokenTheErrorNames) {
    const ErrorCase& c = GetParam();
    for (const Program& program : bothWays(c.source)) {
        ASSERT_TRUE(program.error);
        EXPECT_EQ(program.error->message, c.message);
        EXPECT_EQ(placeText(program.error->position), c.at);
        EXPECT_THROW(std::rethrow_exception(program.error->error), ParseError);
        EXPECT_EQ(program.error->kind, c.kind) << c.message;
        EXPECT_EQ(carriedText(*program.error), c.carried) << c.message;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Program, ErrorPlaces,
    testing::Values(
        ErrorCase{"0\n0 0\n", "(line 2, token number('0')) expecting end-of-line or end-of-file",
                  "2:2+1", ParseErrorKind::ExpectingEndOfLineOrFile, "number('0')"},
        ErrorCase{"load r9 x\n", "(line 1, token identifier('r9')) expecting register", "1:5+2",
                  ParseErrorKind::ExpectingRegister, "identifier('r9')"},
        ErrorCase{":a\n  :a\n", "(line 2) redefinition of label", "2:3+1",
                  ParseErrorKind::RedefinitionOfLabel, ""},
        ErrorCase{"jump\n", "(line 1, token end-of-line) expecting number or identifier", "1:4+1",
                  ParseErrorKind::ExpectingNumberOrIdentifier, "end-of-line"},
        ErrorCase{"jump", "(line 1, token end-of-file) expecting number or identifier", "1:4+0",
                  ParseErrorKind::ExpectingNumberOrIdentifier, "end-of-file"},
        ErrorCase{"0\n  99999999999\n", "(line 2) number out of range", "2:2+11",
                  ParseErrorKind::NumberOutOfRange, ""},
        ErrorCase{"0\n  ?\n", "(line 2) invalid token", "2:2+1", ParseErrorKind::InvalidToken, ""},
        ErrorCase{"jump 70000\n", "invalid address 70000", "1:5+5",
                  ParseErrorKind::AddressOutOfBounds, ""},
        ErrorCase{"* 65536 0\n* 2 7\n", "(line 2) memory full", "2:4+1", ParseErrorKind::MemoryFull,
                  ""},
        // An unresolvable name: its first use.
        ErrorCase{"0\njump nowhere\nnowhere\n", "undefined label 'nowhere'", "2:5+7",
                  ParseErrorKind::UndefinedLabel, "nowhere"},
        // Reached through an alias: where a definition names it.
        ErrorCase{"= a b\n  a\n", "undefined label 'b'", "1:4+1", ParseErrorKind::UndefinedLabel,
                  "b"},
        ErrorCase{"= a b\n= b a\nload A b\n", "circular definition of 'b'", "3:7+1",
                  ParseErrorKind::CircularDefinition, "b"}));

TEST(Program, CellsHoldTheirLinesUpToAnUnresolvableName) {
    const Program program = assembleProgram("7\n\njump 3\nmissing\n8\n");
    ASSERT_TRUE(program.error);
    ASSERT_EQ(program.cells.size(), 2u);
    EXPECT_EQ(program.cells[0].line, 1);
    EXPECT_FALSE(program.cells[0].isInstruction);
    EXPECT_EQ(program.cells[1].line, 3);
    EXPECT_TRUE(program.cells[1].isInstruction);
}

}  // namespace
}  // namespace Vorn::Assembly
