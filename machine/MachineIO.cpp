#include "machine/MachineIO.h"

#include <istream>
#include <limits>
#include <ostream>

namespace Vorn {

InputResult StreamIO::read() {
    if (input_.bad()) {
        return {InputResult::Kind::Failed, 0};
    }
    std::int32_t value = 0;
    if (input_ >> value) {
        return {InputResult::Kind::Number, value};
    }
    if (input_.bad()) {
        return {InputResult::Kind::Failed, 0};
    }
    if (input_.eof() && value == 0) {
        return {InputResult::Kind::Ended, 0};
    }
    // A formatted read stores the nearest limit for a number outside the type.
    if (value == std::numeric_limits<std::int32_t>::max() ||
        value == std::numeric_limits<std::int32_t>::min()) {
        return {InputResult::Kind::OutOfRange, 0};
    }
    return {InputResult::Kind::NotANumber, 0};
}

void StreamIO::write(std::int32_t value) {
    output_ << value << std::endl;
}

}  // namespace Vorn
