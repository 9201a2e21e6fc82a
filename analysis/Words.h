// What the operations and registers are for, in words: hovers, completions
// and hints say it. The operations' names and operand fields come from the
// instruction table (machine/InstructionSet.h); this adds only the prose.
#pragma once

#include <string>
#include <string_view>

#include "machine/InstructionSet.h"

namespace Vorn::Analysis {

// The operands as a reference writes them: "R addr", "R1 R2", "R", "addr" or "".
std::string operandForm(Operation operation);
std::string operandForm(std::string_view operationName);

// What the operation does: "R = memory[addr]".
std::string_view operationEffect(Operation operation);

// What the register is for: "accumulator: add and sub leave their result in A".
std::string registerRole(RegisterId reg);

}  // namespace Vorn::Analysis
