// Every sentence a run can end with, and the warning on entering data.
#include "run/Outcome.h"

#include <sstream>
#include <string_view>

#include "machine/Printable.h"

namespace Vorn::Run {

namespace {

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") + 1 - first);
}

std::string count(std::uint64_t number, const char* one, const char* many) {
    return std::to_string(number) + " " + (number == 1 ? one : many);
}

// "address 4, line 6", or "address 4" where no source line filled it.
std::string place(std::uint16_t address, std::int32_t line) {
    return "address " + std::to_string(address) +
           (line > 0 ? ", line " + std::to_string(line) : std::string());
}

// "fault at address 2, line 3 (storei A B): register B holds 100, a word
// without an address field."
std::string faultMessage(const Machine& machine, std::uint16_t address, std::int32_t line) {
    const Word instruction = machine.memory[address];
    const RegisterId pointer = instruction.register2();
    std::ostringstream message;
    message << "fault at " << place(address, line) << " (" << instruction << "): register "
            << nameOf(pointer) << " holds " << machine.registers.at(pointer).value()
            << ", a word without an address field.";
    return message.str();
}

}  // namespace

const char* endName(Outcome::End end) {
    switch (end) {
        case Outcome::End::Halted:
            return "halted";
        case Outcome::End::StepLimit:
            return "step-limit";
        case Outcome::End::OutputLimit:
            return "output-limit";
        case Outcome::End::Fault:
        case Outcome::End::StrictFault:
            return "fault";
        case Outcome::End::InputOutput:
            return "input-output-error";
        case Outcome::End::TraceFailed:
            return "trace-error";
        case Outcome::End::WritesFailed:
            return "write-log-error";
    }
    return "";
}

std::uint16_t stoppedInstruction(const Machine& machine) {
    return static_cast<std::uint16_t>(machine.programCounter - 1);
}

Outcome ended(Outcome::End end, std::uint64_t steps, const Machine& machine, const Program& program,
              const Limits& limits) {
    using End = Outcome::End;
    Outcome outcome;
    outcome.end = end;
    outcome.steps = steps;
    outcome.address = machine.programCounter;
    if (end == End::Fault || end == End::OutputLimit || end == End::InputOutput) {
        outcome.address = stoppedInstruction(machine);
        // A run that counts no steps (Machine::run) has none to take back.
        outcome.steps -= outcome.steps > 0 ? 1 : 0;
    }
    outcome.line = program.lineOf(outcome.address);
    switch (end) {
        case End::StepLimit:
            outcome.message = "step limit reached: " + count(limits.steps, "step", "steps") +
                              " run and the program has not halted (next " +
                              place(outcome.address, outcome.line) + ").";
            break;
        case End::OutputLimit:
            outcome.message =
                "output limit reached: " + count(limits.outputLines, "line", "lines") +
                " written and the program has not halted (next write at " +
                place(outcome.address, outcome.line) + ").";
            break;
        case End::Fault:
            outcome.message = faultMessage(machine, outcome.address, outcome.line);
            break;
        case End::StrictFault:
            outcome.message = "fault at address " + std::to_string(outcome.address) +
                              " (strict): execution enters " +
                              cellDescription(program, outcome.address) + ".";
            break;
        case End::Halted:
        case End::InputOutput:
        case End::TraceFailed:
        case End::WritesFailed:
            break;
    }
    return outcome;
}

std::string cellDescription(const Program& program, std::uint16_t address) {
    constexpr std::size_t shown = 40;
    const auto& cells = program.cells();
    std::ostringstream text;
    if (!program.hasSource()) {
        text << "a cell past the image (the image has "
             << count(program.words().size(), "word", "words") << ")";
    } else if (address < cells.size()) {
        const std::int32_t line = cells[address].line;
        text << "a data word from line " << line;
        if (static_cast<std::size_t>(line - 1) < program.lines().size()) {
            const std::string_view statement = trimmed(program.lineText(line));
            text << " ('";
            writePrintable(text, statement, shown);
            text << (statement.size() > shown ? "...')" : "')");
        }
    } else if (cells.empty()) {
        text << "a cell that no statement filled (the source fills no cell)";
    } else {
        text << "a cell that no statement filled (the program ends at address " << cells.size() - 1
             << ", line " << cells.back().line << ')';
    }
    return text.str();
}

std::string enteringWarning(const Program& program, std::uint16_t address) {
    return "execution enters address " + std::to_string(address) + ", " +
           cellDescription(program, address) + ", as an instruction.";
}

}  // namespace Vorn::Run
