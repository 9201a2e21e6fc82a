#include "run/Profile.h"

#include <charconv>
#include <istream>
#include <numeric>
#include <ostream>
#include <string_view>

namespace Vorn::Run {

namespace {

constexpr std::string_view header = "address,line,count,line_count";

// The addresses the rows are for: the program's cells, then the others that ran.
template <typename Row>
void forEachRow(const Profile& profile, const Program& program, Row row) {
    const std::size_t filled = program.words().size();
    for (std::size_t address = 0; address < profile.counts.size(); ++address) {
        if (address < filled || profile.counts[address] > 0) {
            row(static_cast<std::uint32_t>(address), profile.counts[address]);
        }
    }
}

// The total of each line's cells, by line number.
std::vector<std::uint64_t> byLine(const Profile& profile, const Program& program) {
    std::vector<std::uint64_t> totals(program.lines().size() + 1, 0);
    for (std::size_t address = 0; address < program.cells().size(); ++address) {
        const auto line = static_cast<std::size_t>(program.cells()[address].line);
        if (line < totals.size()) {
            totals[line] += profile.counts[address];
        }
    }
    return totals;
}

bool parseNumber(std::string_view text, std::uint64_t& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

}  // namespace

std::uint64_t Profile::total() const {
    return std::accumulate(counts.begin(), counts.end(), std::uint64_t{0});
}

std::vector<LineCount> lineCounts(const Profile& profile, const Program& program) {
    const std::vector<std::uint64_t> totals = byLine(profile, program);
    std::vector<LineCount> lines;
    std::int32_t previous = 0;
    for (const Assembly::ProgramCell& cell : program.cells()) {
        if (cell.line != previous) {
            lines.push_back({cell.line, totals[static_cast<std::size_t>(cell.line)]});
            previous = cell.line;
        }
    }
    return lines;
}

void writeProfileCsv(std::ostream& out, const Profile& profile, const Program& program) {
    const std::vector<std::uint64_t> totals = byLine(profile, program);
    out << header << '\n';
    forEachRow(profile, program, [&](std::uint32_t address, std::uint64_t count) {
        const std::int32_t line = program.lineOf(address);
        out << address << ',' << line << ',' << count << ',';
        if (line > 0) {
            out << totals[static_cast<std::size_t>(line)];
        }
        out << '\n';
    });
}

// Only numbers, so written directly: one object per line.
void writeProfileJson(std::ostream& out, const Profile& profile, const Program& program) {
    out << "{\n  \"steps\": " << profile.total() << ",\n  \"cells\": [";
    const char* separator = "\n";
    forEachRow(profile, program, [&](std::uint32_t address, std::uint64_t count) {
        out << separator << "    {\"address\": " << address
            << ", \"line\": " << program.lineOf(address) << ", \"count\": " << count << '}';
        separator = ",\n";
    });
    out << "\n  ],\n  \"lines\": [";
    separator = "\n";
    for (const LineCount& line : lineCounts(profile, program)) {
        out << separator << "    {\"line\": " << line.line << ", \"count\": " << line.count << '}';
        separator = ",\n";
    }
    out << "\n  ]\n}\n";
}

std::optional<Profile> readProfileCsv(std::istream& in, std::string& problem) {
    std::string text;
    if (!std::getline(in, text) || text != header) {
        problem = "line 1 is not the header '" + std::string(header) + "'";
        return std::nullopt;
    }
    Profile profile;
    for (std::size_t number = 2; std::getline(in, text); ++number) {
        const std::string_view row = text;
        const std::size_t first = row.find(',');
        const std::size_t second = row.find(',', first + 1);
        const std::size_t third =
            second == std::string_view::npos ? second : row.find(',', second + 1);
        std::uint64_t address = 0;
        std::uint64_t line = 0;
        std::uint64_t count = 0;
        if (third == std::string_view::npos || !parseNumber(row.substr(0, first), address) ||
            address >= Machine::memorySize ||
            !parseNumber(row.substr(first + 1, second - first - 1), line) ||
            !parseNumber(row.substr(second + 1, third - second - 1), count)) {
            problem = "line " + std::to_string(number) + " is not 'address,line,count,line_count'";
            return std::nullopt;
        }
        profile.counts[static_cast<std::size_t>(address)] = count;
    }
    return profile;
}

}  // namespace Vorn::Run
