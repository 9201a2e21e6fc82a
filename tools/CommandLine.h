// The part of option handling that vornsim and vornlist share.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

namespace CLI {
class App;
}

namespace Vorn::Tools {

// "NAME VERSION", the text of --version.
std::string versionText(const std::string& name);

// Flushes what a tool wrote on `out`; returns 0, or 1 after one line
// "Error: cannot write the standard output." on `errors` when it failed.
int finishOutput(std::ostream& out, std::ostream& errors);

// Parses the command line into the options bound to `app`. Returns no value
// when the tool should go on, or the exit status when the run is over: 0
// after --help (on `out`) or --version (1 if `out` cannot take them), 1 after a usage error (one
// line "Error: ..." on `errors`).
std::optional<int> parseCommandLine(CLI::App& app, int argc, const char* const* argv,
                                    std::ostream& out, std::ostream& errors);

}  // namespace Vorn::Tools
