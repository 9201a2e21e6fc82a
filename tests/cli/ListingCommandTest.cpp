// vornlist as users run it: real files, standard streams and exit status.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/Expectations.h"
#include "support/RunProgram.h"

namespace Vorn::Testing {
namespace {

ProgramResult vornlist(const std::vector<std::string>& arguments) {
    return runProgram(VORNLIST_PATH, arguments);
}

TEST(ListingCommand, ListsASourceWithItsLinesAndSymbols) {
    TemporaryDirectory dir;
    writeFile(dir.file("a.vorn"),
              "; doubles a number\r\n"
              "= twice 2\r\n"
              ":start  load A value\r\n"
              "        add A        ; A + A\r\n"
              "* 2     7\r\n"
              "        jump end\r\n"
              ":value  twice\r\n");
    const ProgramResult result = vornlist({"--source", dir.file("a.vorn")});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out,
              " addr     hex        word      decimal  instruction    line  source\n"
              "    0  0x0000  0x10000005    268435461  load A value      3  :start  load A value\n"
              "    1  0x0001  0x50000000   1342177280  add A             4          add A        ; "
              "A + A\n"
              "    2  0x0002  0x00000007            7                    5  * 2     7\n"
              "    3  0x0003  0x00000007            7                    5  * 2     7\n"
              "    4  0x0004  0xD000FFFF   -805240833  jump end          6          jump end\n"
              "    5  0x0005  0x00000002            2                    7  :value  twice\n"
              "\n"
              "symbol        value  hex\n"
              "end           65535  0x0000FFFF\n"
              "start             0  0x00000000\n"
              "twice             2  0x00000002\n"
              "value             5  0x00000005\n");
}

TEST(ListingCommand, ShowsTheLastLineWithoutALineEnd) {
    TemporaryDirectory dir;
    // The assembler finishes the last statement only after the file's end.
    const std::pair<const char*, const char*> cases[] = {
        {"= x 5\n=y x;c\ny", "y\n"},
        {"incr A\n:l jump l", ":l jump l\n"},
        {"incr A\r\n7", "7\n"},
    };
    for (const auto& [source, lastLine] : cases) {
        writeFile(dir.file("a.vorn"), source);
        const ProgramResult result = vornlist({"-s", dir.file("a.vorn")});
        EXPECT_EQ(result.status, 0);
        const std::string cells = result.out.substr(0, result.out.find("\n\n") + 1);
        EXPECT_TRUE(cells.ends_with(lastLine)) << cells;
    }
}

TEST(ListingCommand, FlowShowsBlocksSuccessorsAndFindings) {
    TemporaryDirectory dir;
    writeFile(dir.file("a.vorn"),
              "        read\n"
              ":loop   jz I done\n"
              "        write\n"
              ":done   jump end\n"
              "        incr A\n"
              ":ptr    load A value\n"
              ":value  5\n"
              "        load A ptr\n");
    const ProgramResult result = vornlist({"-s", "--flow", dir.file("a.vorn")});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out,
              " addr     hex        word      decimal  instruction    line  source\n"
              "block 0: reached\n"
              "    0  0x0000  0xE0000000   -536870912  read              1          read\n"
              "    1  0x0001  0xB8000003  -1207959549  jz I done         2  :loop   jz I done\n"
              "  → 2, 3 (done)\n"
              "block 2: reached\n"
              "    2  0x0002  0xF0000000   -268435456  write             3          write\n"
              "  → 3 (done)\n"
              "block 3 (done): reached\n"
              "    3  0x0003  0xD000FFFF   -805240833  jump end          4  :done   jump end\n"
              "  → end\n"
              "block 4: not reached\n"
              "    4  0x0004  0x80000000  -2147483648  incr A            5          incr A\n"
              "    5  0x0005  0x10000006    268435462  load A value      6  :ptr    load A value\n"
              "  → 6 (value, data)\n"
              "data\n"
              "    6  0x0006  0x00000005            5                    7  :value  5\n"
              "block 7: not reached\n"
              "    7  0x0007  0x10000005    268435461  load A ptr        8          load A ptr\n"
              "  → 8 (unfilled)\n"
              "\n"
              "symbol        value  hex\n"
              "done              3  0x00000003\n"
              "end           65535  0x0000FFFF\n"
              "loop              1  0x00000001\n"
              "ptr               5  0x00000005\n"
              "value             6  0x00000006\n"
              "\n"
              "flow\n"
              // line 6 is a pointer word: line 8 loads it
              "line 5: hint: never executed: no path from address 0 reaches this instruction "
              "[unreachable]\n"
              "line 8: hint: never executed: no path from address 0 reaches this instruction "
              "[unreachable]\n");
    const ProgramResult image = vornlist({"--flow", dir.file("a.vorn")});
    EXPECT_EQ(image.status, 1);
    EXPECT_EQ(image.err, "Error: --flow needs a source: add -s.\n");
}

TEST(ListingCommand, ProfileThatIsNotOneIsAnError) {
    TemporaryDirectory dir;
    writeFile(dir.file("a.vorn"), "jump end\n");
    writeFile(dir.file("p.csv"), "address,line,count,line_count\n0,1,x,1\n");
    const ProgramResult bad = vornlist({"-s", "--profile", dir.file("p.csv"), dir.file("a.vorn")});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err, "Error: profile '" + dir.file("p.csv") +
                           "': line 2 is not 'address,line,count,line_count'.\n");
    const ProgramResult missing =
        vornlist({"-s", "--profile", dir.file("none.csv"), dir.file("a.vorn")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "Error: cannot read profile '" + dir.file("none.csv") + "'.\n");
}

TEST(ListingCommand, ShowsNamesThatDoNotResolve) {
    TemporaryDirectory dir;
    // Definitions that no cell uses are never resolved while assembling.
    writeFile(dir.file("a.vorn"), "= a_rather_long_name b\n= b a_rather_long_name\n= c d\n7\n");
    const ProgramResult result = vornlist({"-s", dir.file("a.vorn")});
    EXPECT_EQ(result.status, 0);
    const std::string symbols = result.out.substr(result.out.find("\n\n") + 2);
    EXPECT_EQ(symbols,
              "symbol                    value  hex\n"
              "a_rather_long_name  does not resolve: circular definition of "
              "'a_rather_long_name'\n"
              "b                   does not resolve: circular definition of 'b'\n"
              "c                   does not resolve: undefined label 'd'\n"
              "end                       65535  0x0000FFFF\n");
}

TEST(ListingCommand, ListsAnImage) {
    TemporaryDirectory dir;
    writeFile(dir.file("a.image"), "268435461\r\n-1\r\n100\r\n824180736");
    const ProgramResult result = vornlist({dir.file("a.image")});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out,
              " addr     hex        word      decimal  instruction\n"
              "    0  0x0000  0x10000005    268435461  load A 5\n"
              "    1  0x0001  0xFFFFFFFF           -1  write\n"
              "    2  0x0002  0x00000064          100  noop\n"
              "    3  0x0003  0x31200000    824180736  loadi B C\n");
}

// The address and word columns of a listing's cell lines.
std::vector<std::string> wordColumns(const std::string& listing) {
    constexpr std::size_t width = 38;
    std::vector<std::string> rows;
    std::size_t start = listing.find('\n') + 1;
    while (start < listing.size() && listing[start] != '\n') {
        const std::size_t end = listing.find('\n', start);
        rows.push_back(listing.substr(start, std::min(width, end - start)));
        start = end + 1;
    }
    return rows;
}

TEST(ListingCommand, ListsTheSameWordsFromASourceAndItsImage) {
    for (const char* name : {"countdown", "sum", "multiply", "table"}) {
        const std::string base = std::string(EXAMPLES_DIR) + "/" + name;
        const ProgramResult fromSource = vornlist({"-s", base + ".vorn"});
        const ProgramResult fromImage = vornlist({base + ".image"});
        EXPECT_EQ(fromSource.status, 0) << name;
        EXPECT_EQ(fromImage.status, 0) << name;
        EXPECT_FALSE(wordColumns(fromImage.out).empty()) << name;
        EXPECT_EQ(wordColumns(fromSource.out), wordColumns(fromImage.out)) << name;
    }
}

TEST(ListingCommand, ReportsErrors) {
    TemporaryDirectory dir;
    writeFile(dir.file("bad.image"), "1\nx\n");
    writeFile(dir.file("bad.vorn"), "= a b\n= b a\na\n");
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, "no FILE given (vornlist --help lists the options)."},
        {{"--trace", dir.file("bad.image")},
         "unknown option '--trace' (vornlist --help lists the options)."},
        {{dir.file("missing")}, "cannot read image file '" + dir.file("missing") + "'."},
        {{"-s", dir.path()}, "cannot read source file '" + dir.path() + "'."},
        {{dir.file("bad.image")},
         dir.file("bad.image") + ", line 2: 'x' is not a signed decimal number."},
        {{"--source", dir.file("bad.vorn")}, "circular definition of 'a'."},
    };
    for (const auto& [arguments, message] : cases) {
        expectFailure(vornlist(arguments), 1, message);
    }
    // Where the message alone misleads, the analysis's hint follows it.
    writeFile(dir.file("hint.vorn"), "lod A 5\n");
    const ProgramResult hinted = vornlist({"-s", dir.file("hint.vorn")});
    EXPECT_EQ(hinted.status, 1);
    EXPECT_EQ(hinted.err,
              "Error: (line 1, token identifier('A')) expecting end-of-line or end-of-file.\n"
              "hint: 'lod' is not an operation name, so the line is read as a data word, which "
              "stands alone; did you mean 'load'?\n");
}

TEST(ListingCommand, HelpAndVersion) {
    const ProgramResult help = vornlist({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--source"), std::string::npos);
    const ProgramResult version = vornlist({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("vornlist ") + VORN_VERSION + "\n");
}

}  // namespace
}  // namespace Vorn::Testing
