// The analysis of a source: tokens and their places, editors' columns, the
// hints after an error, the warnings, hover, completion, rename, formatting.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/Completion.h"
#include "analysis/Diagnostics.h"
#include "analysis/Formatting.h"
#include "analysis/Hints.h"
#include "analysis/Hover.h"
#include "analysis/Lookup.h"
#include "analysis/Outline.h"
#include "analysis/SourceTokens.h"
#include "analysis/TextPosition.h"
#include "analysis/Words.h"

namespace Vorn::Analysis {
namespace {

using Assembly::TokenKind;

TEST(SourceTokens, PlacesEveryTokenTheLexerReads) {
    const auto tokens = tokenize(":loop\tload A 007 ; note\nx=5 -3\n 99999999999 y");
    struct Expected {
        TokenKind kind;
        std::int32_t line;
        std::int32_t column;
        const char* text;
    };
    const std::vector<Expected> expected{
        {TokenKind::Label, 1, 0, ":"},
        {TokenKind::Identifier, 1, 1, "loop"},
        {TokenKind::Identifier, 1, 6, "load"},
        {TokenKind::Identifier, 1, 11, "A"},
        {TokenKind::Number, 1, 13, "007"},
        {TokenKind::Comment, 1, 17, "; note"},
        {TokenKind::EndOfLine, 1, 23, "\n"},
        {TokenKind::Identifier, 2, 0, "x"},
        {TokenKind::Definition, 2, 1, "="},
        {TokenKind::Number, 2, 2, "5"},
        {TokenKind::None, 2, 4, "-"},
        {TokenKind::Number, 2, 5, "3"},
        {TokenKind::EndOfLine, 2, 6, "\n"},
        // Too many digits for a number: one token, and the reading goes on.
        {TokenKind::Number, 3, 1, "99999999999"},
        {TokenKind::Identifier, 3, 13, "y"},
    };
    ASSERT_EQ(tokens.size(), expected.size());
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(tokens[i].kind, expected[i].kind);
        EXPECT_EQ(tokens[i].line, expected[i].line);
        EXPECT_EQ(tokens[i].column, expected[i].column);
        EXPECT_EQ(tokens[i].text, expected[i].text);
    }
}

TEST(TextPosition, CountsUtf16UnitsAndBytesBothWays) {
    const std::string line =
        "a\xC3\xA9"
        "b\xF0\x9F\x98\x80"
        "c\xFF"
        "d";  // a é b 😀 c <bad> d
    struct Case {
        std::int32_t byte;
        std::int32_t unit;
    };
    for (const Case& c : {Case{0, 0}, Case{1, 1}, Case{3, 2}, Case{4, 3}, Case{8, 5}, Case{9, 6},
                          Case{10, 7}, Case{11, 8}}) {
        SCOPED_TRACE(c.byte);
        EXPECT_EQ(utf16Column(line, c.byte), c.unit);
        EXPECT_EQ(byteColumn(line, c.unit), c.byte);
    }
    EXPECT_EQ(byteColumn(line, 4), 4);  // inside the surrogate pair: the character's start
    EXPECT_EQ(byteColumn(line, 100), 11);
    EXPECT_EQ(utf16Column(line, 100), 8);
}

struct HintCase {
    const char* source;
    const char* message;  // vornasm's, unchanged
    const char* hint;     // a part of the hint; empty: no hint
};

class Hints : public ::testing::TestWithParam<HintCase> {};

TEST_P(Hints, FollowTheExactMessage) {
    const HintCase& c = GetParam();
    const Document document(c.source);
    ASSERT_FALSE(document.diagnostics().empty());
    const Diagnostic& error = document.diagnostics()[0];
    EXPECT_EQ(error.code, "assembly-error");
    EXPECT_EQ(error.message, c.message);
    if (std::string(c.hint).empty()) {
        EXPECT_EQ(error.hint, "");
    } else {
        EXPECT_NE(error.hint.find(c.hint), std::string::npos) << error.hint;
    }
    EXPECT_EQ(hintFor(*document.program().error, c.source), error.hint);
}

INSTANTIATE_TEST_SUITE_P(
    Misleading, Hints,
    ::testing::Values(
        HintCase{"lod A x\n",
                 "(line 1, token identifier('A')) expecting end-of-line or end-of-file",
                 "did you mean 'load'?"},
        HintCase{"\n  Load A x\n",
                 "(line 2, token identifier('A')) expecting end-of-line or end-of-file",
                 "did you mean 'load'?"},
        HintCase{"load A, x\n", "(line 1, token none) expecting number or identifier",
                 "not commas: write 'load A x'"},
        HintCase{"load A -1\n", "(line 1, token none) expecting number or identifier",
                 "without a sign"},
        HintCase{"-5\n", "(line 1) invalid token", "without a sign"},
        HintCase{"load a x\n", "(line 1, token identifier('a')) expecting register",
                 "write 'A', not 'a'"},
        HintCase{"read A\n", "(line 1, token identifier('A')) expecting end-of-line or end-of-file",
                 "'read' takes no operand: it always reads into register I."},
        HintCase{"write O\n",
                 "(line 1, token identifier('O')) expecting end-of-line or end-of-file",
                 "'write' takes no operand: it always prints register O."},
        HintCase{"sub B C\n",
                 "(line 1, token identifier('C')) expecting end-of-line or end-of-file",
                 "'sub' takes one register (R): the result always goes to register A."},
        HintCase{"incr B C\n",
                 "(line 1, token identifier('C')) expecting end-of-line or end-of-file",
                 "'incr' takes one register (R)."},
        HintCase{"add A B\n",
                 "(line 1, token identifier('B')) expecting end-of-line or end-of-file",
                 "'add' takes one register (R)"},
        HintCase{"jump A\n", "undefined label 'A'", "'A' is a register, not an address"},
        HintCase{"A\n", "(line 1, token identifier('A')) expecting label",
                 "register name cannot be a data word"},
        HintCase{"loop: jump loop\n",
                 "(line 1, token label(:)) expecting end-of-line or end-of-file",
                 "colon first: ':loop'"},
        HintCase{"load A 0x10\n",
                 "(line 1, token identifier('x10')) expecting end-of-line or end-of-file",
                 "Numbers are decimal"},
        HintCase{"5\r", "(line 1, token none) expecting end-of-line or end-of-file",
                 "carriage return without a line feed"},
        HintCase{"5 6\n", "(line 1, token number('6')) expecting end-of-line or end-of-file", ""},
        HintCase{"load A 5\n\n        jump nowhere\n", "undefined label 'nowhere'",
                 "'nowhere' is first used on line 3, and no label (':nowhere') or definition"},
        HintCase{"        write\n:zero   0\n", "(line 2) redefinition of operation",
                 "'zero' is the name of an operation and cannot be a label."},
        HintCase{"= jump 5\n", "(line 1) redefinition of operation",
                 "'jump' is the name of an operation and cannot be defined with '='."},
        HintCase{":B 5\n", "(line 1) redefinition of register",
                 "'B' is the name of a register and cannot be a label."},
        HintCase{":x 5\n:x 6\n", "(line 2) redefinition of label", ""}));

std::vector<std::string> codesOf(const Document& document) {
    std::vector<std::string> codes;
    for (const Diagnostic& diagnostic : document.diagnostics()) {
        codes.emplace_back(diagnostic.code);
    }
    return codes;
}

TEST(Warnings, InstructionRunningIntoData) {
    const Document document("        load A n\n        write\n:n      5\n");
    const auto& diagnostics = document.diagnostics();
    ASSERT_EQ(codesOf(document), (std::vector<std::string>{"falls-into-data"}));
    EXPECT_EQ(diagnostics[0].severity, Diagnostic::Severity::Warning);
    EXPECT_EQ(diagnostics[0].position.line, 2);
    EXPECT_EQ(diagnostics[0].position.column, 8);
    EXPECT_EQ(diagnostics[0].position.length, 5);
    EXPECT_NE(diagnostics[0].message.find("address 2 (line 3)"), std::string::npos);
}

TEST(Warnings, NoneAfterAJumpOrAfterAnErrorWhileReading) {
    EXPECT_TRUE(Document("jump end\n5\n").diagnostics().empty());
    EXPECT_EQ(codesOf(Document("read\n5\n5 6\n")), (std::vector<std::string>{"assembly-error"}));
}

TEST(Warnings, AddressAboveTheMemory) {
    const Document document("= size 70000\njump size\nsize\n");
    ASSERT_EQ(codesOf(document),
              (std::vector<std::string>{"jumps-into-data", "address-truncated"}));
    const Diagnostic& warning = document.diagnostics()[1];
    EXPECT_NE(warning.message.find("'size' is 70000, above 65535: as an address it becomes 4464"),
              std::string::npos);
    EXPECT_EQ(warning.position.line, 2);  // the data word on line 3 keeps all 32 bits
}

TEST(Warnings, UnusedLabelsAndDefinitions) {
    // "start" is used only as the value of "top", and that counts.
    const Document document("= k 5\n= top start\n:start jump top\n:spare 0\n");
    ASSERT_EQ(codesOf(document),
              (std::vector<std::string>{"unused-definition", "endless-loop", "unused-label"}));
    const auto& diagnostics = document.diagnostics();
    EXPECT_EQ(diagnostics[0].message, "definition 'k' is never used");
    EXPECT_EQ(diagnostics[0].position.line, 1);
    EXPECT_EQ(diagnostics[0].position.column, 2);
    EXPECT_EQ(diagnostics[2].message, "label 'spare' is never used");
    EXPECT_EQ(diagnostics[2].position.line, 4);
    EXPECT_EQ(diagnostics[2].position.column, 1);
}

TEST(Lookup, DefinitionReferencesAndRenameReachAliases) {
    const Document document("= top start\n:start jump top\n        jump start\n");
    const auto definition = definitionAt(document, 3, 14);
    ASSERT_TRUE(definition);
    EXPECT_EQ(definition->line, 2);
    EXPECT_EQ(definition->column, 1);
    const auto places = renameAt(document, 3, 14, "begin").places;
    ASSERT_EQ(places.size(), 3u);  // the alias's value, the label, the use
    EXPECT_EQ((std::vector<std::int32_t>{places[0].line, places[0].column, places[1].line,
                                         places[1].column, places[2].line, places[2].column}),
              (std::vector<std::int32_t>{1, 6, 2, 1, 3, 13}));
    EXPECT_EQ(referencesAt(document, 3, 14, false).size(), 2u);
    // A name nothing binds: every place it is written.
    const Document undefined("jump nowhere\n= x nowhere\n");
    EXPECT_EQ(referencesAt(undefined, 1, 6, true).size(), 2u);
}

TEST(Hover, InstructionRegisterAndNumbers) {
    const Document document("        load A 100\n        * 3 incr I\n        jump end\n");
    const auto load = hoverAt(document, 1, 9);
    ASSERT_TRUE(load);
    EXPECT_NE(load->markdown.find("R = memory[addr]"), std::string::npos);
    EXPECT_NE(load->markdown.find("`load A 100`: word 0x10000064 (268435556), address 0 (0x0000)"),
              std::string::npos)
        << load->markdown;
    EXPECT_EQ(load->range.column, 8);
    EXPECT_EQ(load->range.length, 4);
    const auto incr = hoverAt(document, 2, 12);
    ASSERT_TRUE(incr);
    EXPECT_NE(incr->markdown.find("3 cells at addresses 1 to 3"), std::string::npos);
    const auto reg = hoverAt(document, 2, 17);
    ASSERT_TRUE(reg);
    EXPECT_NE(reg->markdown.find("register I, the input"), std::string::npos);
    const auto end = hoverAt(document, 3, 14);
    ASSERT_TRUE(end);
    EXPECT_NE(end->markdown.find("65535 (0xFFFF)"), std::string::npos);
    EXPECT_FALSE(hoverAt(document, 1, 0));
}

// The roles come from the instruction table's implicit registers.
TEST(Hover, RegisterRoles) {
    EXPECT_EQ(registerRole(RegisterId::A),
              "register A, the accumulator: add and sub leave their result in A");
    EXPECT_EQ(registerRole(RegisterId::I),
              "register I, the input: read puts the next number of the input in I");
    EXPECT_EQ(registerRole(RegisterId::O), "register O, the output: write prints O");
    EXPECT_EQ(registerRole(RegisterId::B), "register B, a general-purpose register");
}

TEST(Hover, LabelAndChainOfDefinitions) {
    const Document document("= top start\n= far 70000\n:start jump top\njump far\n");
    const auto label = hoverAt(document, 3, 3);
    ASSERT_TRUE(label);
    EXPECT_EQ(label->markdown, "**label** `start`: address 0 (0x0000)");
    const auto alias = hoverAt(document, 1, 3);
    ASSERT_TRUE(alias);
    EXPECT_EQ(alias->markdown, "**definition** `top` → `start` → 0 (0x00000000)");
    const auto far = hoverAt(document, 4, 6);
    ASSERT_TRUE(far);
    EXPECT_NE(far->markdown.find("70000 (0x00011170)"), std::string::npos);
    EXPECT_NE(far->markdown.find("becomes 4464"), std::string::npos);
}

std::vector<std::string> labelsOf(const std::vector<Completion>& items) {
    std::vector<std::string> labels;
    for (const Completion& item : items) {
        labels.push_back(item.label);
    }
    return labels;
}

TEST(Completion, FollowsTheOperandShapes) {
    const Document document(":top load A top\n\nload \nloadi A \njump \nread \n= x \n");
    const auto statement = completionsAt(document, 2, 0);
    EXPECT_EQ(statement.size(), 16u + 2u);  // the operations, then "end" and "top"
    EXPECT_EQ(statement[1].detail, "load R addr: R = memory[addr]: loads register R from memory");
    EXPECT_EQ(labelsOf(completionsAt(document, 3, 5)).front(), "A");
    EXPECT_EQ(completionsAt(document, 3, 5).size(), 16u);
    EXPECT_EQ(labelsOf(completionsAt(document, 4, 8)).back(), "P");
    EXPECT_EQ(labelsOf(completionsAt(document, 5, 5)), (std::vector<std::string>{"end", "top"}));
    EXPECT_TRUE(completionsAt(document, 6, 5).empty());
    EXPECT_EQ(labelsOf(completionsAt(document, 7, 4)), (std::vector<std::string>{"end", "top"}));
}

TEST(Rename, RefusedWhereItWouldChangeTheProgram) {
    const Document document(":top load A top\n:other jump end\n");
    struct Case {
        std::int32_t line;
        std::int32_t column;
        const char* newName;
        const char* refusal;
    };
    for (const Case& c : {
             Case{1, 6, "fetch", "'load' is an operation name: it cannot be renamed."},
             Case{1, 11, "Z", "'A' is a register name: it cannot be renamed."},
             Case{2, 13, "stop", "'end' is predefined: it cannot be renamed."},
             Case{1, 2, "other", "'other' is already bound."},
             Case{1, 2, "B", "'B' is a register name, which no label can take."},
             Case{1, 2, "jump", "'jump' is an operation name, which no label can take."},
             Case{1, 2, "9lives", "'9lives' is not a name"},
             Case{1, 0, "x", "There is no name here to rename."},
         }) {
        SCOPED_TRACE(c.newName);
        const Rename rename = renameAt(document, c.line, c.column, c.newName);
        EXPECT_EQ(rename.refusal.substr(0, std::string(c.refusal).size()), c.refusal);
        EXPECT_TRUE(rename.places.empty());
    }
}

TEST(Formatting, AlignsColumnsAndKeepsTheTokens) {
    const Document document(
        "; counts down\n"
        ":loop jz O done ; done?\n"
        "  decr O\n"
        "\tjump loop\n"
        ":done   jump end   \n"
        "= n 5\n"
        "   \n"
        "  ; aside\n"
        "load A, x\n");
    std::vector<std::string> lines;
    for (std::int32_t line = 1; line <= document.lineCount(); ++line) {
        lines.emplace_back(document.line(line));
    }
    for (const LineEdit& edit : formatDocument(document)) {
        lines[static_cast<std::size_t>(edit.line - 1)] = edit.text;
    }
    const std::vector<std::string> expected{
        "; counts down",
        ":loop   jz     O done ; done?",
        "        decr   O",
        "        jump   loop",
        ":done   jump   end",
        "        = n 5",
        "",
        "        ; aside",
        "load A, x",  // a character that begins no token: left as it is
        "",
    };
    EXPECT_EQ(lines, expected);
}

TEST(Outline, ClassesOfTokens) {
    const Document document(":top load A top ; c\n= k 3\n*2 k\n");
    std::vector<TokenClass> classes;
    for (const ClassedToken& token : classify(document)) {
        classes.push_back(token.tokenClass);
    }
    using C = TokenClass;
    EXPECT_EQ(classes, (std::vector<C>{C::Punctuation, C::Label, C::Operation, C::Register,
                                       C::Label, C::Comment, C::Punctuation, C::Definition,
                                       C::Number, C::Punctuation, C::Number, C::Definition}));
}

}  // namespace
}  // namespace Vorn::Analysis
