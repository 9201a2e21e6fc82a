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

// The one list of the operations, in opcode order: X(Enumerator, name,
// register 1, register 2, address), the last three saying which fields the
// operation's word carries. The enum, the table below and the machine's
// step and run loop (machine/Machine.cpp) are generated from it.
#define VORN_OPERATIONS(X)               \
    X(Noop, noop, false, false, false)   \
    X(Load, load, true, false, true)     \
    X(Store, store, true, false, true)   \
    X(Loadi, loadi, true, true, false)   \
    X(Storei, storei, true, true, false) \
    X(Add, add, true, false, false)      \
    X(Sub, sub, true, false, false)      \
    X(Zero, zero, true, false, false)    \
    X(Incr, incr, true, false, false)    \
    X(Decr, decr, true, false, false)    \
    X(Neg, neg, true, false, false)      \
    X(Jz, jz, true, false, true)         \
    X(Jn, jn, true, false, true)         \
    X(Jump, jump, false, false, true)    \
    X(Read, read, false, false, false)   \
    X(Write, write, false, false, false)

enum class Operation : std::uint8_t {
#define VORN_ENUMERATOR(Enumerator, name, register1, register2, address) Enumerator,
    VORN_OPERATIONS(VORN_ENUMERATOR)
#undef VORN_ENUMERATOR
};

enum class RegisterId : std::uint8_t { A, B, C, D, E, F, G, H, I, J, K, L, M, N, O, P };

inline constexpr std::size_t operationCount = 16;
inline constexpr std::size_t registerCount = 16;

// Steps to the next value, wrapping from 15 back to 0; returns the old value.
Operation operator++(Operation& op, int);
RegisterId operator++(RegisterId& reg, int);

// Which fields an operation's word carries; the source writes its operands in
// this order: first register, second register, address.
struct OperationShape {
    std::string_view name;
    bool hasRegister1;
    bool hasRegister2;
    bool hasAddress;
};

// The whole instruction set, in opcode order.
inline constexpr std::array<OperationShape, operationCount> operationTable{{
#define VORN_SHAPE(Enumerator, name, register1, register2, address) \
    {#name, register1, register2, address},
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

// Registers with a fixed role.
inline constexpr RegisterId accumulatorRegister = RegisterId::A;
inline constexpr RegisterId inputRegister = RegisterId::I;
inline constexpr RegisterId outputRegister = RegisterId::O;

constexpr const OperationShape& shapeOf(Operation op) {
    return operationTable[static_cast<std::size_t>(op)];
}
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
