#include "machine/InstructionSet.h"

#include <atomic>
#include <mutex>

namespace Vorn {

namespace {

struct NameMaps {
    OperationMap operations;
    RegisterMap registers;
    std::atomic<bool> ready = false;
};

NameMaps& nameMaps() {
    static NameMaps maps;
    return maps;
}

// An operation name packed into one integer; no operation name is longer
// than 8 characters or holds a NUL.
constexpr std::size_t packedLength = sizeof(std::uint64_t);

constexpr std::uint64_t pack(std::string_view name) {
    std::uint64_t packed = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        packed |= static_cast<std::uint64_t>(static_cast<unsigned char>(name[i])) << (8 * i);
    }
    return packed;
}

constexpr bool namesFitPacked() {
    for (const std::string_view name : operationNames) {
        if (name.empty() || name.size() > packedLength || name.find('\0') != name.npos) {
            return false;
        }
    }
    return true;
}
static_assert(namesFitPacked(), "operation names must pack into one integer");

// A perfect hash of the packed names: the top bits of one multiplication
// give each operation its own slot, so finding a name is one compare. The
// multiplier is searched for when compiling.
constexpr unsigned slotBits = 5;

constexpr unsigned slotOf(std::uint64_t packed, std::uint64_t multiplier) {
    return static_cast<unsigned>((packed * multiplier) >> (64 - slotBits));
}

constexpr std::uint64_t perfectMultiplier = [] {
    for (std::uint64_t candidate = 1;; ++candidate) {
        const std::uint64_t multiplier = candidate * 0x9E3779B97F4A7C15ULL;
        std::uint64_t taken = 0;
        bool distinct = true;
        for (const std::string_view name : operationNames) {
            const std::uint64_t bit = std::uint64_t{1} << slotOf(pack(name), multiplier);
            distinct = distinct && (taken & bit) == 0;
            taken |= bit;
        }
        if (distinct) {
            return multiplier;
        }
    }
}();

struct OperationSlot {
    std::uint64_t packedName = 0;  // 0: no operation here
    Operation operation = Operation::Noop;
};

constexpr std::array<OperationSlot, std::size_t{1} << slotBits> operationSlots = [] {
    std::array<OperationSlot, std::size_t{1} << slotBits> slots{};
    for (std::size_t i = 0; i < operationCount; ++i) {
        const std::uint64_t packed = pack(operationNames[i]);
        slots[slotOf(packed, perfectMultiplier)] = {packed, static_cast<Operation>(i)};
    }
    return slots;
}();

// The register names are the letters A to P, in order.
constexpr bool registersAreConsecutiveLetters() {
    for (std::size_t i = 0; i < registerCount; ++i) {
        if (registerNames[i].size() != 1 || registerNames[i][0] != 'A' + static_cast<char>(i)) {
            return false;
        }
    }
    return true;
}
static_assert(registersAreConsecutiveLetters());

template <typename Enum>
Enum successor(Enum value) {
    return static_cast<Enum>((static_cast<unsigned>(value) + 1) % 16);
}

}  // namespace

Operation operator++(Operation& op, int) {
    const Operation old = op;
    op = successor(op);
    return old;
}

RegisterId operator++(RegisterId& reg, int) {
    const RegisterId old = reg;
    reg = successor(reg);
    return old;
}

// Once per process, also when several threads assemble at once (a grader
// assembles its programs in parallel).
void initNameMaps() {
    static std::once_flag filled;
    std::call_once(filled, [] {
        NameMaps& maps = nameMaps();
        for (std::size_t i = 0; i < operationCount; ++i) {
            maps.operations.emplace(operationNames[i], static_cast<Operation>(i));
        }
        for (std::size_t i = 0; i < registerCount; ++i) {
            maps.registers.emplace(registerNames[i], static_cast<RegisterId>(i));
        }
        maps.ready = true;
    });
}

bool nameMapsReady() {
    return nameMaps().ready;
}
const OperationMap& operationByName() {
    return nameMaps().operations;
}
const RegisterMap& registerByName() {
    return nameMaps().registers;
}

// The maps hold exactly these names (initNameMaps), so the fast lookups give
// their answers.
bool isOperationName(std::string_view name) {
    return findOperation(name).has_value();
}
bool isRegisterName(std::string_view name) {
    return findRegister(name).has_value();
}

Operation operationByName(std::string_view name) {
    return *findOperation(name);
}
RegisterId registerByName(std::string_view name) {
    return *findRegister(name);
}

std::optional<Operation> findOperation(std::string_view name) {
    if (name.empty() || name.size() > packedLength) {
        return std::nullopt;
    }
    std::uint64_t packed = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        // A NUL would pack like a shorter name.
        if (c == 0) {
            return std::nullopt;
        }
        packed |= static_cast<std::uint64_t>(c) << (8 * i);
    }
    const OperationSlot& slot = operationSlots[slotOf(packed, perfectMultiplier)];
    if (slot.packedName != packed) {
        return std::nullopt;
    }
    return slot.operation;
}

std::optional<RegisterId> findRegister(std::string_view name) {
    const char first = registerNames.front()[0];
    if (name.size() != 1 || name[0] < first ||
        name[0] >= first + static_cast<char>(registerCount)) {
        return std::nullopt;
    }
    return static_cast<RegisterId>(name[0] - first);
}

}  // namespace Vorn
