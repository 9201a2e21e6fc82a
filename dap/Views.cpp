// The adapter's views of the stopped machine: the frame, the scopes and
// their variables, the console and its expressions, memory, the disassembly,
// goto, the fault.
#include <algorithm>
#include <sstream>

#include "dap/Adapter.h"
#include "dap/Requests.h"
#include "machine/Trace.h"

namespace Vorn::Dap {

using Debug::Stop;

// ---------------------------------------------------------------------------
// Looking

std::string Adapter::wordText(Word word, bool instruction) const {
    std::string text = std::to_string(word.value()) + " (" + hexWord(word) + ")";
    if (instruction) {
        std::ostringstream mnemonic;
        writeInstruction(mnemonic, word, session_->program().labels());
        text += " " + mnemonic.str();
    }
    return text;
}

Json Adapter::stackTrace(const Json&) {
    const Debug::Session& debugged = session();
    const Program& program = debugged.program();
    const std::uint16_t pc = debugged.programCounter();
    // The frame is named by the nearest label at or before the program counter.
    std::string name = debugged.machine().halted() ? "halted" : "address " + std::to_string(pc);
    std::int32_t nearest = -1;
    for (const Assembly::ProgramSymbol& symbol : program.symbols()) {
        if (symbol.kind == Assembly::ProgramSymbol::Kind::Label && symbol.number &&
            *symbol.number <= pc && *symbol.number > nearest && !debugged.machine().halted()) {
            nearest = *symbol.number;
            name = symbol.name + (pc > nearest ? " + " + std::to_string(pc - nearest) : "");
        }
    }
    Json frame{{"id", frameId},
               {"name", name},
               {"line", 0},
               {"column", 0},
               {"instructionPointerReference", hexAddress(pc)}};
    if (const std::int32_t line = program.lineOf(pc); line > 0) {
        frame["source"] = sourceJson();
        frame["line"] = clientLine(line);
        frame["column"] = 1;
    }
    return {{"stackFrames", Json::array({frame})}, {"totalFrames", 1}};
}

Json Adapter::scopes(const Json&) {
    const Program& program = session().program();
    Json list = Json::array({{{"name", "Registers"},
                              {"presentationHint", "registers"},
                              {"variablesReference", registersScope},
                              {"expensive", false}}});
    if (program.hasSource()) {
        list.push_back(
            {{"name", "Labels"}, {"variablesReference", labelsScope}, {"expensive", false}});
        list.push_back({{"name", "Definitions"},
                        {"variablesReference", definitionsScope},
                        {"expensive", false}});
    }
    return {{"scopes", std::move(list)}};
}

Json Adapter::variables(const Json& arguments) {
    const Debug::Session& debugged = session();
    const Program& program = debugged.program();
    const Machine& machine = debugged.machine();
    const std::int64_t scope = integerArgument(arguments, "variablesReference").value_or(0);
    Json list = Json::array();
    if (scope == registersScope) {
        for (std::size_t i = 0; i < registerCount; ++i) {
            const Word word = machine.registers.at(static_cast<RegisterId>(i));
            // A register shows a mnemonic when it holds one of the program's instructions.
            const bool instruction =
                std::binary_search(instructionWords_.begin(), instructionWords_.end(), word,
                                   [](Word a, Word b) { return a.bits() < b.bits(); });
            const std::string name(registerNames[i]);
            list.push_back({{"name", name},
                            {"value", wordText(word, instruction)},
                            {"evaluateName", name},
                            {"variablesReference", 0}});
        }
        std::string pc = std::to_string(machine.programCounter);
        if (const std::int32_t line = program.lineOf(machine.programCounter); line > 0) {
            pc += " (line " + std::to_string(line) + ")";
        }
        list.push_back({{"name", "$pc"},
                        {"value", pc},
                        {"evaluateName", "$pc"},
                        {"memoryReference", hexAddress(machine.programCounter)},
                        {"variablesReference", 0}});
        list.push_back({{"name", "$step"},
                        {"value", std::to_string(debugged.step())},
                        {"evaluateName", "$step"},
                        {"variablesReference", 0},
                        {"presentationHint", {{"attributes", {"readOnly"}}}}});
        return {{"variables", std::move(list)}};
    }
    if (scope != labelsScope && scope != definitionsScope) {
        fail("No variables with the reference " + std::to_string(scope) + ".");
    }
    const auto kind = scope == labelsScope ? Assembly::ProgramSymbol::Kind::Label
                                           : Assembly::ProgramSymbol::Kind::Definition;
    for (const Assembly::ProgramSymbol& symbol : program.symbols()) {
        if (symbol.kind != kind) {
            continue;
        }
        Json variable{{"name", symbol.name}, {"variablesReference", 0}};
        if (!symbol.number) {
            variable["value"] = "no value: " + symbol.problem;
        } else if (kind == Assembly::ProgramSymbol::Kind::Definition) {
            variable["value"] = std::to_string(*symbol.number);
            variable["evaluateName"] = symbol.name;
            variable["presentationHint"] = {{"attributes", {"constant", "readOnly"}}};
        } else if (*symbol.number >= 0 &&
                   *symbol.number < static_cast<std::int32_t>(Machine::memorySize)) {
            const auto address = static_cast<std::uint16_t>(*symbol.number);
            const bool instruction =
                address < program.cells().size() && program.cells()[address].isInstruction;
            variable["value"] = wordText(machine.memory[address], instruction);
            variable["evaluateName"] = "[" + symbol.name + "]";
            variable["memoryReference"] = hexAddress(address);
        } else {
            variable["value"] = std::to_string(*symbol.number) + " (not an address)";
        }
        list.push_back(std::move(variable));
    }
    return {{"variables", std::move(list)}};
}

// Runs one of the terminal debugger's commands: what it wrote, and its
// error line in `errors`.
std::string Adapter::runCommand(std::string_view line, std::string& errors) {
    commandOut_.str("");
    commandErrors_.str("");
    if (environment_.watchMessages) {
        environment_.watchMessages(true);
    }
    commands_->execute(line);
    if (environment_.watchMessages) {
        environment_.watchMessages(false);
    }
    errors = withoutFinalLineEnd(commandErrors_.str());
    return withoutFinalLineEnd(commandOut_.str());
}

Json Adapter::setVariable(const Json& arguments, std::vector<Json>& after) {
    const Debug::Session& debugged = session();
    const std::int64_t scope = integerArgument(arguments, "variablesReference").value_or(0);
    const std::string name = requiredString(arguments, "name");
    const std::string value = requiredString(arguments, "value");
    if (scope == definitionsScope) {
        fail("A definition is a number of the program, not a location: it cannot be set.");
    }
    std::string target = name;
    if (scope == labelsScope) {
        target = "[" + name + "]";
    } else if (scope != registersScope ||
               (!registerNamed(name) && name != "$pc" && name != "$step")) {
        fail("No variable " + inQuotes(name) + " to set.");
    }
    std::string errors;
    runCommand("set " + target + " = " + value, errors);
    if (!errors.empty()) {
        fail(errors);
    }
    if (invalidatedEvents_) {
        after.push_back(event("invalidated", {{"areas", {name == "$pc" ? "all" : "variables"}},
                                              {"threadId", threadId}}));
    }
    const Machine& machine = debugged.machine();
    Json answer{{"variablesReference", 0}};
    if (const auto reg = registerNamed(name); reg && scope == registersScope) {
        answer["value"] = wordText(machine.registers.at(*reg), false);
    } else if (name == "$pc") {
        answer["value"] = std::to_string(machine.programCounter);
    } else {
        const auto address = debugged.program().addressOf(name);
        answer["value"] = address ? wordText(machine.memory[*address], false) : value;
    }
    return answer;
}

Json Adapter::evaluate(const Json& arguments, std::vector<Json>& after) {
    Debug::Session& debugged = session();
    const std::string expression = requiredString(arguments, "expression");
    const std::string context = stringArgument(arguments, "context").value_or("repl");
    if (motion_ != Motion::None) {
        fail("The program is running: pause it first.");
    }
    const Program& program = debugged.program();
    if (context == "hover") {
        // A label under the mouse: the word it names, as the Labels scope shows it.
        if (const auto address = program.labelAddress(expression)) {
            const bool instruction =
                *address < program.cells().size() && program.cells()[*address].isInstruction;
            return {{"result", "[" + std::to_string(*address) + "] = " +
                                   wordText(debugged.machine().memory[*address], instruction)},
                    {"memoryReference", hexAddress(*address)},
                    {"variablesReference", 0}};
        }
    }
    if (context != "repl") {
        // An expression: what print says of it, without its name.
        if (expression.find_first_of("\n;") != std::string::npos) {
            fail("Not an expression: " + inQuotes(expression) + ".");
        }
        // The protocol's one format, hex, is print's /x.
        const Json* format = argument(arguments, "format");
        if (format != nullptr && !format->is_object()) {
            fail("The argument 'format' is not an object.");
        }
        const bool hex = format != nullptr && flagArgument(*format, "hex");
        std::string errors;
        const std::string printed = runCommand((hex ? "print/x " : "print ") + expression, errors);
        if (!errors.empty()) {
            fail(errors);
        }
        const std::size_t equals = printed.find(" = ");
        return {{"result", equals == std::string::npos ? printed : printed.substr(equals + 3)},
                {"variablesReference", 0}};
    }
    // The debug console: the terminal debugger's commands, as typed.
    const std::uint64_t stepBefore = debugged.step();
    const std::uint16_t pcBefore = debugged.programCounter();
    const std::size_t pointsBefore = debugged.points().size();
    std::string errors;
    std::string result = runCommand(expression, errors);
    if (!errors.empty()) {
        if (result.empty()) {
            fail(errors);
        }
        result += "\n" + errors;
    }
    if (debugged.points().size() != pointsBefore) {
        after.push_back(event("output", {{"category", "console"},
                                         {"output",
                                          "The console's breakpoints and watchpoints hold "
                                          "beside the editor's, which does not list them.\n"}}));
    }
    if (debugged.step() != stepBefore || debugged.programCounter() != pcBefore) {
        if (debugged.machine().halted()) {
            after.push_back(event("exited", {{"exitCode", 0}}));
            after.push_back(event("terminated"));
        } else {
            after.push_back(event("stopped", {{"reason", "step"},
                                              {"description", firstLine(result)},
                                              {"threadId", threadId},
                                              {"allThreadsStopped", true}}));
        }
    } else if (invalidatedEvents_) {
        after.push_back(event("invalidated", {{"areas", {"variables"}}, {"threadId", threadId}}));
    }
    return {{"result", result}, {"variablesReference", 0}};
}

Json Adapter::readMemory(const Json& arguments) {
    const Machine& machine = session().machine();
    const std::uint16_t reference = referencedAddress(requiredString(arguments, "memoryReference"));
    const std::int64_t start = reference + wordOffset(arguments);
    const std::int64_t count = integerArgument(arguments, "count").value_or(0);
    if (count < 0) {
        fail("The count of bytes is negative.");
    }
    const auto bytes = static_cast<std::uint64_t>(std::min<std::int64_t>(count, maxMemoryBytes));
    std::vector<std::uint8_t> data;
    if (start >= 0) {
        for (std::uint64_t i = 0; i < bytes; ++i) {
            const std::uint64_t address = static_cast<std::uint64_t>(start) + i / 4;
            if (address >= Machine::memorySize) {
                break;
            }
            const std::uint32_t bits = machine.memory[static_cast<std::uint16_t>(address)].bits();
            data.push_back(static_cast<std::uint8_t>(bits >> (24 - 8 * (i % 4))));
        }
    }
    return {{"address", hexAddress(start)},
            {"data", toBase64(data)},
            {"unreadableBytes", static_cast<std::uint64_t>(count) - data.size()}};
}

Json Adapter::writeMemory(const Json& arguments, std::vector<Json>& after) {
    Debug::Session& debugged = session();
    const std::string referenceText = requiredString(arguments, "memoryReference");
    const std::uint16_t reference = referencedAddress(referenceText);
    const std::int64_t start = reference + wordOffset(arguments);
    const bool partial = flagArgument(arguments, "allowPartial");
    const std::vector<std::uint8_t> data = fromBase64(requiredString(arguments, "data"));
    if (data.size() % 4 != 0 && !partial) {
        fail("Memory is written in words of 4 bytes: " + std::to_string(data.size()) +
             " bytes are not a multiple of 4.");
    }
    std::uint64_t words = data.size() / 4;
    if (start < 0 || static_cast<std::uint64_t>(start) + words > Machine::memorySize) {
        if (!partial || start < 0) {
            fail("The write goes past the last address, 65535.");
        }
        words = Machine::memorySize - static_cast<std::uint64_t>(start);
    }
    for (std::uint64_t i = 0; i < words; ++i) {
        std::uint32_t bits = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            bits = (bits << 8) | data[4 * i + k];
        }
        debugged.setMemory(static_cast<std::uint16_t>(static_cast<std::uint64_t>(start) + i),
                           Word(static_cast<std::int32_t>(bits)));
    }
    if (invalidatedEvents_) {
        after.push_back(event("invalidated", {{"areas", {"variables"}}, {"threadId", threadId}}));
    }
    if (memoryEvents_) {
        after.push_back(
            event("memory", {{"memoryReference", referenceText},
                             {"offset", integerArgument(arguments, "offset").value_or(0)},
                             {"count", words * 4}}));
    }
    return {{"offset", integerArgument(arguments, "offset").value_or(0)},
            {"bytesWritten", words * 4}};
}

Json Adapter::disassemble(const Json& arguments) {
    const Debug::Session& debugged = session();
    const Program& program = debugged.program();
    const Machine& machine = debugged.machine();
    const std::uint16_t reference = referencedAddress(requiredString(arguments, "memoryReference"));
    const std::int64_t start = reference + wordOffset(arguments) +
                               integerArgument(arguments, "instructionOffset").value_or(0);
    const std::int64_t count = integerArgument(arguments, "instructionCount").value_or(0);
    if (count < 0 || count > static_cast<std::int64_t>(Machine::memorySize)) {
        fail("The count of instructions is not from 0 to 65536.");
    }
    Json list = Json::array();
    for (std::int64_t address = start; address < start + count; ++address) {
        if (address < 0 || address >= static_cast<std::int64_t>(Machine::memorySize)) {
            list.push_back(
                {{"address", address < 0 ? std::to_string(address) : hexAddress(address)},
                 {"instruction", ""},
                 {"presentationHint", "invalid"}});
            continue;
        }
        const auto at = static_cast<std::uint16_t>(address);
        const Word word = machine.memory[at];
        // A data word of a source shows as the number it holds.
        const bool data = program.hasSource() && at < program.cells().size() &&
                          program.cells()[at].line > 0 && !program.cells()[at].isInstruction;
        std::ostringstream instruction;
        if (data) {
            instruction << word.value();
        } else {
            writeInstruction(instruction, word, program.labels());
        }
        char bytes[16];
        std::snprintf(bytes, sizeof bytes, "%08X", word.bits());
        Json item{{"address", hexAddress(at)},
                  {"instructionBytes", bytes},
                  {"instruction", instruction.str()}};
        if (const std::string* label = program.labelFor(at)) {
            item["symbol"] = *label;
        }
        if (const std::int32_t line = program.lineOf(at); line > 0) {
            item["location"] = sourceJson();
            item["line"] = clientLine(line);
        }
        list.push_back(std::move(item));
    }
    return {{"instructions", std::move(list)}};
}

Json Adapter::gotoTargets(const Json& arguments) {
    session();
    const auto line = integerArgument(arguments, "line");
    if (!line) {
        fail("The argument 'line' is missing.");
    }
    std::int32_t movedTo = 0;
    std::string problem;
    const auto address = lineAddress(adapterLine(*line), movedTo, problem);
    if (!address) {
        fail(problem);
    }
    return {{"targets", Json::array({{{"id", *address + 1},
                                      {"label", "line " + std::to_string(movedTo) + ", address " +
                                                    std::to_string(*address)},
                                      {"line", clientLine(movedTo)},
                                      {"instructionPointerReference", hexAddress(*address)}}})}};
}

// Moves the program counter, as set $pc does: the registers and memory stay.
Json Adapter::gotoLine(const Json& arguments, std::vector<Json>& after) {
    Debug::Session& debugged = session();
    const auto target = integerArgument(arguments, "targetId");
    if (!target || *target < 1 || *target > static_cast<std::int64_t>(Machine::memorySize)) {
        fail("No such target: gotoTargets gives them.");
    }
    if (motion_ != Motion::None) {
        fail("The program is running: pause it first.");
    }
    debugged.setProgramCounter(static_cast<std::uint16_t>(*target - 1));
    Stop stop;
    stop.reason = Stop::Reason::Interrupted;
    std::string description;
    stopText(stop, {}, description);
    after.push_back(
        event("stopped", {{"reason", "goto"},
                          {"description", "Moved" + description.substr(description.find(';'))},
                          {"threadId", threadId},
                          {"allThreadsStopped", true}}));
    return nullptr;
}

Json Adapter::exceptionInfo() {
    const Debug::Session& debugged = session();
    if (!lastFault_ || debugged.machine().halted()) {
        fail("The program has not stopped at a fault.");
    }
    return {{"exceptionId", "fault"},
            {"description", lastFault_->message},
            {"breakMode", "always"},
            {"details", {{"message", lastFault_->message}, {"typeName", "fault"}}}};
}

Json Adapter::loadedSources() {
    Json list = Json::array();
    if (session().program().hasSource()) {
        list.push_back(sourceJson());
    }
    return {{"sources", std::move(list)}};
}

}  // namespace Vorn::Dap
