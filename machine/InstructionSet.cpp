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

bool isOperationName(std::string_view name) {
    return nameMaps().operations.contains(name);
}
bool isRegisterName(std::string_view name) {
    return nameMaps().registers.contains(name);
}

Operation operationByName(std::string_view name) {
    return nameMaps().operations.find(name)->second;
}
RegisterId registerByName(std::string_view name) {
    return nameMaps().registers.find(name)->second;
}

}  // namespace Vorn
