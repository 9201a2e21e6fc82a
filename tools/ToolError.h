// How every command reports a failure: one line on the standard error
// stream, "Error: " and the message, then a line end and a flush. Written
// here once; vornasm's driver, the other commands and the web front end all
// write their error lines through these.
#pragma once

#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "assembly/ParseError.h"
#include "assembly/Program.h"

namespace Vorn::Tools {

// A failure that ends a run of a command with exit status 1; the command
// writes it with writeError.
class ToolError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
    ToolError(const std::string& message, std::string hint)
        : std::runtime_error(message), hint_(std::move(hint)) {}

    // After an assembly error, the analysis's hint (analysis/Hints.h) where
    // the message alone misleads; else empty.
    const std::string& hint() const { return hint_; }

  private:
    std::string hint_;
};

inline constexpr std::string_view errorPrefix = "Error: ";
inline constexpr std::string_view hintPrefix = "hint: ";

// "Error: " and the message, without a line end: the line as a report or a
// page shows it.
inline std::string errorText(std::string_view message) {
    return std::string(errorPrefix).append(message);
}

// An assembly error's line: its message and a full stop.
inline std::string errorText(const Assembly::AssemblyError& error) {
    return errorText(error.message + ".");
}

// A command's failure: its error line, then its hint on a line of its own
// when it has one, without a final line end (a report's feedback).
inline std::string errorText(const ToolError& error) {
    std::string text = errorText(std::string_view(error.what()));
    if (!error.hint().empty()) {
        text.append("\n").append(hintPrefix).append(error.hint());
    }
    return text;
}

// Writes the error line: "Error: ", the message, a line end, a flush.
inline void writeError(std::ostream& errors, std::string_view message) {
    errors << errorPrefix << message << std::endl;
}

// A command's failure: the error line exactly as vornasm would write it,
// then "hint: " and the hint on a line of its own when there is one.
inline void writeError(std::ostream& errors, const ToolError& error) {
    errors << errorText(error) << std::endl;
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
