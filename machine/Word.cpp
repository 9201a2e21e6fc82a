#include "machine/Word.h"

#include <istream>
#include <ostream>

namespace Vorn {

RegisterId Word::register1() const {
    if (!hasRegister1()) {
        throw InvalidRegister1InOperation{};
    }
    return static_cast<RegisterId>(register1Of(bits_));
}

RegisterId Word::register2() const {
    if (!hasRegister2()) {
        throw InvalidRegister2InOperation{};
    }
    return static_cast<RegisterId>(register2Of(bits_));
}

std::uint16_t Word::address() const {
    if (!hasAddress()) {
        throw InvalidAddressInOperation{};
    }
    return addressOf(bits_);
}

void Word::setRegister1(RegisterId reg) {
    if (!hasRegister1()) {
        throw InvalidRegister1InOperation{};
    }
    replaceField(register1Shift, fieldMask, static_cast<std::uint32_t>(reg));
}

void Word::setRegister2(RegisterId reg) {
    if (!hasRegister2()) {
        throw InvalidRegister2InOperation{};
    }
    replaceField(register2Shift, fieldMask, static_cast<std::uint32_t>(reg));
}

void Word::setAddress(std::uint16_t address) {
    if (!hasAddress()) {
        throw InvalidAddressInOperation{};
    }
    replaceField(addressShift, addressMask, address);
}

std::ostream& operator<<(std::ostream& out, const Word& word) {
    out << nameOf(word.opcode());
    if (word.hasRegister1()) {
        out << ' ' << nameOf(word.register1());
    }
    if (word.hasRegister2()) {
        out << ' ' << nameOf(word.register2());
    }
    if (word.hasAddress()) {
        out << ' ' << word.address();
    }
    return out;
}

std::istream& operator>>(std::istream& in, Word& word) {
    std::int32_t value = 0;
    if (in >> value) {
        word = Word(value);
    }
    return in;
}

}  // namespace Vorn
