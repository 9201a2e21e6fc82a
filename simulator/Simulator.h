// The vornsim command: `vornsim [options] FILE`.
#pragma once

#include <iosfwd>

namespace Vorn::Simulator {

enum ExitStatus : int {
    halted = 0,
    failed = 1,  // bad usage, an unreadable or malformed file, an assembly error, an I/O error
    limitReached = 2,  // --max-steps or --max-output
    runTimeFault = 3,
};

// Loads the program, runs it with `in` and `out` as the machine's streams,
// and reports on `errors` (the trace, warnings, errors, statistics). With
// `outIsTerminal`, the program's output is written line by line. Returns the
// exit status.
int runSimulator(int argc, const char* const* argv, std::istream& in, std::ostream& out,
                 std::ostream& errors, bool outIsTerminal = false);

}  // namespace Vorn::Simulator
