#include "assembly/ProgramLabels.h"

#include <cstdint>
#include <limits>
#include <vector>

namespace Vorn::Assembly {

namespace {

bool isAddress(const ProgramSymbol& symbol) {
    return symbol.number && *symbol.number >= 0 &&
           *symbol.number <= std::numeric_limits<std::uint16_t>::max();
}

}  // namespace

AddressNames labelsOf(const Program& program) {
    AddressNames names;
    const auto add = [&](const ProgramSymbol& symbol) {
        names.add(static_cast<std::uint16_t>(*symbol.number), symbol.name);
    };
    // The symbols are in name order, and the first name an address gets
    // stays: labels (and "end") now, in one pass over the symbols, and the
    // definitions after them.
    std::vector<const ProgramSymbol*> numbers;
    std::vector<const ProgramSymbol*> aliases;
    for (const ProgramSymbol& symbol : program.symbols) {
        if (!isAddress(symbol)) {
            continue;
        }
        if (symbol.aliasOf) {
            aliases.push_back(&symbol);
        } else if (symbol.kind == ProgramSymbol::Kind::Definition) {
            numbers.push_back(&symbol);
        } else {
            add(symbol);
        }
    }
    for (const ProgramSymbol* symbol : numbers) {
        add(*symbol);
    }
    for (const ProgramSymbol* symbol : aliases) {
        add(*symbol);
    }
    return names;
}

}  // namespace Vorn::Assembly
