#include "dap/Adapter.h"

#include <algorithm>
#include <stdexcept>

#include "dap/Requests.h"
#include "text/Number.h"

namespace Vorn::Dap {

namespace {

using Debug::Stop;

// A hit count: how many times a breakpoint is reached before it stops. "N"
// or ">= N" stops from the Nth time on, "> N" after it, "== N" only then,
// "% N" every Nth time.
struct HitCondition {
    enum class Kind : std::uint8_t { Always, AtLeast, Above, Exactly, Every };
    Kind kind = Kind::Always;
    std::uint64_t count = 0;

    bool met(std::uint64_t hits) const {
        switch (kind) {
            case Kind::Always:
                return true;
            case Kind::AtLeast:
                return hits >= count;
            case Kind::Above:
                return hits > count;
            case Kind::Exactly:
                return hits == count;
            case Kind::Every:
                return count != 0 && hits % count == 0;
        }
        return true;
    }

    // As the session's ignore count, after `hits` already counted: the hits
    // that pass before the next one that stops.
    std::uint64_t ignored(std::uint64_t hits) const {
        if (kind == Kind::Every) {
            return count == 0 ? 0 : count - 1 - hits % count;
        }
        const std::uint64_t passed = (kind == Kind::AtLeast || kind == Kind::Exactly) && count > 0
                                         ? count - 1
                                     : kind == Kind::Above ? count
                                                           : 0;
        return passed > hits ? passed - hits : 0;
    }
    // Whether no later hit stops: the session's point is disabled.
    bool spent(std::uint64_t hits) const {
        return (kind == Kind::Exactly && hits >= count) || (kind == Kind::Every && count == 0);
    }
};

std::optional<HitCondition> parseHitCondition(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return HitCondition{};
    }
    text = text.substr(first, text.find_last_not_of(" \t") + 1 - first);
    HitCondition condition{HitCondition::Kind::AtLeast, 0};
    for (const auto& [prefix, kind] :
         {std::pair{">=", HitCondition::Kind::AtLeast},
          std::pair{"==", HitCondition::Kind::Exactly}, std::pair{">", HitCondition::Kind::Above},
          std::pair{"%", HitCondition::Kind::Every}}) {
        if (text.starts_with(prefix)) {
            condition.kind = kind;
            text.remove_prefix(std::string_view(prefix).size());
            break;
        }
    }
    text.remove_prefix(std::min(text.find_first_not_of(" \t"), text.size()));
    const auto number = Text::parseInteger(text);
    if (!number || *number < 0 || text.starts_with('-') || text.starts_with('+')) {
        return std::nullopt;
    }
    condition.count = static_cast<std::uint64_t>(*number);
    return condition;
}

}  // namespace

struct Adapter::Breakpoint {
    enum class Kind : std::uint8_t { Source, Function, Instruction, Data };
    Kind kind = Kind::Source;
    int id = 0;
    // As the client asked for it.
    std::int32_t requestedLine = 0;  // Source
    std::string name;         // Function: the label; Instruction: the reference; Data: the id
    std::int64_t offset = 0;  // Instruction: bytes from the reference
    HitCondition hit;
    std::string condition;  // in the debugger's expressions; empty: none
    std::string problem;    // why it cannot be set, before the program is known
    // As it is set.
    bool verified = false;
    std::string message;
    std::uint16_t address = 0;      // code: where it stops; data: the word watched
    std::int32_t line = 0;          // the source line of `address`
    std::optional<RegisterId> reg;  // data: the register watched
    // The hits counted before its point in the session was last set; the
    // point counts on from 0.
    std::uint64_t hits = 0;
};

struct Adapter::Launch {
    std::string program;
    bool image = false;
    std::vector<std::int32_t> input;
    std::optional<std::string> inputFile;
    bool stopOnEntry = false;
    bool noDebug = false;
    bool strict = false;  // running into a data word or an unfilled cell is a fault
    std::optional<std::uint64_t> history;
};

namespace {

Adapter::Launch parseLaunch(const Json& arguments) {
    Adapter::Launch launch;
    launch.program = requiredString(arguments, "program");
    launch.image = flagArgument(arguments, "image");
    launch.stopOnEntry = flagArgument(arguments, "stopOnEntry");
    launch.noDebug = flagArgument(arguments, "noDebug");
    launch.strict = flagArgument(arguments, "strict");
    for (const Json& number : listArgument(arguments, "input")) {
        if (!number.is_number_integer() || number.get<std::int64_t>() < INT32_MIN ||
            number.get<std::int64_t>() > INT32_MAX) {
            fail("The input holds " + Protocol::bodyOf(number) +
                 ": read takes whole numbers from -2147483648 to 2147483647.");
        }
        launch.input.push_back(static_cast<std::int32_t>(number.get<std::int64_t>()));
    }
    launch.inputFile = stringArgument(arguments, "inputFile");
    if (launch.inputFile && !launch.input.empty()) {
        fail("Give the input as 'input' or as 'inputFile', not both.");
    }
    if (const auto history = integerArgument(arguments, "history")) {
        if (*history < 0) {
            fail("The history is a number of steps: " + std::to_string(*history) + " is negative.");
        }
        launch.history = static_cast<std::uint64_t>(*history);
    }
    return launch;
}

}  // namespace

Adapter::Adapter(Environment environment, Send send, const std::atomic<bool>* interrupt)
    : environment_(std::move(environment)), send_(std::move(send)), interrupt_(interrupt) {}

Adapter::~Adapter() = default;

// ---------------------------------------------------------------------------
// Messages

Json Adapter::event(const std::string& name, Json body) {
    Json message{{"type", "event"}, {"event", name}};
    if (!body.is_null()) {
        message["body"] = std::move(body);
    }
    return message;
}

// Every message goes out here, numbered in the order sent; the program's
// output waiting in its buffer goes first.
void Adapter::send(Json message) {
    flushOutput();
    message["seq"] = seq_++;
    send_(message);
}

void Adapter::flushOutput() {
    if (output_.empty()) {
        return;
    }
    Json message{{"seq", seq_++},
                 {"type", "event"},
                 {"event", "output"},
                 {"body", {{"category", "stdout"}, {"output", std::move(output_)}}}};
    output_.clear();
    send_(message);
}

void Adapter::sendEvent(const std::string& name, Json body) {
    send(event(name, std::move(body)));
}

void Adapter::respond(const Json& request, bool success, Json body, const std::string& message) {
    Json response{{"type", "response"},
                  {"request_seq", request.value("seq", Json(0))},
                  {"success", success},
                  {"command", request.value("command", Json(""))}};
    if (!message.empty()) {
        response["message"] = message;
    }
    if (!body.is_null()) {
        response["body"] = std::move(body);
    }
    send(std::move(response));
}

void Adapter::frameError(const std::string& problem) {
    sendEvent("output", {{"category", "console"},
                         {"output", "vorndbg: a message was dropped: " + problem + "\n"}});
}

void Adapter::handleBody(std::string_view body) {
    const Protocol::ParsedBody parsed = Protocol::parseBody(body);
    if (!parsed.message) {
        frameError(parsed.problem);
        return;
    }
    handle(*parsed.message);
}

void Adapter::handle(const Json& message) {
    if (!message.is_object()) {
        frameError("a message is a JSON object");
        return;
    }
    const std::string type = message.value("type", Json("")).is_string()
                                 ? message.value("type", std::string())
                                 : std::string();
    if (type != "request") {
        if (type != "response" && type != "event") {
            frameError("a message's type is request, response or event");
        }
        return;  // the adapter sends no requests, and takes no events
    }
    // The answer names the request by its seq and command, as far as they are usable.
    const auto seq = message.find("seq");
    const auto name = message.find("command");
    const bool seqUsable = seq != message.end() && seq->is_number_integer();
    const bool commandUsable = name != message.end() && name->is_string();
    const Json request{{"seq", seqUsable ? *seq : Json(0)},
                       {"command", commandUsable ? *name : Json("")}};
    if (!commandUsable) {
        respond(request, false, nullptr, "A request's command is a string.");
        return;
    }
    if (!seqUsable) {
        respond(request, false, nullptr, "A request's seq is a whole number.");
        return;
    }
    const std::string command = name->get<std::string>();
    const Json arguments = message.contains("arguments") ? message["arguments"] : Json::object();
    std::vector<Json> after;
    try {
        if (!arguments.is_object()) {
            fail("The arguments of a request are an object.");
        }
        if (!initialized_ && command != "initialize" && command != "disconnect") {
            fail("The adapter is not initialized: the first request is initialize.");
        }
        Json body = this->request(command, arguments, after);
        respond(request, true, std::move(body), "");
    } catch (const RequestError& error) {
        respond(request, false, nullptr, error.message);
        after.clear();
    } catch (const Json::exception& error) {
        respond(request, false, nullptr, error.what());
        after.clear();
    } catch (const std::bad_alloc&) {
        respond(request, false, nullptr, "out of memory");
        after.clear();
    }
    for (const Json& message_ : after) {
        send(message_);
    }
}

Json Adapter::request(const std::string& command, const Json& arguments, std::vector<Json>& after) {
    if (command == "initialize") {
        return initialize(arguments);
    }
    if (command == "launch") {
        return launch(arguments, after);
    }
    if (command == "restart") {
        const Json* configuration = argument(arguments, "arguments");
        if (launch_ == nullptr) {
            fail("No program is running: launch one first.");
        }
        const Launch next = configuration != nullptr ? parseLaunch(*configuration) : *launch_;
        for (Breakpoint& breakpoint : breakpoints_) {
            breakpoint.hits = 0;
        }
        start(next);
        started_ = false;
        after.push_back(
            event("output", {{"category", "console"}, {"output", "Restarted from step 0.\n"}}));
        startRunning(after);
        return nullptr;
    }
    if (command == "attach") {
        fail("vorndbg starts its program with launch; it cannot attach to one.");
    }
    if (command == "configurationDone") {
        return configurationDone(after);
    }
    if (command == "disconnect" || command == "terminate") {
        motion_ = Motion::None;
        if (command == "terminate") {
            after.push_back(event("terminated"));
        } else {
            finished_ = true;
            disconnected_ = true;
        }
        return nullptr;
    }
    if (command == "threads") {
        return {{"threads", Json::array({{{"id", threadId}, {"name", "machine"}}})}};
    }
    if (command == "setBreakpoints") {
        return setBreakpoints(arguments);
    }
    if (command == "setFunctionBreakpoints") {
        return setFunctionBreakpoints(arguments);
    }
    if (command == "setInstructionBreakpoints") {
        return setInstructionBreakpoints(arguments);
    }
    if (command == "setExceptionBreakpoints") {
        return {{"breakpoints", Json::array()}};  // a fault always stops
    }
    if (command == "dataBreakpointInfo") {
        return dataBreakpointInfo(arguments);
    }
    if (command == "setDataBreakpoints") {
        return setDataBreakpoints(arguments);
    }
    if (command == "pause") {
        if (motion_ != Motion::None) {
            motion_ = Motion::None;
            Stop stop;
            stop.reason = Stop::Reason::Interrupted;
            report(stop, after);
        }
        return nullptr;
    }
    if (command == "continue" || command == "reverseContinue") {
        Debug::Session& debugged = session();
        if (debugged.machine().halted()) {
            fail("The program has halted: restart runs it again.");
        }
        if (command == "reverseContinue" && launch_->history == std::uint64_t{0}) {
            fail("No history to go back in: the session runs with history 0.");
        }
        motion_ = command == "continue" ? Motion::Forward : Motion::Backward;
        return {{"allThreadsContinued", true}};
    }
    if (command == "next" || command == "stepIn" || command == "stepBack" || command == "stepOut") {
        return step(command, after);
    }
    if (command == "stackTrace") {
        return stackTrace(arguments);
    }
    if (command == "scopes") {
        return scopes(arguments);
    }
    if (command == "variables") {
        return variables(arguments);
    }
    if (command == "setVariable") {
        return setVariable(arguments, after);
    }
    if (command == "evaluate") {
        return evaluate(arguments, after);
    }
    if (command == "readMemory") {
        return readMemory(arguments);
    }
    if (command == "writeMemory") {
        return writeMemory(arguments, after);
    }
    if (command == "disassemble") {
        return disassemble(arguments);
    }
    if (command == "gotoTargets") {
        return gotoTargets(arguments);
    }
    if (command == "goto") {
        return gotoLine(arguments, after);
    }
    if (command == "exceptionInfo") {
        return exceptionInfo();
    }
    if (command == "loadedSources") {
        return loadedSources();
    }
    fail("Unknown request " + inQuotes(command) + ".");
}

// ---------------------------------------------------------------------------
// Starting

Json Adapter::initialize(const Json& arguments) {
    if (initialized_) {
        fail("The adapter is already initialized.");
    }
    const Json* linesStartAt1 = argument(arguments, "linesStartAt1");
    linesStartAt1_ =
        linesStartAt1 == nullptr || !linesStartAt1->is_boolean() || linesStartAt1->get<bool>();
    invalidatedEvents_ = flagArgument(arguments, "supportsInvalidatedEvent");
    memoryEvents_ = flagArgument(arguments, "supportsMemoryEvent");
    initialized_ = true;
    return {{"supportsConfigurationDoneRequest", true},
            {"supportsFunctionBreakpoints", true},
            {"supportsConditionalBreakpoints", true},
            {"supportsHitConditionalBreakpoints", true},
            {"supportsEvaluateForHovers", true},
            {"exceptionBreakpointFilters", Json::array()},
            {"supportsStepBack", true},
            {"supportsSetVariable", true},
            {"supportsRestartFrame", false},
            {"supportsGotoTargetsRequest", true},
            {"supportsStepInTargetsRequest", false},
            {"supportsCompletionsRequest", false},
            {"supportsModulesRequest", false},
            {"supportsRestartRequest", true},
            {"supportsExceptionOptions", false},
            {"supportsValueFormattingOptions", true},
            {"supportsExceptionInfoRequest", true},
            {"supportTerminateDebuggee", false},
            {"supportsDelayedStackTraceLoading", false},
            {"supportsLoadedSourcesRequest", true},
            {"supportsLogPoints", false},
            {"supportsTerminateThreadsRequest", false},
            {"supportsSetExpression", false},
            {"supportsTerminateRequest", true},
            {"supportsDataBreakpoints", true},
            {"supportsReadMemoryRequest", true},
            {"supportsWriteMemoryRequest", true},
            {"supportsDisassembleRequest", true},
            {"supportsCancelRequest", false},
            {"supportsBreakpointLocationsRequest", false},
            {"supportsSteppingGranularity", false},
            {"supportsInstructionBreakpoints", true}};
}

Json Adapter::launch(const Json& arguments, std::vector<Json>& after) {
    if (launch_ != nullptr) {
        fail("A program is already launched: restart runs it again.");
    }
    start(parseLaunch(arguments));
    after.push_back(event("initialized"));
    if (configured_) {
        startRunning(after);
    }
    return nullptr;
}

Json Adapter::configurationDone(std::vector<Json>& after) {
    configured_ = true;
    if (launch_ != nullptr && !started_) {
        startRunning(after);
    }
    return nullptr;
}

void Adapter::start(const Launch& launch) {
    Program program;
    std::function<InputResult()> input;
    try {
        program = environment_.loadProgram(launch.program, launch.image);
        if (launch.inputFile) {
            input = environment_.openInput(*launch.inputFile);
        }
    } catch (const std::runtime_error& error) {
        fail(error.what());
    }
    Debug::Session::Options options;
    if (launch.history) {
        options.historyLimit = *launch.history;
    }
    options.input = std::move(input);
    // Past its input the program stops at its read, for the user to give more.
    options.ask = []() -> InputResult { throw MachineIO::Stop(); };
    // The numbers written go out in batches: a program that writes in a
    // tight loop would otherwise send an event for each. A raised interrupt
    // stops the run at the write (which then has not happened): a writing
    // loop is slow to reach the session's own checks.
    options.output = [this](std::int32_t value) {
        if (interrupt_ != nullptr && interrupt_->load(std::memory_order_relaxed)) {
            throw MachineIO::Stop();
        }
        output_ += std::to_string(value);
        output_ += '\n';
        if (output_.size() >= outputBatch) {
            flushOutput();
        }
    };
    options.interrupt = interrupt_;
    options.limits.strict = launch.strict;
    motion_ = Motion::None;
    lastFault_.reset();
    commands_.reset();
    session_ = std::make_unique<Debug::Session>(std::move(program), std::move(options));
    commands_ = std::make_unique<Debug::CommandInterpreter>(*session_, commandOut_, commandErrors_);
    pointIds_.clear();  // the points of the session before
    for (const std::int32_t number : launch.input) {
        session_->appendInput(number);
    }
    launch_ = std::make_unique<Launch>(launch);
    instructionWords_.clear();
    for (const Assembly::ProgramCell& cell : session_->program().cells()) {
        if (cell.isInstruction) {
            instructionWords_.push_back(cell.word);
        }
    }
    std::sort(instructionWords_.begin(), instructionWords_.end(),
              [](Word a, Word b) { return a.bits() < b.bits(); });
    // Each line's first instruction, for the breakpoints on lines.
    const Program& loaded = session_->program();
    lineStarts_.assign(loaded.lines().size() + 1, -1);
    for (std::size_t address = loaded.cells().size(); address-- > 0;) {
        const Assembly::ProgramCell& cell = loaded.cells()[address];
        if (cell.isInstruction && cell.line >= 1 &&
            static_cast<std::size_t>(cell.line) < lineStarts_.size()) {
            lineStarts_[static_cast<std::size_t>(cell.line)] = static_cast<std::int32_t>(address);
        }
    }
    syncPoints();
}

void Adapter::startRunning(std::vector<Json>& after) {
    started_ = true;
    if (launch_->stopOnEntry) {
        std::string description;
        Stop stop;
        stop.reason = Stop::Reason::Interrupted;
        stopText(stop, {}, description);
        description = "Entry" + description.substr(description.find(';'));
        after.push_back(event("stopped", {{"reason", "entry"},
                                          {"description", description},
                                          {"threadId", threadId},
                                          {"allThreadsStopped", true}}));
        return;
    }
    motion_ = Motion::Forward;
}

Debug::Session& Adapter::session() {
    if (session_ == nullptr) {
        fail("No program is running: launch one first.");
    }
    return *session_;
}

// ---------------------------------------------------------------------------
// Breakpoints

Json Adapter::sourceJson() const {
    const std::string& path = launch_->program;
    return {{"name", path.substr(path.find_last_of('/') + 1)}, {"path", path}};
}

std::int32_t Adapter::clientLine(std::int32_t line) const {
    return linesStartAt1_ ? line : line - 1;
}

std::int32_t Adapter::adapterLine(std::int64_t line) const {
    const std::int64_t ours = linesStartAt1_ ? line : line + 1;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(ours, -1, INT32_MAX));
}

// The first instruction on `line` or, when it has none, on the next line
// that has one.
std::optional<std::uint16_t> Adapter::lineAddress(std::int32_t line, std::int32_t& movedTo,
                                                  std::string& problem) const {
    const Program& program = session_->program();
    if (!program.hasSource()) {
        problem = "An image has no source lines: launch the source.";
        return std::nullopt;
    }
    const auto lines = static_cast<std::int32_t>(program.lines().size());
    if (line < 1 || line > lines) {
        problem = "Line " + std::to_string(line) + " is out of range: the source has " +
                  std::to_string(lines) + " lines.";
        return std::nullopt;
    }
    for (std::int32_t next = line; next <= lines; ++next) {
        if (const std::int32_t address = lineStarts_[static_cast<std::size_t>(next)];
            address >= 0) {
            movedTo = next;
            return static_cast<std::uint16_t>(address);
        }
    }
    problem = "No instruction on line " + std::to_string(line) + " or after it.";
    return std::nullopt;
}

// Sets every breakpoint and data breakpoint in the session anew, each
// checked against the program as it is now.
void Adapter::syncPoints() {
    if (session_ == nullptr) {
        return;
    }
    const Program& program = session_->program();
    // Only the points set here: those of the console's break and watch
    // stay. Each breakpoint keeps the hits its point counted.
    for (const auto& [number, id] : pointIds_) {
        if (Breakpoint* breakpoint = breakpointWithId(id)) {
            breakpoint->hits = hitsOf(*breakpoint);
        }
    }
    for (const auto& [number, id] : pointIds_) {
        session_->remove(number);
    }
    pointIds_.clear();
    for (Breakpoint& breakpoint : breakpoints_) {
        breakpoint.verified = false;
        breakpoint.message = breakpoint.problem;
        breakpoint.line = 0;
        if (!breakpoint.problem.empty()) {
            continue;
        }
        switch (breakpoint.kind) {
            case Breakpoint::Kind::Source: {
                std::int32_t movedTo = 0;
                const auto address =
                    lineAddress(breakpoint.requestedLine, movedTo, breakpoint.message);
                if (!address) {
                    continue;
                }
                breakpoint.address = *address;
                break;
            }
            case Breakpoint::Kind::Function: {
                const auto address = program.labelAddress(breakpoint.name);
                if (!address) {
                    breakpoint.message =
                        "No label " + inQuotes(breakpoint.name) + " in the program.";
                    continue;
                }
                breakpoint.address = *address;
                break;
            }
            case Breakpoint::Kind::Instruction: {
                const auto reference = Text::parseInteger(breakpoint.name);
                const std::int64_t address =
                    reference ? *reference + breakpoint.offset / 4 : std::int64_t{-1};
                if (!reference || breakpoint.offset % 4 != 0 || address < 0 ||
                    address >= static_cast<std::int64_t>(Machine::memorySize)) {
                    breakpoint.message =
                        "No instruction at " + inQuotes(breakpoint.name) +
                        (breakpoint.offset != 0 ? " + " + std::to_string(breakpoint.offset)
                                                : std::string()) +
                        " (an address from 0 to 65535).";
                    continue;
                }
                breakpoint.address = static_cast<std::uint16_t>(address);
                break;
            }
            case Breakpoint::Kind::Data:
                break;
        }
        // The condition is read against the program's names, as break's "if".
        std::shared_ptr<const Debug::Expression> condition;
        if (!breakpoint.condition.empty()) {
            try {
                condition = std::make_shared<const Debug::Expression>(
                    Debug::Expression::parse(breakpoint.condition, program));
            } catch (const Debug::ExpressionError& error) {
                breakpoint.message = error.what();
                continue;
            }
        }
        breakpoint.verified = true;
        breakpoint.message.clear();
        if (breakpoint.kind != Breakpoint::Kind::Data) {
            breakpoint.line = program.lineOf(breakpoint.address);
        }
        if (launch_->noDebug) {
            continue;
        }
        int number = 0;
        if (breakpoint.kind == Breakpoint::Kind::Data) {
            // Named as the terminal would name it: the register, the label, *ADDRESS.
            const std::string* label = program.labelFor(breakpoint.address);
            const Debug::Point& point =
                breakpoint.reg
                    ? session_->addRegisterWatch(*breakpoint.reg,
                                                 std::string(nameOf(*breakpoint.reg)))
                    : session_->addMemoryWatch(
                          breakpoint.address,
                          label != nullptr ? *label : "*" + std::to_string(breakpoint.address));
            number = point.number;
        } else {
            number =
                session_
                    ->addBreakpoint(breakpoint.address, "*" + std::to_string(breakpoint.address))
                    .number;
        }
        pointIds_[number] = breakpoint.id;
        session_->setCondition(number, condition);
        arm(number, breakpoint);
    }
}

// The hit count as the session's ignore count, for the next hits from now:
// the session then runs at full speed past the hits that do not stop.
void Adapter::arm(int number, const Breakpoint& breakpoint) {
    const std::uint64_t hits = hitsOf(breakpoint);
    session_->setIgnoreCount(number, breakpoint.hit.ignored(hits));
    session_->setEnabled(number, !breakpoint.hit.spent(hits));
}

Adapter::Breakpoint* Adapter::breakpointWithId(int id) {
    const auto found = std::find_if(breakpoints_.begin(), breakpoints_.end(),
                                    [id](const Breakpoint& b) { return b.id == id; });
    return found == breakpoints_.end() ? nullptr : &*found;
}

// After a stop going forward, the editor's points that stopped it count
// again towards their next stop ("% N"), or stop no more ("== N").
void Adapter::armStopped(const Stop& stop) {
    if (stop.reason != Stop::Reason::Breakpoint && stop.reason != Stop::Reason::Watchpoint) {
        return;
    }
    for (const int number : stop.points.empty() ? std::vector<int>{stop.point} : stop.points) {
        if (const Breakpoint* breakpoint = breakpointOfPoint(number)) {
            arm(number, *breakpoint);
        }
    }
}

// Its hits so far: those before its point was set, and the point's.
std::uint64_t Adapter::hitsOf(const Breakpoint& breakpoint) const {
    for (const auto& [number, id] : pointIds_) {
        if (id != breakpoint.id) {
            continue;
        }
        for (const Debug::Point& point : session_->points()) {
            if (point.number == number) {
                return breakpoint.hits + point.hits;
            }
        }
    }
    return breakpoint.hits;
}

// The breakpoint the editor set as the session's point `number`, or null
// (a point the console set).
const Adapter::Breakpoint* Adapter::breakpointOfPoint(int number) {
    const auto found = pointIds_.find(number);
    return found == pointIds_.end() ? nullptr : breakpointWithId(found->second);
}

Json Adapter::breakpointJson(const Breakpoint& breakpoint) const {
    Json json{{"id", breakpoint.id}, {"verified", breakpoint.verified}};
    if (!breakpoint.message.empty()) {
        json["message"] = breakpoint.message;
    }
    if (breakpoint.verified && breakpoint.kind != Breakpoint::Kind::Data) {
        json["instructionReference"] = hexAddress(breakpoint.address);
        if (breakpoint.line > 0) {
            json["source"] = sourceJson();
            json["line"] = clientLine(breakpoint.line);
        }
    } else if (breakpoint.kind == Breakpoint::Kind::Source) {
        json["line"] = clientLine(breakpoint.requestedLine);
    }
    if (!breakpoint.verified && launch_ == nullptr) {
        json["reason"] = "pending";
    }
    return json;
}

// Replaces the breakpoints of one kind by those of a request, and answers them.
Json Adapter::replaceBreakpoints(int kind, const Json& list,
                                 const std::function<void(const Json&, Breakpoint&)>& fill) {
    const auto ofKind = static_cast<Breakpoint::Kind>(kind);
    std::vector<Breakpoint> added;
    for (const Json& item : list) {
        if (!item.is_object()) {
            fail("A breakpoint is an object.");
        }
        Breakpoint breakpoint;
        breakpoint.kind = ofKind;
        fill(item, breakpoint);
        const std::string hitCondition = stringArgument(item, "hitCondition").value_or("");
        if (const auto hit = parseHitCondition(hitCondition)) {
            breakpoint.hit = *hit;
        } else if (breakpoint.problem.empty()) {
            breakpoint.problem =
                "The hit count " + inQuotes(hitCondition) + " is not N, >= N, > N, == N or % N.";
        }
        const std::string condition = stringArgument(item, "condition").value_or("");
        if (condition.find_first_not_of(" \t") != std::string::npos) {
            breakpoint.condition = condition;
        }
        added.push_back(std::move(breakpoint));
    }
    // The breakpoints of this kind give way; one set again keeps its id (its
    // number in the stop lines) and its count of hits.
    std::vector<Breakpoint> previous;
    std::erase_if(breakpoints_, [ofKind, &previous](Breakpoint& b) {
        if (b.kind != ofKind) {
            return false;
        }
        previous.push_back(std::move(b));
        return true;
    });
    const std::size_t firstNew = breakpoints_.size();
    for (Breakpoint& breakpoint : added) {
        const auto kept =
            std::find_if(previous.begin(), previous.end(), [&breakpoint](const Breakpoint& old) {
                return old.id != 0 && old.requestedLine == breakpoint.requestedLine &&
                       old.name == breakpoint.name && old.offset == breakpoint.offset;
            });
        if (kept != previous.end()) {
            breakpoint.id = kept->id;
            breakpoint.hits = kept->hits;  // syncPoints adds its point's
            kept->id = 0;                  // taken
        } else {
            breakpoint.id = nextBreakpointId_++;
        }
        breakpoints_.push_back(std::move(breakpoint));
    }
    syncPoints();
    Json answered = Json::array();
    for (std::size_t i = firstNew; i < breakpoints_.size(); ++i) {
        answered.push_back(breakpointJson(breakpoints_[i]));
    }
    return {{"breakpoints", std::move(answered)}};
}

Json Adapter::setBreakpoints(const Json& arguments) {
    const Json* source = argument(arguments, "source");
    if (source == nullptr || !source->is_object()) {
        fail("The argument 'source' is missing.");
    }
    const std::string path = stringArgument(*source, "path").value_or("");
    // The program's own file, however the client spells the part it shares.
    const auto sameFile = [](const std::string& a, const std::string& b) {
        const auto endsWith = [](const std::string& whole, const std::string& end) {
            return whole.size() > end.size() && whole.ends_with(end) &&
                   whole[whole.size() - end.size() - 1] == '/';
        };
        return a == b || endsWith(a, b) || endsWith(b, a);
    };
    std::string problem;
    if (launch_ != nullptr && !sameFile(path, launch_->program)) {
        problem = "Not the program being debugged (" + launch_->program + ").";
    }
    Json list = listArgument(arguments, "breakpoints");
    if (!argument(arguments, "breakpoints")) {
        for (const Json& line : listArgument(arguments, "lines")) {
            list.push_back({{"line", line}});
        }
    }
    return replaceBreakpoints(static_cast<int>(Breakpoint::Kind::Source), list,
                              [&](const Json& item, Breakpoint& breakpoint) {
                                  const auto line = integerArgument(item, "line");
                                  if (!line) {
                                      fail("A source breakpoint has a line.");
                                  }
                                  breakpoint.requestedLine = adapterLine(*line);
                                  breakpoint.problem = problem;
                              });
}

Json Adapter::setFunctionBreakpoints(const Json& arguments) {
    return replaceBreakpoints(static_cast<int>(Breakpoint::Kind::Function),
                              listArgument(arguments, "breakpoints"),
                              [](const Json& item, Breakpoint& breakpoint) {
                                  breakpoint.name = requiredString(item, "name");
                              });
}

Json Adapter::setInstructionBreakpoints(const Json& arguments) {
    return replaceBreakpoints(static_cast<int>(Breakpoint::Kind::Instruction),
                              listArgument(arguments, "breakpoints"),
                              [](const Json& item, Breakpoint& breakpoint) {
                                  breakpoint.name = requiredString(item, "instructionReference");
                                  breakpoint.offset = integerArgument(item, "offset").value_or(0);
                              });
}

namespace {

// A data breakpoint's id: "register:A" or "word:8".
struct DataTarget {
    std::optional<RegisterId> reg;
    std::uint16_t address = 0;
};

std::optional<DataTarget> parseDataId(std::string_view id) {
    if (id.starts_with("register:")) {
        if (const auto reg = registerNamed(id.substr(9))) {
            return DataTarget{reg, 0};
        }
    } else if (id.starts_with("word:")) {
        const auto address = Text::parseInteger(id.substr(5));
        if (address && *address >= 0 && *address < static_cast<std::int64_t>(Machine::memorySize)) {
            return DataTarget{std::nullopt, static_cast<std::uint16_t>(*address)};
        }
    }
    return std::nullopt;
}

}  // namespace

Json Adapter::dataBreakpointInfo(const Json& arguments) {
    const Program& program = session().program();
    std::string name = requiredString(arguments, "name");
    const std::int64_t scope = integerArgument(arguments, "variablesReference").value_or(0);
    const bool asAddress = flagArgument(arguments, "asAddress");
    const auto answer = [](Json dataId, const std::string& description) {
        Json body{{"dataId", std::move(dataId)}, {"description", description}};
        if (!body["dataId"].is_null()) {
            body["accessTypes"] = {"write"};
            body["canPersist"] = true;
        }
        return body;
    };
    if (scope == definitionsScope) {
        return answer(nullptr, "A definition is a number, not a location: it never changes.");
    }
    if (name == "$pc" || name == "$step") {
        return answer(nullptr, name + " changes at every step: use a breakpoint or a step.");
    }
    if (const auto reg = registerNamed(name); reg && !asAddress && scope != labelsScope) {
        return answer("register:" + name, "register " + name);
    }
    // A label, an address, [ADDRESS] or *ADDRESS.
    if (name.size() >= 2 && name.front() == '[' && name.back() == ']') {
        name = name.substr(1, name.size() - 2);
    } else if (name.starts_with('*')) {
        name = name.substr(1);
    }
    std::optional<std::int64_t> address = Text::parseInteger(name);
    std::string description = "the word at address ";
    if (!address && !asAddress) {
        if (const auto label = program.labelAddress(name)) {
            address = *label;
            description = name + ", the word at address ";
        }
    }
    if (!address || *address < 0 || *address >= static_cast<std::int64_t>(Machine::memorySize)) {
        return answer(
            nullptr, inQuotes(name) + " is not a register, a label or an address from 0 to 65535.");
    }
    return answer("word:" + std::to_string(*address), description + std::to_string(*address));
}

Json Adapter::setDataBreakpoints(const Json& arguments) {
    return replaceBreakpoints(
        static_cast<int>(Breakpoint::Kind::Data), listArgument(arguments, "breakpoints"),
        [](const Json& item, Breakpoint& breakpoint) {
            breakpoint.name = requiredString(item, "dataId");
            const auto target = parseDataId(breakpoint.name);
            if (!target) {
                breakpoint.problem = "No data " + inQuotes(breakpoint.name) + " to watch.";
                return;
            }
            breakpoint.reg = target->reg;
            breakpoint.address = target->address;
            const std::string access = stringArgument(item, "accessType").value_or("write");
            if (access != "write") {
                breakpoint.problem =
                    "Only writes can be watched: the machine does not report "
                    "what reads a word.";
            }
        });
}

// ---------------------------------------------------------------------------
// Running

// The ids of the editor's breakpoints that stop the program at a breakpoint
// or watchpoint stop: those whose hit count is met (the session has
// counted the hits going forward), all of them when a condition could not
// be evaluated; a point the console set stops with no id.
std::vector<int> Adapter::stoppingIds(const Stop& stop) {
    std::vector<int> ids;
    bool console = false;
    for (const int number : stop.points.empty() ? std::vector<int>{stop.point} : stop.points) {
        const Breakpoint* breakpoint = breakpointOfPoint(number);
        if (breakpoint == nullptr) {
            console = true;
        } else if (!stop.conditionError.empty() || breakpoint->hit.met(hitsOf(*breakpoint))) {
            ids.push_back(breakpoint->id);
        }
    }
    if (ids.empty() && console) {
        ids.push_back(0);
    }
    return ids;
}

void Adapter::proceed(std::uint64_t steps) {
    if (motion_ == Motion::None) {
        return;
    }
    const bool forward = motion_ == Motion::Forward;
    Debug::Session& debugged = *session_;
    const Stop stop = !forward                             ? debugged.reverseContinue()
                      : steps == Debug::Session::unlimited ? debugged.continueRun()
                                                           : debugged.stepForward(steps);
    if (stop.reason == Stop::Reason::Interrupted ||
        (forward && stop.reason == Stop::Reason::Stepped)) {
        return;  // a message arrived, or the steps ran out: the owner goes on
    }
    if ((stop.reason == Stop::Reason::Breakpoint || stop.reason == Stop::Reason::Watchpoint) &&
        stoppingIds(stop).empty()) {
        return;  // not its count yet: on
    }
    if (forward) {
        armStopped(stop);
    }
    motion_ = Motion::None;
    std::vector<Json> out;
    report(stop, out);
    for (const Json& message : out) {
        send(message);
    }
}

Json Adapter::step(const std::string& command, std::vector<Json>& after) {
    Debug::Session& debugged = session();
    if (command == "stepOut") {
        fail("The machine has no calls: there is no frame to step out of.");
    }
    if (motion_ != Motion::None) {
        fail("The program is running: pause it first.");
    }
    if (debugged.machine().halted()) {
        fail("The program has halted: restart runs it again.");
    }
    const Stop stop = command == "stepBack" ? debugged.reverseStep(1) : debugged.stepForward(1);
    if (stop.reason == Stop::Reason::NoHistory) {
        fail("No history to go back in: the session runs with history 0.");
    }
    if (command != "stepBack") {
        armStopped(stop);
    }
    report(stop, after);
    return nullptr;
}

std::string Adapter::stopText(const Stop& stop, const std::vector<int>& hitIds,
                              std::string& description) {
    commandOut_.str("");
    commandErrors_.str("");
    try {
        commands_->writeStop(stop, true);
    } catch (const std::runtime_error& error) {
        commandOut_ << error.what() << '\n';
    }
    std::string text = commandOut_.str();
    // The stop line, after the warning of a first run into data if there is one.
    const std::size_t line = text.starts_with("Warning: ") ? text.find('\n') + 1 : 0;
    // The terminal numbers its points itself; the editor knows them by its ids.
    const auto renumber = [&](std::size_t at) {
        for (const std::string_view kind :
             {"Breakpoint ", "Watchpoint ", "Error in the condition of breakpoint ",
              "Error in the condition of watchpoint "}) {
            if (!hitIds.empty() && text.compare(at, kind.size(), kind) == 0) {
                const std::size_t number = at + kind.size();
                const std::size_t end = text.find_first_not_of("0123456789", number);
                text.replace(number, end - number, std::to_string(hitIds.front()));
            }
        }
    };
    renumber(line);
    // After a condition's error line, the stop line.
    if (!stop.conditionError.empty() && text.find('\n', line) != std::string::npos) {
        renumber(text.find('\n', line) + 1);
    }
    description = firstLine(text.substr(line));
    return text;
}

// The events of a stop: the terminal's stop line in the console, then
// stopped (or exited and terminated at the halt).
void Adapter::report(const Stop& stop, std::vector<Json>& out) {
    std::string reason = "step";
    std::vector<int> ids;
    if (stop.reason == Stop::Reason::Breakpoint) {
        reason = "breakpoint";  // also one the console set
        ids = stoppingIds(stop);
        if (const Breakpoint* breakpoint = breakpointOfPoint(stop.point)) {
            reason = breakpoint->kind == Breakpoint::Kind::Function      ? "function breakpoint"
                     : breakpoint->kind == Breakpoint::Kind::Instruction ? "instruction breakpoint"
                                                                         : "breakpoint";
        }
    } else if (stop.reason == Stop::Reason::Watchpoint) {
        reason = "data breakpoint";
        ids = stoppingIds(stop);
    } else if (stop.reason == Stop::Reason::Fault) {
        reason = "exception";
        lastFault_ = stop;
    } else if (stop.reason == Stop::Reason::Interrupted ||
               stop.reason == Stop::Reason::InputStopped) {
        reason = "pause";
    }
    std::erase(ids, 0);  // a point the console set
    std::string description;
    out.push_back(
        event("output", {{"category", "console"}, {"output", stopText(stop, ids, description)}}));
    if (stop.reason == Stop::Reason::Halted) {
        out.push_back(event("exited", {{"exitCode", 0}}));
        out.push_back(event("terminated"));
        return;
    }
    if (stop.reason == Stop::Reason::InputStopped) {
        out.push_back(event(
            "output", {{"category", "console"},
                       {"output",
                        "The program reads a number, and its input has run out: type input and "
                        "the numbers (input 1 2 3) here, then continue.\n"}}));
    }
    Json body{{"reason", reason},
              {"description", description},
              {"threadId", threadId},
              {"allThreadsStopped", true}};
    if (!ids.empty()) {
        body["hitBreakpointIds"] = ids;
    }
    if (stop.reason == Stop::Reason::Fault) {
        body["text"] = stop.message;
    }
    out.push_back(event("stopped", std::move(body)));
}

}  // namespace Vorn::Dap
