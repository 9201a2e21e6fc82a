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
    // The operations that use the register without naming it ("add and sub"),
    // and whether they talk to the outside.
    std::string users;
    InputOutput io = InputOutput::None;
    for (std::size_t i = 0; i < operationCount; ++i) {
        const auto op = static_cast<Operation>(i);
        if (implicitRegister(op) == reg) {
            users += (users.empty() ? "" : " and ") + std::string(nameOf(op));
            io = shapeOf(op).io;
        }
    }
    if (users.empty()) {
        return "register " + name + ", a general-purpose register";
    }
    switch (io) {
        case InputOutput::Input:
            return "register " + name + ", the input: " + users +
                   " puts the next number of the input in " + name;
        case InputOutput::Output:
            return "register " + name + ", the output: " + users + " prints " + name;
        case InputOutput::None:
            break;
    }
    return "register " + name + ", the accumulator: " + users + " leave their result in " + name;
}

}  // namespace Vorn::Analysis
