// The control flow of a program, exactly: every jump names its target in the
// instruction itself, so the cells that execution can reach from address 0,
// the basic blocks and the edges between them follow from the words alone
// (the instruction table's flow and write columns). Only a program that
// stores into its own instructions can escape them, and that shows too.
//
//   const ControlFlow flow = analyzeControlFlow(program.cells);
//   for (const FlowBlock& block : flow.blocks) { ... block.successors ... }
//   for (const EnteredData& entry : flow.entersData) { ... entry.path ... }
//
// No input or output; cells past the program's last are unfilled (a word 0).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "assembly/Program.h"

namespace Vorn::Analysis {

// A basic block: instruction cells first..last, entered only at first, left
// only after last.
struct FlowBlock {
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    // Where execution goes after the last instruction, in this order: on to
    // the next address (when the operation may fall through), then to the
    // address field (when it may jump). An address is the first cell of a
    // block, the halt address 65535, or a cell outside the instructions.
    std::vector<std::uint32_t> successors;
    bool reachable = false;
    // Whether some path from here reaches a halt (or leaves the instructions,
    // where the words no longer say).
    bool mayHalt = false;
};

// A reachable instruction after which execution enters a data word or an
// unfilled cell.
struct EnteredData {
    std::uint32_t from = 0;  // the instruction
    std::uint32_t into = 0;  // the cell entered
    bool jumped = false;     // by its address field, not by running on
    // The first cell of each block on a shortest path from address 0, then `from`.
    std::vector<std::uint32_t> path;
};

// A store into the instructions. `target` is the cell a reachable `store`
// overwrites; none for a reachable `storei`, whose pointer is not known here:
// any cell may be modified.
struct Modification {
    std::uint32_t store = 0;
    std::optional<std::uint32_t> target;
};

// Consecutive instruction cells that no path from address 0 reaches.
struct CellRun {
    std::uint32_t first = 0;
    std::uint32_t last = 0;
};

struct ControlFlow {
    static constexpr std::uint32_t noBlock = 0xFFFFFFFF;
    static constexpr std::uint32_t haltAddress = 0xFFFF;

    std::vector<FlowBlock> blocks;       // in address order
    std::vector<std::uint32_t> blockOf;  // by cell: its block, or noBlock for data
    std::vector<EnteredData> entersData;
    // Unreachable instruction cells, pointer words left out.
    std::vector<CellRun> unreachable;
    // Unreachable instruction cells used as words: the address operand of a
    // `load` or `store` names them (a pointer for `loadi` and `storei`).
    std::vector<std::uint32_t> pointerWords;
    // The first cell of each loop where execution is caught: a reachable
    // block from which no path halts, entered again from a block at or after
    // it (every cycle has such an edge).
    std::vector<std::uint32_t> endlessLoops;
    std::vector<Modification> modifications;

    bool reachable(std::uint32_t address) const {
        return address < blockOf.size() && blockOf[address] != noBlock &&
               blocks[blockOf[address]].reachable;
    }
    // Whether a reachable store overwrites a reachable instruction: the flow
    // from that instruction on is then not what its word says.
    bool selfModifying() const;
};

// The flow of a program's cells (addresses 0 upwards); empty for no cells.
ControlFlow analyzeControlFlow(const std::vector<Assembly::ProgramCell>& cells);

}  // namespace Vorn::Analysis
