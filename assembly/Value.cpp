#include "assembly/Value.h"

#include <ostream>

#include "assembly/SymbolTable.h"

namespace Vorn::Assembly {

const std::string& Value::name() const {
    static const std::string none;
    return name_ ? *name_ : none;
}

std::int32_t Value::resolve(SymbolTable& symbols) const {
    return isNumber_ ? number_ : symbols.resolve(name());
}

std::ostream& operator<<(std::ostream& out, const Value& value) {
    if (value.isNumber()) {
        return out << value.number();
    }
    return out << value.name();
}

}  // namespace Vorn::Assembly
