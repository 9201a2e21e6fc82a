// vornsim and vornlist on hostile images, sources and inputs, as users run
// them: every run ends in the right output or in one printable error line,
// within bounded time and memory. The big files are made here, at test time.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/Expectations.h"
#include "support/RunProgram.h"

namespace Vorn::Testing {
namespace {

// Generous enough for a sanitizer build; far below what a runaway needs.
constexpr Limits bounds{.seconds = 60, .memoryMb = 1024};

ProgramResult run(const char* program, const std::vector<std::string>& arguments,
                  const std::string& input = "", const Limits& limits = bounds) {
    const ProgramResult result = runProgram(program, arguments, input, limits);
    EXPECT_EQ(result.limitPassed, "") << "peak memory " << result.peakMemoryMb << " MB";
    return result;
}

ProgramResult vornsim(const std::vector<std::string>& arguments, const std::string& input = "") {
    return run(VORNSIM_PATH, arguments, input);
}

// One line, "Error: " first, every byte printable: what a terminal can show.
::testing::AssertionResult isOneErrorLine(const std::string& err) {
    const bool printable = std::all_of(err.begin(), err.end() - (err.empty() ? 0 : 1), [](char c) {
        return static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7F;
    });
    if (err.starts_with("Error: ") && err.ends_with("\n") && printable) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "not one printable error line: '" << err.substr(0, 200) << "'";
}

TEST(HostileImage, MalformedImagesNameTheirLine) {
    const std::string digits(10 << 20, '7');
    const std::pair<std::string, std::string> cases[] = {
        {"abc\n", "line 1: 'abc' is not a signed decimal number"},
        {"1.5\n", "line 1: '1.5' is not a signed decimal number"},
        {"1e5\n", "line 1: '1e5' is not a signed decimal number"},
        {"--5\n", "line 1: '--5' is not a signed decimal number"},
        {"\xEF\xBC\x95\n", "line 1: '\\xEF\\xBC\\x95' is not a signed decimal number"},
        {"4294967296\n", "line 1: '4294967296' does not fit in 32 bits"},
        {"0\n2147483648\n", "line 2: '2147483648' does not fit in 32 bits"},
        {digits + "\n", "line 1: '" + digits.substr(0, 40) + "...' does not fit in 32 bits"},
        {"-" + digits, "line 1: '-" + digits.substr(0, 39) + "...' does not fit in 32 bits"},
        {"1" + std::string(10 << 20, 'x'),
         "line 1: '1" + std::string(39, 'x') + "...' is not a signed decimal number"},
        {"\n", "line 1: empty line, expected a signed decimal number"},
        {"5\n\n", "line 2: empty line, expected a signed decimal number"},
        {"5\r\n\r\n", "line 2: empty line, expected a signed decimal number"},
        {" \n", "line 1: ' ' is not a signed decimal number"},
        {repeatedLine("0", 65537), "line 65537: more than 65536 words, the size of memory"},
        {repeatedLine("0", 1'000'000), "line 65537: more than 65536 words, the size of memory"},
    };
    TemporaryDirectory dir;
    const std::string image = dir.file("bad.image");
    for (const auto& [text, problem] : cases) {
        writeFile(image, text);
        expectFailure(vornsim({image}), 1, image + ", " + problem + ".");
        expectFailure(run(VORNLIST_PATH, {image}), 1, image + ", " + problem + ".");
    }
}

TEST(HostileImage, EveryByteValueInALine) {
    TemporaryDirectory dir;
    const std::string image = dir.file("byte.image");
    for (int value = 0; value < 256; ++value) {
        const char byte = static_cast<char>(value);
        writeFile(image, std::string("1") + byte + "\n");
        const ProgramResult result = vornsim({image});
        if ((byte >= '0' && byte <= '9') || byte == '\r') {
            // A word, then noops up to the halt address.
            EXPECT_EQ(result.status, 0) << "byte " << value;
            EXPECT_EQ(result.err, "") << "byte " << value;
        } else {
            EXPECT_EQ(result.status, 1) << "byte " << value;
            EXPECT_TRUE(isOneErrorLine(result.err)) << "byte " << value;
        }
    }
}

TEST(HostileImage, FilesThatAreNotImages) {
    // A device that never ends, and an executable.
    for (const std::string& file : {std::string("/dev/zero"), std::string(VORNSIM_PATH)}) {
        for (const char* program : {VORNSIM_PATH, VORNLIST_PATH}) {
            const ProgramResult result = run(program, {file});
            EXPECT_EQ(result.status, 1) << program << " " << file;
            EXPECT_TRUE(isOneErrorLine(result.err)) << program << " " << file;
            EXPECT_NE(result.err.find(file + ", line 1: '"), std::string::npos) << result.err;
        }
    }
}

// A source was read whole before the assembler saw it: '-s /dev/zero' grew
// without end instead of stopping at the first byte.
TEST(HostileImage, EndlessSourceStopsAtItsFirstError) {
    for (const char* program : {VORNSIM_PATH, VORNLIST_PATH}) {
        expectFailure(run(program, {"--source", "/dev/zero"}), 1, "(line 1) invalid token.");
    }
}

TEST(HostileImage, CrLfAndAFullMemory) {
    TemporaryDirectory dir;
    // The countdown, its lines ended by CR LF.
    std::string crlf;
    for (const char c : readFile(std::string(EXAMPLES_DIR) + "/countdown.image")) {
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    writeFile(dir.file("countdown.image"), crlf);
    const ProgramResult countdown = vornsim({dir.file("countdown.image")}, "3");
    EXPECT_EQ(countdown.out, "3\n2\n1\n");
    EXPECT_EQ(countdown.status, 0);

    // Every word a noop: the run falls through all of memory and halts.
    writeFile(dir.file("full.image"), repeatedLine("0", 65536));
    const ProgramResult full = vornsim({"--max-steps", "65535", dir.file("full.image")});
    EXPECT_EQ(full.status, 0);
    EXPECT_EQ(full.err, "");
}

TEST(HostileImage, AProgramThatNeverHalts) {
    TemporaryDirectory dir;
    writeFile(dir.file("loop.image"), "-805306368\n");  // jump 0
    expectFailure(vornsim({"--max-steps", "1000000", dir.file("loop.image")}), 2,
                  "step limit reached: 1000000 steps run and the program has not halted (next "
                  "address 0).");

    // Without a limit it runs until it is stopped, in the memory it started with.
    const ProgramResult endless =
        runProgram(VORNSIM_PATH, {dir.file("loop.image")}, "", {.seconds = 2, .memoryMb = 512});
    EXPECT_EQ(endless.limitPassed, "time");
    EXPECT_LT(endless.peakMemoryMb, 200u);
    EXPECT_EQ(endless.out, "");
}

TEST(HostileImage, ReadTakesWhatTheInputHolds) {
    TemporaryDirectory dir;
    // Reads twice and writes the last number read; I starts at 0.
    writeFile(dir.file("read.vorn"), "read\nread\nstore I x\nload O x\nwrite\njump end\n:x 0\n");
    const std::string source = dir.file("read.vorn");
    const std::pair<std::string, std::string> cases[] = {
        {"", "0\n"},
        {"7", "7\n"},
        {std::string(1 << 20, ' ') + "\n\t 5 " + std::string(1 << 20, '\n') + "6", "6\n"},
        {"99999999999999999999 6", "0\n"},
        {"-2147483648", "-2147483648\n"},
        {"5 -", "5\n"},
        {std::string(10 << 20, '9'), "0\n"},
        {std::string(1 << 20, '\0'), "0\n"},
    };
    for (const auto& [input, output] : cases) {
        const ProgramResult result = vornsim({"--source", source}, input);
        EXPECT_EQ(result.status, 0) << input.substr(0, 40);
        EXPECT_EQ(result.out, output) << input.substr(0, 40);
        EXPECT_EQ(result.err, "");
    }
    const ProgramResult device = vornsim({"--source", "--input", "/dev/zero", source});
    EXPECT_EQ(device.out, "0\n");
    EXPECT_EQ(device.status, 0);
}

}  // namespace
}  // namespace Vorn::Testing
