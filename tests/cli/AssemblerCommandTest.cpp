// vornasm as users run it: real files, standard error and exit status.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/RunProgram.h"

namespace Vorn::Testing {
namespace {

ProgramResult vornasm(const std::vector<std::string>& arguments) {
    return runProgram(VORNASM_PATH, arguments);
}

TEST(AssemblerCommand, NeedsExactlyTwoArguments) {
    TemporaryDirectory dir;
    const std::string source = dir.file("a.vorn");
    writeFile(source, "5\n");
    const std::vector<std::vector<std::string>> argumentLists = {
        {}, {source}, {source, dir.file("out"), dir.file("third")}};
    for (const auto& arguments : argumentLists) {
        const ProgramResult result = vornasm(arguments);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, "Error: two arguments required.\n");
        EXPECT_EQ(result.out, "");
        EXPECT_FALSE(fileExists(dir.file("out")));
    }
}

TEST(AssemblerCommand, ReportsAnInputThatCannotBeOpened) {
    TemporaryDirectory dir;
    for (const std::string& input : {dir.file("missing.vorn"), dir.path()}) {
        const ProgramResult result = vornasm({input, dir.file("out")});
        EXPECT_EQ(result.status, 1) << input;
        EXPECT_EQ(result.err, "Error: invalid input file.\n") << input;
        EXPECT_FALSE(fileExists(dir.file("out"))) << "the output is not created";
    }
}

TEST(AssemblerCommand, ReportsAnOutputThatCannotBeOpened) {
    TemporaryDirectory dir;
    writeFile(dir.file("a.vorn"), "5\n");
    for (const std::string& output : {dir.file("missing/out"), dir.path()}) {
        const ProgramResult result = vornasm({dir.file("a.vorn"), output});
        EXPECT_EQ(result.status, 1) << output;
        EXPECT_EQ(result.err, "Error: invalid output file\n") << output;
    }
}

TEST(AssemblerCommand, RefusesToOverwriteItsSource) {
    TemporaryDirectory dir;
    const std::string source = dir.file("a.vorn");
    writeFile(source, "5\n");
    ASSERT_EQ(::symlink(source.c_str(), dir.file("link").c_str()), 0);
    ASSERT_EQ(::link(source.c_str(), dir.file("hard").c_str()), 0);
    for (const std::string& output :
         {source, dir.path() + "/./a.vorn", dir.file("link"), dir.file("hard")}) {
        const ProgramResult result = vornasm({source, output});
        EXPECT_EQ(result.status, 1) << output;
        EXPECT_EQ(result.err, "Error: input and output are the same file.\n") << output;
        EXPECT_EQ(readFile(source), "5\n") << "the source is left untouched";
    }
}

TEST(AssemblerCommand, ReportsAFailedWrite) {
    TemporaryDirectory dir;
    writeFile(dir.file("a.vorn"), "5\n");
    const ProgramResult result = vornasm({dir.file("a.vorn"), "/dev/full"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "Error: cannot write output file.\n");

    writeFile(dir.file("b.vorn"), "1\nnowhere\n");
    const ProgramResult partial = vornasm({dir.file("b.vorn"), "/dev/full"});
    EXPECT_EQ(partial.status, 1);
    EXPECT_EQ(partial.err, "Error: undefined label 'nowhere'.\nError: cannot write output file.\n");

    writeFile(dir.file("empty.vorn"), "; nothing\n");
    const ProgramResult empty = vornasm({dir.file("empty.vorn"), "/dev/full"});
    EXPECT_EQ(empty.status, 0) << "an image with no cells writes nothing";
    EXPECT_EQ(empty.err, "");
}

TEST(AssemblerCommand, AnAssemblyErrorEmptiesTheImageAndExitsZero) {
    TemporaryDirectory dir;
    writeFile(dir.file("a.vorn"), "5\n6\nload Q 1\n");
    writeFile(dir.file("out"), "an older image\n");
    const ProgramResult result = vornasm({dir.file("a.vorn"), dir.file("out")});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "Error: (line 3, token identifier('Q')) expecting register.\n");
    EXPECT_EQ(readFile(dir.file("out")), "");
}

TEST(AssemblerCommand, SucceedsSilently) {
    TemporaryDirectory dir;
    writeFile(dir.file("a.vorn"), ":loop jump loop\n");
    const ProgramResult result = vornasm({dir.file("a.vorn"), dir.file("out")});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(readFile(dir.file("out")), "-805306368\n");
}

TEST(AssemblerCommand, FillsAllOfMemory) {
    // A label read once every cell is filled binds 65536, whose low 16 bits
    // are the address 0.
    TemporaryDirectory dir;
    writeFile(dir.file("full.vorn"), "after\njump after\n* 65534 0\n* 0 5\n* 0 incr A\n:after\n");
    const ProgramResult result = vornasm({dir.file("full.vorn"), dir.file("out")});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    std::string expected = "65536\n-805306368\n";
    for (int i = 0; i < 65534; ++i) {
        expected += "0\n";
    }
    EXPECT_EQ(readFile(dir.file("out")), expected);
}

}  // namespace
}  // namespace Vorn::Testing
