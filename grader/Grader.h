// The vorngrade command: options, the suite file, the programs, the reports.
#pragma once

#include <iosfwd>

namespace Vorn::Grader {

// Runs vorngrade with its arguments; `terminal` says whether `out` is a
// terminal (the text report is then coloured, unless --color says otherwise).
// Returns the exit status: 0 every case passed, 1 some did not, 2 usage or
// suite errors.
int runGrader(int argc, const char* const* argv, std::ostream& out, std::ostream& errors,
              bool terminal);

}  // namespace Vorn::Grader
