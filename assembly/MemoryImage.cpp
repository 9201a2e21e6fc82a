#include "assembly/MemoryImage.h"

namespace Vorn::Assembly {

static_assert(sizeof(MemoryCell) == 16, "the cells are the run's largest data");

const MemoryCell MemoryImage::defaultCell{};

void MemoryCell::resolveName(const SymbolTable& symbols) {
    const std::int32_t number = symbols.resolve(name_);
    if (isData) {
        bits_ = number;
    } else {
        Word word(bits_);
        // Only the low 16 bits of the name's value reach the address field.
        word.setAddress(static_cast<std::uint16_t>(number));
        bits_ = word.value();
    }
    name_ = noName;
}

}  // namespace Vorn::Assembly
