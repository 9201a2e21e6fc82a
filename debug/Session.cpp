#include "debug/Session.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace Vorn::Debug {

namespace {

constexpr std::size_t pageWords = 1024;
constexpr std::size_t pageCount = Machine::memorySize / pageWords;
using Page = std::array<Word, pageWords>;

// A run without breakpoints looks at the interrupt flag this often.
constexpr std::uint64_t interruptChunk = 1u << 22;
// A fast run this long first looks for the breakpoints it can reach.
constexpr std::uint64_t longRun = 1u << 16;

// In the byte of an address in the stops: a breakpoint, the address after
// a write that the output log took (see Recorder::write), and a cell outside
// the instructions that the run has not entered yet.
constexpr std::uint8_t breakpointMark = 1;
constexpr std::uint8_t writtenMark = 2;
constexpr std::uint8_t enteringMark = 4;
// ... and an address that advanceTo runs to.
constexpr std::uint8_t targetMark = 8;

}  // namespace

// ---------------------------------------------------------------------------
// Input and output

// The session's MachineIO: read hands out the kept numbers again in a replay
// and takes new ones only beyond them; write reaches the user only going
// forward.
class Session::Recorder : public MachineIO {
  public:
    explicit Recorder(Session& session) : session_(session) {}

    InputResult read() override {
        Session& s = session_;
        if (s.tapePosition_ < s.tapeLength()) {
            return s.tapeAt(s.tapePosition_++);
        }
        if (s.replaying_) {
            return {};  // a replay never goes past the steps already run
        }
        const InputResult result = next();
        s.record(result);
        ++s.tapePosition_;
        return result;
    }

    // The log takes a write it has not seen (its first run, not a replay or
    // a run again after going back) while it has room. Its step is known
    // only when the run stops: the address after the write is marked as a
    // stop, which ends a fast run there (a forward run passes the stops
    // while the log has room).
    void write(std::int32_t value) override {
        Session& s = session_;
        if (s.written_ == s.options_.limits.outputLines) {
            s.outputFull_ = true;
            throw Stop();
        }
        if (!s.replaying_ && s.options_.output) {
            s.options_.output(value);  // a Stop from it: the write did not happen
        }
        const std::uint64_t index = s.written_++;
        if (s.replaying_ || index < s.outputLog_.size() || !s.logHasRoom()) {
            return;
        }
        // The program counter is already past the write.
        const std::uint16_t next = s.machine_.programCounter;
        s.outputLog_.push_back({0, static_cast<std::uint16_t>(next - 1), value});
        s.writeLogged_ = true;
        s.breakAt_[next] |= writtenMark;
    }

  private:
    InputResult next() {
        Session& s = session_;
        if (s.options_.input && !s.inputEnded_) {
            const InputResult result = s.options_.input();
            if (result.kind != InputResult::Kind::Ended) {
                return result;
            }
            s.inputEnded_ = true;
        }
        if (!s.appended_.empty()) {
            const std::int32_t value = s.appended_.front();
            s.appended_.pop_front();
            return {InputResult::Kind::Number, value};
        }
        if (s.options_.ask) {
            return s.options_.ask();
        }
        return {};
    }

    Session& session_;
};

// Reads go in order: the run of the last one, or the next, holds the next.
InputResult Session::tapeAt(std::uint64_t position) {
    if (tapeRun_ >= tape_.size() || tape_[tapeRun_].end <= position ||
        (tapeRun_ > 0 && tape_[tapeRun_ - 1].end > position)) {
        tapeRun_ = static_cast<std::size_t>(
            std::upper_bound(tape_.begin(), tape_.end(), position,
                             [](std::uint64_t p, const TapeRun& run) { return p < run.end; }) -
            tape_.begin());
    }
    return tape_[tapeRun_].result;
}

void Session::record(InputResult result) {
    if (!tape_.empty() && tape_.back().result.kind == result.kind &&
        tape_.back().result.value == result.value) {
        ++tape_.back().end;
        return;
    }
    tape_.push_back({result, tapeLength() + 1});
}

void Session::appendInput(std::int32_t value) {
    appended_.push_back(value);
}

// ---------------------------------------------------------------------------
// The history

struct Session::Snapshot {
    std::uint64_t step = 0;
    std::uint16_t programCounter = 0;
    Register::Registers registers;
    std::uint64_t tapePosition = 0;
    std::uint64_t written = 0;
    std::array<std::shared_ptr<const Page>, pageCount> pages;
    // Step 0 and the state after a change by hand: never thinned away, since
    // no replay from before them reaches them.
    bool keep = false;
};

// The last breakpoint or watchpoint hit that a backward scan found.
struct Session::Scan {
    bool found = false;
    std::uint64_t step = 0;
    Stop stop;
    bool interrupted = false;  // the scan stopped before `end`
};

Session::Session(Program program, Options options)
    : program_(std::move(program)),
      options_(std::move(options)),
      recorder_(std::make_unique<Recorder>(*this)),
      machine_(*recorder_),
      interval_(std::max<std::uint64_t>(options_.firstInterval, 1)) {
    breakAt_.assign(Machine::memorySize, 0);
    restart();
}

Session::~Session() = default;

void Session::restart() {
    std::fill_n(machine_.memory.get(), Machine::memorySize, Word());
    machine_.load(program_.words());
    machine_.registers = {};
    machine_.programCounter = 0;
    step_ = 0;
    tapePosition_ = 0;
    frontier_ = 0;
    written_ = 0;
    // A new run warns again on entering data.
    entering_ = program_.hasSource() || options_.limits.strict;
    rebuildStops();
    outputLog_.clear();
    writeLogged_ = false;
    // A new run reads again what the last one read, up to the first end of
    // the input: numbers appended since then come after.
    tape_.erase(std::find_if(
                    tape_.begin(), tape_.end(),
                    [](const TapeRun& run) { return run.result.kind == InputResult::Kind::Ended; }),
                tape_.end());
    tapeRun_ = 0;
    snapshots_.clear();
    interval_ = std::max<std::uint64_t>(options_.firstInterval, 1);
    if (historyOn()) {
        takeSnapshot(true);
    }
}

std::uint64_t Session::nextSnapshotStep() const {
    if (!historyOn()) {
        return unlimited;
    }
    return (snapshots_.back().step / interval_ + 1) * interval_;
}

// The first step after this one at which the state was changed by hand, or
// `unlimited`.
std::uint64_t Session::nextChangeByHand() const {
    for (const Snapshot& snapshot : snapshots_) {
        if (snapshot.keep && snapshot.step > step_) {
            return snapshot.step;
        }
    }
    return unlimited;
}

void Session::takeSnapshot(bool keep) {
    Snapshot snapshot;
    snapshot.step = step_;
    snapshot.programCounter = machine_.programCounter;
    snapshot.registers = machine_.registers;
    snapshot.tapePosition = tapePosition_;
    snapshot.written = written_;
    snapshot.keep = keep;
    const Snapshot* before = snapshots_.empty() ? nullptr : &snapshots_.back();
    for (std::size_t p = 0; p < pageCount; ++p) {
        const Word* words = machine_.memory.get() + p * pageWords;
        if (before != nullptr && std::memcmp(words, before->pages[p]->data(), sizeof(Page)) == 0) {
            snapshot.pages[p] = before->pages[p];
            continue;
        }
        auto* page = new Page;
        std::copy_n(words, pageWords, page->data());
        pageBytes_ += sizeof(Page);
        std::uint64_t* counter = &pageBytes_;
        snapshot.pages[p] = std::shared_ptr<const Page>(page, [counter](const Page* gone) {
            *counter -= sizeof(Page);
            delete gone;
        });
    }
    snapshots_.push_back(std::move(snapshot));
}

// Over budget, every other snapshot goes and the interval doubles; the first,
// the last and the kept ones stay.
void Session::thin() {
    while ((snapshots_.size() > options_.maxSnapshots || pageBytes_ > options_.maxBytes) &&
           interval_ < (std::uint64_t{1} << 62)) {
        interval_ *= 2;
        std::vector<Snapshot> kept;
        for (std::size_t i = 0; i < snapshots_.size(); ++i) {
            Snapshot& snapshot = snapshots_[i];
            if (snapshot.keep || snapshot.step % interval_ == 0 || i == 0 ||
                i + 1 == snapshots_.size()) {
                kept.push_back(std::move(snapshot));
            }
        }
        const bool fewer = kept.size() < snapshots_.size();
        snapshots_ = std::move(kept);
        if (!fewer) {
            break;
        }
    }
}

// With a limit, the snapshots older than it go, but one at or before the
// oldest reachable step stays to replay from.
void Session::dropOld() {
    if (!historyOn() || options_.historyLimit == unlimited || frontier_ <= options_.historyLimit) {
        return;
    }
    const std::uint64_t oldest = frontier_ - options_.historyLimit;
    std::size_t first = 0;
    while (first + 1 < snapshots_.size() && snapshots_[first + 1].step <= oldest) {
        ++first;
    }
    snapshots_.erase(snapshots_.begin(), snapshots_.begin() + static_cast<std::ptrdiff_t>(first));
}

std::uint64_t Session::oldestReachable() const {
    if (!historyOn()) {
        return step_;
    }
    std::uint64_t oldest = snapshots_.front().step;
    if (options_.historyLimit != unlimited && frontier_ > options_.historyLimit) {
        oldest = std::max(oldest, frontier_ - options_.historyLimit);
    }
    return oldest;
}

void Session::afterForward() {
    frontier_ = std::max(frontier_, step_);
    dropOld();
}

void Session::restore(const Snapshot& snapshot) {
    for (std::size_t p = 0; p < pageCount; ++p) {
        std::copy_n(snapshot.pages[p]->data(), pageWords, machine_.memory.get() + p * pageWords);
    }
    machine_.registers = snapshot.registers;
    machine_.programCounter = snapshot.programCounter;
    step_ = snapshot.step;
    tapePosition_ = snapshot.tapePosition;
    written_ = snapshot.written;
}

// Runs `steps` steps already run before, silently: the same states again.
void Session::replay(std::uint64_t steps) {
    replaying_ = true;
    while (steps > 0) {
        const Machine::RunResult result = machine_.runUntil(steps, nullptr);
        step_ += result.steps;
        steps -= result.steps;
        if (result.end != Machine::RunResult::End::StepLimit) {
            break;
        }
    }
    replaying_ = false;
}

// The state at step `target`, which lies between the oldest reachable step
// and the furthest one run.
void Session::goTo(std::uint64_t target) {
    auto after =
        std::upper_bound(snapshots_.begin(), snapshots_.end(), target,
                         [](std::uint64_t step, const Snapshot& s) { return step < s.step; });
    const Snapshot& from = *(after - 1);
    // The machine at the snapshot's own step may be one replayed from an older
    // snapshot (the origin's search does so): without the changes by hand
    // that the snapshot holds.
    if (!(from.step < step_ && target >= step_)) {
        restore(from);
    }
    replay(target - step_);
}

HistoryStats Session::history() const {
    HistoryStats stats;
    stats.oldestStep = oldestReachable();
    stats.furthestStep = std::max(frontier_, step_);
    stats.snapshots = snapshots_.size();
    stats.interval = historyOn() ? interval_ : 0;
    stats.bytes = pageBytes_ + snapshots_.capacity() * sizeof(Snapshot) +
                  tape_.capacity() * sizeof(TapeRun) + outputLog_.capacity() * sizeof(OutputRecord);
    stats.inputsKept = tapeLength();
    return stats;
}

// ---------------------------------------------------------------------------
// Breakpoints and watchpoints

const Point& Session::addPoint(Point point) {
    point.number = nextPoint_++;
    points_.push_back(std::move(point));
    rebuildStops();
    return points_.back();
}

const Point& Session::addBreakpoint(std::uint16_t address, std::string what, bool temporary) {
    Point point;
    point.address = address;
    point.what = std::move(what);
    point.temporary = temporary;
    return addPoint(std::move(point));
}

const Point& Session::addMemoryWatch(std::uint16_t address, std::string what) {
    Point point;
    point.kind = Point::Kind::MemoryWatch;
    point.address = address;
    point.what = std::move(what);
    return addPoint(std::move(point));
}

const Point& Session::addRegisterWatch(RegisterId reg, std::string what) {
    Point point;
    point.kind = Point::Kind::RegisterWatch;
    point.reg = reg;
    point.what = std::move(what);
    return addPoint(std::move(point));
}

bool Session::remove(int number) {
    const auto gone = std::remove_if(points_.begin(), points_.end(),
                                     [number](const Point& p) { return p.number == number; });
    if (gone == points_.end()) {
        return false;
    }
    points_.erase(gone, points_.end());
    rebuildStops();
    return true;
}

void Session::removeAll() {
    points_.clear();
    rebuildStops();
}

Point* Session::find(int number) {
    const auto found = std::find_if(points_.begin(), points_.end(),
                                    [number](const Point& p) { return p.number == number; });
    return found == points_.end() ? nullptr : &*found;
}

bool Session::setCondition(int number, std::shared_ptr<const Expression> condition) {
    Point* point = find(number);
    if (point != nullptr) {
        point->condition = std::move(condition);
    }
    return point != nullptr;
}

bool Session::setEnabled(int number, bool enabled) {
    Point* point = find(number);
    if (point != nullptr) {
        point->enabled = enabled;
        rebuildStops();
    }
    return point != nullptr;
}

bool Session::setIgnoreCount(int number, std::uint64_t count) {
    Point* point = find(number);
    if (point != nullptr) {
        point->ignoreCount = count;
    }
    return point != nullptr;
}

void Session::rebuildStops() {
    std::fill(breakAt_.begin(), breakAt_.end(), 0);
    if (entering_) {
        markEntering();
    }
    anyBreakpoint_ = false;
    anyWatch_ = false;
    for (const Point& point : points_) {
        if (!point.enabled) {
            continue;
        }
        if (point.kind == Point::Kind::Breakpoint) {
            breakAt_[point.address] |= breakpointMark;
            anyBreakpoint_ = true;
        } else {
            anyWatch_ = true;
        }
    }
}

// Whether the point's condition holds in the state now; one that cannot be
// evaluated holds, with `error` saying why.
bool Session::conditionHolds(const Point& point, std::string& error) const {
    if (!point.condition) {
        return true;
    }
    try {
        return point.condition->evaluate(machine_, step_) != 0;
    } catch (const ExpressionError& failure) {
        error = failure.what();
        return true;
    }
}

// The enabled breakpoint at the address whose condition holds, or 0; as a
// reverse command sees it (hits and ignore counts are for going forward).
int Session::breakpointAt(std::uint16_t address, std::string& error) const {
    for (const Point& point : points_) {
        if (point.kind == Point::Kind::Breakpoint && point.enabled && point.address == address &&
            conditionHolds(point, error)) {
            return point.number;
        }
    }
    return 0;
}

// Going forward at a breakpoint's address: whether one stops the program,
// each one whose condition holds counting a hit or using up its ignore count.
bool Session::breakpointStops(std::uint16_t address, Stop& stop) {
    for (Point& point : points_) {
        if (point.kind != Point::Kind::Breakpoint || !point.enabled || point.address != address ||
            !conditionHolds(point, stop.conditionError)) {
            continue;
        }
        ++point.hits;
        if (point.ignoreCount > 0 && stop.conditionError.empty()) {
            --point.ignoreCount;
            continue;
        }
        stop.reason = Stop::Reason::Breakpoint;
        stop.point = point.number;
        if (point.temporary) {
            stop.temporary = true;
            remove(stop.point);
        }
        return true;
    }
    return false;
}

// Whether the run from the program counter can reach a breakpoint. A jump's
// target is in its word, so the code reachable from here follows from the
// memory alone, as long as no instruction in it is written: a storei could
// write anywhere, a store writes the word its address names. When nothing
// reachable is a breakpoint and nothing reachable can be written, the run
// needs no check per instruction.
bool Session::breakpointReachable() const {
    std::vector<std::uint8_t> seen(Machine::memorySize, 0);
    std::vector<std::uint16_t> waiting;
    std::vector<std::uint16_t> stored;
    const auto reach = [&](std::uint32_t address) {
        if (address < Machine::haltAddress && seen[address] == 0) {
            seen[address] = 1;
            waiting.push_back(static_cast<std::uint16_t>(address));
        }
    };
    reach(machine_.programCounter);
    while (!waiting.empty()) {
        const std::uint16_t address = waiting.back();
        waiting.pop_back();
        if (breakAt_[address] != 0) {
            return true;
        }
        const std::uint32_t bits = machine_.memory[address].bits();
        const OperationShape& shape = shapeOf(static_cast<Operation>(Word::opcodeOf(bits)));
        const std::uint16_t target = Word::addressOf(bits);
        switch (shape.writes) {
            case Writes::WordAtPointer:
                return true;
            case Writes::WordAtAddress:
                stored.push_back(target);
                break;
            case Writes::Nothing:
            case Writes::Register1:
            case Writes::ImplicitRegister:
                break;
        }
        if (mayJump(shape.flow)) {
            reach(target);
        }
        if (mayFallThrough(shape.flow)) {
            reach(address + 1u);
        }
    }
    return std::any_of(stored.begin(), stored.end(),
                       [&](std::uint16_t address) { return seen[address] != 0; });
}

Word Session::valueOf(const Point& point) const {
    return point.kind == Point::Kind::RegisterWatch ? machine_.registers.at(point.reg)
                                                    : machine_.memory[point.address];
}

// Whether the step's effect wrote the enabled watchpoint's word or register.
static bool writes(const Point& point, const StepEffect& effect) {
    return point.enabled &&
           ((point.kind == Point::Kind::MemoryWatch && effect.kind == StepEffect::Kind::Memory &&
             effect.address == point.address) ||
            (point.kind == Point::Kind::RegisterWatch &&
             effect.kind == StepEffect::Kind::Register && effect.reg == point.reg));
}

// After a step going forward: whether watchpoints it wrote stop the program
// (each whose condition holds counts a hit or uses up its ignore count).
// `before_` holds each point's value before the step.
bool Session::watchStops(const StepEffect& effect, Stop& stop) {
    for (std::size_t i = 0; i < points_.size(); ++i) {
        Point& point = points_[i];
        if (!writes(point, effect) || !conditionHolds(point, stop.conditionError)) {
            continue;
        }
        ++point.hits;
        if (point.ignoreCount > 0 && stop.conditionError.empty()) {
            --point.ignoreCount;
            continue;
        }
        if (stop.points.empty()) {
            stop.reason = Stop::Reason::Watchpoint;
            stop.point = point.number;
            stop.oldValue = before_[i];
            stop.newValue = effect.value;
        }
        stop.points.push_back(point.number);
    }
    return !stop.points.empty();
}

// ---------------------------------------------------------------------------
// Running

bool Session::interrupted() const {
    return options_.interrupt != nullptr && options_.interrupt->load(std::memory_order_relaxed);
}

Stop Session::stopHere(Stop::Reason reason) {
    Stop stop;
    stop.reason = reason;
    return stop;
}

// One instruction through the step that tells its effect; true when it ends the command.
bool Session::oneStep(Stop& stop, std::uint64_t& done) {
    const std::uint16_t address = machine_.programCounter;
    const Word instruction = machine_.memory[address];
    // Each watched value before the step, for the one the step writes.
    if (anyWatch_) {
        before_.resize(points_.size());
        for (std::size_t i = 0; i < points_.size(); ++i) {
            before_[i] = valueOf(points_[i]);
        }
    }
    StepEffect effect;
    try {
        machine_.step(effect);
    } catch (const Word::InvalidAddressInOperation&) {
        ++step_;
        couldNotRun(Run::Outcome::End::Fault, stop);
        return true;
    } catch (const MachineIO::Stop&) {
        ++step_;
        couldNotRun(Run::Outcome::End::InputOutput, stop);
        return true;
    }
    ++step_;
    tookLoggedWrite();
    ++done;
    stop.last = StepRecord{step_, address, instruction, effect};
    return anyWatch_ && watchStops(effect, stop);
}

// After a fast bounded run: true when it ends the command. A fault or a
// stopped read did not happen: the program counter goes back to it.
bool Session::finishFastRun(const Machine::RunResult& result, Stop& stop, std::uint64_t& done) {
    step_ += result.steps;
    // A logged write ends the run at the next address (Stopped), or at the halt.
    tookLoggedWrite();
    done += result.steps;
    if (result.steps > 0) {
        stop.last.reset();
    }
    switch (result.end) {
        case Machine::RunResult::End::Halted:
            stop.reason = Stop::Reason::Halted;
            return true;
        case Machine::RunResult::End::StepLimit:
        case Machine::RunResult::End::Stopped:
            return false;
        case Machine::RunResult::End::Fault:
            couldNotRun(Run::Outcome::End::Fault, stop);
            break;
        case Machine::RunResult::End::IOStopped:
            couldNotRun(Run::Outcome::End::InputOutput, stop);
            break;
    }
    --done;
    return true;
}

// The step just counted could not run to its end (a fault, a read or write
// stopped): it did not happen, and the program counter goes back to it.
void Session::couldNotRun(Run::Outcome::End end, Stop& stop) {
    if (end == Run::Outcome::End::InputOutput && outputFull_) {
        end = Run::Outcome::End::OutputLimit;
    }
    const Run::Outcome outcome = Run::ended(end, step_, machine_, program_, options_.limits);
    step_ = outcome.steps;
    machine_.programCounter = outcome.address;
    stop.message = outcome.message;
    switch (end) {
        case Run::Outcome::End::Fault:
            stop.reason = Stop::Reason::Fault;
            break;
        case Run::Outcome::End::OutputLimit:
            stop.reason = Stop::Reason::OutputLimit;
            break;
        default:
            stop.reason = interrupted() ? Stop::Reason::Interrupted : Stop::Reason::InputStopped;
            break;
    }
}

// The cells outside the instructions, for the run to stop at when it
// enters one: always when strict, else until the first (for a source).
void Session::markEntering() {
    const std::uint8_t* outside = program_.outsideInstructions();
    for (std::size_t address = 0; address < Machine::memorySize; ++address) {
        if (outside[address] != 0) {
            breakAt_[address] |= enteringMark;
        }
    }
}

// The program counter is at a cell outside the instructions: a strict run
// stops before it.
void Session::enteredStrictly(Stop& stop) {
    stop.reason = Stop::Reason::Fault;
    stop.message =
        Run::ended(Run::Outcome::End::StrictFault, step_, machine_, program_, options_.limits)
            .message;
}

// Any other run warns, the first time only, and goes on.
void Session::warnEntering(Stop& stop) {
    stop.warning = Run::enteringWarning(program_, machine_.programCounter);
    entering_ = false;
    for (std::uint8_t& mark : breakAt_) {
        mark &= static_cast<std::uint8_t>(~enteringMark);
    }
}

// After the step that made a write the log took: its step is this one, and
// the stop marked after it goes.
void Session::tookLoggedWrite() {
    if (!writeLogged_) {
        return;
    }
    writeLogged_ = false;
    outputLog_.back().step = step_;
    breakAt_[machine_.programCounter] &= static_cast<std::uint8_t>(~writtenMark);
}

Stop Session::forward(std::uint64_t limit, bool breakAtFirst) {
    if (machine_.halted()) {
        return stopHere(Stop::Reason::NotRunning);
    }
    Stop stop;
    std::uint64_t done = 0;
    std::uint64_t changed = nextChangeByHand();
    outputFull_ = false;
    // The breakpoints the fast runs check, once known: none when no
    // breakpoint can be reached.
    const std::uint8_t* stops = nullptr;
    bool stopsKnown = false;
    // At a breakpoint that did not stop the program: its instruction runs next.
    bool passing = false;
    while (true) {
        const std::uint16_t pc = machine_.programCounter;
        if (machine_.halted()) {
            stop.reason = Stop::Reason::Halted;
            break;
        }
        // In the order of a run (run/Runner.h): a cell outside the
        // instructions stops a strict run before the step limit does.
        const bool outside = (breakAt_[pc] & enteringMark) != 0;
        if (outside && options_.limits.strict) {
            enteredStrictly(stop);
            break;
        }
        if (step_ >= options_.limits.steps) {
            stop.reason = Stop::Reason::StepLimit;
            stop.message =
                Run::ended(Run::Outcome::End::StepLimit, step_, machine_, program_, options_.limits)
                    .message;
            break;
        }
        if (done == limit) {
            stop.reason = Stop::Reason::Stepped;
            break;
        }
        if ((done > 0 || breakAtFirst) && !passing &&
            (breakAt_[pc] & (breakpointMark | targetMark)) != 0) {
            if ((breakAt_[pc] & breakpointMark) != 0 && breakpointStops(pc, stop)) {
                break;
            }
            if ((breakAt_[pc] & targetMark) != 0) {
                stop.reason = Stop::Reason::Reached;
                break;
            }
            passing = true;
        }
        if (interrupted()) {
            stop.reason = Stop::Reason::Interrupted;
            break;
        }
        if (outside) {
            warnEntering(stop);
            stopsKnown = false;
        }
        const std::uint64_t remaining = limit - done;
        // Watchpoints need each step's effect, and a step shows its last one.
        if (anyWatch_ || remaining == 1 || ((done == 0 || passing) && breakAt_[pc] != 0)) {
            if (oneStep(stop, done)) {
                break;
            }
        } else {
            std::uint64_t chunk = std::min(remaining - 1, interruptChunk);
            chunk = std::min({chunk, nextSnapshotStep() - step_, changed - step_,
                              options_.limits.steps - step_});
            // A short run (a step N) is not worth looking through the code.
            if (!stopsKnown && chunk >= longRun) {
                stops = anyStop() && breakpointReachable() ? breakAt_.data() : nullptr;
                stopsKnown = true;
            }
            // While the output log has room, each write marks a stop of its
            // own as the run goes, which every run must check.
            const std::uint8_t* checked = breakAt_.data();
            if (!logHasRoom() && (stopsKnown || !anyStop())) {
                checked = stops;
            }
            const Machine::RunResult result = machine_.runUntil(chunk, checked);
            if (finishFastRun(result, stop, done)) {
                break;
            }
        }
        passing = false;
        if (step_ == changed) {
            // Going forward again over a change by hand makes it again.
            restore(*std::find_if(snapshots_.begin(), snapshots_.end(),
                                  [this](const Snapshot& s) { return s.step == step_ && s.keep; }));
            changed = nextChangeByHand();
            stopsKnown = false;
        }
        if (historyOn() && step_ == nextSnapshotStep()) {
            takeSnapshot(false);
            thin();
        }
    }
    afterForward();
    return stop;
}

Stop Session::run() {
    restart();
    return forward(unlimited, true);
}

Stop Session::run(std::function<InputResult()> input) {
    options_.input = std::move(input);
    inputEnded_ = false;
    tape_.clear();
    appended_.clear();
    return run();
}

Stop Session::continueRun() {
    return forward(unlimited, false);
}

Stop Session::advanceTo(const std::vector<std::uint16_t>& addresses) {
    for (const std::uint16_t address : addresses) {
        breakAt_[address] |= targetMark;
    }
    anyBreakpoint_ = anyBreakpoint_ || !addresses.empty();
    const Stop stop = forward(unlimited, false);
    rebuildStops();
    return stop;
}

Stop Session::stepForward(std::uint64_t n) {
    return forward(n, false);
}

Stop Session::reverseStep(std::uint64_t n) {
    if (!historyOn()) {
        return stopHere(Stop::Reason::NoHistory);
    }
    const std::uint64_t oldest = oldestReachable();
    if (step_ - oldest < n || (step_ == oldest && n > 0)) {
        goTo(oldest);
        Stop stop = stopHere(Stop::Reason::HistoryStart);
        stop.historyDropped = oldest > 0;
        stop.backward = true;
        return stop;
    }
    goTo(step_ - n);
    Stop stop = stopHere(Stop::Reason::SteppedBack);
    stop.backward = true;
    return stop;
}

Stop Session::seek(std::uint64_t target) {
    if (!historyOn()) {
        return stopHere(Stop::Reason::NoHistory);
    }
    const std::uint64_t from = step_;
    target = std::clamp(target, oldestReachable(), std::max(frontier_, step_));
    goTo(target);
    return stopHere(target < from ? Stop::Reason::SteppedBack : Stop::Reason::Stepped);
}

// Replays snapshot `index` up to step `end` and keeps in `scan` the last step
// at or after `oldest` whose instruction is at a breakpoint or writes a
// watched location; true when it found one.
bool Session::scanInterval(std::size_t index, std::uint64_t end, std::uint64_t oldest, Scan& scan) {
    restore(snapshots_[index]);
    replaying_ = true;
    scan.found = false;
    if (!anyWatch_) {
        while (step_ < end && !(scan.interrupted = interrupted())) {
            const Machine::RunResult result =
                machine_.runUntil(std::min(end - step_, interruptChunk), breakAt_.data());
            step_ += result.steps;
            if (result.end == Machine::RunResult::End::StepLimit) {
                continue;
            }
            if (result.end != Machine::RunResult::End::Stopped || step_ >= end) {
                break;
            }
            if (step_ >= oldest && (breakAt_[machine_.programCounter] & breakpointMark) != 0) {
                Stop stop = stopHere(Stop::Reason::Breakpoint);
                stop.point = breakpointAt(machine_.programCounter, stop.conditionError);
                if (stop.point != 0) {
                    scan = {true, step_, std::move(stop)};
                }
            }
            machine_.step();
            ++step_;
        }
    } else {
        std::vector<Word> before(points_.size());
        StepEffect effect;
        while (step_ < end && !(scan.interrupted = interrupted())) {
            Stop stop = stopHere(Stop::Reason::Breakpoint);
            if (step_ >= oldest && (breakAt_[machine_.programCounter] & breakpointMark) != 0) {
                stop.point = breakpointAt(machine_.programCounter, stop.conditionError);
            }
            for (std::size_t i = 0; i < points_.size(); ++i) {
                before[i] = valueOf(points_[i]);
            }
            machine_.step(effect);
            ++step_;
            if (stop.point == 0 && step_ > oldest) {
                // The watchpoints written, their conditions in the state after the write.
                stop.reason = Stop::Reason::Watchpoint;
                for (std::size_t i = 0; i < points_.size(); ++i) {
                    const Point& point = points_[i];
                    if (writes(point, effect) && conditionHolds(point, stop.conditionError)) {
                        if (stop.points.empty()) {
                            stop.point = point.number;
                            stop.oldValue = before[i];
                            stop.newValue = effect.value;
                        }
                        stop.points.push_back(point.number);
                    }
                }
            }
            if (stop.point != 0) {
                scan = {true, step_ - 1, std::move(stop)};
            }
        }
    }
    replaying_ = false;
    return scan.found;
}

Stop Session::reverseContinue() {
    if (!historyOn()) {
        return stopHere(Stop::Reason::NoHistory);
    }
    const std::uint64_t oldest = oldestReachable();
    const std::uint64_t current = step_;
    if (current > oldest && (anyBreakpoint_ || anyWatch_)) {
        auto after =
            std::upper_bound(snapshots_.begin(), snapshots_.end(), current - 1,
                             [](std::uint64_t step, const Snapshot& s) { return step < s.step; });
        auto index = static_cast<std::size_t>(after - snapshots_.begin()) - 1;
        Scan scan;
        // The steps from here to `current` hold no stop.
        std::uint64_t clear = current;
        while (true) {
            const std::uint64_t end = index + 1 < snapshots_.size()
                                          ? std::min(snapshots_[index + 1].step, current)
                                          : current;
            const bool found = scanInterval(index, end, oldest, scan);
            if (scan.interrupted) {
                // Back as far as the scan has seen whole, where a reverse
                // command can go on from.
                goTo(clear);
                return stopHere(Stop::Reason::Interrupted);
            }
            clear = std::max(snapshots_[index].step, oldest);
            if (found) {
                goTo(scan.step);
                Stop& stop = scan.stop;
                stop.backward = true;
                const Point* point = find(stop.point);
                if (stop.reason == Stop::Reason::Breakpoint && point != nullptr &&
                    point->temporary) {
                    stop.temporary = true;
                    remove(stop.point);
                }
                return stop;
            }
            if (index == 0 || snapshots_[index].step <= oldest) {
                break;
            }
            --index;
        }
    }
    goTo(oldest);
    Stop stop = stopHere(Stop::Reason::HistoryStart);
    stop.historyDropped = oldest > 0;
    stop.backward = true;
    return stop;
}

// ---------------------------------------------------------------------------
// Where a value came from

// A step that wrote the location, and the state just before it ran. With
// found false: no step after `step` (the oldest kept, or a change by hand)
// wrote it.
struct Session::Write {
    bool found = false;
    std::uint64_t step = 0;
    std::uint16_t address = 0;
    Word instruction;
    Word value;
    Register::Registers registers;
    std::uint64_t tapePosition = 0;
};

namespace {

// Whether the instruction `word` may write `location`: stores always (they
// may also change an instruction, so the stops are kept up to date at each).
bool mayWrite(Word word, const Location& location) {
    const Operation op = word.opcode();
    switch (shapeOf(op).writes) {
        case Writes::Nothing:
            return false;
        case Writes::Register1:
            return location.kind == Location::Kind::Register && word.register1() == location.reg;
        case Writes::ImplicitRegister:
            return location.kind == Location::Kind::Register &&
                   implicitRegister(op) == location.reg;
        case Writes::WordAtAddress:
        case Writes::WordAtPointer:
            return true;
    }
    return true;
}

bool wrote(const StepEffect& effect, const Location& location) {
    return location.kind == Location::Kind::Register
               ? effect.kind == StepEffect::Kind::Register && effect.reg == location.reg
               : effect.kind == StepEffect::Kind::Memory && effect.address == location.address;
}

}  // namespace

// Replays the interval from snapshot `index` up to step `end`, stopping only
// where the location may be written; keeps the last write in `found`.
bool Session::lastWriteIn(std::size_t index, std::uint64_t end, const Location& location,
                          std::optional<Write>& found) {
    restore(snapshots_[index]);
    replaying_ = true;
    std::vector<std::uint8_t> stops(Machine::memorySize);
    for (std::size_t address = 0; address < stops.size(); ++address) {
        stops[address] = mayWrite(machine_.memory[address], location) ? 1 : 0;
    }
    StepEffect effect;
    while (step_ < end) {
        const Machine::RunResult result = machine_.runUntil(end - step_, stops.data());
        step_ += result.steps;
        if (result.end != Machine::RunResult::End::Stopped || step_ >= end) {
            break;
        }
        Write write{true,
                    step_ + 1,
                    machine_.programCounter,
                    machine_.memory[machine_.programCounter],
                    {},
                    machine_.registers,
                    tapePosition_};
        try {
            machine_.step(effect);
        } catch (const Word::InvalidAddressInOperation&) {
            break;  // (a step that faulted never counted as run)
        }
        ++step_;
        if (wrote(effect, location)) {
            write.value = effect.value;
            found = write;
        }
        if (effect.kind == StepEffect::Kind::Memory) {
            stops[effect.address] = mayWrite(machine_.memory[effect.address], location) ? 1 : 0;
        }
    }
    replaying_ = false;
    return found.has_value();
}

// The last step at or before `upTo` that wrote the location, going back one
// interval between snapshots at a time.
std::optional<Session::Write> Session::lastWrite(const Location& location, std::uint64_t upTo) {
    const std::uint64_t oldest = oldestReachable();
    Write none;
    none.step = oldest;
    if (upTo <= oldest) {
        return none;
    }
    auto after =
        std::upper_bound(snapshots_.begin(), snapshots_.end(), upTo - 1,
                         [](std::uint64_t step, const Snapshot& s) { return step < s.step; });
    auto index = static_cast<std::size_t>(after - snapshots_.begin()) - 1;
    while (true) {
        const std::uint64_t end =
            index + 1 < snapshots_.size() ? std::min(snapshots_[index + 1].step, upTo) : upTo;
        std::optional<Write> found;
        if (lastWriteIn(index, end, location, found)) {
            if (found->step > oldest) {
                return found;
            }
            return none;
        }
        const Snapshot& snapshot = snapshots_[index];
        if (index == 0 || snapshot.step <= oldest || (snapshot.keep && snapshot.step > 0)) {
            none.step = std::max(oldest, snapshot.step);
            return none;
        }
        --index;
    }
}

std::vector<OriginLink> Session::origin(Location location, std::uint64_t step,
                                        std::size_t maxLinks) {
    std::vector<OriginLink> links;
    if (!historyOn() || maxLinks == 0) {
        return links;
    }
    const std::uint64_t current = step_;
    struct Pending {
        Location location;
        std::uint64_t upTo;
        int depth;
    };
    std::vector<Pending> pending{{location, std::min(step, current), 0}};
    while (!pending.empty()) {
        const Pending next = pending.back();
        pending.pop_back();
        if (links.size() == maxLinks) {
            // More to follow than the limit allows: said by a last link.
            OriginLink cut;
            cut.source = OriginLink::Source::NotFollowed;
            cut.depth = next.depth;
            cut.location = next.location;
            links.push_back(cut);
            break;
        }
        OriginLink link;
        link.depth = next.depth;
        link.location = next.location;
        const std::optional<Write> write = lastWrite(next.location, next.upTo);
        if (!write || !write->found) {
            const std::uint64_t since = write ? write->step : 0;
            const bool image = next.location.kind != Location::Kind::Register &&
                               next.location.address < program_.words().size();
            link.source = since > 0 ? OriginLink::Source::BeforeKept
                          : image   ? OriginLink::Source::Image
                                    : OriginLink::Source::Start;
            link.step = since;
            goTo(since);
            link.value = next.location.kind == Location::Kind::Register
                             ? machine_.registers.at(next.location.reg)
                             : machine_.memory[next.location.address];
            links.push_back(link);
            continue;
        }
        link.step = write->step;
        link.address = write->address;
        link.instruction = write->instruction;
        link.value = write->value;
        const Operation op = write->instruction.opcode();
        if (op == Operation::Read) {
            link.source = OriginLink::Source::Input;
            link.input = write->tapePosition + 1;
        }
        links.push_back(link);
        if (link.source != OriginLink::Source::Step) {
            continue;
        }
        // The values the step used, the one written last first on the stack.
        const std::uint64_t before = write->step - 1;
        const Word instruction = write->instruction;
        const auto reg = [&](RegisterId id) { return Location{Location::Kind::Register, id, 0}; };
        const auto word = [&](std::uint16_t address) {
            return Location{Location::Kind::Memory, RegisterId::A, address};
        };
        std::vector<Location> sources;
        switch (op) {
            case Operation::Load:
                sources.push_back(word(instruction.address()));
                break;
            case Operation::Loadi:
                sources.push_back(word(write->registers.at(instruction.register2()).address()));
                break;
            case Operation::Store:
            case Operation::Storei:
            case Operation::Incr:
            case Operation::Decr:
            case Operation::Neg:
                sources.push_back(reg(instruction.register1()));
                break;
            case Operation::Add:
            case Operation::Sub:
                sources.push_back(reg(accumulatorRegister));
                sources.push_back(reg(instruction.register1()));
                break;
            case Operation::Noop:
            case Operation::Zero:
            case Operation::Jz:
            case Operation::Jn:
            case Operation::Jump:
            case Operation::Read:
            case Operation::Write:
                break;
        }
        for (auto source = sources.rbegin(); source != sources.rend(); ++source) {
            pending.push_back({*source, before, next.depth + 1});
        }
    }
    goTo(current);
    return links;
}

// ---------------------------------------------------------------------------
// Changes by hand

void Session::setRegister(RegisterId reg, Word value) {
    machine_.registers.at(reg) = value;
    changedByHand();
}

void Session::setMemory(std::uint16_t address, Word value) {
    machine_.memory[address] = value;
    changedByHand();
}

void Session::setProgramCounter(std::uint16_t address) {
    machine_.programCounter = address;
    changedByHand();
}

// Later snapshots belong to a run that no longer happens; the new state is
// the start of the one that does.
void Session::changedByHand() {
    if (outputLog_.size() > written_) {
        outputLog_.resize(static_cast<std::size_t>(written_));
    }
    if (historyOn()) {
        while (!snapshots_.empty() && snapshots_.back().step >= step_) {
            snapshots_.pop_back();
        }
        takeSnapshot(true);
    }
    frontier_ = step_;
}

}  // namespace Vorn::Debug
