#include "debug/Commands.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <limits>
#include <ostream>
#include <stdexcept>

#include "analysis/Spelling.h"
#include "debug/Origin.h"
#include "machine/Trace.h"
#include "text/Identifier.h"
#include "text/Number.h"

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

std::int64_t integerOrThrow(std::string_view text) {
    const auto value = Text::parseInteger(text);
    if (!value) {
        throw CommandError("Invalid number " + quoted(text) + ".");
    }
    return *value;
}

// A breakpoint's, watchpoint's or display's number.
int pointNumber(std::string_view text, std::string_view what) {
    const std::int64_t number = integerOrThrow(text);
    if (number < 1 || number > std::numeric_limits<int>::max()) {
        throw CommandError("No " + std::string(what) + " number " + std::string(text) + ".");
    }
    return static_cast<int>(number);
}

bool isName(std::string_view text) {
    return !text.empty() && Text::isIdentifierStart(text.front());
}

bool isDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
    });
}

// Splits "LOC if EXPR" at the word "if": the condition, or empty.
std::string_view splitCondition(std::string_view& text) {
    for (std::size_t at = text.find("if"); at != std::string_view::npos;
         at = text.find("if", at + 1)) {
        const bool wordStart = at == 0 || text[at - 1] == ' ' || text[at - 1] == '\t';
        const bool wordEnd = at + 2 == text.size() || text[at + 2] == ' ' || text[at + 2] == '\t';
        if (wordStart && wordEnd) {
            const std::string_view condition = trim(text.substr(at + 2));
            text = trim(text.substr(0, at));
            if (condition.empty()) {
                throw CommandError("Argument required (a condition after \"if\").");
            }
            return condition;
        }
    }
    return {};
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
    bool formats;  // takes a format after "/": print/x, x/8x
};

using C = CommandInterpreter;

// In name order, as help lists them.
const std::array<C::Command, C::commandCount>& CommandInterpreter::table() {
    static const std::array<Command, commandCount> commands{{
        {"advance", "", "advance LOC", "Run until the program reaches LOC",
         "LOC is a label, a source line or *ADDRESS, as for break. A breakpoint,\n"
         "a watchpoint, a halt or a fault stops it earlier.",
         &C::doAdvance, false, false},
        {"break", "b", "break LOC [if EXPR]", "Stop before the instruction at LOC runs",
         "LOC is a label (break loop), a source line (break 12) or an address\n"
         "(break *12, break *0x0C, break *$pc). The program stops before the\n"
         "instruction there runs; continue from that address runs it first.\n"
         "With \"if\", it stops only where EXPR is not 0 (see help print):\n"
         "break loop if C == 0, break 12 if [total] >= 100 && A != B.",
         &C::doBreak, false, false},
        {"condition", "", "condition N [EXPR]", "Stop at breakpoint N only where EXPR holds",
         "EXPR compares registers, memory words, names and numbers (see help\n"
         "print); a watchpoint's condition is tested after the write. Without\n"
         "EXPR, breakpoint N stops every time again.",
         &C::doCondition, false, false},
        {"continue", "c", "continue", "Run until a breakpoint, a watchpoint, a halt or a fault",
         "Runs the instruction at the program counter first, even at a breakpoint.\n"
         "Ctrl-C stops it.",
         &C::doContinue, false, false},
        {"delete", "d", "delete [N...]", "Delete breakpoints or watchpoints, or all of them",
         "Without N, deletes every breakpoint and watchpoint.", &C::doDelete, false, false},
        {"disable", "", "disable [N...]", "Disable breakpoints or watchpoints, or all of them",
         "A disabled one does not stop the program until enable.", &C::doDisable, false, false},
        {"display", "", "display[/F] [EXPR]", "Show EXPR at every stop",
         "display A, display/x [total]: numbered, shown now and after every\n"
         "command that runs or goes back; F is a format as for print. Without\n"
         "EXPR, shows them all now. undisplay N removes one; info display lists them.",
         &C::doDisplay, false, true},
        {"enable", "", "enable [N...]", "Enable breakpoints or watchpoints, or all of them", "",
         &C::doEnable, false, false},
        {"help", "h", "help [COMMAND]", "List the commands, or describe one", "", &C::doHelp, false,
         false},
        {"ignore", "", "ignore N COUNT", "Pass breakpoint N COUNT times without stopping",
         "Each time it is reached with its condition true counts; info breakpoints\n"
         "shows how many are left.",
         &C::doIgnore, false, false},
        {"info", "i", "info WHAT",
         "Show the breakpoints, watchpoints, registers, displays, history or an origin",
         "info breakpoints (info b): the breakpoints and watchpoints by number, each\n"
         "with its condition and how many times it was hit.\n"
         "info watchpoints: the watchpoints only.\n"
         "info registers (info r): the 16 registers, $pc and $step.\n"
         "info display: the expressions display shows at every stop.\n"
         "info history: the steps a reverse command can reach and the memory kept.\n"
         "info origin LOC [at STEP]: where the value of LOC (a register, [ADDRESS] or a\n"
         "name's word) came from, now or after step STEP: the step that wrote it, then\n"
         "where the values that step used came from, back to the image, the input or\n"
         "the start (at most 20 links).",
         &C::doInfo, false, false},
        {"input", "", "input N...", "Append numbers for read to take",
         "The numbers come after those of --input (or of run), in order.", &C::doInput, false,
         false},
        {"list", "l", "list [LINE|LABEL|-]", "Show the source around the current line",
         "Ten lines around the line of the next instruction, or of LINE or LABEL;\n"
         "\"=>\" marks the line of the next instruction. Another list, or an empty\n"
         "line, goes on with the ten lines after; list - shows the ten before. After\n"
         "the program stops again, list starts around its new line.",
         &C::doList, true, false},
        {"print", "p", "print[/F] EXPR", "Print the value of an expression",
         "print A         A = 5          (a register)\n"
         "print total     total = 7      (a label: the word stored there)\n"
         "print &total    &total = 20    (a label's address)\n"
         "print size      size = 10      (a definition: its value)\n"
         "print [20]      [20] = 7       (a memory word; also *20, [total], [0x14])\n"
         "print [B]       [20] = 7       (the word at the address field of B)\n"
         "print $pc       $pc = 3        (the address of the next instruction)\n"
         "print $step     $step = 12     (the instructions executed so far)\n"
         "Expressions add and subtract (+ -) and compare (== != < <= > >=, giving\n"
         "1 or 0), with && || ! and ( ). Formats: print/d decimal, /x hexadecimal,\n"
         "/t binary, /c a character.",
         &C::doPrint, false, true},
        {"quit", "q", "quit", "Leave the debugger", "", &C::doQuit, false, false},
        {"reverse-continue", "rc", "reverse-continue",
         "Go back to the last breakpoint or watched write before this step",
         "Stops with the machine as it was just before the most recent earlier\n"
         "instruction that is at a breakpoint or writes a watched location (the\n"
         "stop says so, and what the write is about to store); with nothing to\n"
         "stop at, at the start of the history. Conditions count; ignore counts\n"
         "and hit counts are for going forward.",
         &C::doReverseContinue, false, false},
        {"reverse-step", "rs", "reverse-step [N]", "Undo N instructions (default 1)",
         "Registers, memory, the program counter, the position in the input and\n"
         "$step become exactly what they were before the N instructions.",
         &C::doReverseStep, true, false},
        {"run", "r", "run [N... | < FILE]", "Start again from step 0 and run",
         "Keeps the breakpoints, watchpoints and displays. Without arguments, read\n"
         "takes the same numbers as before, in the same order; run 3 1 4 0 gives it\n"
         "these numbers instead, run < FILE those of FILE. A breakpoint at the\n"
         "first instruction stops it at once.",
         &C::doRun, false, false},
        {"set", "", "set LOC = EXPR", "Change a register, a memory word or the program counter",
         "set A = 5, set total = 0 (the word of a label), set [8] = A + 1,\n"
         "set [B] = 0, set $pc = loop. The steps run after this one are forgotten;\n"
         "the earlier ones stay.\n"
         "set trace-commands on|off echoes each command, \"+\" before it.",
         &C::doSet, false, false},
        {"step", "s", "step [N]", "Run N instructions (default 1)",
         "Shows the stop and what the last instruction changed. A breakpoint or a\n"
         "watchpoint stops it earlier.",
         &C::doStep, true, false},
        {"tbreak", "", "tbreak LOC [if EXPR]", "Set a breakpoint that is deleted when it stops",
         "As break; the first time it stops the program, it is deleted.", &C::doTbreak, false,
         false},
        {"undisplay", "", "undisplay [N...]", "Stop showing displays, or all of them", "",
         &C::doUndisplay, false, false},
        {"until", "u", "until [LOC]", "Run until a greater address, or until LOC",
         "Without LOC, runs until the program reaches an instruction after this\n"
         "one: at the jump back of a loop, until the loop is left. With LOC, as\n"
         "advance. A breakpoint, a watchpoint, a halt or a fault stops it earlier.",
         &C::doUntil, true, false},
        {"watch", "", "watch LOC [if EXPR]",
         "Stop after any instruction that writes a memory word or a register",
         "LOC is a label (watch total), an address (watch *8, watch [8], watch [B])\n"
         "or a register (watch A). Writing the value already held stops too. Every\n"
         "watchpoint an instruction writes is shown, with the old and new value.",
         &C::doWatch, false, false},
        {"x", "", "x[/NF] LOC", "Show N memory words from LOC",
         "LOC is an address (x 8, x 0x08, x *8, x $pc), a label (x total) or a\n"
         "register (x B: from its address field). F is d, x, t, c as for print, or\n"
         "i for the instruction; without F each word shows in decimal, hexadecimal\n"
         "and as an instruction. x LOC N is x/N LOC. An empty line goes on with\n"
         "the words after.",
         &C::doExamine, true, true},
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
        std::vector<std::string_view> names;
        for (const C::Command& command : commands) {
            names.push_back(command.name);
        }
        problem = "Undefined command: " + quoted(word) + ".  ";
        if (const auto nearest = Analysis::nearestName(word, names)) {
            problem += "Did you mean " + quoted(*nearest) + "?";
        } else {
            problem += "Try \"help\".";
        }
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
    std::string_view word = firstWord(text, arguments);
    // "p/x A", "x/8x 20": the format follows the name after "/".
    format_.clear();
    if (const auto slash = word.find('/'); slash != std::string_view::npos && slash > 0) {
        format_ = std::string(word.substr(slash + 1));
        word = word.substr(0, slash);
    }
    std::string problem;
    const Command* command = findCommand(word, problem);
    if (command == nullptr) {
        error(problem);
        return Result::Continue;
    }
    if (!format_.empty() && !command->formats) {
        error(std::string(command->name) + " takes no format (\"/" + format_ + "\").");
        return Result::Continue;
    }
    repeat_ = command->repeats ? text : std::string();
    try {
        dispatch(*command, arguments);
    } catch (const CommandError& failure) {
        error(failure.what());
    } catch (const ExpressionError& failure) {
        error(failure.what());
    }
    out_.flush();
    return quit_ ? Result::Quit : Result::Continue;
}

void CommandInterpreter::dispatch(const Command& command, std::string_view arguments) {
    (this->*command.run)(arguments);
}

// ---------------------------------------------------------------------------
// Expressions, lines and locations

namespace {

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

Expression CommandInterpreter::parse(std::string_view text, Expression::Reading reading) const {
    return Expression::parse(text, session_.program(), reading);
}

// A number argument: any expression, evaluated now.
std::int64_t CommandInterpreter::valueOf(std::string_view text) const {
    return parse(text).evaluate(session_.machine(), session_.step());
}

std::uint64_t CommandInterpreter::countOf(std::string_view text) const {
    const std::int64_t value = valueOf(text);
    if (value < 0) {
        throw CommandError("The count must not be negative: " + quoted(text) + ".");
    }
    return static_cast<std::uint64_t>(value);
}

// LOC of break, tbreak, until and advance: a source line (digits alone), an
// address after "*", or a label (any expression read as an address).
std::uint16_t CommandInterpreter::locationOf(std::string_view text) const {
    const Program& program = session_.program();
    if (text.empty()) {
        throw CommandError("Argument required (a label, a line number or *ADDRESS).");
    }
    if (isDigits(text)) {
        const std::int32_t line = lineOrThrow(program, text);
        const auto found = program.firstInstructionOn(line);
        if (!found) {
            throw CommandError("Line " + std::to_string(line) + " has no instruction.");
        }
        return *found;
    }
    if (text.starts_with('*')) {
        text = trim(text.substr(1));
    }
    return parse(text, Expression::Reading::Address).address(session_.machine(), session_.step());
}

// "total = 7", "[20] = 0x7": what print and display show. A memory word
// named by its address shows that address.
std::string CommandInterpreter::valueLine(const Expression& expression, char format) const {
    const Machine& machine = session_.machine();
    const std::int64_t value = expression.evaluate(machine, session_.step());
    std::string name = expression.text();
    if (name.starts_with('[') || name.starts_with('*')) {
        if (const auto place = expression.location(machine, session_.step())) {
            name = "[" + std::to_string(place->address) + "]";
        }
    }
    return name + " = " + formatValue(value, format);
}

// ---------------------------------------------------------------------------
// Stops

void CommandInterpreter::writeStop(const Stop& stop, bool showStep) {
    const Machine& machine = session_.machine();
    forgetListed();
    if (!stop.warning.empty()) {
        out_ << "Warning: " << stop.warning << '\n';
    }
    if (!stop.conditionError.empty()) {
        out_ << "Error in the condition of "
             << (stop.reason == Stop::Reason::Watchpoint ? "watchpoint " : "breakpoint ")
             << stop.point << ": " << stop.conditionError << '\n';
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
            out_ << (stop.temporary ? "Temporary breakpoint " : "Breakpoint ") << stop.point;
            break;
        case Stop::Reason::Reached:
            out_ << "Advanced";
            break;
        case Stop::Reason::Watchpoint: {
            // Each watchpoint written, on a line of its own; the last one
            // goes on with the state.
            for (std::size_t i = 0; i < stop.points.size(); ++i) {
                out_ << (i > 0 ? "\n" : "") << "Watchpoint " << stop.points[i];
                for (const Point& point : session_.points()) {
                    if (point.number == stop.points[i]) {
                        out_ << " (" << point.what << ")";
                    }
                }
                if (stop.backward) {
                    out_ << ": before the write: now " << stop.oldValue.value()
                         << ", the write stores " << stop.newValue.value();
                } else {
                    out_ << ": old " << stop.oldValue.value() << ", new " << stop.newValue.value();
                }
            }
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
    writeDisplays();
}

void CommandInterpreter::writeDisplays() {
    for (const Display& display : displays_) {
        out_ << display.number << ": ";
        if (display.format != 'd') {
            out_ << '/' << display.format << ' ';
        }
        try {
            out_ << valueLine(*display.expression, display.format) << '\n';
        } catch (const ExpressionError& failure) {
            out_ << display.expression->text() << ": " << failure.what() << '\n';
        }
    }
}

// ---------------------------------------------------------------------------
// Running

void CommandInterpreter::doRun(std::string_view arguments) {
    if (arguments.empty()) {
        writeStop(session_.run(), false);
        return;
    }
    if (arguments.starts_with('<')) {
        const std::string path(trim(arguments.substr(1)));
        if (path.empty()) {
            throw CommandError("Argument required (a file after \"<\").");
        }
        if (!openInput_) {
            throw CommandError("run < FILE is not available here: give the numbers (run 3 1 4).");
        }
        std::function<InputResult()> input;
        try {
            input = openInput_(path);
        } catch (const std::runtime_error& failure) {
            std::string message = failure.what();
            message[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(message[0])));
            throw CommandError(message);
        }
        writeStop(session_.run(std::move(input)), false);
        return;
    }
    auto numbers = std::make_shared<std::vector<std::int32_t>>();
    std::string_view rest = arguments;
    while (!rest.empty()) {
        const std::string_view word = firstWord(rest, rest);
        const auto value = Text::parseInteger(word);
        if (!value || *value < std::numeric_limits<std::int32_t>::min() ||
            *value > std::numeric_limits<std::int32_t>::max()) {
            throw CommandError("Invalid number " + quoted(word) +
                               " (read takes numbers from -2147483648 to 2147483647).");
        }
        numbers->push_back(static_cast<std::int32_t>(*value));
    }
    std::size_t next = 0;
    writeStop(session_.run([numbers, next]() mutable {
        if (next == numbers->size()) {
            return InputResult{};
        }
        return InputResult{InputResult::Kind::Number, (*numbers)[next++]};
    }),
              false);
}

void CommandInterpreter::doContinue(std::string_view arguments) {
    if (!arguments.empty()) {
        throw CommandError("continue takes no argument.");
    }
    writeStop(session_.continueRun(), false);
}

void CommandInterpreter::doStep(std::string_view arguments) {
    const std::uint64_t count = arguments.empty() ? 1 : countOf(arguments);
    writeStop(session_.stepForward(count), true);
}

void CommandInterpreter::doReverseStep(std::string_view arguments) {
    const std::uint64_t count = arguments.empty() ? 1 : countOf(arguments);
    writeStop(session_.reverseStep(count), false);
}

void CommandInterpreter::doReverseContinue(std::string_view arguments) {
    if (!arguments.empty()) {
        throw CommandError("reverse-continue takes no argument.");
    }
    writeStop(session_.reverseContinue(), false);
}

void CommandInterpreter::doAdvance(std::string_view arguments) {
    if (arguments.empty()) {
        throw CommandError("Argument required (a label, a line number or *ADDRESS).");
    }
    writeStop(session_.advanceTo({locationOf(arguments)}), false);
}

// Without LOC: to any instruction after this one (any address, for an image).
void CommandInterpreter::doUntil(std::string_view arguments) {
    if (!arguments.empty()) {
        doAdvance(arguments);
        return;
    }
    const Program& program = session_.program();
    std::vector<std::uint16_t> after;
    for (std::uint32_t address = session_.programCounter() + 1u; address < Machine::haltAddress;
         ++address) {
        if (!program.hasSource() ||
            (address < program.cells().size() && program.cells()[address].isInstruction)) {
            after.push_back(static_cast<std::uint16_t>(address));
        }
    }
    writeStop(session_.advanceTo(after), false);
}

void CommandInterpreter::doQuit(std::string_view) {
    quit_ = true;
}

// ---------------------------------------------------------------------------
// Breakpoints and watchpoints

void CommandInterpreter::setBreakpoint(std::string_view arguments, bool temporary) {
    const Program& program = session_.program();
    const std::string_view conditionText = splitCondition(arguments);
    const std::uint16_t address = locationOf(arguments);
    std::shared_ptr<const Expression> condition;
    if (!conditionText.empty()) {
        condition = std::make_shared<const Expression>(parse(conditionText));
    }
    const Point& point = session_.addBreakpoint(address, std::string(arguments), temporary);
    session_.setCondition(point.number, condition);
    out_ << (temporary ? "Temporary breakpoint " : "Breakpoint ") << point.number << " at address "
         << address;
    if (const std::int32_t line = program.lineOf(address); line > 0) {
        out_ << ", line " << line;
    }
    out_ << ".\n";
}

void CommandInterpreter::doBreak(std::string_view arguments) {
    setBreakpoint(arguments, false);
}

void CommandInterpreter::doTbreak(std::string_view arguments) {
    setBreakpoint(arguments, true);
}

void CommandInterpreter::doWatch(std::string_view arguments) {
    const std::string_view conditionText = splitCondition(arguments);
    if (arguments.empty()) {
        throw CommandError("Argument required (a label, *ADDRESS, [ADDRESS] or a register).");
    }
    const Expression where = parse(arguments);
    const auto place = where.location(session_.machine(), session_.step());
    if (!place) {
        throw CommandError("Cannot watch " + quoted(arguments) +
                           ": watch a register, a label, [ADDRESS] or *ADDRESS.");
    }
    std::shared_ptr<const Expression> condition;
    if (!conditionText.empty()) {
        condition = std::make_shared<const Expression>(parse(conditionText));
    }
    const std::string what(arguments);
    const Point& point = place->kind == Location::Kind::Register
                             ? session_.addRegisterWatch(place->reg, what)
                             : session_.addMemoryWatch(place->address, what);
    session_.setCondition(point.number, condition);
    out_ << "Watchpoint " << point.number << ": ";
    if (place->kind == Location::Kind::Register) {
        out_ << "register " << nameOf(place->reg) << ".\n";
    } else {
        out_ << arguments << ", the word at address " << place->address << ".\n";
    }
}

void CommandInterpreter::doDelete(std::string_view arguments) {
    if (arguments.empty()) {
        session_.removeAll();
        return;
    }
    std::string_view rest = arguments;
    while (!rest.empty()) {
        const std::string_view word = firstWord(rest, rest);
        if (!session_.remove(pointNumber(word, "breakpoint"))) {
            throw CommandError("No breakpoint number " + std::string(word) + ".");
        }
    }
}

void CommandInterpreter::setEnabled(std::string_view arguments, bool enabled) {
    if (arguments.empty()) {
        for (const Point& point : std::vector<Point>(session_.points())) {
            session_.setEnabled(point.number, enabled);
        }
        return;
    }
    std::string_view rest = arguments;
    while (!rest.empty()) {
        const std::string_view word = firstWord(rest, rest);
        if (!session_.setEnabled(pointNumber(word, "breakpoint"), enabled)) {
            throw CommandError("No breakpoint number " + std::string(word) + ".");
        }
    }
}

void CommandInterpreter::doEnable(std::string_view arguments) {
    setEnabled(arguments, true);
}

void CommandInterpreter::doDisable(std::string_view arguments) {
    setEnabled(arguments, false);
}

void CommandInterpreter::doCondition(std::string_view arguments) {
    std::string_view rest;
    const std::string_view word = firstWord(arguments, rest);
    if (word.empty()) {
        throw CommandError("Argument required (a breakpoint number).");
    }
    const int number = pointNumber(word, "breakpoint");
    std::shared_ptr<const Expression> condition;
    if (!rest.empty()) {
        condition = std::make_shared<const Expression>(parse(rest));
    }
    if (!session_.setCondition(number, condition)) {
        throw CommandError("No breakpoint number " + std::string(word) + ".");
    }
    if (!condition) {
        out_ << "Breakpoint " << number << " now unconditional.\n";
    }
}

void CommandInterpreter::doIgnore(std::string_view arguments) {
    std::string_view rest;
    const std::string_view word = firstWord(arguments, rest);
    if (word.empty() || rest.empty()) {
        throw CommandError("Argument required (a breakpoint number and a count).");
    }
    const int number = pointNumber(word, "breakpoint");
    const std::uint64_t count = countOf(rest);
    if (!session_.setIgnoreCount(number, count)) {
        throw CommandError("No breakpoint number " + std::string(word) + ".");
    }
    if (count == 0) {
        out_ << "Will stop next time breakpoint " << number << " is reached.\n";
    } else {
        out_ << "Will ignore next " << count << (count == 1 ? " crossing" : " crossings")
             << " of breakpoint " << number << ".\n";
    }
}

void CommandInterpreter::writeBreakpoints(bool watchpointsOnly) {
    std::vector<const Point*> points;
    for (const Point& point : session_.points()) {
        if (!watchpointsOnly || point.kind != Point::Kind::Breakpoint) {
            points.push_back(&point);
        }
    }
    if (points.empty()) {
        out_ << (watchpointsOnly ? "No watchpoints.\n" : "No breakpoints or watchpoints.\n");
        return;
    }
    out_ << "Num  Type        Disp Enb Where\n";
    for (const Point* point : points) {
        std::string number = std::to_string(point->number);
        number.resize(std::max<std::size_t>(number.size() + 1, 5), ' ');
        out_ << number << (point->kind == Point::Kind::Breakpoint ? "breakpoint  " : "watchpoint  ")
             << (point->temporary ? "del  " : "keep ") << (point->enabled ? "y   " : "n   ");
        switch (point->kind) {
            case Point::Kind::Breakpoint: {
                out_ << "address " << point->address;
                if (const std::int32_t line = session_.program().lineOf(point->address); line > 0) {
                    out_ << ", line " << line;
                }
                out_ << " (" << point->what << ")\n";
                break;
            }
            case Point::Kind::MemoryWatch:
                out_ << "[" << point->address << "] (" << point->what << ")\n";
                break;
            case Point::Kind::RegisterWatch:
                out_ << "register " << nameOf(point->reg) << '\n';
                break;
        }
        if (point->condition) {
            out_ << "        stop only if " << point->condition->text() << '\n';
        }
        if (point->hits > 0) {
            out_ << "        breakpoint already hit " << point->hits
                 << (point->hits == 1 ? " time\n" : " times\n");
        }
        if (point->ignoreCount > 0) {
            out_ << "        will ignore next " << point->ignoreCount
                 << (point->ignoreCount == 1 ? " crossing\n" : " crossings\n");
        }
    }
}

// ---------------------------------------------------------------------------
// Displays

namespace {

// The format letter of print and display: 'd' without one.
char valueFormat(const std::string& format) {
    if (format.empty()) {
        return 'd';
    }
    if (format.size() != 1 || !isValueFormat(format[0])) {
        throw CommandError("Invalid format " + quoted("/" + format) +
                           ": /d decimal, /x hexadecimal, /t binary, /c a character.");
    }
    return format[0];
}

}  // namespace

void CommandInterpreter::doDisplay(std::string_view arguments) {
    if (arguments.empty()) {
        writeDisplays();
        return;
    }
    const char format = valueFormat(format_);
    auto expression = std::make_shared<const Expression>(parse(arguments));
    displays_.push_back({nextDisplay_++, format, std::move(expression)});
    const Display& display = displays_.back();
    out_ << display.number << ": ";
    if (format != 'd') {
        out_ << '/' << format << ' ';
    }
    try {
        out_ << valueLine(*display.expression, format) << '\n';
    } catch (const ExpressionError& failure) {
        out_ << display.expression->text() << ": " << failure.what() << '\n';
    }
}

void CommandInterpreter::doUndisplay(std::string_view arguments) {
    if (arguments.empty()) {
        displays_.clear();
        return;
    }
    std::string_view rest = arguments;
    while (!rest.empty()) {
        const std::string_view word = firstWord(rest, rest);
        const int number = pointNumber(word, "display");
        const auto gone = std::find_if(displays_.begin(), displays_.end(),
                                       [number](const Display& d) { return d.number == number; });
        if (gone == displays_.end()) {
            throw CommandError("No display number " + std::string(word) + ".");
        }
        displays_.erase(gone);
    }
}

// ---------------------------------------------------------------------------
// Looking and changing

void CommandInterpreter::doPrint(std::string_view arguments) {
    if (arguments.empty()) {
        throw CommandError(
            "Argument required (an expression: a register, a name, [ADDRESS], "
            "$pc, $step, ...).");
    }
    const char format = valueFormat(format_);
    out_ << valueLine(parse(arguments), format) << '\n';
}

namespace {

// The "=" of "set LOC = EXPR": not part of ==, !=, <= or >=.
std::size_t assignmentAt(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '=') {
            continue;
        }
        const bool joinedAfter = i + 1 < text.size() && text[i + 1] == '=';
        const bool joinedBefore =
            i > 0 && std::string_view("=!<>").find(text[i - 1]) != std::string_view::npos;
        if (!joinedAfter && !joinedBefore) {
            return i;
        }
        if (joinedAfter) {
            ++i;
        }
    }
    return std::string_view::npos;
}

}  // namespace

void CommandInterpreter::doSet(std::string_view arguments) {
    std::string_view rest;
    std::string_view first = firstWord(arguments, rest);
    if (first == "trace-commands") {
        if (rest != "on" && rest != "off") {
            throw CommandError("set trace-commands takes \"on\" or \"off\".");
        }
        traceCommands_ = rest == "on";
        return;
    }
    if (first == "var" || first == "variable") {
        arguments = rest;
    }
    const auto equals = assignmentAt(arguments);
    if (equals == std::string_view::npos) {
        throw CommandError("Usage: set A = 5, set total = 5, set [8] = 5 or set $pc = 3.");
    }
    const std::string_view target = trim(arguments.substr(0, equals));
    const std::string_view valueText = trim(arguments.substr(equals + 1));
    if (target.empty() || valueText.empty()) {
        throw CommandError("Usage: set A = 5, set total = 5, set [8] = 5 or set $pc = 3.");
    }
    if (target == "$step") {
        throw CommandError("$step counts the instructions run; it cannot be set.");
    }
    const Expression place = parse(target);
    const Word value = wordOf(valueOf(valueText), valueText);
    if (target == "$pc") {
        session_.setProgramCounter(parse(valueText, Expression::Reading::Address)
                                       .address(session_.machine(), session_.step()));
        forgetListed();
        return;
    }
    const auto location = place.location(session_.machine(), session_.step());
    if (!location) {
        if (isName(target) && place.isConstant()) {
            throw CommandError(quoted(target) + " is a definition (its value is " +
                               std::to_string(valueOf(target)) +
                               "), not a location: set a register, a label's word, [ADDRESS] "
                               "or $pc.");
        }
        throw CommandError("Cannot set " + quoted(target) +
                           ": set a register, a label's word, [ADDRESS] or $pc.");
    }
    if (location->kind == Location::Kind::Register) {
        session_.setRegister(location->reg, value);
    } else {
        session_.setMemory(location->address, value);
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
        const auto value = Text::parseInteger(word);
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
    if (is("breakpoints", 1)) {
        writeBreakpoints(false);
    } else if (is("watchpoints", 1)) {
        writeBreakpoints(true);
    } else if (is("registers", 1)) {
        writeRegisters();
    } else if (is("display", 1)) {
        if (displays_.empty()) {
            out_ << "There are no auto-display expressions now.\n";
            return;
        }
        out_ << "Auto-display expressions now in effect:\n";
        for (const Display& display : displays_) {
            out_ << display.number << ": ";
            if (display.format != 'd') {
                out_ << '/' << display.format << ' ';
            }
            out_ << display.expression->text() << '\n';
        }
    } else if (is("origin", 2)) {
        writeOriginOf(rest);
    } else if (is("history", 1)) {
        const HistoryStats history = session_.history();
        out_ << "History: steps " << history.oldestStep << " to " << history.furthestStep
             << " kept, now at step " << session_.step() << "; snapshots: " << history.snapshots
             << ", every " << history.interval << " steps; inputs kept: " << history.inputsKept
             << "; " << history.bytes << " bytes.\n";
    } else {
        const auto nearest = Analysis::nearestName(
            what, {"breakpoints", "watchpoints", "registers", "display", "history"});
        throw CommandError("Undefined info command: " + quoted(arguments) + ".  " +
                           (nearest ? "Did you mean " + quoted(*nearest) + "?"
                                    : std::string("Try \"help info\".")));
    }
}

namespace {

// "8x" of x/8x: the count (0 when not given) and the format letter (0 when not given).
std::pair<std::uint32_t, char> examineFormat(const std::string& format) {
    std::size_t digits = 0;
    while (digits < format.size() && std::isdigit(static_cast<unsigned char>(format[digits]))) {
        ++digits;
    }
    std::uint32_t count = 0;
    if (digits > 0) {
        count = static_cast<std::uint32_t>(
            std::min<std::int64_t>(integerOrThrow(format.substr(0, digits)), Machine::memorySize));
    }
    const std::string letters = format.substr(digits);
    if (letters.size() > 1 ||
        (letters.size() == 1 && !isValueFormat(letters[0]) && letters[0] != 'i')) {
        throw CommandError("Invalid format " + quoted("/" + format) +
                           ": x/NF takes a count and one of d, x, t, c, i.");
    }
    return {count, letters.empty() ? '\0' : letters[0]};
}

}  // namespace

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
    const auto addressOf = [this](std::string_view text) {
        return parse(text, Expression::Reading::Address)
            .address(session_.machine(), session_.step());
    };
    if (const auto reg = findRegister(where)) {
        location = {Location::Kind::Register, *reg, 0};
    } else if (where.size() > 2 && where.front() == '[' && where.back() == ']') {
        location = {Location::Kind::Memory, RegisterId::A,
                    addressOf(trim(where.substr(1, where.size() - 2)))};
    } else {
        location = {Location::Kind::Memory, RegisterId::A, addressOf(where)};
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
        if (arguments.empty()) {
            throw CommandError("Argument required (an address and an optional count).");
        }
        const auto [count, format] = examineFormat(format_);
        // "x ADDR COUNT" as well as "x/COUNT ADDR".
        std::string_view where = arguments;
        std::uint64_t legacyCount = 0;
        if (format_.empty()) {
            // A last word of digits is the count unless the whole is one
            // expression (x count + 1).
            const auto space = arguments.find_last_of(" \t");
            if (space != std::string_view::npos && isDigits(trim(arguments.substr(space)))) {
                try {
                    parse(arguments, Expression::Reading::Address);
                } catch (const ExpressionError&) {
                    where = trim(arguments.substr(0, space));
                    legacyCount = countOf(trim(arguments.substr(space)));
                }
            }
        }
        if (where.starts_with('*')) {
            where = trim(where.substr(1));
        }
        nextExamine_ =
            parse(where, Expression::Reading::Address).address(session_.machine(), session_.step());
        examineCount_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(
            std::max<std::uint64_t>({count, legacyCount, 1}), Machine::memorySize));
        examineFormat_ = format;
    }
    const Machine& machine = session_.machine();
    const std::uint32_t end =
        std::min<std::uint32_t>(nextExamine_ + examineCount_, Machine::memorySize);
    for (std::uint32_t address = nextExamine_; address < end; ++address) {
        const Word word = machine.memory[address];
        out_ << (address == machine.programCounter ? "=> " : "   ") << '[' << address << "] = ";
        if (examineFormat_ == 'i') {
            writeInstruction(out_, word, program.labels());
        } else if (examineFormat_ == 't') {
            for (int bit = 31; bit >= 0; --bit) {
                out_ << (((word.bits() >> bit) & 1u) != 0 ? '1' : '0');
            }
        } else if (examineFormat_ == 'x') {
            out_ << hexText(word.bits());
        } else if (examineFormat_ != '\0') {
            out_ << formatValue(word.value(), examineFormat_);
        } else {
            out_ << word.value() << " (" << hexText(word.bits()) << ")  " << word;
        }
        out_ << '\n';
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
        } else if (!isDigits(arguments)) {
            const std::string_view where =
                arguments.starts_with('*') ? trim(arguments.substr(1)) : arguments;
            first = around(program.lineOf(parse(where, Expression::Reading::Address)
                                              .address(session_.machine(), session_.step())));
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
            if (usage.size() < 22) {
                usage.resize(22, ' ');
            } else {
                usage += "  ";
            }
            out_ << "  " << usage << command.summary;
            if (!command.alias.empty()) {
                out_ << " (" << command.alias << ")";
            }
            out_ << '\n';
        }
        out_ << "\nAn empty line repeats the last step, reverse-step, until, x or list.\n"
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
            candidates = {"breakpoints", "display",   "history",
                          "origin",      "registers", "watchpoints"};
        } else {
            if (name == "set") {
                candidates = {"trace-commands", "$pc"};
            }
            if (name == "print" || name == "display" || name == "x" || name == "condition") {
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
