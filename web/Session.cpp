#include "web/Session.h"

#include "debug/Origin.h"
#include "tools/ToolError.h"

#include <algorithm>

namespace Vorn::Web {

// The run's input, read as vornsim reads standard input, and the debugging
// session it feeds: both callbacks hold this (it does not move with the
// Session).
struct Session::Input {
    explicit Input(const std::string& text) : stream(text), reader(stream, discard) {}

    std::istringstream stream;
    std::ostream discard{nullptr};
    StreamIO reader;
};

Session::Session() {
    start();
}

Session::~Session() = default;
Session::Session(Session&&) noexcept = default;
Session& Session::operator=(Session&&) noexcept = default;

void Session::load(std::string_view source, std::string input) {
    program_ = Program::fromSource(source);
    input_ = std::move(input);
    restart();
}

void Session::restart() {
    start();
    state_ = error() ? State::NoProgram : State::Ready;
}

void Session::start() {
    reader_ = std::make_unique<Input>(input_);
    Input* input = reader_.get();
    Debug::Session::Options options;
    options.input = [input] { return input->reader.read(); };
    options.outputLog = outputLimit;
    options.limits.outputLines = outputLimit;
    debug_ = std::make_unique<Debug::Session>(program_, std::move(options));
    message_.clear();
    warning_.clear();
    applyBreakpoints();
}

void Session::setBreakpointLines(const std::vector<std::int32_t>& lines) {
    breakpointLines_ = lines;
    std::sort(breakpointLines_.begin(), breakpointLines_.end());
    applyBreakpoints();
}

void Session::applyBreakpoints() {
    debug_->removeAll();
    for (std::size_t address = 0; address < program_.cells().size(); ++address) {
        const Assembly::ProgramCell& cell = program_.cells()[address];
        if (cell.isInstruction &&
            std::binary_search(breakpointLines_.begin(), breakpointLines_.end(), cell.line)) {
            debug_->addBreakpoint(static_cast<std::uint16_t>(address),
                                  "line " + std::to_string(cell.line));
        }
    }
}

void Session::record(const Debug::Stop& stop) {
    using Reason = Debug::Stop::Reason;
    if (!stop.warning.empty()) {
        warning_ = stop.warning;
    }
    switch (stop.reason) {
        case Reason::Stepped:
        case Reason::SteppedBack:
        case Reason::HistoryStart:
        case Reason::NoHistory:
        case Reason::Watchpoint:
            state_ = State::Ready;
            return;
        case Reason::Breakpoint:
            state_ = State::Breakpoint;
            return;
        case Reason::Halted:
        case Reason::NotRunning:
            state_ = State::Halted;
            return;
        case Reason::Fault:
            state_ = State::Fault;
            message_ = stop.message;
            return;
        case Reason::OutputLimit:
            state_ = State::OutputFull;
            message_ = stop.message;
            return;
        // No step limit here (the page runs in slices), and the input never
        // stops a read.
        case Reason::StepLimit:
        case Reason::InputStopped:
        case Reason::Interrupted:
            state_ = State::Ready;
            return;
    }
}

void Session::continueRun(std::uint64_t budget) {
    if (!canRun() || budget == 0) {
        return;
    }
    // A breakpoint the machine stands on holds it only when it arrives there,
    // and at the start of the run.
    const std::uint16_t pc = debug_->programCounter();
    const bool atStart = debug_->step() == 0 && state_ != State::Breakpoint;
    if (atStart && std::any_of(debug_->points().begin(), debug_->points().end(),
                               [pc](const Debug::Point& point) { return point.address == pc; })) {
        state_ = State::Breakpoint;
        return;
    }
    record(debug_->stepForward(budget));
}

void Session::step() {
    if (canRun()) {
        record(debug_->stepForward(1));
    }
}

void Session::back() {
    if (!error() && debug_->step() > 0) {
        record(debug_->reverseStep(1));
    }
}

void Session::reverseContinue() {
    if (!error() && debug_->step() > 0) {
        record(debug_->reverseContinue());
    }
}

std::span<const Debug::OutputRecord> Session::outputRecords() const {
    const std::vector<Debug::OutputRecord>& log = debug_->outputLog();
    return {log.data(),
            static_cast<std::size_t>(std::min<std::uint64_t>(debug_->outputCount(), log.size()))};
}

std::vector<std::int32_t> Session::output() const {
    std::vector<std::int32_t> values;
    for (const Debug::OutputRecord& record : outputRecords()) {
        values.push_back(record.value);
    }
    return values;
}

std::int32_t Session::currentLine() const {
    return program_.lineOf(debug_->programCounter());
}

std::string Session::describe() const {
    const std::uint64_t steps = debug_->step();
    const std::string after = " after " + std::to_string(steps) +
                              (steps == 1 ? std::string(" step") : std::string(" steps"));
    const std::string at = "address " + std::to_string(debug_->programCounter());
    switch (state_) {
        case State::NoProgram:
            return "The program has an error: see the diagnostics.";
        case State::Ready:
            return steps == 0 ? "Ready at the start." : "Paused at " + at + after + ".";
        case State::Breakpoint:
            return "Breakpoint at " + at + after + ".";
        case State::Halted:
            return "Halted" + after + ".";
        case State::Fault:
        case State::OutputFull:
            return Tools::errorText(message_);
    }
    return {};
}

std::vector<Debug::OriginLink> Session::origin(const Debug::Location& location) {
    if (!debug_) {
        return {};
    }
    return debug_->origin(location, debug_->step(), Debug::originLinks);
}

}  // namespace Vorn::Web
