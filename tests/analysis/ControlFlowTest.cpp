// The control flow against the machine: on random programs that do not store
// into their instructions, every cell a run executes is reachable, a run
// that halts went only through blocks that may halt, and every entry into
// data that the analysis reports is one that a run, given the right input,
// shows by the path the analysis names.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "analysis/ControlFlow.h"
#include "machine/Machine.h"

namespace Vorn::Analysis {
namespace {

// Input chosen as the run goes: `next` is what the next read gets.
class SteeredInput final : public MachineIO {
  public:
    InputResult read() override { return {InputResult::Kind::Number, next}; }
    void write(std::int32_t) override {}
    std::int32_t next = 0;
};

// A random source of units, each under its own label L0, L1...: a read and a
// test of what it read ("read" then "jz I L3"), a jump, a plain instruction,
// or a data word. The branches test only what was just read, so an input
// can steer every one of them.
std::string randomSource(std::mt19937& random, bool withMemory) {
    const int units = std::uniform_int_distribution<int>(2, 14)(random);
    const auto label = [&] {
        const int target = std::uniform_int_distribution<int>(-1, units - 1)(random);
        return target < 0 ? std::string("end") : "L" + std::to_string(target);
    };
    const std::vector<std::string> plain =
        withMemory
            ? std::vector<std::string>{"write",     "noop",      "incr A", "add B", "load B L0",
                                       "loadi C D", "load D L1", "zero E", "neg A"}
            : std::vector<std::string>{"write", "noop", "incr A"};
    std::string text;
    for (int unit = 0; unit < units; ++unit) {
        text += ":L" + std::to_string(unit) + " ";
        switch (std::uniform_int_distribution<int>(0, 5)(random)) {
            case 0:
                text += "read\njz I " + label() + "\n";
                break;
            case 1:
                text += "read\njn I " + label() + "\n";
                break;
            case 2:
                text += "jump " + label() + "\n";
                break;
            case 3:
                text += std::to_string(std::uniform_int_distribution<int>(0, 99)(random)) + "\n";
                break;
            default:
                text +=
                    plain[std::uniform_int_distribution<std::size_t>(0, plain.size() - 1)(random)] +
                    "\n";
                break;
        }
    }
    return text;
}

bool isBranchOnInput(const Assembly::ProgramCell& cell) {
    const Operation op = cell.word.opcode();
    return cell.isInstruction && (op == Operation::Jz || op == Operation::Jn) &&
           cell.word.register1() == inputRegister;
}

// The input that sends the test at `branch` to `wanted`.
std::int32_t inputFor(const Assembly::ProgramCell& branch, std::uint32_t wanted) {
    const bool jump = branch.word.address() == wanted;
    if (branch.word.opcode() == Operation::Jz) {
        return jump ? 0 : 1;
    }
    return jump ? -1 : 1;
}

TEST(ControlFlow, ExecutedCellsAreReachable) {
    std::mt19937 random(2026);
    for (int round = 0; round < 1500; ++round) {
        const std::string text = randomSource(random, true);
        SCOPED_TRACE(text);
        const Assembly::Program program = Assembly::assembleProgram(text);
        ASSERT_FALSE(program.error) << program.error->message;
        const ControlFlow flow = analyzeControlFlow(program.cells);
        SteeredInput io;
        Machine machine(io);
        machine.load(program.words());
        std::vector<std::uint32_t> blocks;
        for (int step = 0; step < 200 && !machine.halted(); ++step) {
            const std::uint16_t at = machine.programCounter;
            if (at >= program.cells.size() || !program.cells[at].isInstruction) {
                break;  // in data: what follows is the data's, not the program's
            }
            ASSERT_TRUE(flow.reachable(at)) << "address " << at;
            blocks.push_back(flow.blockOf[at]);
            io.next = std::uniform_int_distribution<std::int32_t>(-2, 2)(random);
            try {
                machine.step();
            } catch (const Word::InvalidAddressInOperation&) {
                break;
            }
            const std::uint16_t to = machine.programCounter;
            if (to != Machine::haltAddress &&
                (to >= program.cells.size() || !program.cells[to].isInstruction)) {
                bool reported = false;
                for (const EnteredData& entry : flow.entersData) {
                    reported = reported || (entry.from == at && entry.into == to);
                }
                EXPECT_TRUE(reported) << "from " << at << " into " << to;
            }
        }
        if (machine.halted()) {
            for (const std::uint32_t block : blocks) {
                EXPECT_TRUE(flow.blocks[block].mayHalt) << "block at " << flow.blocks[block].first;
            }
        }
    }
}

TEST(ControlFlow, EveryReportedEntryIntoDataHappensByItsPath) {
    std::mt19937 random(7);
    int followed = 0;
    for (int round = 0; round < 1500; ++round) {
        const std::string text = randomSource(random, false);
        SCOPED_TRACE(text);
        const Assembly::Program program = Assembly::assembleProgram(text);
        ASSERT_FALSE(program.error) << program.error->message;
        const ControlFlow flow = analyzeControlFlow(program.cells);
        for (const EnteredData& entry : flow.entersData) {
            SteeredInput io;
            Machine machine(io);
            machine.load(program.words());
            // Block by block along the path: each block's test gets the
            // input that sends it on to the next block on the path.
            for (std::size_t on = 0; on < entry.path.size(); ++on) {
                // (the path's last element, when not a block's first, is the
                // last instruction of the block before it: never reached here)
                const std::uint32_t first = entry.path[on];
                ASSERT_EQ(machine.programCounter, flow.blocks[flow.blockOf[first]].first);
                const FlowBlock& block = flow.blocks[flow.blockOf[first]];
                const std::uint32_t wanted =
                    block.last == entry.from ? entry.into : entry.path[on + 1];
                if (isBranchOnInput(program.cells[block.last])) {
                    io.next = inputFor(program.cells[block.last], wanted);
                }
                while (machine.programCounter != block.last) {
                    machine.step();
                }
                machine.step();
                ASSERT_EQ(machine.programCounter, wanted);
                if (block.last == entry.from) {
                    break;
                }
            }
            EXPECT_EQ(machine.programCounter, entry.into);
            ++followed;
        }
    }
    EXPECT_GT(followed, 500);
}

}  // namespace
}  // namespace Vorn::Analysis
