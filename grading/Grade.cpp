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

// Feeds the case's input to read and keeps what write writes (the run's
// output limit stops it at the case's max-output lines).
class CaseIO : public MachineIO {
  public:
    explicit CaseIO(const std::vector<std::int32_t>& input) : input_(input) {}

    InputResult read() override {
        if (next_ == input_.size()) {
            return {InputResult::Kind::Ended, 0};
        }
        return {InputResult::Kind::Number, input_[next_++]};
    }

    void write(std::int32_t value) override { output.push_back(value); }

    std::vector<std::int32_t> output;

  private:
    const std::vector<std::int32_t>& input_;
    std::size_t next_ = 0;
};

std::string lines(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " line" : " lines");
}

std::string outputProblem(const std::vector<std::int32_t>& expected,
                          const std::vector<std::int32_t>& actual) {
    const auto [expectedEnd, actualEnd] =
        std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end());
    const auto line = std::to_string(expectedEnd - expected.begin() + 1);
    const std::string counts =
        " (" + lines(actual.size()) + " written, " + std::to_string(expected.size()) + " expected)";
    if (expectedEnd == expected.end()) {
        return "output line " + line + " is " + std::to_string(*actualEnd) +
               ", expected no more lines" + counts + ".";
    }
    if (actualEnd == actual.end()) {
        return "output line " + line + " is missing, expected " + std::to_string(*expectedEnd) +
               counts + ".";
    }
    return "output line " + line + " is " + std::to_string(*actualEnd) + ", expected " +
           std::to_string(*expectedEnd) + ".";
}

// One line per memory word or register that differs; empty when all hold.
std::string stateProblem(const Case& test, const Submission& submission, const Machine& machine) {
    std::string problems;
    const auto add = [&](const std::string& problem) {
        problems += (problems.empty() ? "" : "\n") + problem;
    };
    for (const MemoryExpectation& word : test.memory) {
        std::uint16_t address = 0;
        std::string what;
        if (word.address) {
            address = *word.address;
            what = "memory word " + std::to_string(address);
        } else {
            const auto label = submission.program.labelAddress(word.label);
            if (!label) {
                add(word.place.text() + ": the program defines no label '" + word.label + "'" +
                    (submission.image() ? " (a memory image has no labels)." : "."));
                continue;
            }
            address = *label;
            what = "memory word " + word.label + " (address " + std::to_string(address) + ")";
        }
        const std::int32_t value = machine.memory[address].value();
        if (value != word.value) {
            add(what + " holds " + std::to_string(value) + ", expected " +
                std::to_string(word.value) + ".");
        }
    }
    for (const RegisterExpectation& expected : test.registers) {
        const std::int32_t value = machine.registers.at(expected.reg).value();
        if (value != expected.value) {
            add("register " + std::string(nameOf(expected.reg)) + " holds " +
                std::to_string(value) + ", expected " + std::to_string(expected.value) + ".");
        }
    }
    return problems;
}

// The replay commands: vornsim traces the same run, vorndbg opens it.
std::string replay(const Case& test, const Submission& submission, bool outputLimited) {
    std::string numbers;
    for (const std::int32_t value : test.input) {
        numbers += " " + std::to_string(value);
    }
    const std::string input = "printf '%s\\n'" + numbers;
    std::string file = submission.file;
    if (file.starts_with('-')) {
        file = "./" + file;
    }
    const std::string program = (submission.image() ? "" : "-s ") + shellQuoted(file);
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

CaseResult gradeCase(const Case& test, const Submission& submission) {
    CaseResult result;
    if (submission.error) {
        result.verdict = Verdict::AssemblyError;
        result.message = *submission.error;
        return result;
    }
    CaseIO io(test.input);
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
    Run::Runner runner(submission.program, io, limits, observers);
    const Run::Outcome outcome = runner.run();
    result.steps = outcome.steps;
    std::string problem = outcome.message;
    switch (outcome.end) {
        case Run::Outcome::End::Halted:
            if (io.output != test.output) {
                result.verdict = Verdict::WrongOutput;
                problem = outputProblem(test.output, io.output);
            } else if (problem = stateProblem(test, submission, runner.machine());
                       !problem.empty()) {
                result.verdict = Verdict::WrongState;
            }
            break;
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
    if (result.verdict == Verdict::Pass) {
        result.points = test.points;
    } else {
        result.message =
            problem + "\n" + replay(test, submission, result.verdict == Verdict::TooMuchOutput);
    }
    return result;
}

bool ProgramResult::passed() const {
    return std::all_of(cases.begin(), cases.end(),
                       [](const CaseResult& each) { return each.verdict == Verdict::Pass; });
}

ProgramResult gradeProgram(const Suite& suite, const Submission& submission) {
    ProgramResult result;
    result.file = submission.file;
    result.maxScore = suite.maxScore();
    for (const Case& test : suite.cases) {
        result.cases.push_back(gradeCase(test, submission));
        result.score += result.cases.back().points;
    }
    return result;
}

}  // namespace Vorn::Grading
