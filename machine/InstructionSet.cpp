#include "machine/InstructionSet.h"

namespace Vorn {

namespace {

struct NameMaps {
    OperationMap operations;
    RegisterMap registers;
    bool ready = false;
};

NameMaps& nameMaps() {
    static NameMaps maps;
    return maps;
}

// An operation name packed into one integer, so that finding it is a few
// integer compares; no operation name is longer than 8 characters.
constexpr std::size_t packedLength = sizeof(std::uint64_t);

constexpr std::uint64_t pack(std::string_view name) {
    std::uint64_t packed = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        packed |= static_cast<std::uint64_t>(static_cast<unsigned char>(name[i])) << (8 * i);
    }
    return packed;
}

constexpr std::array<std::uint64_t, operationCount> packedOperationNames = [] {
    std::array<std::uint64_t, operationCount> packed{};
    for (std::size_t i = 0; i < operationCount; ++i) {
        packed[i] = pack(operationNames[i]);
    }
    return packed;
}();

constexpr bool namesFitPacked() {
    for (const std::string_view name : operationNames) {
        if (name.empty() || name.size() > packedLength || name.find('\0') != name.npos) {
            return false;
        }
    }
    return true;
}
static_assert(namesFitPacked(), "operation names must pack into one integer");

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

void initNameMaps() {
    NameMaps& maps = nameMaps();
    if (maps.ready) {
        return;
    }
    for (std::size_t i = 0; i < operationCount; ++i) {
        maps.operations.emplace(operationNames[i], static_cast<Operation>(i));
    }
    for (std::size_t i = 0; i < registerCount; ++i) {
        maps.registers.emplace(registerNames[i], static_cast<RegisterId>(i));
    }
    maps.ready = true;
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
    // A NUL inside the name would pack like a shorter name.
    if (name.empty() || name.size() > packedLength || name.find('\0') != name.npos) {
        return std::nullopt;
    }
    const std::uint64_t packed = pack(name);
    for (std::size_t i = 0; i < operationCount; ++i) {
        if (packedOperationNames[i] == packed) {
            return static_cast<Operation>(i);
        }
    }
    return std::nullopt;
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
