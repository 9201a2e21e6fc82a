// The machine's 32-bit word: a number, a memory cell, a register, or an
// encoded instruction.
//
//    31      28 27      24 23      20 19      16 15                              0
//   +----------+----------+----------+----------+--------------------------------+
//   |  opcode  |    r1    |    r2    |  unused  |            address             |
//   +----------+----------+----------+----------+--------------------------------+
//
// Only the constants and accessors below shift or mask; all other code uses them.
// A register field or the address is valid only where the operation's shape
// (machine/InstructionSet.h) has it, and the checked accessors say so.
#pragma once

#include <cstdint>
#include <iosfwd>

#include "machine/InstructionSet.h"

namespace Vorn {

class Word {
  public:
    static constexpr unsigned opcodeShift = 28;
    static constexpr unsigned register1Shift = 24;
    static constexpr unsigned register2Shift = 20;
    static constexpr unsigned addressShift = 0;
    static constexpr std::uint32_t fieldMask = 0xF;
    static constexpr std::uint32_t addressMask = 0xFFFF;

    // Field reads on a raw 32-bit value, unchecked: for code that has already
    // checked the shape (the execution step, the listing).
    static constexpr unsigned opcodeOf(std::uint32_t bits) { return bits >> opcodeShift; }
    static constexpr unsigned register1Of(std::uint32_t bits) {
        return (bits >> register1Shift) & fieldMask;
    }
    static constexpr unsigned register2Of(std::uint32_t bits) {
        return (bits >> register2Shift) & fieldMask;
    }
    static constexpr std::uint16_t addressOf(std::uint32_t bits) {
        return static_cast<std::uint16_t>((bits >> addressShift) & addressMask);
    }

    // Thrown when a field is read or written that the operation does not have.
    class InvalidRegister1InOperation {};
    class InvalidRegister2InOperation {};
    class InvalidAddressInOperation {};

    constexpr Word() = default;
    constexpr explicit Word(std::int32_t value) : bits_(static_cast<std::uint32_t>(value)) {}

    constexpr std::int32_t value() const { return static_cast<std::int32_t>(bits_); }
    constexpr std::uint32_t bits() const { return bits_; }
    constexpr explicit operator std::int32_t() const { return value(); }

    Operation opcode() const { return static_cast<Operation>(opcodeOf(bits_)); }
    void setOperation(Operation op) { bits_ = static_cast<std::uint32_t>(op) << opcodeShift; }

    bool hasRegister1() const { return operationHasRegister1[opcodeOf(bits_)]; }
    bool hasRegister2() const { return operationHasRegister2[opcodeOf(bits_)]; }
    bool hasAddress() const { return operationHasAddress[opcodeOf(bits_)]; }

    RegisterId register1() const;
    RegisterId register2() const;
    std::uint16_t address() const;
    void setRegister1(RegisterId reg);
    void setRegister2(RegisterId reg);
    void setAddress(std::uint16_t address);

    // Whole-value arithmetic, modulo 2^32.
    bool operator==(const Word&) const = default;
    bool operator<(const Word& other) const { return value() < other.value(); }
    Word& operator+=(const Word& other) {
        bits_ += other.bits_;
        return *this;
    }
    Word& operator-=(const Word& other) {
        bits_ -= other.bits_;
        return *this;
    }
    Word& operator++() {
        ++bits_;
        return *this;
    }
    Word& operator--() {
        --bits_;
        return *this;
    }
    Word operator++(int) {
        const Word old = *this;
        ++bits_;
        return old;
    }
    Word operator--(int) {
        const Word old = *this;
        --bits_;
        return old;
    }
    // Inverts every bit; this is not the arithmetic negation.
    Word& complement() {
        bits_ = ~bits_;
        return *this;
    }

  private:
    void replaceField(unsigned shift, std::uint32_t mask, std::uint32_t value) {
        bits_ = (bits_ & ~(mask << shift)) | ((value & mask) << shift);
    }

    std::uint32_t bits_ = 0;
};

// Writes the instruction in mnemonic form: "load A 100", "loadi B C", "write".
std::ostream& operator<<(std::ostream& out, const Word& word);
// Reads a signed 32-bit decimal into the word; on failure the word keeps its
// value and the stream stays failed.
std::istream& operator>>(std::istream& in, Word& word);

}  // namespace Vorn
