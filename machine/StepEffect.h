// What one execution step changed, for a trace of the run.
#pragma once

#include <cstdint>

#include "machine/InstructionSet.h"
#include "machine/Word.h"

namespace Vorn {

struct StepEffect {
    enum class Kind : std::uint8_t {
        Nothing,          // noop
        Register,         // `reg` became `value`
        Memory,           // memory word `address` became `value`
        Jump,             // the program counter became `address`
        NoJump,           // a conditional jump that was not taken
        Output,           // `value` was written to the output
        InputEnded,       // read found the end of the input: I unchanged
        InputNotANumber,  // read found no number: I unchanged
        InputOutOfRange,  // read found a number outside 32 bits: I unchanged
        InputFailed,      // the input could not be read: I unchanged
    };

    static StepEffect registerWritten(RegisterId reg, Word value) {
        return {Kind::Register, reg, 0, value};
    }
    static StepEffect memoryWritten(std::uint16_t address, Word value) {
        return {Kind::Memory, RegisterId::A, address, value};
    }
    static StepEffect jumped(std::uint16_t target) {
        return {Kind::Jump, RegisterId::A, target, {}};
    }
    static StepEffect of(Kind kind) { return {kind, RegisterId::A, 0, {}}; }
    static StepEffect wrote(Word value) { return {Kind::Output, RegisterId::A, 0, value}; }

    Kind kind = Kind::Nothing;
    RegisterId reg = RegisterId::A;
    std::uint16_t address = 0;
    Word value;
};

}  // namespace Vorn
