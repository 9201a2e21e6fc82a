#include "web/Session.h"

#include <algorithm>

#include "machine/RunMessages.h"

namespace Vorn::Web {

void PageIO::write(std::int32_t value) {
    if (output_.size() == outputLimit) {
        throw Stop();
    }
    output_.push_back(value);
}

void Session::load(std::string_view source, std::string input) {
    program_ = Assembly::assembleProgram(source);
    image_ = program_.words();
    input_ = std::move(input);
    restart();
}

void Session::restart() {
    startMachine();
    steps_ = 0;
    state_ = program_.error ? State::NoProgram : State::Ready;
}

void Session::startMachine() {
    io_ = std::make_unique<PageIO>(input_);
    machine_ = std::make_unique<Machine>(*io_);
    if (!program_.error) {
        machine_->load(image_);
    }
}

void Session::setBreakpointLines(const std::vector<std::int32_t>& lines) {
    std::fill(breakpoints_.begin(), breakpoints_.end(), std::uint8_t{0});
    for (std::size_t address = 0; address < program_.cells.size(); ++address) {
        const Assembly::ProgramCell& cell = program_.cells[address];
        if (cell.isInstruction && std::find(lines.begin(), lines.end(), cell.line) != lines.end()) {
            breakpoints_[address] = 1;
        }
    }
}

void Session::record(Machine::RunResult::End end) {
    switch (end) {
        case Machine::RunResult::End::Halted:
            state_ = State::Halted;
            return;
        case Machine::RunResult::End::StepLimit:
            state_ = State::Ready;
            return;
        case Machine::RunResult::End::Stopped:
            state_ = State::Breakpoint;
            return;
        case Machine::RunResult::End::Fault:
            state_ = State::Fault;
            return;
        case Machine::RunResult::End::IOStopped:
            state_ = State::OutputFull;
            return;
    }
}

void Session::continueRun(std::uint64_t budget) {
    if (!canRun() || budget == 0) {
        return;
    }
    // A breakpoint the machine stands on holds it only when it arrives there.
    const bool runPast = steps_ > 0 || state_ == State::Breakpoint;
    if (runPast && breakpoints_[machine_->programCounter] != 0) {
        const Machine::RunResult first = machine_->runUntil(1);
        steps_ += first.steps;
        record(first.end);
        if (first.end != Machine::RunResult::End::StepLimit) {
            return;
        }
        --budget;
    }
    const Machine::RunResult result = machine_->runUntil(budget, breakpoints_.data());
    steps_ += result.steps;
    record(result.end);
}

void Session::step() {
    if (!canRun()) {
        return;
    }
    const Machine::RunResult result = machine_->runUntil(1);
    steps_ += result.steps;
    record(result.end);
}

void Session::replayTo(std::uint64_t target) {
    startMachine();
    const Machine::RunResult result = machine_->runUntil(target);
    steps_ = result.steps;
    record(result.end);
}

void Session::back() {
    if (program_.error || steps_ == 0) {
        return;
    }
    replayTo(steps_ - 1);
}

void Session::reverseContinue() {
    if (program_.error || steps_ == 0) {
        return;
    }
    // Replays the run up to here, noting each step at which a breakpoint was
    // reached, then replays to the last of them.
    const std::uint64_t here = steps_;
    std::uint64_t latest = 0;
    bool found = false;
    startMachine();
    std::uint64_t done = 0;
    while (done < here) {
        Machine::RunResult result = machine_->runUntil(here - done, breakpoints_.data());
        done += result.steps;
        if (result.end != Machine::RunResult::End::Stopped || done >= here) {
            break;
        }
        latest = done;
        found = true;
        done += machine_->runUntil(1).steps;
    }
    replayTo(latest);
    if (found) {
        state_ = State::Breakpoint;
    }
}

std::int32_t Session::currentLine() const {
    const std::size_t address = machine_->programCounter;
    if (address >= program_.cells.size()) {
        return 0;
    }
    return program_.cells[address].line;
}

std::string Session::describe() const {
    const std::string after = " after " + std::to_string(steps_) +
                              (steps_ == 1 ? std::string(" step") : std::string(" steps"));
    const std::string at = "address " + std::to_string(machine_->programCounter);
    switch (state_) {
        case State::NoProgram:
            return "The program has an error: see the diagnostics.";
        case State::Ready:
            return steps_ == 0 ? "Ready at the start." : "Paused at " + at + after + ".";
        case State::Breakpoint:
            return "Breakpoint at " + at + after + ".";
        case State::Halted:
            return "Halted" + after + ".";
        case State::Fault:
            return "Error: " + faultMessage(*machine_);
        case State::OutputFull:
            return "Stopped" + after + ": the program wrote more than " +
                   std::to_string(PageIO::outputLimit) + " numbers.";
    }
    return {};
}

}  // namespace Vorn::Web
