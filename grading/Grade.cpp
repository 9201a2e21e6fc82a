#include "grading/Grade.h"

#include <algorithm>
#include <istream>
#include <optional>
#include <sstream>

#include "machine/Machine.h"
#include "machine/MachineIO.h"
#include "run/Runner.h"
#include "tools/ToolError.h"

namespace Vorn::Grading {

namespace {

// Feeds the case's input to read and compares what write writes with the
// expected output as it comes, keeping the first `kept` lines (the run's
// output limit stops it at the case's max-output lines).
class CaseIO : public MachineIO {
  public:
    CaseIO(const Case& test, std::size_t kept) : test_(test), kept_(kept) {}

    InputResult read() override {
        if (next_ == test_.input.size()) {
            return {InputResult::Kind::Ended, 0};
        }
        return {InputResult::Kind::Number, test_.input[next_++]};
    }

    void write(std::int32_t value) override {
        if (!mismatch && (written >= test_.output.size() || test_.output[written] != value)) {
            mismatch = written;
            mismatchValue = value;
        }
        if (output.size() < kept_) {
            output.push_back(value);
        }
        ++written;
    }

    bool matches() const { return !mismatch && written == test_.output.size(); }

    std::vector<std::int32_t> output;
    std::size_t written = 0;
    std::optional<std::size_t> mismatch;  // the first line that differs from the expected one
    std::int32_t mismatchValue = 0;

  private:
    const Case& test_;
    std::size_t kept_;
    std::size_t next_ = 0;
};

std::string lines(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " line" : " lines");
}

std::string outputProblem(const std::vector<std::int32_t>& expected, const CaseIO& io) {
    const std::size_t at = io.mismatch.value_or(io.written);
    const auto line = std::to_string(at + 1);
    const std::string counts =
        " (" + lines(io.written) + " written, " + std::to_string(expected.size()) + " expected)";
    if (at >= expected.size()) {
        return "output line " + line + " is " + std::to_string(io.mismatchValue) +
               ", expected no more lines" + counts + ".";
    }
    if (!io.mismatch) {
        return "output line " + line + " is missing, expected " + std::to_string(expected[at]) +
               counts + ".";
    }
    return "output line " + line + " is " + std::to_string(io.mismatchValue) + ", expected " +
           std::to_string(expected[at]) + ".";
}

// One entry per memory word, then per register, of the case: what differs,
// or empty when it holds.
std::vector<std::string> stateChecks(const Case& test, const Submission& submission,
                                     const Machine& machine) {
    std::vector<std::string> checks;
    for (const MemoryExpectation& word : test.memory) {
        std::uint16_t address = 0;
        std::string what;
        if (word.address) {
            address = *word.address;
            what = "memory word " + std::to_string(address);
        } else {
            std::optional<std::uint16_t> label = submission.program.labelAddress(word.label);
            if (const auto given = submission.symbols.find(word.label);
                !label && given != submission.symbols.end()) {
                label = given->second;
            }
            if (!label) {
                checks.push_back(word.place.text() + ": the program defines no label '" +
                                 word.label + "'" +
                                 (submission.image() && submission.symbols.empty()
                                      ? " (a memory image has no labels: give its source with "
                                        "--symbols)."
                                      : "."));
                continue;
            }
            address = *label;
            what = "memory word " + word.label + " (address " + std::to_string(address) + ")";
        }
        const std::int32_t value = machine.memory[address].value();
        checks.push_back(value == word.value
                             ? ""
                             : what + " holds " + std::to_string(value) + ", expected " +
                                   std::to_string(word.value) + ".");
    }
    for (const RegisterExpectation& expected : test.registers) {
        const std::int32_t value = machine.registers.at(expected.reg).value();
        checks.push_back(value == expected.value
                             ? ""
                             : "register " + std::string(nameOf(expected.reg)) + " holds " +
                                   std::to_string(value) + ", expected " +
                                   std::to_string(expected.value) + ".");
    }
    return checks;
}

// The lines of the checks that failed; empty when all hold.
std::string joined(const std::vector<std::string>& checks) {
    std::string problems;
    for (const std::string& check : checks) {
        if (!check.empty()) {
            problems += (problems.empty() ? "" : "\n") + check;
        }
    }
    return problems;
}

// A case that gives points per check: the points its checks earned after
// the halt, and the line of feedback that says which earned what.
std::pair<std::int64_t, std::string> credit(const Case& test, bool outputHolds,
                                            const std::vector<std::string>& state) {
    const CheckPoints& points = *test.checkPoints;
    std::int64_t earned = 0;
    std::string line = "checks:";
    const auto add = [&](const std::string& name, bool holds, std::int64_t worth) {
        earned += holds ? worth : 0;
        line += " " + name + " " + std::to_string(holds ? worth : 0) + "/" + std::to_string(worth) +
                ",";
    };
    add("output", outputHolds, points.output);
    for (std::size_t i = 0; i < test.memory.size(); ++i) {
        const MemoryExpectation& word = test.memory[i];
        add("memory " + (word.address ? std::to_string(*word.address) : word.label),
            state[i].empty(), points.memory);
    }
    for (std::size_t i = 0; i < test.registers.size(); ++i) {
        add("register " + std::string(nameOf(test.registers[i].reg)),
            state[test.memory.size() + i].empty(), points.registers);
    }
    line.back() = '.';
    return {earned, line};
}

// A path as a command's argument: quoted, and not taken for an option.
std::string pathArgument(const std::string& path) {
    return shellQuoted(path.starts_with('-') ? "./" + path : path);
}

// The replay commands: vornsim traces the same run, vorndbg opens it. A
// long input is not written out: vorngrade --print-input gives it from the
// suite, so that the feedback stays a few lines whatever the input.
std::string replay(const Case& test, const Submission& submission, bool outputLimited) {
    std::string input;
    if (test.input.size() <= inlinedInput) {
        input = "printf '%s\\n'";
        for (const std::int32_t value : test.input) {
            input += " " + std::to_string(value);
        }
    } else {
        input = "vorngrade --print-input " + shellQuoted(test.name) + " " +
                pathArgument(test.suiteFile);
    }
    const std::string program = (submission.image() ? "" : "-s ") + pathArgument(submission.file);
    // The output limit changes a run only where it stops it.
    std::string simulator =
        "vornsim " + program + " --max-steps " + std::to_string(test.maxSteps) +
        (outputLimited ? " --max-output " + std::to_string(test.maxOutput) : "") +
        (test.strict ? " --strict" : "") + (test.checkReads ? " --check-reads" : "") +
        (test.randomMemory ? " --random-memory " + std::to_string(*test.randomMemory) : "") +
        " --trace";
    std::string debugger = "vorndbg " + program;
    if (test.input.empty()) {
        simulator += " < /dev/null";
        debugger += " --input /dev/null";
    } else {
        simulator = input + " | " + simulator;
        debugger += " --input <(" + input + ")";
    }
    return "replay: " + simulator + "\ndebug: " + debugger;
}

}  // namespace

std::string_view nameOf(Verdict verdict) {
    switch (verdict) {
        case Verdict::Pass:
            return "pass";
        case Verdict::WrongOutput:
            return "wrong-output";
        case Verdict::WrongState:
            return "wrong-state";
        case Verdict::StepLimit:
            return "step-limit";
        case Verdict::Fault:
            return "fault";
        case Verdict::TooMuchOutput:
            return "too-much-output";
        case Verdict::AssemblyError:
            return "assembly-error";
    }
    return "pass";
}

std::string shellQuoted(std::string_view word) {
    const bool plain = !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               std::string_view("_-./+,:=@%").find(c) != std::string_view::npos;
    });
    if (plain) {
        return std::string(word);
    }
    const bool control = std::any_of(word.begin(), word.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    });
    if (!control) {
        std::string quoted = "'";
        for (const char c : word) {
            quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        }
        return quoted + "'";
    }
    // Bash's $'...' writes every byte in printable characters.
    constexpr char hex[] = "0123456789abcdef";
    std::string quoted = "$'";
    for (const char c : word) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            quoted += {'\\', 'x', hex[byte >> 4], hex[byte & 0xF]};
        } else if (c == '\'' || c == '\\') {
            quoted += {'\\', c};
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

Submission loadedSubmission(std::string file, Program program) {
    Submission submission;
    submission.file = std::move(file);
    if (program.error()) {
        submission.error = Tools::errorText(*program.error());
    }
    submission.program = std::move(program);
    return submission;
}

Submission failedSubmission(std::string file, std::string error, Program::Format format) {
    Submission submission;
    submission.file = std::move(file);
    submission.program =
        format == Program::Format::Image ? Program::fromImage({}) : Program::fromSource("");
    submission.error = std::move(error);
    return submission;
}

CaseResult gradeCase(const Case& test, const Submission& submission, std::size_t keptOutput,
                     Run::Profile* profile) {
    CaseResult result;
    if (submission.error) {
        result.verdict = Verdict::AssemblyError;
        result.message = *submission.error;
        return result;
    }
    CaseIO io(test, keptOutput);
    Run::Limits limits;
    limits.steps = test.maxSteps;
    limits.outputLines = test.maxOutput;
    limits.strict = test.strict;
    limits.randomMemory = test.randomMemory;
    std::optional<Run::ReadCheck> reads;
    if (test.checkReads) {
        reads.emplace(submission.program);
    }
    Run::Observers observers;
    observers.reads = reads ? &*reads : nullptr;
    observers.profile = profile;
    Run::Runner runner(submission.program, io, limits, observers);
    const Run::Outcome outcome = runner.run();
    result.steps = outcome.steps;
    std::string problem = outcome.message;
    switch (outcome.end) {
        case Run::Outcome::End::Halted: {
            const std::vector<std::string> state = stateChecks(test, submission, runner.machine());
            if (!io.matches()) {
                result.verdict = Verdict::WrongOutput;
                problem = outputProblem(test.output, io);
            } else if (problem = joined(state); !problem.empty()) {
                result.verdict = Verdict::WrongState;
            }
            if (test.checkPoints && result.verdict != Verdict::Pass) {
                const auto [earned, line] = credit(test, io.matches(), state);
                result.points = earned;
                problem += "\n" + line;
            }
            break;
        }
        case Run::Outcome::End::StepLimit:
            result.verdict = Verdict::StepLimit;
            break;
        case Run::Outcome::End::Fault:
        case Run::Outcome::End::StrictFault:
            result.verdict = Verdict::Fault;
            break;
        case Run::Outcome::End::OutputLimit:
        // The case's input and output cannot fail, nor is there a trace or log.
        case Run::Outcome::End::InputOutput:
        case Run::Outcome::End::TraceFailed:
        case Run::Outcome::End::WritesFailed:
            result.verdict = Verdict::TooMuchOutput;
            break;
    }
    result.output = std::move(io.output);
    result.outputLines = io.written;
    if (result.verdict == Verdict::Pass) {
        result.points = test.points;
    } else {
        // Running into data explains many a wrong ending: said as vornsim says it.
        const std::string warning =
            runner.warning().empty() ? "" : "Warning: " + runner.warning() + "\n";
        result.message = problem + "\n" + warning +
                         replay(test, submission, result.verdict == Verdict::TooMuchOutput);
    }
    return result;
}

bool ProgramResult::passed() const {
    return std::all_of(cases.begin(), cases.end(),
                       [](const CaseResult& each) { return each.verdict == Verdict::Pass; });
}

const std::string* ProgramResult::error() const {
    return !cases.empty() && cases.front().verdict == Verdict::AssemblyError
               ? &cases.front().message
               : nullptr;
}

ProgramResult gradeProgram(const Suite& suite, const Submission& submission, std::size_t keptOutput,
                           bool coverage) {
    ProgramResult result;
    result.file = submission.file;
    result.maxScore = suite.maxScore();
    const Program& program = submission.program;
    coverage = coverage && program.hasSource() && !submission.error;
    // Counts per address: this case's, then the whole suite's.
    std::optional<Run::Profile> profile;
    if (coverage) {
        profile.emplace();
    }
    std::vector<std::uint64_t> total(coverage ? program.words().size() : 0);
    for (const Case& test : suite.cases) {
        result.cases.push_back(
            gradeCase(test, submission, keptOutput, profile ? &*profile : nullptr));
        result.score += result.cases.back().points;
        std::vector<std::int32_t>& lines = result.cases.back().lines;
        for (std::size_t address = 0; address < total.size(); ++address) {
            const std::int32_t line = program.lineOf(static_cast<std::uint32_t>(address));
            const std::uint64_t runs = profile->counts[address];
            if (runs != 0 && line > 0 && (lines.empty() || lines.back() != line)) {
                lines.push_back(line);
            }
            total[address] += runs;
        }
        std::sort(lines.begin(), lines.end());
        lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
        if (profile) {
            std::fill(profile->counts.begin(), profile->counts.end(), 0);
        }
    }
    if (coverage) {
        result.lineRuns.assign(program.lines().size(), 0);
        for (std::size_t address = 0; address < total.size(); ++address) {
            const std::int32_t line = program.lineOf(static_cast<std::uint32_t>(address));
            if (line > 0 && static_cast<std::size_t>(line) <= result.lineRuns.size()) {
                result.lineRuns[static_cast<std::size_t>(line) - 1] += total[address];
            }
        }
        for (std::size_t address = 0; address < total.size(); ++address) {
            const std::int32_t line = program.lineOf(static_cast<std::uint32_t>(address));
            if (line > 0 && program.outsideInstructions()[address] == 0 &&
                static_cast<std::size_t>(line) <= result.lineRuns.size() &&
                result.lineRuns[static_cast<std::size_t>(line) - 1] == 0) {
                result.uncoveredLines.push_back(line);
            }
        }
        std::sort(result.uncoveredLines.begin(), result.uncoveredLines.end());
        result.uncoveredLines.erase(
            std::unique(result.uncoveredLines.begin(), result.uncoveredLines.end()),
            result.uncoveredLines.end());
    }
    return result;
}

}  // namespace Vorn::Grading
