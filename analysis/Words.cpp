#include "analysis/Words.h"

#include <array>

namespace Vorn::Analysis {

namespace {

// Indexed by opcode, as the instruction table.
constexpr std::array<std::string_view, operationCount> effects{{
    "does nothing",
    "R = memory[addr]: loads register R from memory",
    "memory[addr] = R: stores register R into memory",
    "R1 = memory[address field of R2]: loads R1 from the address R2 holds",
    "memory[address field of R2] = R1: stores R1 at the address R2 holds",
    "A = A + R: adds R to the accumulator",
    "A = A - R: subtracts R from the accumulator",
    "R = 0",
    "R = R + 1",
    "R = R - 1",
    "R = bitwise complement of R",
    "jumps to addr if R is 0",
    "jumps to addr if R is negative",
    "jumps to addr (65535, 'end', halts the machine)",
    "I = the next number of the input",
    "prints register O",
}};
static_assert(effects.size() == operationTable.size());

}  // namespace

std::string operandForm(Operation operation) {
    const OperationShape& shape = shapeOf(operation);
    std::string form;
    const auto add = [&](std::string_view operand) {
        form += (form.empty() ? "" : " ") + std::string(operand);
    };
    if (shape.hasRegister1) {
        add(shape.hasRegister2 ? "R1" : "R");
    }
    if (shape.hasRegister2) {
        add("R2");
    }
    if (shape.hasAddress) {
        add("addr");
    }
    return form;
}

std::string operandForm(std::string_view operationName) {
    const auto operation = findOperation(operationName);
    return operation ? operandForm(*operation) : std::string();
}

std::string_view operationEffect(Operation operation) {
    return effects[static_cast<std::size_t>(operation)];
}

std::string registerRole(RegisterId reg) {
    const std::string name(nameOf(reg));
    if (reg == accumulatorRegister) {
        return "register " + name + ", the accumulator: add and sub leave their result in " + name;
    }
    if (reg == inputRegister) {
        return "register " + name + ", the input: read puts the next number of the input in " +
               name;
    }
    if (reg == outputRegister) {
        return "register " + name + ", the output: write prints " + name;
    }
    return "register " + name + ", a general-purpose register";
}

}  // namespace Vorn::Analysis
