#include "run/Runner.h"

#include <algorithm>
#include <optional>
#include <ostream>
#include <random>

#include "machine/Trace.h"
#include "machine/WriteLog.h"

namespace Vorn::Run {

// The output limit between the machine and the run's own MachineIO: the
// write of one line more stops the run before it reaches the output.
class Runner::OutputLimit final : public MachineIO {
  public:
    OutputLimit(MachineIO& io, std::uint64_t limit) : io_(io), limit_(limit) {}

    InputResult read() override { return io_.read(); }
    void write(std::int32_t value) override {
        if (written_ == limit_) {
            reached = true;
            throw Stop();
        }
        ++written_;
        io_.write(value);
    }
    bool inputFailed() const override { return io_.inputFailed(); }

    bool reached = false;

  private:
    MachineIO& io_;
    std::uint64_t limit_;
    std::uint64_t written_ = 0;
};

Runner::Runner(const Program& program, MachineIO& io, const Limits& limits,
               const Observers& observers)
    : program_(program),
      io_(io),
      limits_(limits),
      observers_(observers),
      outputLimit_(limits.outputLines == unlimited
                       ? nullptr
                       : std::make_unique<OutputLimit>(io, limits.outputLines)),
      machine_(outputLimit_ ? *outputLimit_ : io),
      checking_(program.hasSource() || limits.strict) {
    machine_.load(program.words());
    if (limits.randomMemory) {
        std::mt19937_64 random(*limits.randomMemory);
        for (std::size_t address = program.words().size(); address < Machine::memorySize;
             ++address) {
            machine_.memory[address] = Word(static_cast<std::int32_t>(random() & 0xFFFFFFFFu));
        }
    }
}

Runner::~Runner() = default;

Outcome Runner::run() {
    if (observers_.trace != nullptr || observers_.writes != nullptr) {
        runStepByStep();
    } else {
        runFast();
    }
    return outcome_;
}

void Runner::end(Outcome::End how) {
    outcome_ = ended(how, steps_, machine_, program_, limits_);
}

// A read or write stopped the run: the output limit, or the run's own input
// or output.
void Runner::stopped() {
    end(outputLimit_ && outputLimit_->reached ? Outcome::End::OutputLimit
                                              : Outcome::End::InputOutput);
}

void Runner::runFast() {
    ReadCheck* const reads = observers_.reads;
    const std::uint8_t* const outside = checking_ ? program_.outsideInstructions() : nullptr;
    const std::uint8_t* stops = reads != nullptr ? reads->stops(machine_, outside) : outside;
    std::uint64_t* const counts =
        observers_.profile != nullptr ? observers_.profile->counts.data() : nullptr;
    if (stops == nullptr && counts == nullptr && !observers_.countSteps &&
        limits_.steps == unlimited) {
        runUncounted();
        return;
    }
    while (true) {
        const Machine::RunResult result = machine_.runUntil(limits_.steps - steps_, stops, counts);
        steps_ += result.steps;
        switch (result.end) {
            case Machine::RunResult::End::Halted:
                end(Outcome::End::Halted);
                return;
            case Machine::RunResult::End::StepLimit:
                end(Outcome::End::StepLimit);
                return;
            case Machine::RunResult::End::Fault:
                end(Outcome::End::Fault);
                return;
            case Machine::RunResult::End::IOStopped:
                stopped();
                return;
            case Machine::RunResult::End::Stopped: {
                const std::uint16_t address = machine_.programCounter;
                if (checking_ && outside[address] != 0) {
                    if (!enter(address)) {
                        return;
                    }
                    if (reads == nullptr) {
                        stops = nullptr;
                    } else {
                        reads->stopOutside();
                    }
                }
                if (reads != nullptr && (stops[address] & ReadCheck::memoryStop) != 0) {
                    if (steps_ == limits_.steps) {
                        end(Outcome::End::StepLimit);
                        return;
                    }
                    if (!checkRead() || !stepAlone(counts)) {
                        return;
                    }
                    reads->afterStep(machine_);
                }
                break;
            }
        }
    }
}

// The instruction at the program counter, on its own (after a stop for the
// check of reads). Returns whether the run goes on.
bool Runner::stepAlone(std::uint64_t* counts) {
    if (counts != nullptr) {
        ++counts[machine_.programCounter];
    }
    ++steps_;
    try {
        machine_.step();
    } catch (const Word::InvalidAddressInOperation&) {
        end(Outcome::End::Fault);
        return false;
    } catch (const MachineIO::Stop&) {
        stopped();
        return false;
    }
    return true;
}

// Machine::run, the fastest loop, which counts no steps.
void Runner::runUncounted() {
    try {
        machine_.run();
        end(Outcome::End::Halted);
    } catch (const Word::InvalidAddressInOperation&) {
        end(Outcome::End::Fault);
    } catch (const MachineIO::Stop&) {
        stopped();
    }
}

void Runner::runStepByStep() {
    std::ostream* const trace = observers_.trace;
    const AddressNames* const names = program_.labels();
    while (true) {
        if (machine_.halted()) {
            end(Outcome::End::Halted);
            return;
        }
        if (steps_ == limits_.steps) {
            end(Outcome::End::StepLimit);
            return;
        }
        const std::uint16_t address = machine_.programCounter;
        const TracedStep traced{steps_ + 1, address, machine_.memory[address],
                                program_.lineOf(address)};
        if (checking_ && program_.outsideInstructions()[address] != 0 && !enter(address)) {
            if (trace != nullptr) {
                writeTraceStart(*trace, traced, names);
                *trace << "fault\n";
            }
            return;
        }
        if (observers_.reads != nullptr && !checkRead()) {
            if (trace != nullptr) {
                writeTraceStart(*trace, traced, names);
                *trace << "fault\n";
            }
            return;
        }
        if (observers_.profile != nullptr) {
            ++observers_.profile->counts[address];
        }
        if (trace != nullptr && shapeOf(traced.instruction.opcode()).io != InputOutput::None) {
            // On a terminal the program's own output then follows the
            // lines of the steps before it.
            trace->flush();
        }
        const std::optional<std::uint16_t> target =
            observers_.writes != nullptr ? nextWriteAddress(machine_) : std::nullopt;
        const Word before = target ? machine_.memory[*target] : Word();
        StepEffect effect;
        ++steps_;
        try {
            machine_.step(effect);
        } catch (const Word::InvalidAddressInOperation&) {
            if (trace != nullptr) {
                writeTraceStart(*trace, traced, names);
                *trace << "fault\n";
            }
            end(Outcome::End::Fault);
            return;
        } catch (const MachineIO::Stop&) {
            if (trace != nullptr) {
                // The trace line of a step that the input or output ended.
                if (io_.inputFailed()) {
                    effect = StepEffect::of(StepEffect::Kind::InputFailed);
                }
                if (effect.kind == StepEffect::Kind::Nothing ||
                    (outputLimit_ && outputLimit_->reached)) {
                    writeTraceStart(*trace, traced, names);
                    *trace << "stopped\n";
                } else {
                    writeTraceLine(*trace, traced, effect, names);
                }
            }
            stopped();
            return;
        }
        if (trace != nullptr) {
            writeTraceLine(*trace, traced, effect, names);
            if (!*trace) {
                end(Outcome::End::TraceFailed);
                return;
            }
        }
        if (target && effect.kind == StepEffect::Kind::Memory) {
            writeMemoryWriteRow(*observers_.writes,
                                {steps_, address, *target, before, effect.value});
            if (!*observers_.writes) {
                end(Outcome::End::WritesFailed);
                return;
            }
        }
    }
}

// Execution enters `address`, outside the instructions, for the first time:
// a warning, or when strict a fault. Returns whether the run goes on; only
// the first such cell is reported.
bool Runner::enter(std::uint16_t address) {
    checking_ = false;
    if (limits_.strict) {
        end(Outcome::End::StrictFault);
        return false;
    }
    if (program_.hasSource()) {
        warning_ = enteringWarning(program_, address);
        if (observers_.warnings != nullptr) {
            *observers_.warnings << "Warning: " << warning_ << '\n';
        }
    }
    return true;
}

// Before the step: a read of a word nothing wrote is a warning, or when
// strict a fault. Returns whether the run goes on.
bool Runner::checkRead() {
    if (!observers_.reads->beforeStep(machine_, steps_ + 1)) {
        return true;
    }
    const UnwrittenRead* const read = &observers_.reads->found().back();
    const std::string message = unwrittenReadMessage(program_, *read);
    if (limits_.strict) {
        end(Outcome::End::StrictFault);
        outcome_.message =
            "fault at address " + std::to_string(read->instruction) + " (strict): " + message + ".";
        return false;
    }
    if (observers_.warnings != nullptr) {
        *observers_.warnings << "Warning: " << message << ".\n";
    }
    return true;
}

}  // namespace Vorn::Run
