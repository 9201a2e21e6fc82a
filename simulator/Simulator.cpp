#include "simulator/Simulator.h"

#include <fstream>
#include <limits>
#include <ostream>
#include <sstream>
#include <vector>

#include "machine/Machine.h"
#include "machine/StepText.h"
#include "simulator/Options.h"
#include "simulator/StateReport.h"
#if VORN_TRACE
#include "simulator/Trace.h"
#endif
#include "tools/ProgramFile.h"
#include "tools/ToolError.h"

namespace Vorn::Simulator {

namespace {

std::vector<Word> loadProgram(const Options& options) {
    return options.source ? Tools::assembleSourceFile(options.file).words()
                          : Tools::readImageFile(options.file);
}

// Runs until the machine halts or the step limit is reached; a fault leaves
// as Word::InvalidAddressInOperation. Only the traced run pays for the trace.
void execute(Machine& machine, const Options& options, std::ostream& trace) {
    const std::uint64_t limit =
        options.maxSteps.value_or(std::numeric_limits<std::uint64_t>::max());
#if VORN_TRACE
    if (options.trace) {
        runTraced(machine, limit, trace);
        return;
    }
#else
    static_cast<void>(trace);
#endif
    if (options.maxSteps) {
        machine.run(limit);
    } else {
        machine.run();
    }
}

void reportState(std::ostream& out, const Machine& machine, const Options& options) {
    if (options.registers) {
        writeRegisters(out, machine);
    }
    for (const AddressRange range : options.memoryRanges) {
        writeMemory(out, machine, range);
    }
}

int fail(std::ostream& errors, int status, const std::string& message) {
    errors << "Error: " << message << std::endl;
    return status;
}

int runProgram(const Options& options, std::istream& input, std::ostream& out,
               std::ostream& errors) {
    Machine machine(input, out);
    machine.load(loadProgram(options));
    int status = halted;
    std::string message;
    try {
        execute(machine, options, errors);
        if (!machine.halted()) {
            status = stepLimitReached;
            message = stepLimitMessage(*options.maxSteps, machine);
        }
    } catch (const Word::InvalidAddressInOperation&) {
        status = runTimeFault;
        message = faultMessage(machine);
    }
    reportState(out, machine, options);
    out.flush();
    if (!out) {
        return fail(errors, failed, "cannot write the standard output.");
    }
    return status == halted ? halted : fail(errors, status, message);
}

}  // namespace

int runSimulator(int argc, const char* const* argv, std::istream& in, std::ostream& out,
                 std::ostream& errors) {
    Options options;
    if (const auto status = parseOptions(argc, argv, options, out, errors)) {
        return *status;
    }
    try {
        if (!options.inputFile) {
            return runProgram(options, in, out, errors);
        }
        std::ifstream input = Tools::openForReading(*options.inputFile, "input file");
        return runProgram(options, input, out, errors);
    } catch (const Tools::ToolError& error) {
        return fail(errors, failed, error.what());
    }
}

}  // namespace Vorn::Simulator
