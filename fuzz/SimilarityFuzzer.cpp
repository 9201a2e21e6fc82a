// Fuzz target: the similarity normaliser on arbitrary bytes, as a submission.
// The bytes are compared with themselves (always fully alike when they hold
// a statement) and with a fixed program; every match's lines must lie in the
// sources. A crash, a hang or a sanitizer report is a finding.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/Require.h"
#include "grading/Similarity.h"

namespace {

using Vorn::Fuzz::require;
using namespace Vorn::Grading;

constexpr std::string_view fixed =
    "        zero A\n:next   read\n        jz I done\n        add I\n        jump next\n"
    ":done   store A sum\n        load O sum\n        write\n        jump end\n:sum    0\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const Fingerprinted input = fingerprint(text);
    const Fingerprinted other = fingerprint(fixed);
    const double self = similarity(input, input);
    require(self == (input.hashes.empty() ? 0.0 : 1.0), "a source is fully alike itself");
    const double value = similarity(input, other);
    require(value >= 0 && value <= 1, "a similarity from 0 to 1");
    require(value == similarity(other, input), "similarity is symmetric");
    const auto lines = static_cast<std::int32_t>(1 + std::count(text.begin(), text.end(), '\n'));
    for (const LineMatch& match : matches(input, other)) {
        require(match.aFirst >= 1 && match.aFirst <= match.aLast && match.aLast <= lines,
                "a match's lines lie in the source");
        require(match.bFirst >= 1 && match.bFirst <= match.bLast && match.bLast <= 10,
                "a match's lines lie in the other source");
    }
    return 0;
}
