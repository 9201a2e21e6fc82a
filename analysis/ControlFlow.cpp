#include "analysis/ControlFlow.h"

#include <algorithm>

#include "machine/InstructionSet.h"

namespace Vorn::Analysis {

namespace {

using Assembly::ProgramCell;

constexpr std::uint32_t lastAddress = ControlFlow::haltAddress;

bool isInstruction(const std::vector<ProgramCell>& cells, std::uint32_t address) {
    return address < cells.size() && cells[address].isInstruction;
}

const OperationShape& shapeAt(const std::vector<ProgramCell>& cells, std::uint32_t address) {
    return shapeOf(cells[address].word.opcode());
}

// The cells where a block begins: address 0, every jump target, and every
// instruction after one that may jump or after a cell that is not one.
std::vector<bool> leaders(const std::vector<ProgramCell>& cells) {
    std::vector<bool> leader(cells.size(), false);
    for (std::uint32_t address = 0; address < cells.size(); ++address) {
        if (!cells[address].isInstruction) {
            continue;
        }
        if (address == 0 || !cells[address - 1].isInstruction ||
            shapeAt(cells, address - 1).flow != Flow::Next) {
            leader[address] = true;
        }
        if (mayJump(shapeAt(cells, address).flow)) {
            const std::uint32_t target = cells[address].word.address();
            if (target < cells.size()) {
                leader[target] = true;
            }
        }
    }
    return leader;
}

void makeBlocks(const std::vector<ProgramCell>& cells, ControlFlow& flow) {
    const std::vector<bool> leader = leaders(cells);
    flow.blockOf.assign(cells.size(), ControlFlow::noBlock);
    for (std::uint32_t address = 0; address < cells.size(); ++address) {
        if (!cells[address].isInstruction) {
            continue;
        }
        if (leader[address]) {
            flow.blocks.push_back({address, address, {}, false, false});
        }
        flow.blocks.back().last = address;
        flow.blockOf[address] = static_cast<std::uint32_t>(flow.blocks.size() - 1);
    }
    for (FlowBlock& block : flow.blocks) {
        const Flow kind = shapeAt(cells, block.last).flow;
        if (mayFallThrough(kind) && block.last < lastAddress) {
            block.successors.push_back(block.last + 1);
        }
        if (mayJump(kind)) {
            const std::uint32_t target = cells[block.last].word.address();
            if (block.successors.empty() || block.successors.front() != target) {
                block.successors.push_back(target);
            }
        }
    }
}

// Breadth first from address 0, so that each block's parent lies on a
// shortest path to it.
std::vector<std::uint32_t> reach(const std::vector<ProgramCell>& cells, ControlFlow& flow) {
    std::vector<std::uint32_t> parent(flow.blocks.size(), ControlFlow::noBlock);
    if (!isInstruction(cells, 0)) {
        return parent;
    }
    std::vector<std::uint32_t> queue{0};
    flow.blocks[0].reachable = true;
    for (std::size_t next = 0; next < queue.size(); ++next) {
        for (const std::uint32_t successor : flow.blocks[queue[next]].successors) {
            if (!isInstruction(cells, successor)) {
                continue;
            }
            const std::uint32_t block = flow.blockOf[successor];
            if (!flow.blocks[block].reachable) {
                flow.blocks[block].reachable = true;
                parent[block] = queue[next];
                queue.push_back(block);
            }
        }
    }
    return parent;
}

void enteredData(const std::vector<ProgramCell>& cells, const std::vector<std::uint32_t>& parent,
                 ControlFlow& flow) {
    for (std::uint32_t index = 0; index < flow.blocks.size(); ++index) {
        const FlowBlock& block = flow.blocks[index];
        if (!block.reachable) {
            continue;
        }
        const bool fallsThrough = mayFallThrough(shapeAt(cells, block.last).flow);
        for (std::size_t i = 0; i < block.successors.size(); ++i) {
            const std::uint32_t into = block.successors[i];
            if (into == lastAddress || isInstruction(cells, into)) {
                continue;
            }
            EnteredData entry{block.last, into, !(fallsThrough && i == 0), {}};
            for (std::uint32_t on = index; on != ControlFlow::noBlock; on = parent[on]) {
                entry.path.push_back(flow.blocks[on].first);
            }
            std::reverse(entry.path.begin(), entry.path.end());
            if (entry.path.back() != block.last) {
                entry.path.push_back(block.last);
            }
            flow.entersData.push_back(std::move(entry));
        }
    }
}

// Backwards from the blocks that halt or leave the instructions.
void findEndlessLoops(const std::vector<ProgramCell>& cells, ControlFlow& flow) {
    std::vector<std::vector<std::uint32_t>> predecessors(flow.blocks.size());
    std::vector<std::uint32_t> queue;
    for (std::uint32_t index = 0; index < flow.blocks.size(); ++index) {
        FlowBlock& block = flow.blocks[index];
        for (const std::uint32_t successor : block.successors) {
            if (isInstruction(cells, successor)) {
                predecessors[flow.blockOf[successor]].push_back(index);
            } else if (!block.mayHalt) {
                block.mayHalt = true;
                queue.push_back(index);
            }
        }
    }
    for (std::size_t next = 0; next < queue.size(); ++next) {
        for (const std::uint32_t predecessor : predecessors[queue[next]]) {
            if (!flow.blocks[predecessor].mayHalt) {
                flow.blocks[predecessor].mayHalt = true;
                queue.push_back(predecessor);
            }
        }
    }
    // Every cycle has an edge that goes back (or stays) in address order:
    // its target is where the loop is entered again.
    for (std::uint32_t index = 0; index < flow.blocks.size(); ++index) {
        const FlowBlock& block = flow.blocks[index];
        if (!block.reachable || block.mayHalt) {
            continue;
        }
        const auto& from = predecessors[index];
        if (std::any_of(from.begin(), from.end(),
                        [&](std::uint32_t p) { return flow.blocks[p].reachable && p >= index; })) {
            flow.endlessLoops.push_back(block.first);
        }
    }
}

bool isWordAccess(Operation operation) {
    return operation == Operation::Load || operation == Operation::Store;
}

void unreachableCells(const std::vector<ProgramCell>& cells, ControlFlow& flow) {
    std::vector<bool> usedAsWord(cells.size(), false);
    for (const ProgramCell& cell : cells) {
        if (cell.isInstruction && isWordAccess(cell.word.opcode()) &&
            cell.word.address() < cells.size()) {
            usedAsWord[cell.word.address()] = true;
        }
    }
    bool inRun = false;
    for (std::uint32_t address = 0; address < cells.size(); ++address) {
        const bool unreachable = cells[address].isInstruction && !flow.reachable(address);
        if (unreachable && usedAsWord[address]) {
            flow.pointerWords.push_back(address);
        }
        if (!unreachable || usedAsWord[address]) {
            inRun = false;
            continue;
        }
        if (!inRun) {
            flow.unreachable.push_back({address, address});
            inRun = true;
        }
        flow.unreachable.back().last = address;
    }
}

void findModifications(const std::vector<ProgramCell>& cells, ControlFlow& flow) {
    for (std::uint32_t address = 0; address < cells.size(); ++address) {
        if (!flow.reachable(address)) {
            continue;
        }
        const Writes writes = shapeAt(cells, address).writes;
        if (writes == Writes::WordAtPointer) {
            flow.modifications.push_back({address, std::nullopt});
        } else if (writes == Writes::WordAtAddress) {
            const std::uint32_t target = cells[address].word.address();
            if (flow.reachable(target)) {
                flow.modifications.push_back({address, target});
            }
        }
    }
}

}  // namespace

bool ControlFlow::selfModifying() const {
    return std::any_of(modifications.begin(), modifications.end(),
                       [](const Modification& m) { return m.target.has_value(); });
}

ControlFlow analyzeControlFlow(const std::vector<Assembly::ProgramCell>& cells) {
    ControlFlow flow;
    makeBlocks(cells, flow);
    const std::vector<std::uint32_t> parent = reach(cells, flow);
    enteredData(cells, parent, flow);
    findEndlessLoops(cells, flow);
    unreachableCells(cells, flow);
    findModifications(cells, flow);
    return flow;
}

}  // namespace Vorn::Analysis
