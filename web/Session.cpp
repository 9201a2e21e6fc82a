#include "web/Session.h"

#include "debug/Origin.h"
#include "tools/ToolError.h"

#include <algorithm>

namespace Vorn::Web {

// The run's input, read as vornsim reads standard input, and the debugging
// session it feeds: both callbacks hold this (it does not move with the
// Session).
struct Session::Input {
    explicit Input(std::string text) : stream(std::move(text)), reader(stream, discard) {}

    std::istringstream stream;
    std::ostream discard{nullptr};
    StreamIO reader;
};

Session::Session() {
    load({}, {});
    state_ = State::NoProgram;
}

Session::~Session() = default;
Session::Session(Session&&) noexcept = default;
Session& Session::operator=(Session&&) noexcept = default;

void Session::load(std::string_view source, std::string input) {
    reader_ = std::make_unique<Input>(std::move(input));
    Input* reader = reader_.get();
    Debug::Session::Options options;
    options.input = [reader] { return reader->reader.read(); };
    options.outputLog = outputLimit;
    options.limits.outputLines = outputLimit;
    debug_ = std::make_unique<Debug::Session>(Program::fromSource(source), std::move(options));
    applyBreakpoints();
    start();
}

// A new run reads the same numbers again: the debugging session hands out
// again what the last run read.
void Session::restart() {
    debug_->restart();
    start();
}

void Session::start() {
    state_ = error() ? State::NoProgram : State::Ready;
    message_.clear();
    warning_.clear();
    hits_.clear();
    endState_ = State::Ready;
    endMessage_.clear();
}

void Session::setBreakpointLines(const std::vector<std::int32_t>& lines) {
    breakpointLines_ = lines;
    std::sort(breakpointLines_.begin(), breakpointLines_.end());
    applyBreakpoints();
}

void Session::setWatchpoints(const std::vector<std::string>& watched) {
    watched_ = watched;
    applyBreakpoints();
}

// The breakpoints by line, then the watchpoints.
void Session::applyBreakpoints() {
    debug_->removeAll();
    for (const std::string& what : watched_) {
        if (const std::optional<RegisterId> reg = findRegister(what)) {
            debug_->addRegisterWatch(*reg, what);
            continue;
        }
        unsigned long address = 0;
        std::istringstream number(what);
        if (number >> address && address <= 0xFFFF) {
            const auto at = static_cast<std::uint16_t>(address);
            const std::string* label = program().labelFor(at);
            debug_->addMemoryWatch(at, label ? *label : "*" + what);
        }
    }
    const std::vector<Assembly::ProgramCell>& cells = program().cells();
    for (std::size_t address = 0; address < cells.size(); ++address) {
        const Assembly::ProgramCell& cell = cells[address];
        if (cell.isInstruction &&
            std::binary_search(breakpointLines_.begin(), breakpointLines_.end(), cell.line)) {
            debug_->addBreakpoint(static_cast<std::uint16_t>(address),
                                  "line " + std::to_string(cell.line));
        }
    }
}

// Each hit once, in the order of the steps: going back and forth over a
// breakpoint reaches it again at the same step.
void Session::addHit(const Debug::Stop& stop) {
    const auto point =
        std::find_if(debug_->points().begin(), debug_->points().end(),
                     [&stop](const Debug::Point& p) { return p.number == stop.point; });
    Hit hit;
    hit.step = debug_->step();
    hit.what = point == debug_->points().end() ? std::string() : point->what;
    hit.watch = stop.reason == Debug::Stop::Reason::Watchpoint;
    hit.oldValue = stop.oldValue.value();
    hit.newValue = stop.newValue.value();
    const auto at =
        std::lower_bound(hits_.begin(), hits_.end(), hit.step,
                         [](const Hit& h, std::uint64_t step) { return h.step < step; });
    if (at == hits_.end() || at->step != hit.step || at->what != hit.what) {
        hits_.insert(at, std::move(hit));
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
            state_ = State::Ready;
            return;
        case Reason::Watchpoint:
            state_ = State::Watchpoint;
            addHit(stop);
            return;
        case Reason::Breakpoint:
        case Reason::Reached:
            state_ = State::Breakpoint;
            addHit(stop);
            return;
        case Reason::Halted:
        case Reason::NotRunning:
            state_ = State::Halted;
            break;
        case Reason::Fault:
            state_ = State::Fault;
            message_ = stop.message;
            break;
        case Reason::OutputLimit:
            state_ = State::OutputFull;
            message_ = stop.message;
            break;
        // No step limit here (the page runs in slices), and the input never
        // stops a read.
        case Reason::StepLimit:
        case Reason::InputStopped:
        case Reason::Interrupted:
            state_ = State::Ready;
            return;
    }
    // The run's end, for a return to its last step.
    endState_ = state_;
    endMessage_ = message_;
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
                               [pc](const Debug::Point& point) {
                                   return point.kind == Debug::Point::Kind::Breakpoint &&
                                          point.address == pc;
                               })) {
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

void Session::goToStep(std::uint64_t step) {
    if (error()) {
        return;
    }
    debug_->removeAll();
    debug_->seek(step);
    applyBreakpoints();
    const bool atEnd = debug_->step() == lastStep();
    state_ = atEnd ? endState_ : State::Ready;
    message_ = atEnd ? endMessage_ : std::string();
}

std::uint64_t Session::lastStep() const {
    return debug_->history().furthestStep;
}

// Back over the steps and forward again one at a time, each telling what it
// changed; the breakpoints and watchpoints aside meanwhile.
std::vector<Debug::StepRecord> Session::stepsUpTo(std::uint64_t end, std::size_t count) {
    std::vector<Debug::StepRecord> records;
    const std::uint64_t here = debug_->step();
    end = std::min(end, lastStep());
    const std::uint64_t oldest = debug_->history().oldestStep;
    const std::uint64_t from = end - std::min<std::uint64_t>(count, end - std::min(end, oldest));
    if (error() || from >= end) {
        return records;
    }
    debug_->removeAll();
    debug_->seek(from);
    records.reserve(static_cast<std::size_t>(end - from));
    while (debug_->step() < end) {
        const Debug::Stop stop = debug_->stepForward(1);
        if (!stop.last) {
            break;
        }
        records.push_back(*stop.last);
    }
    debug_->seek(here);
    applyBreakpoints();
    return records;
}

void Session::changedByHand() {
    const std::uint64_t here = debug_->step();
    hits_.erase(std::upper_bound(hits_.begin(), hits_.end(), here,
                                 [](std::uint64_t step, const Hit& h) { return step < h.step; }),
                hits_.end());
    state_ = debug_->machine().halted() ? State::Halted : State::Ready;
    message_.clear();
    endState_ = state_;
    endMessage_.clear();
}

void Session::setRegister(RegisterId reg, std::int32_t value) {
    if (!error()) {
        debug_->setRegister(reg, Word(value));
        changedByHand();
    }
}

void Session::setMemory(std::uint16_t address, std::int32_t value) {
    if (!error()) {
        debug_->setMemory(address, Word(value));
        changedByHand();
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
    return program().lineOf(debug_->programCounter());
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
        case State::Watchpoint:
            for (const Hit& hit : hits_) {
                if (hit.step != steps || !hit.watch) {
                    continue;
                }
                return "Watchpoint " + hit.what + ": " + std::to_string(hit.oldValue) + " → " +
                       std::to_string(hit.newValue) + after + ".";
            }
            return "Watchpoint" + after + ".";
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
