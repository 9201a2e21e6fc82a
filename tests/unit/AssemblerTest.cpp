#include "assembly/Assembler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <sstream>
#include <string>

#include "assembly/ParseError.h"

namespace Vorn::Assembly {
namespace {

struct Outcome {
    std::string image;
    std::string error;  // the message, empty on success
};

Outcome assembleText(const std::string& source) {
    std::istringstream input(source);
    std::ostringstream output;
    Assembler assembler(input, output);
    Outcome outcome;
    try {
        assembler.assemble();
    } catch (const ParseError& error) {
        std::ostringstream message;
        message << error;
        outcome.error = message.str();
    }
    outcome.image = output.str();
    return outcome;
}

struct Case {
    const char* source;
    const char* image;
    const char* error;
};

// The statement loop and the handlers, in memory; tests/golden holds many more.
TEST(Assembler, AssemblesSources) {
    const Case cases[] = {
        {"", "", ""},
        {"\n; only a comment\n\n", "", ""},
        {"5", "5\n", ""},
        {":start\n7\n", "7\n", ""},
        {":a :b 7\na\nb\n", "7\n0\n0\n", ""},
        {"5 6\n", "", "(line 1, token number('6')) expecting end-of-line or end-of-file"},
        {"; note\n5 6\n", "", "(line 2, token number('6')) expecting end-of-line or end-of-file"},
        {"\n:x\n; c\n#\n", "", "(line 4) invalid token"},
        {":end\n", "", "(line 1) redefinition of label"},
        {"= end 1\n", "", "(line 1) redefinition of label"},
        {"= x\n", "", "(line 1, token end-of-line) expecting number or identifier"},
        {"= A\n", "", "(line 1) redefinition of register"},
        {"jump later\n:later 7\n", "-805306367\n7\n", ""},
        {"1\nnowhere\n3\n", "1\n", "undefined label 'nowhere'"},
        {"* 3 5 6\n", "", "(line 1, token number('6')) expecting end-of-line or end-of-file"},
        {"* 0 A\n", "", "(line 1, token identifier('A')) expecting label"},
        {"* 2 x\n:x 9\n", "2\n2\n9\n", ""},
        {"5 99999999999\n", "", "(line 1) number out of range"},
        {"\n\n2147483648\n", "", "(line 3) number out of range"},
        {"jump 65536\n", "", "invalid address 65536"},
        {"= a b\n= b a\na\n", "", "circular definition of 'a'"},
        {"= x a\n= a b\n= b a\n4\nx\n", "4\n", "circular definition of 'a'"},
        {"= a a\njump a\n", "", "circular definition of 'a'"},
        {"* 2000000000 0\n", "", "(line 1) memory full"},
        {"* 70000 A\n", "", "(line 1, token identifier('A')) expecting label"},
        {"* 70000 0 0\n", "", "(line 1) memory full"},
        {"* 0 incr A\n* 0 7\n", "", ""},
        {"* 0 incr 5\n", "", "(line 1, token number('5')) expecting register"},
        {"x\r\n= x 4\r\n", "4\n", ""},
    };
    for (const Case& c : cases) {
        const Outcome outcome = assembleText(c.source);
        EXPECT_EQ(outcome.image, c.image) << "source: " << c.source;
        EXPECT_EQ(outcome.error, c.error) << "source: " << c.source;
    }
}

TEST(Assembler, FillsEveryCellAndNoMore) {
    const Outcome full = assembleText("* 65534 1\n:last 2\nlast\n");
    EXPECT_EQ(full.error, "");
    EXPECT_EQ(std::count(full.image.begin(), full.image.end(), '\n'), 65536);
    EXPECT_TRUE(full.image.ends_with("\n1\n2\n65534\n"));

    EXPECT_EQ(assembleText("* 65536 0\n5\n").error, "(line 2) memory full");
    EXPECT_EQ(assembleText("* 65535 0\n* 2 incr A\n").error, "(line 2) memory full");
    // A label read once every cell is filled binds one past the last address.
    EXPECT_EQ(assembleText("* 65536 x\n:x\n").error, "");
    const Outcome pastTheEnd = assembleText("* 65536 x\n:x\n");
    EXPECT_TRUE(pastTheEnd.image.starts_with("65536\n"));
}

// The image writes each number as the stream's integer output would: every
// count of digits, both signs, and the extremes.
TEST(Assembler, WritesEveryNumberAsTheStreamWould) {
    std::string source;
    std::ostringstream expected;
    for (std::int64_t n = 1; n <= 1'000'000'000; n *= 10) {
        for (const std::int64_t value : {n - 1, n, n + 1, 2 * n - 1}) {
            source += std::to_string(value) + "\n";
            expected << value << '\n';
        }
    }
    source += "2147483647\nincr A\nwrite\nneg P\njump 1\n";
    expected << 2147483647 << '\n'
             << std::numeric_limits<std::int32_t>::min() << '\n'
             << -268435456 << '\n'
             << -1358954496 << '\n'
             << -805306367 << '\n';
    EXPECT_EQ(assembleText(source).image, expected.str());
}

TEST(Assembler, KeepsTheCellsForTools) {
    std::istringstream input("= k 3\n:top load A k\n\n* 2 top\n");
    std::ostringstream output;
    Assembler assembler(input, output);
    assembler.assemble();
    ASSERT_EQ(assembler.cellCount(), 3u);
    EXPECT_EQ(assembler.cell(0).line, 2);
    EXPECT_FALSE(assembler.cell(0).isData);
    EXPECT_EQ(assembler.cell(0).number(), 0x10000003);
    EXPECT_EQ(assembler.cell(2).line, 4);
    EXPECT_EQ(assembler.cell(2).number(), 0);
    EXPECT_EQ(assembler.cell(3).line, -1);
    EXPECT_EQ(assembler.symbolTable().lookup("top").number(), 0);
}

// One name repeated into many cells is kept once: a long name repeated 65536
// times would otherwise need gigabytes. The failed run leaves the names unresolved.
TEST(Assembler, RepeatedNamesShareTheirText) {
    std::istringstream input("* 3 missing\n* 3 jump missing\n");
    std::ostringstream output;
    Assembler assembler(input, output);
    EXPECT_THROW(assembler.assemble(), UndefinedLabel);
    ASSERT_EQ(assembler.cellCount(), 6u);
    ASSERT_TRUE(assembler.cell(1).hasName());
    EXPECT_EQ(assembler.cell(1).name(), assembler.cell(2).name());
    EXPECT_EQ(assembler.symbolTable().name(assembler.cell(2).name()), "missing");
    EXPECT_EQ(assembler.cell(4).name(), assembler.cell(5).name());
    EXPECT_EQ(assembler.cell(4).name(), assembler.cell(1).name());
}

TEST(Assembler, LongAliasChainsResolve) {
    std::string source;
    constexpr int length = 300000;
    for (int i = 0; i < length; ++i) {
        source += "= a" + std::to_string(i) + " a" + std::to_string(i + 1) + "\n";
    }
    source += "= a" + std::to_string(length) + " 77\n* 1000 a0\n";
    const Outcome outcome = assembleText(source);
    EXPECT_EQ(outcome.error, "");
    EXPECT_TRUE(outcome.image.starts_with("77\n77\n"));
}

}  // namespace
}  // namespace Vorn::Assembly
