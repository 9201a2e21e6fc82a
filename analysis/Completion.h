// Completion: what may come next where the cursor stands. The operation names
// with their operand shapes at the start of a statement, the registers where
// a register operand goes, the names of the source where a name goes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/Document.h"

namespace Vorn::Analysis {

struct Completion {
    enum class Kind : std::uint8_t { Operation, Register, Label, Definition, Predefined };
    Kind kind = Kind::Operation;
    std::string label;
    std::string detail;  // "load R addr", "register A, the accumulator...", "address 12"
};

std::vector<Completion> completionsAt(const Document& document, std::int32_t line,
                                      std::int32_t column);

}  // namespace Vorn::Analysis
