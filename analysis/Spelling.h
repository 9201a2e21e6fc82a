// The nearest spelling: which known name a mistyped one most likely means,
// for the hints of the assembler's errors and the debugger's unknown names.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Vorn::Analysis {

// The number of single-character insertions, deletions and substitutions
// that turn `a` into `b`.
std::size_t editDistance(std::string_view a, std::string_view b);

// The candidate nearest to `word`, when one is near enough to be a slip: at
// most one edit for a word of up to three characters, two for a longer one.
// Ties go to the first candidate. `ignoreCase` compares both in lower case.
std::optional<std::string> nearestName(std::string_view word,
                                       const std::vector<std::string_view>& candidates,
                                       bool ignoreCase = false);

}  // namespace Vorn::Analysis
