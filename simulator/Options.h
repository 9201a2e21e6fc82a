// vornsim's command line.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace Vorn::Simulator {

// Memory addresses `first` to `last`, both included.
struct AddressRange {
    std::uint16_t first;
    std::uint16_t last;
};

// "A:B", each address decimal or hexadecimal with 0x, A not above B.
std::optional<AddressRange> parseAddressRange(const std::string& text);

struct Options {
    std::string file;
    bool source = false;
    std::optional<std::string> inputFile;
    std::optional<std::uint64_t> maxSteps;
    bool trace = false;
    bool registers = false;
    std::vector<AddressRange> memoryRanges;
};

// Fills `options`; returns the exit status when the run is already over
// (--help, --version, a usage error), as Tools::parseCommandLine does.
std::optional<int> parseOptions(int argc, const char* const* argv, Options& options,
                                std::ostream& out, std::ostream& errors);

}  // namespace Vorn::Simulator
