// The vornasm command: `vornasm SOURCE IMAGE`.
#pragma once

#include <iosfwd>

namespace Vorn {

// Checks the arguments, opens the two files, assembles once and reports the
// first error on `errors`. Returns the exit status: 1 for bad arguments, a file
// that cannot be opened or written, or exhausted memory; 0 otherwise, also
// after a reported assembly error.
int runAssembler(int argc, const char* const* argv, std::ostream& errors);

}  // namespace Vorn
