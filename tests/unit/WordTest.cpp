#include "machine/Word.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <sstream>

#include "support/Encode.h"

namespace Vorn {
namespace {

using Testing::encode;

std::string mnemonic(const Word& word) {
    std::ostringstream out;
    out << word;
    return out.str();
}

struct EncodingCase {
    Word word;
    std::uint32_t bits;
    std::int32_t value;
    const char* text;
};

TEST(Word, EncodesAndPrintsInstructions) {
    const EncodingCase cases[] = {
        {encode(Operation::Load, RegisterId::A, RegisterId::A, 100), 0x10000064, 268435556,
         "load A 100"},
        {encode(Operation::Loadi, RegisterId::B, RegisterId::C), 0x31200000, 824180736,
         "loadi B C"},
        {encode(Operation::Jump, RegisterId::A, RegisterId::A, 65535), 0xD000FFFF, -805240833,
         "jump 65535"},
        {encode(Operation::Write), 0xF0000000, -268435456, "write"},
        {encode(Operation::Jn, RegisterId::P, RegisterId::A, 7), 0xCF000007, -822083577, "jn P 7"},
        {encode(Operation::Storei, RegisterId::P, RegisterId::P), 0x4FF00000, 1341128704,
         "storei P P"},
        {encode(Operation::Noop), 0, 0, "noop"},
    };
    for (const EncodingCase& c : cases) {
        EXPECT_EQ(c.word.bits(), c.bits) << c.text;
        EXPECT_EQ(static_cast<std::int32_t>(c.word), c.value) << c.text;
        EXPECT_EQ(mnemonic(c.word), c.text);
    }
}

TEST(Word, OpcodeOfANegativeWordIsUnsigned) {
    EXPECT_EQ(Word(-805240833).opcode(), Operation::Jump);
    EXPECT_EQ(Word(-1).opcode(), Operation::Write);
}

TEST(Word, AccessorsRefuseFieldsTheOperationLacks) {
    const Word loadi = encode(Operation::Loadi, RegisterId::B, RegisterId::C);
    EXPECT_THROW(loadi.address(), Word::InvalidAddressInOperation);
    EXPECT_EQ(loadi.register2(), RegisterId::C);

    Word noop;
    EXPECT_THROW(noop.setAddress(5), Word::InvalidAddressInOperation);
    EXPECT_THROW(noop.setRegister1(RegisterId::B), Word::InvalidRegister1InOperation);
    EXPECT_THROW(noop.register2(), Word::InvalidRegister2InOperation);
    EXPECT_EQ(noop.value(), 0);

    Word jump = encode(Operation::Jump);
    EXPECT_THROW(jump.register1(), Word::InvalidRegister1InOperation);
    EXPECT_THROW(jump.setRegister2(RegisterId::A), Word::InvalidRegister2InOperation);
}

TEST(Word, SetOperationClearsEveryOtherField) {
    Word word(-1);
    word.setOperation(Operation::Load);
    EXPECT_EQ(word.bits(), 0x10000000u);
}

TEST(Word, SettersKeepTheOtherBits) {
    Word word(static_cast<std::int32_t>(0x1F0F1234));  // load P, with the unused bits set
    word.setAddress(0xBEEF);
    EXPECT_EQ(word.bits(), 0x1F0FBEEFu);
    word.setRegister1(RegisterId::B);
    EXPECT_EQ(word.bits(), 0x110FBEEFu);
    EXPECT_EQ(mnemonic(word), "load B 48879");  // the unused bits are not shown
}

TEST(Word, ArithmeticWrapsAround) {
    Word big(0x7FFFFFFF);
    ++big;
    EXPECT_EQ(big.bits(), 0x80000000u);
    EXPECT_TRUE(big < Word(0));

    Word zero;
    EXPECT_EQ(zero.complement().value(), -1);
    Word five(5);
    EXPECT_EQ(five.complement().value(), -6);

    Word counter(0);
    EXPECT_EQ((counter--).value(), 0);
    EXPECT_EQ(counter.value(), -1);
    EXPECT_EQ((counter++).value(), -1);
    EXPECT_EQ((--counter).value(), -1);

    Word sum(std::numeric_limits<std::int32_t>::min());
    sum -= Word(1);
    EXPECT_EQ(sum.value(), std::numeric_limits<std::int32_t>::max());
    sum += Word(2);
    EXPECT_EQ(sum.value(), std::numeric_limits<std::int32_t>::min() + 1);
    EXPECT_TRUE(Word(3) == Word(3));
}

TEST(Word, ReadsASignedDecimalAndKeepsItsValueOnFailure) {
    std::istringstream in("  -805240833 x 4294967296");
    Word word;
    in >> word;
    EXPECT_EQ(word.value(), -805240833);
    in >> word;
    EXPECT_TRUE(in.fail());
    EXPECT_EQ(word.value(), -805240833);

    std::istringstream tooLarge("4294967296");
    Word kept(7);
    tooLarge >> kept;
    EXPECT_TRUE(tooLarge.fail());
    EXPECT_EQ(kept.value(), 7);
}

}  // namespace
}  // namespace Vorn
