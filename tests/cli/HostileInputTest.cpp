// vornasm on hostile input, as users run it: every source ends in the right
// image or in one error line, within bounded time and memory. The big sources
// are made here, at test time.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "support/Expectations.h"
#include "support/RunProgram.h"

namespace Vorn::Testing {
namespace {

// Generous enough for a sanitizer build; far below what a runaway needs.
constexpr Limits bounds{.seconds = 60, .memoryMb = 1024};

struct Outcome {
    std::string image;
    std::string err;
};

Outcome assembleFile(const std::string& sourcePath) {
    TemporaryDirectory dir;
    const ProgramResult result =
        runProgram(VORNASM_PATH, {sourcePath, dir.file("out")}, "", bounds);
    EXPECT_EQ(result.limitPassed, "") << "peak memory " << result.peakMemoryMb << " MB";
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "");
    return {readFile(dir.file("out")), result.err};
}

Outcome assemble(const std::string& source) {
    TemporaryDirectory dir;
    writeFile(dir.file("a.vorn"), source);
    return assembleFile(dir.file("a.vorn"));
}

// Compares long texts without printing megabytes when they differ.
::testing::AssertionResult sameText(const std::string& actual, const std::string& expected) {
    if (actual == expected) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "got " << actual.size() << " bytes beginning '" << actual.substr(0, 80)
           << "', expected " << expected.size() << " bytes beginning '" << expected.substr(0, 80)
           << "'";
}

std::string errorLine(const std::string& message) {
    return "Error: " + message + ".\n";
}

TEST(HostileInput, TenMegabyteIdentifier) {
    const std::string name(10 << 20, 'n');
    const Outcome defined = assemble("= " + name + " 5\n" + name + "\njump " + name + "\n");
    EXPECT_EQ(defined.image, "5\n-805306363\n");
    EXPECT_EQ(defined.err, "");

    const Outcome undefined = assemble(":" + name + "\n" + name + "x\n");
    EXPECT_EQ(undefined.image, "");
    EXPECT_TRUE(sameText(undefined.err, errorLine("undefined label '" + name + "x'")));
}

// Each copy of a repeated name once held its own text and was looked up on
// its own: a 10 MB name repeated into 65536 cells needed 640 GB and an hour.
TEST(HostileInput, LongNameRepeatedIntoEveryCell) {
    const std::string name(10 << 20, 'r');
    const Outcome data = assemble("* 65536 " + name + "\n= " + name + " 9\n");
    EXPECT_EQ(data.err, "");
    EXPECT_TRUE(sameText(data.image, repeatedLine("9", 65536)));

    const Outcome jumps = assemble("* 65535 jump " + name + "\n:" + name + " 0\n");
    EXPECT_EQ(jumps.err, "");
    EXPECT_TRUE(sameText(jumps.image, repeatedLine("-805240833", 65535) + "0\n"));
}

TEST(HostileInput, MegabyteOfBlanks) {
    const std::string blanks(1 << 20, ' ');
    const Outcome outcome = assemble(blanks + "5" + blanks + "\n" + blanks + "\n\t\v" + blanks +
                                     "incr" + blanks + "A" + blanks);
    EXPECT_EQ(outcome.image, "5\n-2147483648\n");
    EXPECT_EQ(outcome.err, "");
}

TEST(HostileInput, LeadingZerosAndLongNumbers) {
    const std::string zeros(10000, '0');
    const Outcome zeroed =
        assemble(zeros + "42\njump " + zeros + "65535\n* " + zeros + "2 " + zeros + "\n");
    EXPECT_EQ(zeroed.image, "42\n-805240833\n0\n0\n");
    EXPECT_EQ(zeroed.err, "");

    std::string hundredDigits;
    for (int i = 0; i < 10; ++i) {
        hundredDigits += "1234567890";
    }
    for (const std::string& source :
         {hundredDigits + "\n", "7\n" + hundredDigits, "= x " + hundredDigits + "\nx\n"}) {
        const Outcome outcome = assemble(source);
        EXPECT_EQ(outcome.image, "");
        EXPECT_EQ(outcome.err.substr(outcome.err.find(')')), ") number out of range.\n");
    }
}

// What a byte does where a statement begins and inside a name; the bytes that
// begin no token and are no line end stop the run with one error.
bool continuesName(unsigned char b) {
    return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || b == '_';
}

std::string byteAtStatementStart(unsigned char b) {
    const std::string text(1, static_cast<char>(b));
    if (b == ' ' || b == '\t' || b == '\v' || b == '\n') {
        return "5\n";
    }
    if (b >= '0' && b <= '9') {
        return std::to_string((b - '0') * 10 + 5) + "\n";
    }
    switch (b) {
        case ';':
            return "";
        case ':':
        case '=':
            return errorLine("(line 1, token number('5')) expecting identifier");
        case '*':
            return errorLine("(line 1, token end-of-line) expecting number or identifier");
        default:
            break;
    }
    if (continuesName(b)) {
        return errorLine("undefined label '" + text + "5'");
    }
    return errorLine("(line 1) invalid token");
}

std::string byteInsideName(unsigned char b) {
    const std::string text(1, static_cast<char>(b));
    const std::string noEnd = ") expecting end-of-line or end-of-file";
    if (continuesName(b)) {
        return errorLine("undefined label 'x" + text + "y'");
    }
    switch (b) {
        case ' ':
        case '\t':
        case '\v':
            return errorLine("(line 2, token identifier('y')" + noEnd);
        case '\n':
            return "9\n" + errorLine("undefined label 'y'");
        case ';':
            return "9\n";
        case ':':
            return errorLine("(line 2, token label(:)" + noEnd);
        case '=':
            return errorLine("(line 2, token definition(=)" + noEnd);
        case '*':
            return errorLine("(line 2, token repetition(*)" + noEnd);
        default:
            return errorLine("(line 2, token none" + noEnd);
    }
}

TEST(HostileInput, EveryByteValue) {
    for (int value = 0; value < 256; ++value) {
        const auto b = static_cast<unsigned char>(value);
        const std::string text(1, static_cast<char>(b));
        const Outcome start = assemble(text + "5\n");
        EXPECT_EQ(start.image + start.err, byteAtStatementStart(b)) << "byte " << value;
        const Outcome inside = assemble("= x 9\nx" + text + "y\n");
        EXPECT_EQ(inside.image + inside.err, byteInsideName(b)) << "byte " << value;
    }
}

TEST(HostileInput, NulBytesAndFilesThatAreNotText) {
    const Outcome inComment = assemble(std::string("; \0\0\0\n7\n", 8));
    EXPECT_EQ(inComment.image, "7\n");
    EXPECT_EQ(inComment.err, "");

    const Outcome nuls = assemble(std::string(1 << 20, '\0'));
    EXPECT_EQ(nuls.image, "");
    EXPECT_EQ(nuls.err, errorLine("(line 1) invalid token"));

    // The program itself: an executable, not a source.
    const Outcome binary = assembleFile(VORNASM_PATH);
    EXPECT_EQ(binary.image, "");
    EXPECT_EQ(binary.err, errorLine("(line 1) invalid token"));

    const Outcome lateLine = assemble(std::string(10'000'000, '\n') + "#");
    EXPECT_EQ(lateLine.err, errorLine("(line 10000001) invalid token"));
}

TEST(HostileInput, EndlessSourcesAreReadAsTheyCome) {
    // A device never ends: it is not read whole before the first token.
    const Outcome zeros = assembleFile("/dev/zero");
    EXPECT_EQ(zeros.image, "");
    EXPECT_EQ(zeros.err, errorLine("(line 1) invalid token"));
}

TEST(HostileInput, MillionAliasesInAChain) {
    constexpr int length = 1'000'000;
    std::string source;
    for (int i = 0; i < length; ++i) {
        source += "= a" + std::to_string(i) + " a" + std::to_string(i + 1) + "\n";
    }
    source += "= a" + std::to_string(length) + " 31\na0\na" + std::to_string(length / 2) + "\n";
    const Outcome outcome = assemble(source);
    EXPECT_EQ(outcome.image, "31\n31\n");
    EXPECT_EQ(outcome.err, "");
}

TEST(HostileInput, CycleOfAliases) {
    constexpr int length = 100'000;
    std::string source = "5\na0\n";
    for (int i = 0; i < length; ++i) {
        source += "= a" + std::to_string(i) + " a" + std::to_string((i + 1) % length) + "\n";
    }
    const Outcome outcome = assemble(source);
    EXPECT_EQ(outcome.image, "5\n");
    EXPECT_EQ(outcome.err, errorLine("circular definition of 'a0'"));
}

TEST(HostileInput, EveryCellLabelled) {
    // Each cell holds the address of the next, the last that of the first.
    constexpr int cells = 65536;
    std::string source;
    std::string image;
    for (int i = 0; i < cells; ++i) {
        source += ":l" + std::to_string(i) + " l" + std::to_string((i + 1) % cells) + "\n";
        image += std::to_string((i + 1) % cells) + "\n";
    }
    const Outcome full = assemble(source + ":past past\n");
    EXPECT_EQ(full.err, errorLine("(line 65537) memory full"));
    EXPECT_EQ(full.image, "");

    const Outcome outcome = assemble(source + ":past\n");
    EXPECT_EQ(outcome.err, "");
    EXPECT_TRUE(sameText(outcome.image, image));
}

TEST(HostileInput, ExtremeRepeatCounts) {
    const struct {
        std::string source;
        std::string expected;  // image, then standard error
    } cases[] = {
        {"* 2147483647 0\n", errorLine("(line 1) memory full")},
        {"1\n* 2147483647 jump x\n", errorLine("(line 2) memory full")},
        {"* 2147483648 0\n", errorLine("(line 1) number out of range")},
        {"* 0 5\n* 0 jump nowhere\n* 0 nowhere\n", ""},
        {"* 0 B\n", errorLine("(line 1, token identifier('B')) expecting label")},
        {"* 65536 0\n", repeatedLine("0", 65536)},
        {"* 65536 0\n* 0 0\n:after\n", repeatedLine("0", 65536)},
        {"* 65537 0\n", errorLine("(line 1) memory full")},
    };
    for (const auto& c : cases) {
        const Outcome outcome = assemble(c.source);
        EXPECT_TRUE(sameText(outcome.image + outcome.err, c.expected)) << c.source;
    }
}

}  // namespace
}  // namespace Vorn::Testing
