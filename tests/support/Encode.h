// Builds an instruction word from its parts, setting only the fields the
// operation's shape has, as the assembler does.
#pragma once

#include <cstdint>

#include "machine/Word.h"

namespace Vorn::Testing {

inline Word encode(Operation op, RegisterId r1 = RegisterId::A, RegisterId r2 = RegisterId::A,
                   std::uint16_t address = 0) {
    Word word;
    word.setOperation(op);
    if (word.hasRegister1()) {
        word.setRegister1(r1);
    }
    if (word.hasRegister2()) {
        word.setRegister2(r2);
    }
    if (word.hasAddress()) {
        word.setAddress(address);
    }
    return word;
}

}  // namespace Vorn::Testing
