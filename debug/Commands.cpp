#include "debug/Commands.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <limits>
#include <ostream>
#include <stdexcept>

#include "debug/Origin.h"
#include "machine/Trace.h"

namespace Vorn::Debug {

namespace {

// A command that cannot run: its one line, said in one place (execute).
class CommandError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

std::string_view trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// Splits off the first word; `rest` gets what follows, trimmed.
std::string_view firstWord(std::string_view text, std::string_view& rest) {
    text = trim(text);
    const auto end = std::min(text.find_first_of(" \t"), text.size());
    rest = trim(text.substr(end));
    return text.substr(0, end);
}

std::string quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

// A whole number: decimal with an optional sign, or hexadecimal after 0x.
std::optional<std::int64_t> parseInteger(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
        base = 16;
    }
    std::uint64_t magnitude = 0;
    const char* const end = text.data() + text.size();
    const auto [stop, problem] = std::from_chars(text.data(), end, magnitude, base);
    if (text.empty() || problem != std::errc{} || stop != end || magnitude > (1ull << 62)) {
        return std::nullopt;
    }
    const auto value = static_cast<std::int64_t>(magnitude);
    return negative ? -value : value;
}

std::int64_t integerOrThrow(std::string_view text) {
    const auto value = parseInteger(text);
    if (!value) {
        throw CommandError("Invalid number " + quoted(text) + ".");
    }
    return *value;
}

std::uint64_t countOrThrow(std::string_view text) {
    const std::int64_t value = integerOrThrow(text);
    if (value < 0) {
        throw CommandError("The count must not be negative: " + quoted(text) + ".");
    }
    return static_cast<std::uint64_t>(value);
}

Word wordOrThrow(std::string_view text) {
    const std::int64_t value = integerOrThrow(text);
    if (value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::uint32_t>::max()) {
        throw CommandError("The value " + std::string(text) + " does not fit in a word.");
    }
    return Word(static_cast<std::int32_t>(static_cast<std::uint32_t>(value)));
}

std::uint16_t addressOrThrow(std::int64_t value, std::string_view text) {
    if (value < 0 || value >= static_cast<std::int64_t>(Machine::memorySize)) {
        throw CommandError("Address " + std::string(text) + " is out of range (0 to 65535).");
    }
    return static_cast<std::uint16_t>(value);
}

std::optional<RegisterId> registerNamed(std::string_view name) {
    for (std::size_t i = 0; i < registerCount; ++i) {
        if (registerNames[i] == name) {
            return static_cast<RegisterId>(i);
        }
    }
    return std::nullopt;
}

bool isName(std::string_view text) {
    return !text.empty() && (std::isalpha(static_cast<unsigned char>(text[0])) || text[0] == '_');
}

std::string hexText(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

}  // namespace

// ---------------------------------------------------------------------------
// The table of commands

struct CommandInterpreter::Command {
    std::string_view name;
    std::string_view alias;  // gdb's one- or two-letter name, or empty
    std::string_view usage;
    std::string_view summary;
    std::string_view details;
    void (CommandInterpreter::*run)(std::string_view);
    bool repeats;  // an empty line after it runs it again
};

using C = CommandInterpreter;

// In name order, as help lists them.
const std::array<C::Command, C::commandCount>& CommandInterpreter::table() {
    static const std::array<Command, commandCount> commands{{
        {"break", "b", "break LOC", "Stop before the instruction at LOC runs",
         "LOC is a label (break loop), a source line (break 12) or an address\n"
         "(break *12, break *0x0C). The program stops before the instruction there\n"
         "runs; continue from that address runs it first.",
         &C::doBreak, false},
        {"continue", "c", "continue", "Run until a breakpoint, a watchpoint, a halt or a fault",
         "Runs the instruction at the program counter first, even at a breakpoint.\n"
         "Ctrl-C stops it.",
         &C::doContinue, false},
        {"delete", "d", "delete [N]", "Delete breakpoint or watchpoint N, or all of them",
         "Without N, deletes every breakpoint and watchpoint.", &C::doDelete, false},
        {"help", "h", "help [COMMAND]", "List the commands, or describe one", "", &C::doHelp,
         false},
        {"info", "i", "info breakpoints|registers|history|origin",
         "Show the breakpoints, the registers, the history or a value's origin",
         "info breakpoints (info b): the breakpoints and watchpoints by number.\n"
         "info registers (info r): the 16 registers, $pc and $step.\n"
         "info history: the steps a reverse command can reach and the memory kept.\n"
         "info origin LOC [at STEP]: where the value of LOC (a register, [ADDRESS] or a\n"
         "name's word) came from, now or after step STEP: the step that wrote it, then\n"
         "where the values that step used came from, back to the image, the input or\n"
         "the start (at most 20 links).",
         &C::doInfo, false},
        {"input", "", "input N...", "Append numbers for read to take",
         "The numbers come after those of --input, in order.", &C::doInput, false},
        {"list", "l", "list [LINE|LABEL|-]", "Show the source around the current line",
         "Ten lines around the line of the next instruction, or of LINE or LABEL;\n"
         "\"=>\" marks the line of the next instruction. Another list, or an empty\n"
         "line, goes on with the ten lines after; list - shows the ten before. After\n"
         "the program stops again, list starts around its new line.",
         &C::doList, true},
        {"print", "p", "print X", "Print a register, a memory word, a name, $pc or $step",
         "print A       A = 5        (a register)\n"
         "print [8]     [8] = 5      (a memory word; also [count], [0x08])\n"
         "print count   count = 8    (the number a name stands for)\n"
         "print $pc     $pc = 3      (the address of the next instruction)\n"
         "print $step   $step = 12   (the instructions executed so far)",
         &C::doPrint, false},
        {"quit", "q", "quit", "Leave the debugger", "", &C::doQuit, false},
        {"reverse-continue", "rc", "reverse-continue",
         "Go back to the last breakpoint or watched write before this step",
         "Stops with the machine as it was just before the most recent earlier\n"
         "instruction that is at a breakpoint or writes a watched location; with\n"
         "nothing to stop at, at the start of the history.",
         &C::doReverseContinue, false},
        {"reverse-step", "rs", "reverse-step [N]", "Undo N instructions (default 1)",
         "Registers, memory, the program counter, the position in the input and\n"
         "$step become exactly what they were before the N instructions.",
         &C::doReverseStep, true},
        {"run", "r", "run", "Start again from step 0 and run",
         "Keeps the breakpoints, watchpoints and the input read so far (it is read\n"
         "again in the same order); a breakpoint at the first instruction stops it\n"
         "at once.",
         &C::doRun, false},
        {"set", "", "set A = 5 | set [8] = 5 | set $pc = 3",
         "Change a register, a memory word or the program counter",
         "The steps run after this one are forgotten; the earlier ones stay.\n"
         "set trace-commands on|off echoes each command, \"+\" before it.",
         &C::doSet, false},
        {"step", "s", "step [N]", "Run N instructions (default 1)",
         "Shows the stop and what the last instruction changed. A breakpoint or a\n"
         "watchpoint stops it earlier.",
         &C::doStep, true},
        {"watch", "", "watch LOC",
         "Stop after any instruction that writes a memory word or a register",
         "LOC is a label (watch count), an address (watch *8, watch [8]) or a\n"
         "register (watch A). Writing the value already held stops too.",
         &C::doWatch, false},
        {"x", "", "x ADDR [COUNT]", "Show COUNT memory words from ADDR, with their mnemonic forms",
         "ADDR is an address (x 8, x 0x08, x *8) or a label (x count). An empty\n"
         "line goes on with the words after.",
         &C::doExamine, true},
    }};
    return commands;
}

// A command by its exact name or alias, else by an unambiguous prefix.
const C::Command* CommandInterpreter::findCommand(std::string_view word, std::string& problem) {
    const auto& commands = table();
    for (const C::Command& command : commands) {
        if (command.name == word || command.alias == word) {
            return &command;
        }
    }
    std::vector<const C::Command*> matches;
    for (const C::Command& command : commands) {
        if (command.name.starts_with(word)) {
            matches.push_back(&command);
        }
    }
    if (matches.size() == 1) {
        return matches[0];
    }
    if (matches.empty()) {
        problem = "Undefined command: " + quoted(word) + ".  Try \"help\".";
    } else {
        problem = "Ambiguous command " + quoted(word) + ":";
        for (std::size_t i = 0; i < matches.size(); ++i) {
            problem += (i == 0 ? " " : ", ") + std::string(matches[i]->name);
        }
        problem += ".";
    }
    return nullptr;
}

CommandInterpreter::CommandInterpreter(Session& session, std::ostream& out, std::ostream& errors)
    : session_(session), out_(out), errors_(errors) {}

void CommandInterpreter::error(const std::string& message) {
    out_.flush();
    errors_ << message << std::endl;
}

CommandInterpreter::Result CommandInterpreter::execute(std::string_view line) {
    if (traceCommands_) {
        out_ << '+' << line << '\n';
    }
    std::string text(trim(line));
    repeatingExamine_ = false;
    if (text.empty()) {
        if (repeat_.empty()) {
            return Result::Continue;
        }
        text = repeat_;
        repeatingExamine_ = true;
    }
    if (text[0] == '#') {
        return Result::Continue;
    }
    std::string_view arguments;
    const std::string_view word = firstWord(text, arguments);
    std::string problem;
    const Command* command = findCommand(word, problem);
    if (command == nullptr) {
        error(problem);
        return Result::Continue;
    }
    repeat_ = command->repeats ? text : std::string();
    try {
        dispatch(*command, arguments);
    } catch (const CommandError& failure) {
        error(failure.what());
    }
    out_.flush();
    return quit_ ? Result::Quit : Result::Continue;
}

void CommandInterpreter::dispatch(const Command& command, std::string_view arguments) {
    (this->*command.run)(arguments);
}

// ---------------------------------------------------------------------------
// Names, lines and addresses

namespace {

std::int32_t numberOfName(const Program& program, std::string_view name) {
    if (const Assembly::ProgramSymbol* symbol = program.symbol(name)) {
        if (!symbol->number) {
            throw CommandError("The name " + quoted(name) + " has no value: " + symbol->problem +
                               ".");
        }
        return *symbol->number;
    }
    throw CommandError("No symbol " + quoted(name) + " in the program" +
                       (program.hasSource() ? "." : " (an image has no names; use --source)."));
}

// An address: a number, a label, or either after "*".
std::uint16_t addressOf(const Program& program, std::string_view text) {
    text = trim(text);
    if (text.starts_with('*')) {
        text = trim(text.substr(1));
    }
    if (text.empty()) {
        throw CommandError("Argument required (an address).");
    }
    if (isName(text)) {
        return addressOrThrow(numberOfName(program, text), text);
    }
    return addressOrThrow(integerOrThrow(text), text);
}

// "[8]", "[0x08]", "[count]": the address inside, else nothing.
std::optional<std::uint16_t> bracketedAddress(const Program& program, std::string_view text) {
    if (!text.starts_with('[') || !text.ends_with(']')) {
        return std::nullopt;
    }
    return addressOf(program, text.substr(1, text.size() - 2));
}

std::int32_t lineOrThrow(const Program& program, std::string_view text) {
    if (!program.hasSource()) {
        throw CommandError("No source: a line number needs a program loaded with --source.");
    }
    const std::int64_t line = integerOrThrow(text);
    if (line < 1 || static_cast<std::uint64_t>(line) > program.lines().size()) {
        throw CommandError("Line " + std::string(text) + " is out of range: the source has " +
                           std::to_string(program.lines().size()) + " lines.");
    }
    return static_cast<std::int32_t>(line);
}

}  // namespace

// ---------------------------------------------------------------------------
// Stops

void CommandInterpreter::writeStop(const Stop& stop, bool showStep) {
    const Machine& machine = session_.machine();
    forgetListed();
    if (!stop.warning.empty()) {
        out_ << "Warning: " << stop.warning << '\n';
    }
    switch (stop.reason) {
        case Stop::Reason::NotRunning:
            out_ << "The program is not being run: it has halted (\"run\" starts it again).\n";
            return;
        case Stop::Reason::NoHistory:
            throw CommandError("No history to go back in: the session runs with --history 0.");
        case Stop::Reason::Stepped:
            out_ << "Stepped";
            break;
        case Stop::Reason::SteppedBack:
            out_ << "Stepped back";
            break;
        case Stop::Reason::Breakpoint:
            out_ << "Breakpoint " << stop.point;
            break;
        case Stop::Reason::Watchpoint: {
            out_ << "Watchpoint " << stop.point;
            for (const Point& point : session_.points()) {
                if (point.number == stop.point) {
                    out_ << " (" << point.what << ")";
                }
            }
            out_ << ": old " << stop.oldValue.value() << ", new " << stop.newValue.value();
            break;
        }
        case Stop::Reason::Halted:
            out_ << "The program halted";
            break;
        case Stop::Reason::Fault:
        case Stop::Reason::StepLimit:
        case Stop::Reason::OutputLimit: {
            // The run's sentence, as the start of the stop line.
            std::string message = stop.message;
            if (!message.empty()) {
                message[0] =
                    static_cast<char>(std::toupper(static_cast<unsigned char>(message[0])));
                if (message.back() == '.') {
                    message.pop_back();
                }
            }
            out_ << message;
            break;
        }
        case Stop::Reason::HistoryStart:
            out_ << (stop.historyDropped ? "The oldest step kept in the history"
                                         : "The start of the history");
            break;
        case Stop::Reason::Interrupted:
            out_ << "Interrupted";
            break;
        case Stop::Reason::InputStopped:
            out_ << "Stopped at read: no number was given";
            break;
    }
    out_ << "; $step = " << session_.step() << ", $pc = " << machine.programCounter;
    const Program& program = session_.program();
    if (const std::int32_t line = program.lineOf(machine.programCounter); line > 0) {
        out_ << ", line " << line << ": " << trim(program.lineText(line));
    }
    out_ << '\n';
    if (showStep && stop.last && stop.last->step == session_.step()) {
        writeTraceLine(out_,
                       TracedStep{stop.last->step, stop.last->address, stop.last->instruction,
                                  program.lineOf(stop.last->address)},
                       stop.last->effect, program.labels());
    }
}

// ---------------------------------------------------------------------------
// Running

void CommandInterpreter::doRun(std::string_view) {
    writeStop(session_.run(), false);
}

void CommandInterpreter::doContinue(std::string_view arguments) {
    if (!arguments.empty()) {
        throw CommandError("continue takes no argument.");
    }
    writeStop(session_.continueRun(), false);
}

void CommandInterpreter::doStep(std::string_view arguments) {
    const std::uint64_t count = arguments.empty() ? 1 : countOrThrow(arguments);
    writeStop(session_.stepForward(count), true);
}

void CommandInterpreter::doReverseStep(std::string_view arguments) {
    const std::uint64_t count = arguments.empty() ? 1 : countOrThrow(arguments);
    writeStop(session_.reverseStep(count), false);
}

void CommandInterpreter::doReverseContinue(std::string_view arguments) {
    if (!arguments.empty()) {
        throw CommandError("reverse-continue takes no argument.");
    }
    writeStop(session_.reverseContinue(), false);
}

void CommandInterpreter::doQuit(std::string_view) {
    quit_ = true;
}

// ---------------------------------------------------------------------------
// Breakpoints and watchpoints

void CommandInterpreter::doBreak(std::string_view arguments) {
    const Program& program = session_.program();
    if (arguments.empty()) {
        throw CommandError("Argument required (a label, a line number or *ADDRESS).");
    }
    std::uint16_t address = 0;
    if (arguments.starts_with('*') || isName(arguments)) {
        address = addressOf(program, arguments);
    } else {
        const std::int32_t line = lineOrThrow(program, arguments);
        const auto found = program.firstInstructionOn(line);
        if (!found) {
            throw CommandError("Line " + std::to_string(line) + " has no instruction.");
        }
        address = *found;
    }
    const Point& point = session_.addBreakpoint(address, std::string(arguments));
    out_ << "Breakpoint " << point.number << " at address " << address;
    if (const std::int32_t line = program.lineOf(address); line > 0) {
        out_ << ", line " << line;
    }
    out_ << ".\n";
}

void CommandInterpreter::doWatch(std::string_view arguments) {
    const Program& program = session_.program();
    if (arguments.empty()) {
        throw CommandError("Argument required (a label, *ADDRESS, [ADDRESS] or a register).");
    }
    if (const auto reg = registerNamed(arguments)) {
        const Point& point = session_.addRegisterWatch(*reg, std::string(arguments));
        out_ << "Watchpoint " << point.number << ": register " << arguments << ".\n";
        return;
    }
    const auto inBrackets = bracketedAddress(program, arguments);
    const std::uint16_t address = inBrackets ? *inBrackets : addressOf(program, arguments);
    const Point& point = session_.addMemoryWatch(address, std::string(arguments));
    out_ << "Watchpoint " << point.number << ": " << arguments << ", the word at address "
         << address << ".\n";
}

void CommandInterpreter::doDelete(std::string_view arguments) {
    if (arguments.empty()) {
        session_.removeAll();
        return;
    }
    std::string_view rest = arguments;
    while (!rest.empty()) {
        const std::string_view word = firstWord(rest, rest);
        const std::int64_t number = integerOrThrow(word);
        if (number < 1 || number > std::numeric_limits<int>::max() ||
            !session_.remove(static_cast<int>(number))) {
            throw CommandError("No breakpoint number " + std::string(word) + ".");
        }
    }
}

void CommandInterpreter::writeBreakpoints() {
    const auto& points = session_.points();
    if (points.empty()) {
        out_ << "No breakpoints or watchpoints.\n";
        return;
    }
    out_ << "Num  Type        Where\n";
    for (const Point& point : points) {
        std::string number = std::to_string(point.number);
        number.resize(std::max<std::size_t>(number.size() + 1, 5), ' ');
        out_ << number;
        switch (point.kind) {
            case Point::Kind::Breakpoint: {
                out_ << "breakpoint  address " << point.address;
                if (const std::int32_t line = session_.program().lineOf(point.address); line > 0) {
                    out_ << ", line " << line;
                }
                out_ << " (" << point.what << ")\n";
                break;
            }
            case Point::Kind::MemoryWatch:
                out_ << "watchpoint  [" << point.address << "] (" << point.what << ")\n";
                break;
            case Point::Kind::RegisterWatch:
                out_ << "watchpoint  register " << nameOf(point.reg) << '\n';
                break;
        }
    }
}

// ---------------------------------------------------------------------------
// Looking and changing

void CommandInterpreter::doPrint(std::string_view arguments) {
    const Program& program = session_.program();
    const Machine& machine = session_.machine();
    if (arguments.empty()) {
        throw CommandError("Argument required (a register, [ADDRESS], a name, $pc or $step).");
    }
    if (arguments == "$pc") {
        out_ << "$pc = " << machine.programCounter << '\n';
    } else if (arguments == "$step") {
        out_ << "$step = " << session_.step() << '\n';
    } else if (const auto reg = registerNamed(arguments)) {
        out_ << arguments << " = " << machine.registers.at(*reg).value() << '\n';
    } else if (const auto address = bracketedAddress(program, arguments)) {
        out_ << '[' << *address << "] = " << machine.memory[*address].value() << '\n';
    } else if (arguments.starts_with('*')) {
        const std::uint16_t at = addressOf(program, arguments);
        out_ << '[' << at << "] = " << machine.memory[at].value() << '\n';
    } else if (isName(arguments)) {
        const std::int32_t number = numberOfName(program, arguments);
        out_ << arguments << " = " << number << '\n';
    } else if (arguments.starts_with('$')) {
        throw CommandError("No convenience value " + quoted(arguments) + " ($pc and $step are).");
    } else {
        const Word value = wordOrThrow(arguments);
        out_ << arguments << " = " << value.value() << '\n';
    }
}

void CommandInterpreter::doSet(std::string_view arguments) {
    std::string_view rest;
    const std::string_view first = firstWord(arguments, rest);
    if (first == "trace-commands") {
        if (rest != "on" && rest != "off") {
            throw CommandError("set trace-commands takes \"on\" or \"off\".");
        }
        traceCommands_ = rest == "on";
        return;
    }
    const auto equals = arguments.find('=');
    if (equals == std::string_view::npos) {
        throw CommandError("Usage: set A = 5, set [8] = 5 or set $pc = 3.");
    }
    const std::string_view target = trim(arguments.substr(0, equals));
    const std::string_view valueText = trim(arguments.substr(equals + 1));
    const Word value = wordOrThrow(valueText);
    const Program& program = session_.program();
    if (const auto reg = registerNamed(target)) {
        session_.setRegister(*reg, value);
    } else if (const auto address = bracketedAddress(program, target)) {
        session_.setMemory(*address, value);
    } else if (target == "$pc") {
        session_.setProgramCounter(addressOrThrow(value.value(), valueText));
        forgetListed();
    } else if (target == "$step") {
        throw CommandError("$step counts the instructions run; it cannot be set.");
    } else if (isName(target)) {
        throw CommandError(quoted(target) + " is a name of the program, not a location; set [" +
                           std::string(target) + "] = ... changes the word at its address.");
    } else {
        throw CommandError("Cannot set " + quoted(target) + ": set a register, [ADDRESS] or $pc.");
    }
}

void CommandInterpreter::doInput(std::string_view arguments) {
    if (arguments.empty()) {
        throw CommandError("Argument required (the numbers for read).");
    }
    std::vector<std::int32_t> numbers;
    std::string_view rest = arguments;
    while (!rest.empty()) {
        const std::string_view word = firstWord(rest, rest);
        const auto value = parseInteger(word);
        if (!value || *value < std::numeric_limits<std::int32_t>::min() ||
            *value > std::numeric_limits<std::int32_t>::max()) {
            throw CommandError("Invalid number " + quoted(word) +
                               " (read takes numbers from -2147483648 to 2147483647).");
        }
        numbers.push_back(static_cast<std::int32_t>(*value));
    }
    for (const std::int32_t number : numbers) {
        session_.appendInput(number);
    }
}

void CommandInterpreter::writeRegisters() {
    const Machine& machine = session_.machine();
    for (std::size_t i = 0; i < registerCount; ++i) {
        const Word value = machine.registers.at(static_cast<RegisterId>(i));
        out_ << registerNames[i] << " = " << value.value() << " (" << hexText(value.bits())
             << ")\n";
    }
    out_ << "$pc = " << machine.programCounter << "\n$step = " << session_.step() << '\n';
}

void CommandInterpreter::doInfo(std::string_view arguments) {
    std::string_view rest;
    const std::string_view what = firstWord(arguments, rest);
    const auto is = [what](std::string_view full, std::size_t shortest) {
        return what.size() >= shortest && full.starts_with(what);
    };
    if (is("breakpoints", 1) || what == "watchpoints") {
        writeBreakpoints();
    } else if (is("registers", 1)) {
        writeRegisters();
    } else if (is("origin", 2)) {
        writeOriginOf(rest);
    } else if (is("history", 1)) {
        const HistoryStats history = session_.history();
        out_ << "History: steps " << history.oldestStep << " to " << history.furthestStep
             << " kept, now at step " << session_.step() << "; snapshots: " << history.snapshots
             << ", every " << history.interval << " steps; inputs kept: " << history.inputsKept
             << "; " << history.bytes << " bytes.\n";
    } else {
        throw CommandError("Undefined info command: " + quoted(arguments) +
                           ".  Try \"help info\".");
    }
}

// info origin LOC [at STEP]
void CommandInterpreter::writeOriginOf(std::string_view arguments) {
    const Program& program = session_.program();
    std::string_view where = trim(arguments);
    std::uint64_t step = session_.step();
    if (const std::size_t at = where.find(" at "); at != std::string_view::npos) {
        const std::int64_t asked = integerOrThrow(trim(where.substr(at + 4)));
        if (asked < 0 || static_cast<std::uint64_t>(asked) > session_.step()) {
            throw CommandError("Step " + std::to_string(asked) + " has not run (now at step " +
                               std::to_string(session_.step()) + ").");
        }
        step = static_cast<std::uint64_t>(asked);
        where = trim(where.substr(0, at));
    }
    if (where.empty()) {
        throw CommandError("Argument required (a register, [ADDRESS] or a name).");
    }
    Location location;
    if (const auto reg = registerNamed(where)) {
        location = {true, *reg, 0};
    } else if (const auto address = bracketedAddress(program, where)) {
        location = {false, RegisterId::A, *address};
    } else {
        location = {false, RegisterId::A, addressOf(program, where)};
    }
    if (session_.history().interval == 0) {
        throw CommandError(
            "No history: the origin of a value is found in it (--history 0 "
            "turned it off).");
    }
    writeOrigin(out_, program, session_.origin(location, step, originLinks));
}

void CommandInterpreter::doExamine(std::string_view arguments) {
    const Program& program = session_.program();
    if (!repeatingExamine_) {
        std::string_view rest;
        const std::string_view where = firstWord(arguments, rest);
        if (where.empty()) {
            throw CommandError("Argument required (an address and an optional count).");
        }
        nextExamine_ = addressOf(program, where);
        examineCount_ = 1;
        if (!rest.empty()) {
            const std::uint64_t count = countOrThrow(rest);
            examineCount_ =
                static_cast<std::uint32_t>(std::min<std::uint64_t>(count, Machine::memorySize));
        }
    }
    const Machine& machine = session_.machine();
    const std::uint32_t end =
        std::min<std::uint32_t>(nextExamine_ + examineCount_, Machine::memorySize);
    for (std::uint32_t address = nextExamine_; address < end; ++address) {
        const Word word = machine.memory[address];
        out_ << (address == machine.programCounter ? "=> " : "   ") << '[' << address
             << "] = " << word.value() << " (" << hexText(word.bits()) << ")  " << word << '\n';
    }
    nextExamine_ = end % Machine::memorySize;
}

void CommandInterpreter::writeLines(std::int32_t first, std::int32_t last, std::int32_t current) {
    const Program& program = session_.program();
    first = std::max(first, 1);
    last = std::min(last, static_cast<std::int32_t>(program.lines().size()));
    for (std::int32_t line = first; line <= last; ++line) {
        char number[16];
        std::snprintf(number, sizeof number, "%4d", line);
        out_ << (line == current ? "=> " : "   ") << number << "  " << program.lineText(line)
             << '\n';
    }
}

// Without an argument, the lines after the last ones listed since the
// program last stopped, else the ten around the current line; "-" the ten
// before them. Repeating it (an empty line) goes on the same way.
void CommandInterpreter::doList(std::string_view arguments) {
    const Program& program = session_.program();
    if (!program.hasSource()) {
        throw CommandError("No source: list needs a program loaded with --source.");
    }
    const auto lineCount = static_cast<std::int32_t>(program.lines().size());
    const std::int32_t current = program.lineOf(session_.machine().programCounter);
    // The first of ten lines around `line`.
    const auto around = [](std::int32_t line) { return std::max(line - 5, 1); };
    std::int32_t first = 0;
    std::int32_t last = 0;
    if (arguments == "-") {
        const std::int32_t before = listedFirst_ > 0 ? listedFirst_ : around(current);
        if (before <= 1) {
            throw CommandError("Already at the start of the source.");
        }
        first = std::max(before - 10, 1);
        last = before - 1;
        repeat_ = "list -";
    } else {
        if (arguments.empty()) {
            first = listedLast_ > 0 ? listedLast_ + 1 : around(current);
        } else if (isName(arguments)) {
            first = around(program.lineOf(addressOf(program, arguments)));
        } else {
            first = around(lineOrThrow(program, arguments));
        }
        repeat_ = "list";
        if (first > lineCount) {
            throw CommandError("Line number " + std::to_string(first) +
                               " out of range: the source has " + std::to_string(lineCount) +
                               " lines.");
        }
        last = std::min(first + 9, lineCount);
    }
    writeLines(first, last, current);
    listedFirst_ = first;
    listedLast_ = last;
}

void CommandInterpreter::doHelp(std::string_view arguments) {
    if (arguments.empty()) {
        out_ << "List of commands:\n\n";
        for (const Command& command : table()) {
            std::string usage(command.usage);
            if (usage.size() < 20) {
                usage.resize(20, ' ');
            } else {
                usage += "  ";
            }
            out_ << "  " << usage << command.summary;
            if (!command.alias.empty()) {
                out_ << " (" << command.alias << ")";
            }
            out_ << '\n';
        }
        out_ << "\nAn empty line repeats the last step, reverse-step, x or list.\n"
                "Type \"help\" followed by a command name for its full description.\n"
                "Command names may be abbreviated if unambiguous.\n";
        return;
    }
    std::string problem;
    const Command* command = findCommand(arguments, problem);
    if (command == nullptr) {
        throw CommandError(problem);
    }
    out_ << "Usage: " << command->usage << '\n' << command->summary << ".\n";
    if (!command->details.empty()) {
        out_ << command->details << '\n';
    }
    if (!command->alias.empty()) {
        out_ << "Abbreviation: " << command->alias << ".\n";
    }
}

// ---------------------------------------------------------------------------
// Completion

std::vector<std::string> CommandInterpreter::completions(std::string_view line) const {
    const auto start =
        line.find_last_of(" \t[*") == std::string_view::npos ? 0 : line.find_last_of(" \t[*") + 1;
    const std::string_view word = line.substr(start);
    std::string_view rest;
    const std::string_view first = firstWord(line.substr(0, start), rest);
    std::vector<std::string> candidates;
    if (first.empty()) {
        for (const Command& command : table()) {
            candidates.emplace_back(command.name);
        }
    } else {
        std::string problem;
        const Command* command = findCommand(first, problem);
        const std::string_view name = command != nullptr ? command->name : "";
        if (name == "help") {
            for (const Command& each : table()) {
                candidates.emplace_back(each.name);
            }
        } else if (name == "info") {
            candidates = {"breakpoints", "history", "origin", "registers", "watchpoints"};
        } else {
            if (name == "set") {
                candidates = {"trace-commands", "$pc"};
            }
            if (name == "print") {
                candidates = {"$pc", "$step"};
            }
            for (const std::string_view reg : registerNames) {
                candidates.emplace_back(reg);
            }
            for (const Assembly::ProgramSymbol& symbol : session_.program().symbols()) {
                if (symbol.kind != Assembly::ProgramSymbol::Kind::Predefined) {
                    candidates.push_back(symbol.name);
                }
            }
        }
    }
    std::vector<std::string> matching;
    for (std::string& candidate : candidates) {
        if (candidate.starts_with(word)) {
            matching.push_back(std::move(candidate));
        }
    }
    return matching;
}

}  // namespace Vorn::Debug
