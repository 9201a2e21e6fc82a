// How every command reports a failure: one line on the standard error
// stream, "Error: " and the message, then a line end and a flush. Written
// here once; vornasm's driver, the other commands and the web front end all
// write their error lines through these.
#pragma once

#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>

#include "assembly/ParseError.h"
#include "assembly/Program.h"

namespace Vorn::Tools {

// A failure that ends a run of a command with exit status 1; the command
// writes it with writeError.
class ToolError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

inline constexpr std::string_view errorPrefix = "Error: ";

// "Error: " and the message, without a line end: the line as a report or a
// page shows it.
inline std::string errorText(std::string_view message) {
    return std::string(errorPrefix).append(message);
}

// An assembly error's line: its message and a full stop.
inline std::string errorText(const Assembly::AssemblyError& error) {
    return errorText(error.message + ".");
}

// Writes the error line: "Error: ", the message, a line end, a flush.
inline void writeError(std::ostream& errors, std::string_view message) {
    errors << errorPrefix << message << std::endl;
}

// An assembly error: its message and a full stop.
inline void writeError(std::ostream& errors, const Assembly::AssemblyError& error) {
    errors << errorPrefix << error.message << '.' << std::endl;
}

// The same, the message written by the error itself (vornasm's driver).
inline void writeError(std::ostream& errors, const Assembly::ParseError& error) {
    errors << errorPrefix << error << '.' << std::endl;
}

}  // namespace Vorn::Tools
