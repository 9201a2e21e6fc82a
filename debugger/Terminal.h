// The interactive side of vorndbg: the prompt with line editing, history and
// Tab completion (libedit's readline interface), and Ctrl-C.
#pragma once

#include <atomic>
#include <optional>
#include <string>

#include "debug/Commands.h"

namespace Vorn::Debugger {

// Raised by Ctrl-C while the interrupt handler is installed.
std::atomic<bool>& interruptFlag();
// From now on Ctrl-C raises the flag instead of ending the process.
void catchInterrupts();

// Reads one line at the prompt; no value at the end of the input (Ctrl-D).
// Ctrl-C at the prompt drops the line typed so far and gives an empty line.
std::optional<std::string> readCommandLine(const char* prompt);
// Asks for one number for read; no value at the end of the input. After
// Ctrl-C it gives an empty line and leaves the interrupt flag raised.
std::optional<std::string> readInputLine(const char* prompt);

// Completes the words of the line from the interpreter's candidates.
void useCompletions(const Debug::CommandInterpreter& commands);

}  // namespace Vorn::Debugger
