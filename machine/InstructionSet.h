// The machine's 16 operations and 16 registers: their numbers, their names and
// the operand fields each operation's instruction word carries.
//
// Everything here reads one table, `operationTable`: the encoder, the name
// lookups, the mnemonic printer and the execution step never restate it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace Vorn {

// The one list of the operations, in opcode order:
//
//   X(Enumerator, name, register 1, register 2, address, flow, writes, implicit, io)
//
// register 1, register 2 and address say which fields the operation's word
// carries; the last four say what it does (see OperationShape). The enum, the
// table below and the machine's step and run loop (machine/Machine.cpp) are
// generated from it.
#define VORN_OPERATIONS(X)                                                \
    X(Noop, noop, false, false, false, Next, Nothing, None, None)         \
    X(Load, load, true, false, true, Next, Register1, None, None)         \
    X(Store, store, true, false, true, Next, WordAtAddress, None, None)   \
    X(Loadi, loadi, true, true, false, Next, Register1, None, None)       \
    X(Storei, storei, true, true, false, Next, WordAtPointer, None, None) \
    X(Add, add, true, false, false, Next, ImplicitRegister, A, None)      \
    X(Sub, sub, true, false, false, Next, ImplicitRegister, A, None)      \
    X(Zero, zero, true, false, false, Next, Register1, None, None)        \
    X(Incr, incr, true, false, false, Next, Register1, None, None)        \
    X(Decr, decr, true, false, false, Next, Register1, None, None)        \
    X(Neg, neg, true, false, false, Next, Register1, None, None)          \
    X(Jz, jz, true, false, true, JumpIf, Nothing, None, None)             \
    X(Jn, jn, true, false, true, JumpIf, Nothing, None, None)             \
    X(Jump, jump, false, false, true, Jump, Nothing, None, None)          \
    X(Read, read, false, false, false, Next, ImplicitRegister, I, Input)  \
    X(Write, write, false, false, false, Next, Nothing, O, Output)

enum class Operation : std::uint8_t {
#define VORN_ENUMERATOR(Enumerator, name, ...) Enumerator,
    VORN_OPERATIONS(VORN_ENUMERATOR)
#undef VORN_ENUMERATOR
};

enum class RegisterId : std::uint8_t { A, B, C, D, E, F, G, H, I, J, K, L, M, N, O, P };

inline constexpr std::size_t operationCount = 16;
inline constexpr std::size_t registerCount = 16;

// Steps to the next value, wrapping from 15 back to 0; returns the old value.
Operation operator++(Operation& op, int);
RegisterId operator++(RegisterId& reg, int);

// Where execution goes after an operation. No operation halts by itself: the
// machine halts when the program counter becomes 65535 (`Machine::haltAddress`),
// so `jump end` is a jump like any other, and a halt is a target, not a kind
// of operation.
enum class Flow : std::uint8_t {
    Next,    // on to the next address
    Jump,    // to the address field, always
    JumpIf,  // to the address field when its test holds, otherwise on to the next address
};

// What an operation changes in the machine, besides the program counter.
enum class Writes : std::uint8_t {
    Nothing,
    Register1,         // the register its first field names
    ImplicitRegister,  // the register of the `implicit` column (read: only when a number came)
    WordAtAddress,     // the memory word its address field names
    WordAtPointer,  // the memory word at the address field of the register its second field names
};

// A register an operation uses without naming it: the accumulator of add and
// sub, the input of read, the output of write.
enum class Implicit : std::uint8_t { None, A, I, O };

// Whether an operation talks to the world outside the machine.
enum class InputOutput : std::uint8_t { None, Input, Output };

// Which fields an operation's word carries, and what it does; the source
// writes its operands in this order: first register, second register,
// address. loadi and storei read the address field of the register their
// second field names, and fault when that register's word has none.
struct OperationShape {
    std::string_view name;
    bool hasRegister1;
    bool hasRegister2;
    bool hasAddress;
    Flow flow;
    Writes writes;
    Implicit implicit;
    InputOutput io;
};

// The whole instruction set, in opcode order.
inline constexpr std::array<OperationShape, operationCount> operationTable{{
#define VORN_SHAPE(Enumerator, name, register1, register2, address, flow, writes, implicit, io) \
    {#name,      register1,      register2,          address,                                   \
     Flow::flow, Writes::writes, Implicit::implicit, InputOutput::io},
    VORN_OPERATIONS(VORN_SHAPE)
#undef VORN_SHAPE
}};
static_assert(operationTable.size() == operationCount);

namespace detail {
template <typename Field>
constexpr std::array<Field, operationCount> column(Field OperationShape::*field) {
    std::array<Field, operationCount> result{};
    for (std::size_t i = 0; i < operationCount; ++i) {
        result[i] = operationTable[i].*field;
    }
    return result;
}
}  // namespace detail

// Columns of the table, indexed by opcode.
inline constexpr auto operationNames = detail::column(&OperationShape::name);
inline constexpr auto operationHasRegister1 = detail::column(&OperationShape::hasRegister1);
inline constexpr auto operationHasRegister2 = detail::column(&OperationShape::hasRegister2);
inline constexpr auto operationHasAddress = detail::column(&OperationShape::hasAddress);

inline constexpr std::array<std::string_view, registerCount> registerNames{
    "A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M", "N", "O", "P"};

constexpr const OperationShape& shapeOf(Operation op) {
    return operationTable[static_cast<std::size_t>(op)];
}

// The register the operation uses without naming it, if any.
constexpr std::optional<RegisterId> implicitRegister(Operation op) {
    switch (shapeOf(op).implicit) {
        case Implicit::None:
            return std::nullopt;
        case Implicit::A:
            return RegisterId::A;
        case Implicit::I:
            return RegisterId::I;
        case Implicit::O:
            return RegisterId::O;
    }
    return std::nullopt;
}

// Whether execution can go on to the next address, and whether it can go to
// the address field.
constexpr bool mayFallThrough(Flow flow) {
    return flow != Flow::Jump;
}
constexpr bool mayJump(Flow flow) {
    return flow != Flow::Next;
}

// Registers with a fixed role, as the table gives them.
inline constexpr RegisterId accumulatorRegister = *implicitRegister(Operation::Add);
inline constexpr RegisterId inputRegister = *implicitRegister(Operation::Read);
inline constexpr RegisterId outputRegister = *implicitRegister(Operation::Write);
constexpr std::string_view nameOf(Operation op) {
    return shapeOf(op).name;
}
constexpr std::string_view nameOf(RegisterId reg) {
    return registerNames[static_cast<std::size_t>(reg)];
}

// The process-wide name maps, filled once by initNameMaps(); names compare
// exactly, byte for byte.
using OperationMap = std::map<std::string, Operation, std::less<>>;
using RegisterMap = std::map<std::string, RegisterId, std::less<>>;

void initNameMaps();
bool nameMapsReady();
const OperationMap& operationByName();
const RegisterMap& registerByName();

bool isOperationName(std::string_view name);
bool isRegisterName(std::string_view name);
// Callers look a name up only after the matching test said yes.
Operation operationByName(std::string_view name);
RegisterId registerByName(std::string_view name);

// The same answers as the maps, without walking them: the assembler asks for
// every identifier it reads, so these are on its hot path.
std::optional<Operation> findOperation(std::string_view name);
std::optional<RegisterId> findRegister(std::string_view name);

}  // namespace Vorn
