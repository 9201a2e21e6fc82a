// The expressions of the debugger's commands: what print and display show,
// what x examines, what a breakpoint's condition tests. No terminal code: a
// web page's Watch view and an editor's conditions evaluate them alike.
//
//   A, $pc, $step        a register, the program counter, the steps run
//   42, -1, 0x2A         numbers
//   total                a label: the word stored there; a definition: its value
//   &total               a label's address
//   [20], *20, [total]   the memory word at an address
//   [B]                  the word at the address field of register B (as loadi reads it)
//   A + 1, A - [8]       sums, modulo nothing: the value may leave 32 bits
//   A == 0, C != 0, [8] < 10, <=, >, >=, &&, ||, !, ( )   comparisons give 1 or 0
//
// Read as an address (x, break *LOC, watch, until), a label is its address
// and a register or a memory word is its address field.
//
//   Expression condition = Expression::parse("C == 0 && [total] > 5", program);
//   if (condition.evaluate(machine, step) != 0) { ... }
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "machine/Machine.h"
#include "program/Program.h"

namespace Vorn::Debug {

// An expression that cannot be read or evaluated: one sentence that names
// the thing ("No symbol \"totl\" in the program; did you mean \"total\"?").
class ExpressionError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A place that holds a word: a register or a memory word.
struct Location {
    enum class Kind : std::uint8_t { Register, Memory };
    Kind kind = Kind::Memory;
    RegisterId reg = RegisterId::A;
    std::uint16_t address = 0;
};

class Expression {
  public:
    enum class Reading : std::uint8_t { Value, Address };

    // Reads the text against the program's names; throws ExpressionError
    // for a syntax error or an unknown name.
    static Expression parse(std::string_view text, const Program& program,
                            Reading reading = Reading::Value);

    // The value in the machine's state; throws ExpressionError for a word
    // without an address field used as an address, or an address out of range.
    std::int64_t evaluate(const Machine& machine, std::uint64_t step) const;
    // The value as an address from 0 to 65535, or ExpressionError.
    std::uint16_t address(const Machine& machine, std::uint64_t step) const;
    // The register or memory word the whole expression names (a register, a
    // label read as a value, [ADDRESS] or *ADDRESS), else nothing.
    std::optional<Location> location(const Machine& machine, std::uint64_t step) const;
    // Whether it is a single number (42, -1, &label, a definition).
    bool isConstant() const;

    const std::string& text() const { return text_; }

    // One operation of the tree; the operands come before it in nodes_.
    struct Node {
        enum class Kind : std::uint8_t {
            Number,
            Register,
            Label,  // `number` is its address
            Memory,
            ProgramCounter,
            Step,
            Negate,
            Not,
            Binary,
        };
        enum class Operator : std::uint8_t {
            Add,
            Subtract,
            Equal,
            NotEqual,
            Less,
            LessOrEqual,
            Greater,
            GreaterOrEqual,
            And,
            Or
        };
        Kind kind = Kind::Number;
        Operator op = Operator::Add;
        bool asAddress = false;  // a register, label or memory word read as an address
        std::int64_t number = 0;
        RegisterId reg = RegisterId::A;
        int left = -1;
        int right = -1;
    };

  private:
    std::vector<Node> nodes_;  // the root is the last
    std::string text_;
};

// A value as print's formats write it: 'd' decimal, 'x' hexadecimal, 't'
// binary (of its 32 bits), 'c' a character.
std::string formatValue(std::int64_t value, char format);
// Whether print and display know the format letter.
bool isValueFormat(char format);

// "No symbol \"totl\" in the program; did you mean \"total\"?": the line
// for a name the program does not define, with the nearest one it does.
std::string unknownName(std::string_view name, const Program& program);

// Checks that the value fits in a word (-2147483648 to 4294967295); throws
// ExpressionError naming `text` otherwise.
Word wordOf(std::int64_t value, std::string_view text);

}  // namespace Vorn::Debug
