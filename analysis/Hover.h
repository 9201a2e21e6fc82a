// What a hover shows: for a label its address, for a definition its chain of
// names and final value, for an instruction its word and what the operation
// does, for a register its role.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "analysis/Document.h"

namespace Vorn::Analysis {

struct Hover {
    std::string markdown;
    Assembly::SourcePosition range;  // the token hovered
};

std::optional<Hover> hoverAt(const Document& document, std::int32_t line, std::int32_t column);

// "12 (0x000C)": a number in decimal and hexadecimal.
std::string decimalAndHex(std::int64_t value, int digits = 4);

}  // namespace Vorn::Analysis
