// Hints: one sentence after vornasm's exact message where the message alone
// misleads a student. "lod A x" is reported at A, a comma shows as "token
// none"; the hint says what is really wrong. The message itself never changes.
//
// The language server shows a hint after the message; the grader and the
// playground can do the same with these functions.
#pragma once

#include <string>
#include <string_view>

#include "assembly/Program.h"

namespace Vorn::Analysis {

// The hint for the error of a whole source, or an empty string.
std::string hintFor(const Assembly::AssemblyError& error, std::string_view source);

// The same, given only the text of the line the error names.
std::string hintForLine(const Assembly::AssemblyError& error, std::string_view lineText);

}  // namespace Vorn::Analysis
