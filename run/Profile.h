// Where the time went: how many times each cell ran, counted by the runner
// (Observers::profile), and the same summed by source line. Written as CSV
// (one row per cell, with its line's total) or JSON, and read back from the
// CSV for a listing.
//
//   Run::Profile profile;
//   Run::Runner runner(program, io, limits, {.profile = &profile});
//   runner.run();
//   Run::writeProfileCsv(file, profile, program);
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "machine/Machine.h"
#include "program/Program.h"

namespace Vorn::Run {

struct Profile {
    // Instructions started at each address (a faulting one too).
    std::vector<std::uint64_t> counts = std::vector<std::uint64_t>(Machine::memorySize, 0);

    std::uint64_t total() const;
};

struct LineCount {
    std::int32_t line = 0;
    std::uint64_t count = 0;
};

// Every source line that filled a cell, in line order, with the count of its
// cells together; none for an image.
std::vector<LineCount> lineCounts(const Profile& profile, const Program& program);

// The rows: every cell of the program, then any other cell that ran, in
// address order. Header "address,line,count,line_count"; a line of 0 and an
// empty line_count for a cell no source line filled.
void writeProfileCsv(std::ostream& out, const Profile& profile, const Program& program);
// {"steps": N, "cells": [{"address", "line", "count"}...], "lines": [{"line", "count"}...]},
// the cells as in the CSV.
void writeProfileJson(std::ostream& out, const Profile& profile, const Program& program);

// A profile as writeProfileCsv writes it; on a malformed file, none, and
// `problem` says which line is wrong.
std::optional<Profile> readProfileCsv(std::istream& in, std::string& problem);

}  // namespace Vorn::Run
