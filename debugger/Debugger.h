// vorndbg: loads a program, then runs the debugger's commands from -x
// scripts, then from standard input, at a prompt when it is a terminal.
#pragma once

#include <iosfwd>

namespace Vorn::Debugger {

// Returns the exit status.
int runDebugger(int argc, const char* const* argv, std::istream& in, std::ostream& out,
                std::ostream& errors);

}  // namespace Vorn::Debugger
