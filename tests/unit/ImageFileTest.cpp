#include "machine/ImageFile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

namespace Vorn {
namespace {

std::vector<std::int32_t> read(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::int32_t> values;
    for (const Word word : readImage(in)) {
        values.push_back(word.value());
    }
    return values;
}

struct GoodImage {
    const char* name;
    std::string text;
    std::vector<std::int32_t> values;
};

TEST(ImageFile, ReadsWhatTheAssemblerWrites) {
    const GoodImage cases[] = {
        {"empty", "", {}},
        {"one line", "5\n", {5}},
        {"no final line feed", "5\n-6", {5, -6}},
        {"CR LF", "5\r\n-6\r\n", {5, -6}},
        {"CR LF without the last line end", "5\r\n-6\r", {5, -6}},
        {"the extremes", "2147483647\n-2147483648\n0\n", {2147483647, -2147483647 - 1, 0}},
        {"leading zeros and minus zero", "007\n-0\n", {7, 0}},
        {"instruction words", "268435462\n-805240833\n", {268435462, -805240833}},
    };
    for (const GoodImage& c : cases) {
        EXPECT_EQ(read(c.text), c.values) << c.name;
    }
}

struct BadImage {
    std::string text;
    std::size_t line;
    const char* message;
};

TEST(ImageFile, NamesTheFirstBadLine) {
    const BadImage cases[] = {
        {"1\n\n2\n", 2, "line 2: empty line, expected a signed decimal number"},
        {"1\n2\n\n", 3, "line 3: empty line, expected a signed decimal number"},
        {"\r\n", 1, "line 1: empty line, expected a signed decimal number"},
        {"1\nload A 5\n", 2, "line 2: 'load A 5' is not a signed decimal number"},
        {"+5\n", 1, "line 1: '+5' is not a signed decimal number"},
        {" 5\n", 1, "line 1: ' 5' is not a signed decimal number"},
        {"5 \n", 1, "line 1: '5 ' is not a signed decimal number"},
        {"5\t\n", 1, "line 1: '5\\x09' is not a signed decimal number"},
        {"-\n", 1, "line 1: '-' is not a signed decimal number"},
        {"0x10\n", 1, "line 1: '0x10' is not a signed decimal number"},
        {"1\r2\n", 1, "line 1: '1\\x0D2' is not a signed decimal number"},
        {std::string("1\0", 2) + "\n", 1, "line 1: '1\\x00' is not a signed decimal number"},
        {"2147483648\n", 1, "line 1: '2147483648' does not fit in 32 bits"},
        {"1\n-2147483649\n", 2, "line 2: '-2147483649' does not fit in 32 bits"},
        {"99999999999999999999\n", 1, "line 1: '99999999999999999999' does not fit in 32 bits"},
        {std::string(50, 'x'), 1,
         "line 1: 'xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx...' is not a signed decimal number"},
    };
    for (const BadImage& c : cases) {
        std::istringstream in(c.text);
        try {
            readImage(in);
            ADD_FAILURE() << c.message << ": accepted";
        } catch (const ImageError& error) {
            EXPECT_EQ(error.line(), c.line) << c.message;
            std::ostringstream message;
            message << error;
            EXPECT_EQ(message.str(), c.message);
        }
    }
}

TEST(ImageFile, HoldsAtMostOneLinePerMemoryWord) {
    std::string full;
    for (int i = 0; i < 0x10000; ++i) {
        full += "1\n";
    }
    EXPECT_EQ(read(full).size(), 0x10000u);
    std::istringstream tooLong(full + "1\n");
    try {
        readImage(tooLong);
        ADD_FAILURE() << "65537 lines accepted";
    } catch (const ImageError& error) {
        EXPECT_EQ(error.line(), 65537u);
        std::ostringstream message;
        message << error;
        EXPECT_EQ(message.str(), "line 65537: more than 65536 words, the size of memory");
    }
}

// An input that never ends, as a device does: one pattern over and over (up
// to a budget, so that a reader that does not stop fails instead of hanging).
class EndlessInput : public std::streambuf {
  public:
    explicit EndlessInput(std::string pattern) : pattern_(std::move(pattern)) {}
    std::size_t bytesServed() const { return served_; }

  protected:
    int_type underflow() override {
        if (served_ >= budget) {
            return traits_type::eof();
        }
        setg(pattern_.data(), pattern_.data(), pattern_.data() + pattern_.size());
        served_ += pattern_.size();
        return traits_type::to_int_type(pattern_[0]);
    }

  private:
    static constexpr std::size_t budget = 1 << 24;
    std::string pattern_;
    std::size_t served_ = 0;
};

// Reading stops at the first line that cannot be a word, and at the 65537th,
// instead of reading on (and keeping the line) without end.
TEST(ImageFile, StopsReadingAnEndlessInput) {
    const struct {
        std::string pattern;
        std::size_t bytesAtMost;
        const char* message;
    } cases[] = {
        {std::string(1, '\0'), 100,
         "line 1: '\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00"
         "\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00"
         "\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00...' is not a signed decimal number"},
        {"9", 100, "line 1: '9999999999999999999999999999999999999999...' does not fit in 32 bits"},
        {"-0x", 100,
         "line 1: '-0x-0x-0x-0x-0x-0x-0x-0x-0x-0x-0x-0x-0x-...' is not a signed decimal number"},
        {"0\n", 200000, "line 65537: more than 65536 words, the size of memory"},
    };
    for (const auto& c : cases) {
        EndlessInput endless(c.pattern);
        std::istream in(&endless);
        try {
            readImage(in);
            ADD_FAILURE() << c.message << ": accepted";
        } catch (const ImageError& error) {
            std::ostringstream message;
            message << error;
            EXPECT_EQ(message.str(), c.message);
        }
        EXPECT_LE(endless.bytesServed(), c.bytesAtMost) << c.message;
    }
}

}  // namespace
}  // namespace Vorn
