// vorndbg's command line.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace Vorn::Debugger {

struct Options {
    std::string file;
    bool source = false;
    std::optional<std::string> inputFile;
    std::vector<std::string> commandFiles;
    bool batch = false;
    std::optional<std::uint64_t> history;  // no value: unlimited
    // The run's limits, as vornsim's options of the same names.
    std::optional<std::uint64_t> maxSteps;
    std::optional<std::uint64_t> maxOutput;
    bool strict = false;
    bool dap = false;  // the Debug Adapter Protocol on the standard streams
};

// Fills `options`; returns the exit status when the run is already over
// (--help, --version, a usage error).
std::optional<int> parseOptions(int argc, const char* const* argv, Options& options,
                                std::ostream& out, std::ostream& errors);

}  // namespace Vorn::Debugger
