// Fuzz target: the suite reader on arbitrary bytes. Every input must end in a
// suite or in one SuiteError whose message names the file and is one line; a
// suite read must grade a program and go through every report writer. Any
// other exception, a crash or a sanitizer report is a finding.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

#include "fuzz/Require.h"
#include "grading/Grade.h"
#include "grading/Report.h"
#include "grading/Suite.h"

namespace {

using Vorn::Fuzz::require;
using namespace Vorn::Grading;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Suite suite;
    try {
        suite = readSuite(text, "fuzz.toml");
    } catch (const SuiteError& error) {
        const std::string_view message = error.what();
        require(message.starts_with("fuzz.toml"), "a suite error names the file");
        require(message.find('\n') == std::string_view::npos, "a suite error is one line");
        return 0;
    }
    require(!suite.cases.empty(), "a suite has cases");
    for (const Case& each : suite.cases) {
        require(each.maxSteps >= 1 && each.maxOutput <= Suite::maxMaxOutput,
                "budgets are in range");
        require(each.points >= 0 && each.points <= Suite::maxPoints, "points are in range");
        require(!each.checkPoints ||
                    each.points == each.checkPoints->output +
                                       each.checkPoints->memory *
                                           static_cast<std::int64_t>(each.memory.size()) +
                                       each.checkPoints->registers *
                                           static_cast<std::int64_t>(each.registers.size()),
                "points per check add up to the case's points");
    }
    // A program that cannot be run grades every case at once, without running;
    // the writers then see every name the suite holds.
    const ProgramResult result = gradeProgram(
        suite, failedSubmission("p.vorn", "Error: none.", Vorn::Program::Format::Source));
    require(result.cases.size() == suite.cases.size(), "one result per case");
    const std::vector<ProgramResult> results{result};
    const Report report{suite, results};
    std::ostringstream out;
    writeText(out, report, true);
    writeJson(out, report);
    writeJUnit(out, report);
    writeCsv(out, report);
    writeSummary(out, report);
    for (const bool teacher : {false, true}) {
        const Report platform{suite, results, teacher};
        writeGradescope(out, platform);
        writePrairieLearn(out, platform);
        writeGitHubClassroom(out, platform);
    }
    return 0;
}
