#include "assembly/MemoryImage.h"

#include <ostream>

#include "assembly/SymbolTable.h"

namespace Vorn::Assembly {

Word PendingWord::resolvedWord(const SymbolTable& symbols) const {
    if (!hasLabel) {
        return word;
    }
    Word result = word;
    // Only the low 16 bits of the name's value reach the address field.
    result.setAddress(static_cast<std::uint16_t>(label.resolve(symbols)));
    return result;
}

void MemoryCell::resolve(const SymbolTable& symbols) {
    if (isData) {
        value = Value(value.resolve(symbols));
        return;
    }
    const Word word = pending.resolvedWord(symbols);
    pending = PendingWord(word);
    value = Value(word.value());
}

std::ostream& operator<<(std::ostream& out, const MemoryCell& cell) {
    return out << cell.value;
}

}  // namespace Vorn::Assembly
