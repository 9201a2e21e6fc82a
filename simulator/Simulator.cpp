#include "simulator/Simulator.h"

#include <fstream>
#include <ios>
#include <limits>
#include <new>
#include <ostream>
#include <vector>

#include "assembly/ProgramLabels.h"
#include "machine/Machine.h"
#include "machine/Printable.h"
#include "machine/RunMessages.h"
#include "machine/WriteLog.h"
#include "simulator/Options.h"
#include "simulator/Run.h"
#include "simulator/SimulatorIO.h"
#include "simulator/StateReport.h"
#include "tools/CommandLine.h"
#include "tools/ProgramFile.h"
#include "tools/ToolError.h"

namespace Vorn::Simulator {

namespace {

const std::string usageHint = " (vornsim --help lists the options).";

LoadedProgram loadProgram(const Options& options) {
    LoadedProgram program;
    if (!options.source) {
        program.words = Tools::readImageFile(options.file);
        return program;
    }
    program.source = Tools::assembleSourceFile(options.file);
    program.words = program.source->program.words();
    program.labels = Assembly::labelsOf(program.source->program);
    program.outside = Assembly::cellsOutsideInstructions(program.source->program);
    return program;
}

// The --memory ranges, with the program's labels.
std::vector<AddressRange> memoryRanges(const Options& options, const LoadedProgram& program) {
    LabelLookup labels;
    if (program.source) {
        labels = [&](std::string_view name) -> std::optional<std::uint16_t> {
            const Assembly::ProgramSymbol* symbol = program.source->program.symbol(name);
            if (symbol == nullptr || !symbol->number || *symbol->number < 0 ||
                *symbol->number > std::numeric_limits<std::uint16_t>::max()) {
                return std::nullopt;
            }
            return static_cast<std::uint16_t>(*symbol->number);
        };
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
    errors << "Error: " << message << std::endl;
    return status;
}

int statusOf(RunEnd::Kind kind) {
    switch (kind) {
        case RunEnd::Kind::Halted:
            return halted;
        case RunEnd::Kind::StepLimit:
            return stepLimitReached;
        case RunEnd::Kind::Fault:
            return runTimeFault;
        case RunEnd::Kind::InputOutput:
        case RunEnd::Kind::TraceFailed:
        case RunEnd::Kind::WritesFailed:
            return failed;
    }
    return failed;
}

std::string endMessage(const RunEnd& end, const Options& options, const Machine& machine,
                       const SimulatorIO& io) {
    switch (end.kind) {
        case RunEnd::Kind::Halted:
            return "";
        case RunEnd::Kind::StepLimit:
            return stepLimitMessage(end.steps, machine);
        case RunEnd::Kind::Fault:
            return end.message;
        case RunEnd::Kind::InputOutput:
            return io.error();
        case RunEnd::Kind::TraceFailed:
            return "cannot write the trace on the standard error.";
        case RunEnd::Kind::WritesFailed:
            return "cannot write the write log '" + printable(*options.writesFile) + "'.";
    }
    return "";
}

int runProgram(const Options& options, std::istream& input, const std::string& inputName,
               std::ostream& out, std::ostream& errors, bool outIsTerminal,
               std::ostream* prompt = nullptr) {
    const LoadedProgram program = loadProgram(options);
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

    SimulatorIO io(input, inputName, out, outIsTerminal, prompt);
    Machine machine(io);
    machine.load(program.words);
    RunSettings settings;
    settings.limit = options.maxSteps.value_or(std::numeric_limits<std::uint64_t>::max());
    settings.strict = options.strict;
    settings.countSteps = options.stats;
    settings.trace = options.trace ? &errors : nullptr;
    settings.warnings = &errors;
    settings.writes = options.writesFile ? &writes : nullptr;
    RunEnd end = runMachine(machine, io, program, settings);

    if (!io.flush() && end.kind != RunEnd::Kind::InputOutput) {
        end.kind = RunEnd::Kind::InputOutput;
    }
    if (writes.is_open()) {
        writes.close();
        if (!writes && end.kind != RunEnd::Kind::InputOutput) {
            end.kind = RunEnd::Kind::WritesFailed;
        }
    }
    errors.flush();
    if (options.trace && !errors && end.kind == RunEnd::Kind::Halted) {
        end.kind = RunEnd::Kind::TraceFailed;
    }
    if (end.kind != RunEnd::Kind::InputOutput) {
        if (options.registers) {
            writeRegisters(out, machine,
                           end.kind == RunEnd::Kind::Fault ? end.faultAddress : std::nullopt);
        }
        for (const AddressRange range : ranges) {
            writeMemory(out, machine, range);
        }
        out.flush();
        if (!out) {
            end.kind = RunEnd::Kind::InputOutput;
        }
    }
    const std::string message = end.kind == RunEnd::Kind::InputOutput && io.error().empty()
                                    ? "cannot write the standard output."
                                    : endMessage(end, options, machine, io);
    const int status = statusOf(end.kind);
    if (status != halted) {
        errors << "Error: " << message << '\n';
    }
    if (options.stats) {
        errors << "steps: " << end.steps << "\nend: " << endName(end.kind) << '\n';
    }
    errors.flush();
    return status;
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
        return fail(errors, failed, error.what());
    } catch (const std::bad_alloc&) {
        return fail(errors, failed, "out of memory.");
    } catch (const std::ios_base::failure&) {
        return fail(errors, failed,
                    "cannot read " + std::string(options.source ? "source" : "image") + " file '" +
                        printable(options.file) + "'.");
    }
}

}  // namespace Vorn::Simulator
