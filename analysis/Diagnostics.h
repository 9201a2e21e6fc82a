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
// A reachable instruction that execution runs on from into a data word or an
// unfilled cell (the control flow of ControlFlow.h says which are reachable).
inline constexpr std::string_view fallsIntoData = "falls-into-data";
// A reachable jump whose target is a data word or an unfilled cell.
inline constexpr std::string_view jumpsIntoData = "jumps-into-data";
// Instructions that no path from address 0 reaches (a hint: pointer words
// after "jump end" are recognised as data and left out).
inline constexpr std::string_view unreachable = "unreachable";
// A reachable place from which no path reaches a halt.
inline constexpr std::string_view endlessLoop = "endless-loop";
// A store that may overwrite instructions (a note).
inline constexpr std::string_view selfModifying = "self-modifying";
// A name used as an address whose value is above 65535: the address field
// gets its low 16 bits only.
inline constexpr std::string_view addressTruncated = "address-truncated";
}  // namespace Codes

// The error first (if any), then the warnings, notes and hints in source
// order. Warnings need every statement read: after an error raised while
// reading, there are none; the control flow needs every cell, so after any
// error there is none of its findings.
std::vector<Diagnostic> diagnose(const Document& document);

// "error", "warning", "information" or "hint".
std::string_view severityName(Diagnostic::Severity severity);

}  // namespace Vorn::Analysis
