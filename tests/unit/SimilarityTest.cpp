// Similarity across submissions: planted copies, disguised as copiers
// disguise them, are found above the threshold; independent solutions, of
// the same exercise too, are not.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "grading/Similarity.h"

namespace Vorn::Grading {
namespace {

std::string example(const std::string& name) {
    std::ifstream file(std::string(EXAMPLES_DIR) + "/" + name);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The sum again, written another way: the total kept in memory.
const char* const otherSum = R"(; adds the numbers read until a zero
:top    read
        jz I out
        load A total
        add I
        store A total
        jump top
:out    load O total
        write
        jump end
:total  0
)";

// examples/sum.vorn with other label names, comments moved, other spacing.
const char* const sumCopy = R"(
        zero A
; the loop
:again read
  jz I finish   ; stop at zero

  add I
  jump again
:finish store A total
   load O total
   write
   jump end
:total 0
)";

// examples/multiply.vorn with B and C swapped, the data in another order.
const char* const multiplyCopy = R"(; a times b
        read
        store I factor
        load C factor
        read
        store I times
        load B times
        zero A
:loop   jz B done
        add C
        decr B
        jump loop
:done   store A product
        load O product
        write
        jump end
:product 0
:factor  0
:times   0
)";

// examples/table.vorn with its names changed and no comments.
const char* const tableCopy = R"(        load B start
:walk   loadi O B
        jz O stop
        write
        incr B
        jump walk
:stop   jump end
:start  load A entries
= count 5
:entries 3
        1
        4
        1
        count
        0
)";

// examples/countdown.vorn with registers O and I renamed to others, labels too.
const char* const countdownCopy = R"(        read
        store I n
        load O n
:again  jz O finished
        write
        decr O
        jump again
:finished jump end
:n      0
)";

TEST(Similarity, FindsEveryPlantedCopyAndNoIndependentPair) {
    const std::vector<std::string> names = {"sum",       "multiply",   "table",
                                            "countdown", "other sum",  "sum copy",
                                            "mul copy",  "table copy", "countdown copy"};
    const std::vector<std::string> sources = {example("sum.vorn"),
                                              example("multiply.vorn"),
                                              example("table.vorn"),
                                              example("countdown.vorn"),
                                              otherSum,
                                              sumCopy,
                                              multiplyCopy,
                                              tableCopy,
                                              countdownCopy};
    const std::set<std::pair<std::size_t, std::size_t>> copies = {{0, 5}, {1, 6}, {2, 7}, {3, 8}};
    std::vector<Fingerprinted> prints;
    for (const std::string& source : sources) {
        prints.push_back(fingerprint(source));
    }
    for (std::size_t a = 0; a < sources.size(); ++a) {
        for (std::size_t b = a + 1; b < sources.size(); ++b) {
            const double value = similarity(prints[a], prints[b]);
            if (copies.contains({a, b})) {
                EXPECT_GE(value, 0.5) << names[a] << " ~ " << names[b];
            } else {
                EXPECT_LT(value, 0.5) << names[a] << " ~ " << names[b];
            }
        }
    }
    const std::vector<SimilarPair> pairs = similarPairs(prints, 0.5);
    ASSERT_EQ(pairs.size(), copies.size());
    for (const SimilarPair& pair : pairs) {
        EXPECT_TRUE(copies.contains({pair.a, pair.b})) << names[pair.a] << " ~ " << names[pair.b];
        EXPECT_FALSE(pair.matches.empty());
    }
    // The copy of the sum matches it from its first statement to its last.
    const std::vector<LineMatch> sum = matches(prints[0], prints[5]);
    ASSERT_FALSE(sum.empty());
    EXPECT_EQ(sum.front().aFirst, 2);
    EXPECT_EQ(sum.back().aLast, 11);
    EXPECT_EQ(sum.front().bFirst, 2);
    EXPECT_EQ(sum.back().bLast, 13);
}

// Nothing a normaliser meets stops it: no statements, only comments, names
// that are operation or register names, lines the assembler refuses.
TEST(Similarity, AnySourceNormalises) {
    for (const char* source :
         {"", "\n\n", "; only a comment\n", ":\n", "= \n", "* * *\n", "load load load\n",
          ":A jump A\n", "99999999999999999999\n", "\x01\xff\xfe", "a\rb\r\n"}) {
        const Fingerprinted print = fingerprint(source);
        EXPECT_EQ(similarity(print, print), print.hashes.empty() ? 0.0 : 1.0) << source;
    }
}

}  // namespace
}  // namespace Vorn::Grading
