#include "simulator/Run.h"

#include <algorithm>
#include <limits>
#include <ostream>
#include <sstream>

#include "machine/Printable.h"
#include "machine/RunMessages.h"
#include "machine/Trace.h"
#include "machine/WriteLog.h"

namespace Vorn::Simulator {

namespace {

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") + 1 - first);
}

// What the cell at `address`, outside the instructions, holds for the source:
// "a data word from line 10 (':count 0')", or "a cell that no statement
// filled (the program ends at address 8, line 9)".
std::string cellDescription(const Tools::AssembledSource& source, std::uint16_t address) {
    constexpr std::size_t shown = 40;
    const auto& cells = source.program.cells;
    std::ostringstream text;
    if (address < cells.size()) {
        const std::int32_t line = cells[address].line;
        text << "a data word from line " << line;
        const auto index = static_cast<std::size_t>(line - 1);
        if (index < source.lines.size()) {
            const std::string_view statement = trimmed(source.lines[index]);
            text << " ('";
            writePrintable(text, statement, shown);
            text << (statement.size() > shown ? "...')" : "')");
        }
    } else if (cells.empty()) {
        text << "a cell that no statement filled (the source fills no cell)";
    } else {
        text << "a cell that no statement filled (the program ends at address " << cells.size() - 1
             << ", line " << cells.back().line << ')';
    }
    return text.str();
}

class Runner {
  public:
    Runner(Machine& machine, SimulatorIO& io, const LoadedProgram& program,
           const RunSettings& settings)
        : machine_(machine),
          io_(io),
          program_(program),
          settings_(settings),
          checking_(program.source.has_value()),
          names_(program.labels.empty() ? nullptr : &program.labels) {}

    RunEnd run() {
        if (settings_.trace != nullptr || settings_.writes != nullptr) {
            runStepByStep();
        } else {
            runFast();
        }
        return end_;
    }

  private:
    void runFast() {
        const std::uint8_t* stops = checking_ ? program_.outside.data() : nullptr;
        if (stops == nullptr && !settings_.countSteps &&
            settings_.limit == std::numeric_limits<std::uint64_t>::max()) {
            runUncounted();
            return;
        }
        while (true) {
            const Machine::RunResult result =
                machine_.runUntil(settings_.limit - end_.steps, stops);
            end_.steps += result.steps;
            switch (result.end) {
                case Machine::RunResult::End::Halted:
                    end_.kind = RunEnd::Kind::Halted;
                    return;
                case Machine::RunResult::End::StepLimit:
                    end_.kind = RunEnd::Kind::StepLimit;
                    return;
                case Machine::RunResult::End::Fault:
                    faulted();
                    return;
                case Machine::RunResult::End::IOStopped:
                    end_.kind = RunEnd::Kind::InputOutput;
                    return;
                case Machine::RunResult::End::Stopped:
                    if (!enter(machine_.programCounter)) {
                        return;
                    }
                    stops = nullptr;
                    break;
            }
        }
    }

    // Machine::run, the fastest loop, which counts no steps.
    void runUncounted() {
        try {
            machine_.run();
            end_.kind = RunEnd::Kind::Halted;
        } catch (const Word::InvalidAddressInOperation&) {
            faulted();
        } catch (const MachineIO::Stop&) {
            end_.kind = RunEnd::Kind::InputOutput;
        }
    }

    void runStepByStep() {
        std::ostream* const trace = settings_.trace;
        while (true) {
            if (machine_.halted()) {
                end_.kind = RunEnd::Kind::Halted;
                return;
            }
            if (end_.steps == settings_.limit) {
                end_.kind = RunEnd::Kind::StepLimit;
                return;
            }
            const std::uint16_t address = machine_.programCounter;
            const TracedStep traced{end_.steps + 1, address, machine_.memory[address],
                                    lineOf(address)};
            if (checking_ && program_.outside[address] != 0 && !enter(address)) {
                if (trace != nullptr) {
                    writeTraceStart(*trace, traced, names_);
                    *trace << "fault\n";
                }
                return;
            }
            if (trace != nullptr && shapeOf(traced.instruction.opcode()).io != InputOutput::None) {
                // On a terminal the program's own output then follows the
                // lines of the steps before it.
                trace->flush();
            }
            const std::optional<std::uint16_t> target =
                settings_.writes != nullptr ? nextWriteAddress(machine_) : std::nullopt;
            const Word before = target ? machine_.memory[*target] : Word();
            StepEffect effect;
            ++end_.steps;
            try {
                machine_.step(effect);
            } catch (const Word::InvalidAddressInOperation&) {
                if (trace != nullptr) {
                    writeTraceStart(*trace, traced, names_);
                    *trace << "fault\n";
                }
                faulted();
                return;
            } catch (const MachineIO::Stop&) {
                if (trace != nullptr) {
                    stoppedLine(*trace, traced, effect);
                }
                end_.kind = RunEnd::Kind::InputOutput;
                return;
            }
            if (trace != nullptr) {
                writeTraceLine(*trace, traced, effect, names_);
                if (!*trace) {
                    end_.kind = RunEnd::Kind::TraceFailed;
                    return;
                }
            }
            if (target && effect.kind == StepEffect::Kind::Memory) {
                writeMemoryWriteRow(*settings_.writes,
                                    {end_.steps, address, *target, before, effect.value});
                if (!*settings_.writes) {
                    end_.kind = RunEnd::Kind::WritesFailed;
                    return;
                }
            }
        }
    }

    // The trace line of a step that the program's input or output ended.
    void stoppedLine(std::ostream& trace, const TracedStep& traced, StepEffect effect) const {
        if (io_.inputFailed()) {
            effect = StepEffect::of(StepEffect::Kind::InputFailed);
        }
        if (effect.kind == StepEffect::Kind::Nothing) {
            writeTraceStart(trace, traced, names_);
            trace << "stopped\n";
            return;
        }
        writeTraceLine(trace, traced, effect, names_);
    }

    std::int32_t lineOf(std::uint16_t address) const {
        if (!program_.source) {
            return 0;
        }
        const auto& cells = program_.source->program.cells;
        return address < cells.size() ? cells[address].line : 0;
    }

    void faulted() {
        const auto address = static_cast<std::uint16_t>(machine_.programCounter - 1);
        end_.kind = RunEnd::Kind::Fault;
        end_.faultAddress = address;
        end_.message = faultMessage(machine_);
    }

    // Execution enters `address`, outside the instructions, for the first
    // time: a warning, or with --strict a fault. Returns whether the run goes
    // on; only the first such cell is reported.
    bool enter(std::uint16_t address) {
        checking_ = false;
        const std::string what = cellDescription(*program_.source, address);
        if (settings_.strict) {
            end_.kind = RunEnd::Kind::Fault;
            end_.faultAddress = address;
            end_.message = "fault at address " + std::to_string(address) +
                           " (--strict): execution enters " + what + ".";
            return false;
        }
        if (settings_.warnings != nullptr) {
            *settings_.warnings << "Warning: execution enters address " << address << ", " << what
                                << ", as an instruction.\n";
        }
        return true;
    }

    Machine& machine_;
    SimulatorIO& io_;
    const LoadedProgram& program_;
    const RunSettings& settings_;
    bool checking_;
    const AddressNames* names_;
    RunEnd end_;
};

}  // namespace

RunEnd runMachine(Machine& machine, SimulatorIO& io, const LoadedProgram& program,
                  const RunSettings& settings) {
    return Runner(machine, io, program, settings).run();
}

const char* endName(RunEnd::Kind kind) {
    switch (kind) {
        case RunEnd::Kind::Halted:
            return "halted";
        case RunEnd::Kind::StepLimit:
            return "step-limit";
        case RunEnd::Kind::Fault:
            return "fault";
        case RunEnd::Kind::InputOutput:
            return "input-output-error";
        case RunEnd::Kind::TraceFailed:
            return "trace-error";
        case RunEnd::Kind::WritesFailed:
            return "write-log-error";
    }
    return "";
}

}  // namespace Vorn::Simulator
