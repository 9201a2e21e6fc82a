#include "simulator/Simulator.h"

#include <filesystem>
#include <fstream>
#include <ios>
#include <limits>
#include <new>
#include <optional>
#include <ostream>
#include <utility>
#include <vector>

#include "machine/Machine.h"
#include "machine/Printable.h"
#include "machine/WriteLog.h"
#include "run/Runner.h"
#include "simulator/Options.h"
#include "simulator/SimulatorIO.h"
#include "simulator/StateReport.h"
#include "tools/CommandLine.h"
#include "tools/FileChecks.h"
#include "tools/ProgramFile.h"
#include "tools/ToolError.h"

namespace Vorn::Simulator {

namespace {

const std::string usageHint = " (vornsim --help lists the options).";

// The --memory ranges, with the program's labels.
std::vector<AddressRange> memoryRanges(const Options& options, const Program& program) {
    LabelLookup labels;
    if (program.hasSource()) {
        labels = [&](std::string_view name) { return program.addressOf(name); };
    }
    std::vector<AddressRange> ranges;
    for (const std::string& text : options.memoryRanges) {
        const ParsedRange parsed = parseAddressRange(text, labels);
        if (!parsed.range) {
            throw Tools::ToolError("--memory: " + parsed.problem + usageHint);
        }
        ranges.push_back(*parsed.range);
    }
    return ranges;
}

int fail(std::ostream& errors, int status, const std::string& message) {
    Tools::writeError(errors, message);
    return status;
}

int statusOf(Run::Outcome::End end) {
    switch (end) {
        case Run::Outcome::End::Halted:
            return halted;
        case Run::Outcome::End::StepLimit:
        case Run::Outcome::End::OutputLimit:
            return limitReached;
        case Run::Outcome::End::Fault:
        case Run::Outcome::End::StrictFault:
            return runTimeFault;
        case Run::Outcome::End::InputOutput:
        case Run::Outcome::End::TraceFailed:
        case Run::Outcome::End::WritesFailed:
            return failed;
    }
    return failed;
}

// The error line's message; the run's own sentence where it has one.
std::string endMessage(const Run::Outcome& outcome, const Options& options, const SimulatorIO& io) {
    switch (outcome.end) {
        case Run::Outcome::End::InputOutput:
            return io.error().empty() ? "cannot write the standard output." : io.error();
        case Run::Outcome::End::TraceFailed:
            return "cannot write the trace on the standard error.";
        case Run::Outcome::End::WritesFailed:
            return "cannot write the write log '" + printable(*options.writesFile) + "'.";
        default:
            return outcome.message;
    }
}

// A write log that is one of the files the run reads (another spelling of its
// path, a link to it) would be emptied before it is read.
void refuseToOverwrite(const Options& options) {
    const std::string& log = *options.writesFile;
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(log, ignored)) {
        return;
    }
    const std::pair<std::optional<std::string>, const char*> readFiles[] = {
        {options.file, options.source ? "source file" : "image file"},
        {options.inputFile, "input file"},
    };
    for (const auto& [path, what] : readFiles) {
        if (path && Tools::sameFile(log.c_str(), path->c_str())) {
            throw Tools::ToolError("the write log '" + printable(log) + "' and the " + what + " '" +
                                   printable(*path) + "' are the same file.");
        }
    }
}

int runProgram(const Options& options, std::istream& input, const std::string& inputName,
               std::ostream& out, std::ostream& errors, bool outIsTerminal,
               std::ostream* prompt = nullptr) {
    if (options.writesFile) {
        refuseToOverwrite(options);
    }
    const Program program = Tools::loadProgramFile(
        options.file, options.source ? Program::Format::Source : Program::Format::Image);
    const std::vector<AddressRange> ranges = memoryRanges(options, program);
    std::ofstream writes;
    if (options.writesFile) {
        writes.open(*options.writesFile, std::ios::out | std::ios::trunc | std::ios::binary);
        writeMemoryWriteHeader(writes);
        if (!writes) {
            throw Tools::ToolError("cannot write the write log '" + printable(*options.writesFile) +
                                   "'.");
        }
    }

    std::ofstream profileFile;
    if (options.profileFile) {
        profileFile.open(*options.profileFile, std::ios::out | std::ios::trunc | std::ios::binary);
        if (!profileFile) {
            throw Tools::ToolError("cannot write the profile '" + printable(*options.profileFile) +
                                   "'.");
        }
    }
    // Made only when asked for: the profile's counts are half a megabyte.
    std::optional<Run::Profile> profile;
    if (options.profileFile) {
        profile.emplace();
    }
    std::optional<Run::ReadCheck> reads;
    if (options.checkReads) {
        reads.emplace(program);
    }

    SimulatorIO io(input, inputName, out, outIsTerminal, prompt);
    Run::Limits limits;
    limits.steps = options.maxSteps.value_or(Run::unlimited);
    limits.outputLines = options.maxOutput.value_or(Run::unlimited);
    limits.strict = options.strict;
    limits.randomMemory = options.randomMemory;
    Run::Observers observers;
    observers.profile = profile ? &*profile : nullptr;
    observers.reads = reads ? &*reads : nullptr;
    observers.countSteps = options.stats;
    observers.trace = options.trace ? &errors : nullptr;
    observers.warnings = &errors;
    observers.writes = options.writesFile ? &writes : nullptr;
    Run::Runner runner(program, io, limits, observers);
    Run::Outcome outcome = runner.run();
    const Machine& machine = runner.machine();

    using End = Run::Outcome::End;
    if (!io.flush() && outcome.end != End::InputOutput) {
        outcome.end = End::InputOutput;
    }
    if (writes.is_open()) {
        writes.close();
        if (!writes && outcome.end != End::InputOutput) {
            outcome.end = End::WritesFailed;
        }
    }
    if (profileFile.is_open()) {
        if (options.profileFormat == "json") {
            Run::writeProfileJson(profileFile, *profile, program);
        } else {
            Run::writeProfileCsv(profileFile, *profile, program);
        }
        profileFile.close();
        if (!profileFile) {
            throw Tools::ToolError("cannot write the profile '" + printable(*options.profileFile) +
                                   "'.");
        }
    }
    errors.flush();
    if (options.trace && !errors && outcome.end == End::Halted) {
        outcome.end = End::TraceFailed;
    }
    if (outcome.end != End::InputOutput) {
        if (options.registers) {
            const bool fault = outcome.end == End::Fault || outcome.end == End::StrictFault;
            writeRegisters(out, machine,
                           fault ? std::optional<std::uint16_t>(outcome.address) : std::nullopt);
        }
        for (const AddressRange range : ranges) {
            writeMemory(out, machine, range);
        }
        out.flush();
        if (!out) {
            outcome.end = End::InputOutput;
        }
    }
    const int status = statusOf(outcome.end);
    if (status != halted) {
        Tools::writeError(errors, endMessage(outcome, options, io));
    }
    if (options.stats) {
        errors << "steps: " << outcome.steps << "\nend: " << Run::endName(outcome.end) << '\n';
    }
    errors.flush();
    // Statistics that cannot be written fail the run, as a trace does.
    return options.stats && !errors && status == halted ? failed : status;
}

}  // namespace

int runSimulator(int argc, const char* const* argv, std::istream& in, std::ostream& out,
                 std::ostream& errors, bool outIsTerminal, bool inIsTerminal) {
    Options options;
    if (const auto status = parseOptions(argc, argv, options, out, errors)) {
        return *status;
    }
    try {
        if (!options.inputFile) {
            return runProgram(options, in, "the standard input", out, errors, outIsTerminal,
                              inIsTerminal ? &errors : nullptr);
        }
        std::ifstream input = Tools::openForReading(*options.inputFile, "input file");
        return runProgram(options, input, "input file '" + printable(*options.inputFile) + "'", out,
                          errors, outIsTerminal);
    } catch (const Tools::ToolError& error) {
        Tools::writeError(errors, error);
        return failed;
    } catch (const std::bad_alloc&) {
        return fail(errors, failed, "out of memory.");
    } catch (const std::ios_base::failure&) {
        return fail(errors, failed,
                    "cannot read " + std::string(options.source ? "source" : "image") + " file '" +
                        printable(options.file) + "'.");
    }
}

}  // namespace Vorn::Simulator
