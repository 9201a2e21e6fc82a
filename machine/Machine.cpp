#include "machine/Machine.h"

#include <algorithm>
#include <istream>
#include <ostream>

namespace Vorn {

Machine::Machine(MachineIO& io) : memory(std::make_unique<Word[]>(memorySize)), io_(&io) {}

Machine::Machine(std::istream& in, std::ostream& out)
    : memory(std::make_unique<Word[]>(memorySize)),
      ownIO_(std::make_unique<StreamIO>(in, out)),
      io_(ownIO_.get()) {}

void Machine::load(std::span<const Word> image) {
    std::copy_n(image.begin(), std::min(image.size(), memorySize), memory.get());
}

// The operations, one member each, shared by the step (a switch) and the run
// loop (one dispatch per operation). Each takes the instruction and the
// address after it, and gives the address to run next. With Record false
// they do no trace work; with Record true they also fill *effect.
//
// Addresses are 32-bit here: only 0 to 0xFFFE are ever executed, so the
// address after one is at most 0xFFFF and needs no 16-bit wrap, which would
// cost the run loop a cycle per instruction. Each operation reads only the
// fields its shape has, so the instruction's own fields need no checks; the
// 4-bit register numbers are always in range.
template <bool Record>
class Machine::Operations {
  public:
    Operations(Machine& machine, StepEffect* effect)
        : machine_(machine), memory_(machine.memory.get()), effect_(effect) {}

    std::uint32_t noop(std::uint32_t, std::uint32_t next) {
        record(StepEffect::of(StepEffect::Kind::Nothing));
        return next;
    }
    std::uint32_t load(std::uint32_t instruction, std::uint32_t next) {
        Word& r1 = register1(instruction);
        r1 = memory_[Word::addressOf(instruction)];
        return written(instruction, r1, next);
    }
    std::uint32_t store(std::uint32_t instruction, std::uint32_t next) {
        const std::uint16_t target = Word::addressOf(instruction);
        memory_[target] = register1(instruction);
        record(StepEffect::memoryWritten(target, memory_[target]));
        return next;
    }
    // The pointer goes through the checked accessor: a plain number has no
    // address field and faults before anything changes, the program counter
    // already advanced.
    std::uint32_t loadi(std::uint32_t instruction, std::uint32_t next) {
        machine_.programCounter = static_cast<std::uint16_t>(next);
        const std::uint16_t pointer = register2(instruction).address();
        Word& r1 = register1(instruction);
        r1 = memory_[pointer];
        return written(instruction, r1, next);
    }
    std::uint32_t storei(std::uint32_t instruction, std::uint32_t next) {
        machine_.programCounter = static_cast<std::uint16_t>(next);
        const Word value = register1(instruction);
        const std::uint16_t pointer = register2(instruction).address();
        memory_[pointer] = value;
        record(StepEffect::memoryWritten(pointer, value));
        return next;
    }
    std::uint32_t add(std::uint32_t instruction, std::uint32_t next) {
        Word& accumulator = machine_.registers.at(accumulatorRegister);
        accumulator += Word(register1(instruction));
        record(StepEffect::registerWritten(accumulatorRegister, accumulator));
        return next;
    }
    std::uint32_t sub(std::uint32_t instruction, std::uint32_t next) {
        Word& accumulator = machine_.registers.at(accumulatorRegister);
        accumulator -= Word(register1(instruction));
        record(StepEffect::registerWritten(accumulatorRegister, accumulator));
        return next;
    }
    std::uint32_t zero(std::uint32_t instruction, std::uint32_t next) {
        register1(instruction) = Word(0);
        return written(instruction, register1(instruction), next);
    }
    std::uint32_t incr(std::uint32_t instruction, std::uint32_t next) {
        return written(instruction, ++register1(instruction), next);
    }
    std::uint32_t decr(std::uint32_t instruction, std::uint32_t next) {
        return written(instruction, --register1(instruction), next);
    }
    std::uint32_t neg(std::uint32_t instruction, std::uint32_t next) {
        return written(instruction, register1(instruction).complement(), next);
    }
    std::uint32_t jz(std::uint32_t instruction, std::uint32_t next) {
        return jumpIf(register1(instruction) == Word(0), instruction, next);
    }
    std::uint32_t jn(std::uint32_t instruction, std::uint32_t next) {
        return jumpIf(register1(instruction) < Word(0), instruction, next);
    }
    std::uint32_t jump(std::uint32_t instruction, std::uint32_t next) {
        return jumpIf(true, instruction, next);
    }
    // The program counter is stored first: a MachineIO::Stop leaves it past
    // the instruction.
    std::uint32_t read(std::uint32_t, std::uint32_t next) {
        machine_.programCounter = static_cast<std::uint16_t>(next);
        const InputResult result = machine_.io_->read();
        switch (result.kind) {
            case InputResult::Kind::Number: {
                Word& in = machine_.registers.at(inputRegister);
                in = Word(result.value);
                record(StepEffect::registerWritten(inputRegister, in));
                break;
            }
            case InputResult::Kind::Ended:
                record(StepEffect::of(StepEffect::Kind::InputEnded));
                break;
            case InputResult::Kind::NotANumber:
                record(StepEffect::of(StepEffect::Kind::InputNotANumber));
                break;
            case InputResult::Kind::OutOfRange:
                record(StepEffect::of(StepEffect::Kind::InputOutOfRange));
                break;
            case InputResult::Kind::Failed:
                record(StepEffect::of(StepEffect::Kind::InputFailed));
                break;
        }
        return next;
    }
    std::uint32_t write(std::uint32_t, std::uint32_t next) {
        machine_.programCounter = static_cast<std::uint16_t>(next);
        const Word out = machine_.registers.at(outputRegister);
        record(StepEffect::wrote(out));
        machine_.io_->write(out.value());
        return next;
    }

  private:
    void record(const StepEffect& what) {
        if constexpr (Record) {
            *effect_ = what;
        }
    }
    Word& register1(std::uint32_t instruction) {
        return machine_.registers.at(static_cast<RegisterId>(Word::register1Of(instruction)));
    }
    Word& register2(std::uint32_t instruction) {
        return machine_.registers.at(static_cast<RegisterId>(Word::register2Of(instruction)));
    }
    std::uint32_t written(std::uint32_t instruction, Word value, std::uint32_t next) {
        record(StepEffect::registerWritten(static_cast<RegisterId>(Word::register1Of(instruction)),
                                           value));
        return next;
    }
    std::uint32_t jumpIf(bool taken, std::uint32_t instruction, std::uint32_t next) {
        const std::uint16_t target = Word::addressOf(instruction);
        record(taken ? StepEffect::jumped(target) : StepEffect::of(StepEffect::Kind::NoJump));
        return taken ? target : next;
    }

    Machine& machine_;
    Word* const memory_;
    StepEffect* const effect_;
};

// One step: the instruction at `address` through a switch on its operation.
template <bool Record>
std::uint32_t Machine::execute(std::uint32_t address, StepEffect* effect) {
    Operations<Record> operations(*this, effect);
    // A copy: a store into its own cell does not change the running instruction.
    const std::uint32_t instruction = memory[address].bits();
    // Advanced before the operation runs: a jump overwrites it, a fault leaves it advanced.
    const std::uint32_t next = address + 1;
    switch (static_cast<Operation>(Word::opcodeOf(instruction))) {
#define VORN_CASE(Enumerator, name, ...) \
    case Operation::Enumerator:          \
        return operations.name(instruction, next);
        VORN_OPERATIONS(VORN_CASE)
#undef VORN_CASE
    }
    return next;
}

std::uint16_t Machine::step() {
    if (halted()) {
        return haltAddress;
    }
    programCounter = static_cast<std::uint16_t>(execute<false>(programCounter, nullptr));
    return programCounter;
}

std::uint16_t Machine::step(StepEffect& effect) {
    effect = StepEffect::of(StepEffect::Kind::Nothing);
    if (halted()) {
        return haltAddress;
    }
    programCounter = static_cast<std::uint16_t>(execute<true>(programCounter, &effect));
    return programCounter;
}

// With GCC and Clang the run loop jumps from each operation straight to the
// next one through a table of label addresses (their extension to C++): one
// indirect jump per instruction, which the processor predicts per operation,
// where the switch of a loop costs two more taken jumps and shares one
// prediction. About a third faster on a tight loop; the steps are the same.
// VORN_PORTABLE_DISPATCH builds the switch loop instead, as another compiler
// would; the tests run both.
#if defined(__GNUC__) && !defined(VORN_PORTABLE_DISPATCH)
#define VORN_THREADED_RUN 1
#else
#define VORN_THREADED_RUN 0
#endif

// The run loop. Counting::Exact counts each step against `limit`;
// Counting::ByRuns counts by addresses: the steps of a straight run are the
// addresses it went through, so only a jump taken adds to the count; it
// leaves at the first jump back taken after at least `limit` steps. Between
// two jumps back the addresses only go up, and 0xFFFF halts, so that is at
// most 65534 steps past `limit`, and it checks the limit before the halt and
// the stop at the jump's target: it serves runCounted, which leaves it that
// much room and finds them next. Stopping tests each address against
// `stops`. Before each instruction, in this order: a halt, a stop, the
// limit. A fault or a MachineIO::Stop leaves as its exception, with
// result.steps counting the step that raised it and the program counter as
// the operation left it.
template <Machine::Counting counting, bool Stopping, bool Profiling>
void Machine::runLoop(std::uint64_t limit, const std::uint8_t* stops, RunResult& result,
                      std::uint64_t* counts) {
    constexpr bool exact = counting == Counting::Exact;
    constexpr bool byRuns = counting == Counting::ByRuns;
    Operations<false> operations(*this, nullptr);
    Word* const words = memory.get();
    std::uint32_t address = programCounter;
    std::uint32_t instruction = 0;
    // Exact: the steps left. ByRuns: the steps run, less the address of the
    // next instruction (modulo 2^64): a step to the next address changes
    // neither, a jump adds what it skips or goes back over.
    std::uint64_t remaining = limit;
    std::uint64_t bias = 0 - std::uint64_t{address};
    // The steps run when the next instruction is at `address`.
    const auto steps = [&] { return exact ? limit - remaining : bias + address; };
    try {
// Leaves the loop, or reads the instruction at `address`.
#define VORN_CHECKS()                               \
    if (address == haltAddress) {                   \
        result.end = RunResult::End::Halted;        \
        goto ended;                                 \
    }                                               \
    if constexpr (Stopping) {                       \
        if (stops[address] != 0) {                  \
            result.end = RunResult::End::Stopped;   \
            goto ended;                             \
        }                                           \
    }                                               \
    if constexpr (exact) {                          \
        if (remaining == 0) {                       \
            result.end = RunResult::End::StepLimit; \
            goto ended;                             \
        }                                           \
        --remaining;                                \
    }                                               \
    if constexpr (Profiling) {                      \
        ++counts[address];                          \
    }                                               \
    instruction = words[address].bits()
// Runs the operation of the instruction at `address`. Only a jump returns
// another address than the next, so for every other operation the compiler
// drops the counting: the test that the address moved comes first, since
// `address <= from` alone does not fold (from + 1 could wrap, as far as the
// compiler knows) and cost the switch loop a compare per instruction. The
// limit is checked at the jumps that go back (or stay): between two of them
// the addresses only go up, so at most 65535 steps run.
#define VORN_RUN(name)                                                               \
    {                                                                                \
        const std::uint32_t from = address;                                          \
        address = operations.name(instruction, from + 1);                            \
        if constexpr (byRuns) {                                                      \
            bias += std::uint64_t{from + 1} - address;                               \
            if (address != from + 1 && address <= from && bias + address >= limit) { \
                result.end = RunResult::End::StepLimit;                              \
                goto ended;                                                          \
            }                                                                        \
        }                                                                            \
    }
#if VORN_THREADED_RUN
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"
#define VORN_LABEL(Enumerator, name, ...) &&name,
        static void* const operationLabels[operationCount] = {VORN_OPERATIONS(VORN_LABEL)};
#undef VORN_LABEL
#define VORN_DISPATCH()                                     \
    do {                                                    \
        VORN_CHECKS();                                      \
        goto* operationLabels[Word::opcodeOf(instruction)]; \
    } while (false)
#define VORN_OPERATION(Enumerator, name, ...) \
    name:                                     \
    VORN_RUN(name)                            \
    VORN_DISPATCH();

        VORN_DISPATCH();
        VORN_OPERATIONS(VORN_OPERATION)
#undef VORN_OPERATION
#undef VORN_DISPATCH
#pragma GCC diagnostic pop
#else
        while (true) {
            VORN_CHECKS();
            switch (static_cast<Operation>(Word::opcodeOf(instruction))) {
#define VORN_CASE(Enumerator, name, ...) \
    case Operation::Enumerator:          \
        VORN_RUN(name)                   \
        break;
                VORN_OPERATIONS(VORN_CASE)
#undef VORN_CASE
            }
        }
#endif
#undef VORN_RUN
#undef VORN_CHECKS
    } catch (...) {
        // The step that raised it counts: it is at `address`.
        result.steps = steps() + (exact ? 0 : 1);
        throw;
    }
ended:
    result.steps = steps();
    programCounter = static_cast<std::uint16_t>(address);
}

namespace {
Machine::Accelerator* accelerator = nullptr;
}

void Machine::setAccelerator(Accelerator* given) {
    accelerator = given;
}

// The part of a bounded run that goes by straight runs, through the
// accelerator: what it leaves aside runs here as one step, and where it
// cannot run, the run loop takes the rest. As runLoop<ByRuns>, a fault or a
// MachineIO::Stop leaves as its exception with result.steps counting it.
void Machine::runAccelerated(std::uint64_t limit, const std::uint8_t* stops, RunResult& result) {
    std::uint64_t done = 0;
    bool resumed = false;
    while (true) {
        const Accelerator::Ended ended =
            accelerator->run(*this, limit - done, stops, resumed, result);
        if (ended == Accelerator::Ended::NotHere) {
            done += result.steps;
            if (done >= limit) {
                result.end = RunResult::End::StepLimit;
                result.steps = done;
                return;
            }
            try {
                if (stops == nullptr) {
                    runLoop<Counting::ByRuns, false>(limit - done, nullptr, result);
                } else {
                    runLoop<Counting::ByRuns, true>(limit - done, stops, result);
                }
            } catch (...) {
                result.steps += done;
                throw;
            }
            result.steps += done;
            return;
        }
        done += result.steps;
        if (ended == Accelerator::Ended::Ended) {
            result.steps = done;
            return;
        }
        // Counted before it runs, so that a step that raises counts.
        ++done;
        try {
            programCounter = static_cast<std::uint16_t>(execute<false>(programCounter, nullptr));
        } catch (...) {
            result.steps = done;
            throw;
        }
        // By runs, the limit is only ever passed at a jump back, at most
        // 65534 steps on; with a step aside on the way, it ends there.
        if (done >= limit) {
            result.end = RunResult::End::StepLimit;
            result.steps = done;
            return;
        }
        resumed = true;
    }
}

// A bounded run: by straight runs while more than the longest straight run
// is left, then step by step for the rest, so that it ends on the exact step.
template <bool Stopping, bool Profiling>
void Machine::runCounted(std::uint64_t limit, const std::uint8_t* stops, RunResult& result,
                         std::uint64_t* counts) {
    constexpr std::uint64_t longestStraightRun = haltAddress;
    std::uint64_t before = 0;
    if (limit > longestStraightRun) {
        if (!Profiling && accelerator != nullptr) {
            runAccelerated(limit - longestStraightRun, stops, result);
        } else {
            runLoop<Counting::ByRuns, Stopping, Profiling>(limit - longestStraightRun, stops,
                                                           result, counts);
        }
        if (result.end != RunResult::End::StepLimit) {
            return;
        }
        before = result.steps;
    }
    try {
        runLoop<Counting::Exact, Stopping, Profiling>(limit - before, stops, result, counts);
    } catch (...) {
        result.steps += before;
        throw;
    }
    result.steps += before;
}

void Machine::run() {
    RunResult result;
    runLoop<Counting::None, false>(0, nullptr, result);
}

std::uint64_t Machine::run(std::uint64_t limit) {
    RunResult result;
    runCounted<false, false>(limit, nullptr, result, nullptr);
    return result.steps;
}

Machine::RunResult Machine::runUntil(std::uint64_t limit, const std::uint8_t* stops,
                                     std::uint64_t* counts) {
    RunResult result;
    try {
        if (counts != nullptr) {
            if (stops == nullptr) {
                runCounted<false, true>(limit, nullptr, result, counts);
            } else {
                runCounted<true, true>(limit, stops, result, counts);
            }
        } else if (stops == nullptr) {
            runCounted<false, false>(limit, nullptr, result, nullptr);
        } else {
            runCounted<true, false>(limit, stops, result, nullptr);
        }
    } catch (const Word::InvalidAddressInOperation&) {
        result.end = RunResult::End::Fault;
    } catch (const MachineIO::Stop&) {
        result.end = RunResult::End::IOStopped;
    }
    return result;
}

}  // namespace Vorn
