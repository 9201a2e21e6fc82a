// vornsim's command line.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Vorn::Simulator {

// Memory addresses `first` to `last`, both included.
struct AddressRange {
    std::uint16_t first;
    std::uint16_t last;
};

// A label's address, or none for a name the program does not give one.
using LabelLookup = std::function<std::optional<std::uint16_t>(std::string_view)>;

// "A:B" or "A", each an address (decimal, or hexadecimal with 0x) or a label
// that `labels` knows (an empty `labels` for an image), A not above B. Returns the range, or what
// is wrong.
struct ParsedRange {
    std::optional<AddressRange> range;
    std::string problem;
};
ParsedRange parseAddressRange(std::string_view text, const LabelLookup& labels);

struct Options {
    std::string file;
    bool source = false;
    std::optional<std::string> inputFile;
    std::optional<std::uint64_t> maxSteps;
    std::optional<std::uint64_t> maxOutput;
    bool trace = false;
    bool registers = false;
    bool stats = false;
    bool strict = false;
    std::optional<std::string> writesFile;
    std::optional<std::string> profileFile;
    std::string profileFormat = "csv";
    bool checkReads = false;
    std::optional<std::uint64_t> randomMemory;
    // As given; labels are known only once the program is loaded.
    std::vector<std::string> memoryRanges;
};

// Fills `options`; returns the exit status when the run is already over
// (--help, --version, a usage error), as Tools::parseCommandLine does.
std::optional<int> parseOptions(int argc, const char* const* argv, Options& options,
                                std::ostream& out, std::ostream& errors);

}  // namespace Vorn::Simulator
