#include "assembly/ProgramLabels.h"

#include <cstdint>
#include <limits>

namespace Vorn::Assembly {

namespace {

bool isAddress(const ProgramSymbol& symbol) {
    return symbol.number && *symbol.number >= 0 &&
           *symbol.number <= std::numeric_limits<std::uint16_t>::max();
}

}  // namespace

AddressNames labelsOf(const Program& program) {
    AddressNames names;
    // The symbols are in name order, and the first name an address gets stays.
    const auto addAll = [&](auto&& wanted) {
        for (const ProgramSymbol& symbol : program.symbols) {
            if (isAddress(symbol) && wanted(symbol)) {
                names.add(static_cast<std::uint16_t>(*symbol.number), symbol.name);
            }
        }
    };
    addAll([](const ProgramSymbol& symbol) {
        return symbol.kind != ProgramSymbol::Kind::Definition && !symbol.aliasOf;
    });
    addAll([](const ProgramSymbol& symbol) { return !symbol.aliasOf; });
    addAll([](const ProgramSymbol&) { return true; });
    return names;
}

}  // namespace Vorn::Assembly
