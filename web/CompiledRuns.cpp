#include "web/CompiledRuns.h"

#include <emscripten.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <list>
#include <optional>
#include <vector>

#include "compile/WasmRun.h"
#include "machine/Machine.h"

// The JavaScript side: a module made from the bytes, sharing this module's
// memory, kept by number.
// clang-format off
EM_JS(int, vorn_instantiate_run, (const std::uint8_t* bytes, int length), {
    try {
        const module = new WebAssembly.Module(HEAPU8.slice(bytes, bytes + length));
        const instance = new WebAssembly.Instance(module, {env: {memory: wasmMemory}});
        const runs = Module.compiledRunFunctions || (Module.compiledRunFunctions = new Map());
        const id = (Module.compiledRunNext = (Module.compiledRunNext || 0) + 1);
        runs.set(id, instance.exports.run);
        return id;
    } catch (error) {
        return -1;
    }
});
EM_JS(int, vorn_call_run, (int id, std::uint32_t state), {
    return Module.compiledRunFunctions.get(id)(state);
});
EM_JS(void, vorn_release_run, (int id), {
    Module.compiledRunFunctions.delete(id);
});
// clang-format on

namespace Vorn::Web {

namespace {

// The widest program compiled: wider ones run in the run loop.
constexpr std::uint32_t maxSpan = 4096;
// The functions kept, for the machines that take turns (the session's, a
// profile's), the last used first.
constexpr std::size_t kept = 4;

std::uint32_t addressOf(const void* pointer) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(pointer));
}

const std::array<std::uint8_t, Machine::memorySize>& noStops() {
    static const std::array<std::uint8_t, Machine::memorySize> none{};
    return none;
}

class Compiled {
  public:
    Compiled(const Machine& machine, std::vector<std::uint8_t> code, Compile::CompiledRun run,
             int id)
        : machine_(&machine),
          memory_(machine.memory.get()),
          code_(std::move(code)),
          run_(std::move(run)),
          id_(id) {}
    Compiled(const Compiled&) = delete;
    Compiled& operator=(const Compiled&) = delete;
    ~Compiled() { vorn_release_run(id_); }

    // Whether it runs this machine from its program counter: the same
    // machine's arrays, the program counter among its addresses, and the
    // same words there.
    bool holdsFor(const Machine& machine) const {
        if (!runs(machine)) {
            return false;
        }
        for (std::size_t i = 0; i < run_.addresses.size(); ++i) {
            if (memory_[run_.addresses[i]] != run_.words[i]) {
                return false;
            }
        }
        return true;
    }
    // Whether it runs this machine from its program counter, its code as
    // it was at the last call.
    bool runs(const Machine& machine) const {
        return &machine == machine_ && machine.memory.get() == memory_ &&
               code_[machine.programCounter] != 0;
    }
    std::size_t size() const { return run_.addresses.size(); }
    int id() const { return id_; }

  private:
    const Machine* machine_;
    const Word* memory_;
    std::vector<std::uint8_t> code_;  // the code bytes of its Layout
    Compile::CompiledRun run_;
    int id_;
};

class CompiledRuns : public Machine::Accelerator {
  public:
    Ended run(Machine& machine, std::uint64_t limit, const std::uint8_t* stops, bool resumed,
              Machine::RunResult& result) override {
        result.steps = 0;
        if (!on_ || skip_ > 0) {
            skip_ -= skip_ > 0 ? 1 : 0;
            ++stats_.notCompiled;
            return Ended::NotHere;
        }
        // Right after a read or a write it left aside, the same function
        // holds without looking at the code again: nothing else ran.
        const Compiled* compiled =
            resumed && !wroteCode_ && last_ != nullptr && last_->runs(machine) ? last_
                                                                               : find(machine);
        wroteCode_ = false;
        if (compiled == nullptr) {
            ++stats_.notCompiled;
            return Ended::NotHere;
        }
        last_ = compiled;
        Compile::RunState state;
        state.stops = addressOf(stops != nullptr ? stops : noStops().data());
        int end = Compile::RunState::StepLimit;
        // In slices: the engine moves a function to its faster code between
        // two calls, never during one.
        while (result.steps < limit) {
            state.limit = std::min(limit - result.steps, sliceSteps);
            state.pc = machine.programCounter;
            end = vorn_call_run(compiled->id(), addressOf(&state));
            machine.programCounter = static_cast<std::uint16_t>(state.pc);
            result.steps += state.steps;
            stats_.steps += state.steps;
            stepsSinceCompiled_ += state.steps;
            if (end != Compile::RunState::StepLimit) {
                break;
            }
        }
        // Calls that run a few steps each (a loop that reads or writes at
        // every turn, the debugger stopping at each write) cost more in
        // the call and the check of the code than they save: after many in
        // a row, the run loop takes the rest and the next runs.
        if (end != Compile::RunState::StepLimit && end != Compile::RunState::Halted &&
            result.steps < shortCallSteps + compiled->size()) {
            if (++shortCalls_ > shortCallsInARow) {
                // Each time again, twice as long.
                shortCalls_ = 0;
                skip_ = shortCallsSkip_;
                shortCallsSkip_ = std::min(2 * shortCallsSkip_, maxSkip);
            }
        } else {
            shortCalls_ = 0;
            shortCallsSkip_ = runsSkipped;
        }
        switch (end) {
            case Compile::RunState::Halted:
                result.end = Machine::RunResult::End::Halted;
                return Ended::Ended;
            case Compile::RunState::Stopped:
                result.end = Machine::RunResult::End::Stopped;
                return Ended::Ended;
            case Compile::RunState::StepLimit:
                result.end = Machine::RunResult::End::StepLimit;
                return Ended::Ended;
            case Compile::RunState::Aside:
                return Ended::Aside;
            case Compile::RunState::Changes:
                codeChanged_ = true;
                wroteCode_ = true;
                return Ended::Aside;
            default:
                // Left the addresses compiled: the run loop goes on from here.
                return Ended::NotHere;
        }
    }

    void setOn(bool on) {
        on_ = on;
        if (!on) {
            last_ = nullptr;
            kept_.clear();
            codeChanged_ = false;
            wroteCode_ = false;
            rebuilds_ = 0;
            shortCalls_ = 0;
            shortCallsSkip_ = runsSkipped;
            skip_ = 0;
        }
    }
    CompiledRunStats stats() const { return stats_; }

  private:
    const Compiled* find(const Machine& machine) {
        for (auto it = kept_.begin(); it != kept_.end(); ++it) {
            if (it->holdsFor(machine)) {
                kept_.splice(kept_.begin(), kept_, it);
                return &kept_.front();
            }
        }
        // A program that keeps changing its code (a storei into it, each
        // time round a loop) would be compiled again at every change: after
        // a few short-lived functions in a row, the run loop takes the next
        // runs.
        // Short-lived: it saved less than its making cost, about that of
        // a few thousand steps for each instruction in it.
        const std::uint64_t shortLived = (std::uint64_t{1} << 16) + 4096 * lastSize_;
        rebuilds_ = codeChanged_ && stepsSinceCompiled_ < shortLived ? rebuilds_ + 1 : 0;
        codeChanged_ = false;
        if (rebuilds_ > rebuildsInARow) {
            rebuilds_ = 0;
            skip_ = runsSkipped;
            return nullptr;
        }
        std::vector<std::uint8_t> code(Machine::memorySize, 0);
        Compile::Layout layout;
        layout.memory = addressOf(machine.memory.get());
        layout.registers = addressOf(&machine.registers.at(RegisterId::A));
        layout.code = addressOf(code.data());
        std::optional<Compile::CompiledRun> run =
            Compile::compileRun(machine.memory.get(), machine.programCounter, layout, maxSpan);
        // What cannot be compiled now is not tried again for a while: the
        // reachable code is walked at each try.
        if (!run) {
            skip_ = runsSkipped;
            return nullptr;
        }
        const int id =
            vorn_instantiate_run(run->module.data(), static_cast<int>(run->module.size()));
        if (id < 0) {
            skip_ = runsSkipped;
            return nullptr;
        }
        for (const std::uint16_t address : run->addresses) {
            code[address] = 1;
        }
        ++stats_.compiled;
        stepsSinceCompiled_ = 0;
        lastSize_ = run->addresses.size();
        if (kept_.size() == kept) {
            if (last_ == &kept_.back()) {
                last_ = nullptr;
            }
            kept_.pop_back();
        }
        kept_.emplace_front(machine, std::move(code), std::move(*run), id);
        return &kept_.front();
    }

    static constexpr std::uint64_t sliceSteps = std::uint64_t{1} << 22;
    static constexpr int rebuildsInARow = 4;
    static constexpr std::uint64_t shortCallSteps = 1024;
    static constexpr int shortCallsInARow = 16;
    static constexpr int maxSkip = 1 << 14;
    static constexpr int runsSkipped = 64;

    const Compiled* last_ = nullptr;
    std::size_t lastSize_ = 0;

    bool on_ = true;
    std::uint64_t stepsSinceCompiled_ = std::numeric_limits<std::uint64_t>::max() / 2;
    bool codeChanged_ = false;  // since the last function was made
    bool wroteCode_ = false;    // the step left aside writes into the code
    int rebuilds_ = 0;
    int shortCalls_ = 0;
    int shortCallsSkip_ = runsSkipped;
    int skip_ = 0;
    std::list<Compiled> kept_;
    CompiledRunStats stats_;
};

CompiledRuns& accelerator() {
    static CompiledRuns instance;
    return instance;
}

// Every machine of the module runs its long runs compiled, from the start.
const bool installed = [] {
    Machine::setAccelerator(&accelerator());
    return true;
}();

}  // namespace

void useCompiledRuns(bool on) {
    accelerator().setOn(on);
}

CompiledRunStats compiledRunStats() {
    return accelerator().stats();
}

}  // namespace Vorn::Web
