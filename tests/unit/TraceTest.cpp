// The pieces of a run's report that every tool shares: the labelled
// instruction, a program's labels, the address a step writes, escaped text.
#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>

#include "assembly/ProgramLabels.h"
#include "machine/Printable.h"
#include "machine/Trace.h"
#include "machine/WriteLog.h"

namespace Vorn {
namespace {

std::string instructionText(Word word, const AddressNames* names) {
    std::ostringstream out;
    writeInstruction(out, word, names);
    return out.str();
}

TEST(Trace, InstructionsNameTheirAddressOperand) {
    const Assembly::Program program = Assembly::assembleProgram(
        "= alias loop\n= big 70000\n= two 2\n:loop jn A loop\nload B two\njump end\n"
        "storei A B\n:data 0\n");
    ASSERT_FALSE(program.error);
    const AddressNames names = Assembly::labelsOf(program);
    const std::pair<std::uint16_t, const char*> cases[] = {
        {0, "jn A loop"}, {1, "load B two"}, {2, "jump end"}, {3, "storei A B"}};
    for (const auto& [address, text] : cases) {
        EXPECT_EQ(instructionText(program.cells[address].word, &names), text);
    }
    // "alias" and "loop" both name 0: the one that is no alias wins.
    EXPECT_EQ(*names.find(0), "loop");
    EXPECT_EQ(instructionText(program.cells[0].word, nullptr), "jn A 0");
    EXPECT_EQ(names.find(7), nullptr) << "no name has that number";
}

TEST(Trace, TheLineNamesTheSourceLine) {
    std::ostringstream out;
    Word jump;
    jump.setOperation(Operation::Jump);
    jump.setAddress(3);
    writeTraceLine(out, {4, 6, jump, 8}, StepEffect::jumped(3));
    writeTraceLine(out, {5, 3, jump, 0}, StepEffect::of(StepEffect::Kind::InputOutOfRange));
    EXPECT_EQ(out.str(),
              "step 4 @6 (line 8): jump 3 | jump 3\n"
              "step 5 @3: jump 3 | I unchanged (out of range)\n");
}

TEST(WriteLog, TheAddressTheNextStepWrites) {
    StreamIO io(std::cin, std::cout);
    Machine machine(io);
    const Assembly::Program program =
        Assembly::assembleProgram("store A 9\nload B p\nstorei A B\nstorei A C\nread\n:p jump 7\n");
    machine.load(program.words());
    const std::optional<std::uint16_t> expected[] = {9, std::nullopt, 7, std::nullopt,
                                                     std::nullopt};
    for (const auto& target : expected) {
        EXPECT_EQ(nextWriteAddress(machine), target) << machine.programCounter;
        try {
            machine.step();
        } catch (const Word::InvalidAddressInOperation&) {
        }
    }
    std::ostringstream row;
    writeMemoryWriteRow(row, {12, 3, 7, Word(-1), Word(5)});
    EXPECT_EQ(row.str(), "12,3,7,-1,5\n");
}

TEST(Printable, EscapesEveryByteOutsidePrintableAscii) {
    EXPECT_EQ(printable("a b~"), "a b~");
    EXPECT_EQ(printable(std::string("\n\x1b[0m\x7f\xff\0", 8)), "\\x0A\\x1B[0m\\x7F\\xFF\\x00");
    std::ostringstream cut;
    writePrintable(cut, "abc\ndef", 4);
    EXPECT_EQ(cut.str(), "abc\\x0A");
}

}  // namespace
}  // namespace Vorn
