#include "assembly/MemoryImage.h"

namespace Vorn::Assembly {

static_assert(sizeof(MemoryCell) == 16, "the cells are the run's largest data");

const MemoryCell MemoryImage::defaultCell{};

Word PendingWord::resolvedWord(SymbolTable& symbols) const {
    if (!hasLabel()) {
        return word;
    }
    Word result = word;
    // Only the low 16 bits of the name's value reach the address field.
    result.setAddress(static_cast<std::uint16_t>(symbols.resolve(label)));
    return result;
}

void MemoryCell::resolveName(SymbolTable& symbols) {
    // A data word takes all 32 bits of the name's value.
    bits_ = isData ? symbols.resolve(name_) : pending().resolvedWord(symbols).value();
    name_ = noName;
}

}  // namespace Vorn::Assembly
