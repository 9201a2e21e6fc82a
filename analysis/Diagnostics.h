// What an editor underlines: vornasm's error, with a hint where its message
// alone misleads, and the warnings vornasm does not give.
#pragma once

#include <string_view>
#include <vector>

#include "analysis/Document.h"

namespace Vorn::Analysis {

// The codes of the diagnostics, one per kind.
namespace Codes {
inline constexpr std::string_view assemblyError = "assembly-error";
// A label that no statement uses.
inline constexpr std::string_view unusedLabel = "unused-label";
// A definition that no statement uses.
inline constexpr std::string_view unusedDefinition = "unused-definition";
// An instruction other than "jump" right before a data cell: execution runs
// on into the data.
inline constexpr std::string_view fallsIntoData = "falls-into-data";
// A name used as an address whose value is above 65535: the address field
// gets its low 16 bits only.
inline constexpr std::string_view addressTruncated = "address-truncated";
}  // namespace Codes

// The error first (if any), then the warnings in source order. Warnings need
// every statement read: after an error raised while reading, there are none.
std::vector<Diagnostic> diagnose(const Document& document);

}  // namespace Vorn::Analysis
