// The playground's WebAssembly interface: what the page's worker (and the
// differential test under node) calls. Every answer is a JSON text, so that
// it passes through postMessage as it is.
//
// Two programs live here: the editor's (assembled on every change, for the
// diagnostics and the listing) and the session's (the one running).
#include <emscripten/bind.h>

#include <algorithm>
#include <memory>
#include <nlohmann/json.hpp>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/Diagnostics.h"
#include "analysis/Document.h"
#include "analysis/Hints.h"
#include "analysis/Hover.h"
#include "analysis/Words.h"
#include "assembly/Program.h"
#include "assembly/ProgramLabels.h"
#include "debug/Origin.h"
#include "machine/InstructionSet.h"
#include "machine/Trace.h"
#include "run/Profile.h"
#include "run/Runner.h"
#include "text/Number.h"
#include "tools/ToolError.h"
#include "web/CompiledRuns.h"
#include "web/Session.h"

namespace Vorn::Web {

namespace {

using nlohmann::json;

// A JSON text; bytes that are not UTF-8 (a lone surrogate from JavaScript)
// become U+FFFD instead of an exception.
std::string text(const json& value) {
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

// The editor's program, as the analysis made it: its cells and its lines.
std::unique_ptr<Analysis::Document>& editor() {
    static std::unique_ptr<Analysis::Document> document =
        std::make_unique<Analysis::Document>(std::string());
    return document;
}

Session& session() {
    static Session instance;
    return instance;
}

// An instruction as the source wrote it: address operands by their label.
std::string mnemonic(Word word, const AddressNames* labels) {
    std::ostringstream text;
    writeInstruction(text, word, labels);
    return text.str();
}

json positionJson(const Assembly::SourcePosition& position) {
    return {{"line", position.line}, {"column", position.column}, {"length", position.length}};
}

// The diagnostics the editor shows, from the analysis: vornasm's first error
// ("text" as vornasm prints it, with a hint where its message misleads), then
// the warnings vornasm does not give.
// At most this many go to the page: a long program's warnings would cost the
// editor more than they tell.
constexpr std::size_t diagnosticsShown = 100;

json diagnosticsJson(const Analysis::Document& document) {
    json diagnostics = json::array();
    for (const Analysis::Diagnostic& diagnostic : document.diagnostics()) {
        if (diagnostics.size() == diagnosticsShown) {
            break;
        }
        const bool error = diagnostic.severity == Analysis::Diagnostic::Severity::Error;
        diagnostics.push_back(
            // The editor's lint names: "error", "warning", "info", "hint".
            {{"severity", diagnostic.severity == Analysis::Diagnostic::Severity::Information
                              ? std::string_view("info")
                              : Analysis::severityName(diagnostic.severity)},
             {"code", diagnostic.code},
             {"message", diagnostic.message},
             {"text", error ? Tools::errorText(diagnostic.message + ".") : diagnostic.message},
             {"hint", diagnostic.hint},
             {"position", positionJson(diagnostic.position)}});
    }
    return diagnostics;
}

// Assembles the editor's text: its diagnostics and the cell count.
std::string assemble(const std::string& source) {
    std::unique_ptr<Analysis::Document>& document = editor();
    document = std::make_unique<Analysis::Document>(source);
    return text(json{{"diagnostics", diagnosticsJson(*document)},
                     {"cells", document->program().cells.size()}});
}

// Rows of the editor program's listing: address, word, instruction, line.
std::string listing(int from, int count) {
    const Analysis::Document& document = *editor();
    const std::vector<Assembly::ProgramCell>& cells = document.program().cells;
    const AddressNames labels = Assembly::labelsOf(document.program());
    json rows = json::array();
    const auto size = static_cast<int>(cells.size());
    for (int address = std::max(from, 0); address < std::min(from + count, size); ++address) {
        const Assembly::ProgramCell& cell = cells[static_cast<std::size_t>(address)];
        rows.push_back({address, cell.word.value(),
                        cell.isInstruction ? mnemonic(cell.word, &labels) : std::string(),
                        cell.line, std::string(document.line(cell.line))});
    }
    return text(json{{"cells", size}, {"rows", rows}});
}

void load(const std::string& source, const std::string& input) {
    session().load(source, input);
}

void restart() {
    session().restart();
}

void setBreakpoints(const std::string& linesJson) {
    session().setBreakpointLines(json::parse(linesJson).get<std::vector<std::int32_t>>());
}

void continueRun(double budget) {
    session().continueRun(static_cast<std::uint64_t>(budget));
}

void step() {
    session().step();
}

void back() {
    session().back();
}

void reverseContinue() {
    session().reverseContinue();
}

const char* stateName(Session::State state) {
    switch (state) {
        case Session::State::Ready:
            return "ready";
        case Session::State::Breakpoint:
            return "breakpoint";
        case Session::State::Halted:
            return "halted";
        case Session::State::Fault:
            return "fault";
        case Session::State::OutputFull:
            return "output-full";
        case Session::State::NoProgram:
            return "no-program";
        case Session::State::Watchpoint:
            return "watchpoint";
    }
    return "";
}

// Breakpoints reached and watched values changed: [step, what, watch, old, new].
json hitsJson(const Session& running) {
    json hits = json::array();
    for (const Session::Hit& hit : running.hits()) {
        hits.push_back(
            {static_cast<double>(hit.step), hit.what, hit.watch, hit.oldValue, hit.newValue});
    }
    return hits;
}

// The session's machine: state, registers, and the output from `outputFrom` on.
std::string machineState(int outputFrom) {
    const Session& running = session();
    const Machine& machine = running.machine();
    json registers = json::array();
    for (std::int32_t i = 0; i < static_cast<std::int32_t>(registerCount); ++i) {
        registers.push_back(machine.registers.at(i).value());
    }
    // The output as it stood at the current step: after Back over a write,
    // without it.
    const std::span<const Debug::OutputRecord> output = running.outputRecords();
    const auto start = std::min(static_cast<std::size_t>(std::max(outputFrom, 0)), output.size());
    std::vector<std::int32_t> values;
    values.reserve(output.size() - start);
    for (const Debug::OutputRecord& record : output.subspan(start)) {
        values.push_back(record.value);
    }
    return text(json{{"state", stateName(running.state())},
                     {"steps", static_cast<double>(running.steps())},
                     {"pc", machine.programCounter},
                     {"line", running.currentLine()},
                     {"message", running.describe()},
                     {"warning", running.warning()},
                     {"registers", registers},
                     {"lastStep", static_cast<double>(running.lastStep())},
                     {"hits", hitsJson(running)},
                     {"outputLength", output.size()},
                     {"outputFrom", start},
                     {"output", values}});
}

// A word as vornlist shows it: an instruction of the program in mnemonic
// form with its address operand by label, a data word of the program as its
// number; a word outside the program both ways, as an image's listing does.
std::string wordText(const Program& program, std::uint16_t address, Word word) {
    const std::vector<Assembly::ProgramCell>& cells = program.cells();
    if (address < cells.size()) {
        return cells[address].isInstruction ? mnemonic(word, program.labels())
                                            : std::to_string(word.value());
    }
    return mnemonic(word, program.labels());
}

// The label of an address, not a definition that happens to have its value.
std::string labelAt(const Program& program, std::uint16_t address) {
    const std::string* name = program.labelFor(address);
    const Assembly::ProgramSymbol* symbol = name ? program.symbol(*name) : nullptr;
    return symbol && symbol->kind == Assembly::ProgramSymbol::Kind::Label ? *name : std::string();
}

// The running machine's memory words from `from` on (wrapping at 0xFFFF):
// address, word, the word as vornlist shows it, the label of the address.
std::string memory(int from, int count) {
    const Program& program = session().program();
    const Machine& machine = session().machine();
    json rows = json::array();
    for (int i = 0; i < count; ++i) {
        const auto address = static_cast<std::uint16_t>(from + i);
        const Word word = machine.memory[address];
        rows.push_back(
            {address, word.value(), wordText(program, address, word), labelAt(program, address)});
    }
    return text(rows);
}

// An address typed by a person: a number (decimal or after 0x), or a label or
// definition of the editor's program, either after "*", as the debugger
// takes them. {"address": N} or {"error": sentence}.
std::string resolveAddress(const std::string& typed) {
    std::string_view name = typed;
    while (!name.empty() && (name.front() == ' ' || name.front() == '*')) {
        name.remove_prefix(1);
    }
    while (!name.empty() && name.back() == ' ') {
        name.remove_suffix(1);
    }
    if (name.empty()) {
        return text(json{{"error", "Type an address: a number or a label."}});
    }
    std::int64_t value = 0;
    const Assembly::ProgramSymbol* symbol = editor()->program().symbol(name);
    if (symbol) {
        if (!symbol->number) {
            return text(json{{"error", "The name \"" + std::string(name) +
                                           "\" has no value: " + symbol->problem + "."}});
        }
        value = *symbol->number;
    } else {
        const std::optional<std::int64_t> number = Text::parseInteger(name);
        if (!number || name.starts_with('-') || name.starts_with('+')) {
            return text(json{{"error", "No label \"" + std::string(name) + "\" in the program."}});
        }
        value = *number;
    }
    if (value < 0 || value > 0xFFFF) {
        return text(
            json{{"error", "Address " + std::string(name) + " is out of range (0 to 65535)."}});
    }
    return text(json{{"address", value}});
}

// The steps of the run up to step `end` (the furthest run when negative), at
// most `count`, each as vornsim --trace writes it (with the source line and
// labels): [step, address, line, text, what it changed: a register's name, a
// memory word's address or null].
std::string stepLog(int count, double end) {
    Session& running = session();
    const Program& program = running.program();
    json rows = json::array();
    const std::uint64_t last = end < 0 ? running.lastStep() : static_cast<std::uint64_t>(end);
    for (const Debug::StepRecord& record :
         running.stepsUpTo(last, static_cast<std::size_t>(std::max(count, 0)))) {
        const TracedStep traced{record.step, record.address, record.instruction,
                                program.lineOf(record.address)};
        std::ostringstream line;
        writeTraceLine(line, traced, record.effect, program.labels());
        std::string row = line.str();
        if (!row.empty() && row.back() == '\n') {
            row.pop_back();
        }
        json changed = nullptr;
        if (record.effect.kind == StepEffect::Kind::Register) {
            changed = nameOf(record.effect.reg);
        } else if (record.effect.kind == StepEffect::Kind::Memory) {
            changed = record.effect.address;
        }
        rows.push_back(
            {static_cast<double>(record.step), record.address, traced.line, row, changed});
    }
    return text(rows);
}

void setWatchpoints(const std::string& watchedJson) {
    session().setWatchpoints(json::parse(watchedJson).get<std::vector<std::string>>());
}

void goToStep(double step) {
    session().goToStep(static_cast<std::uint64_t>(std::max(step, 0.0)));
}

// As the debugger's set: "A" ... "P" or a memory address, and the new value.
void setValue(const std::string& where, double value) {
    const auto word = static_cast<std::int32_t>(static_cast<std::int64_t>(value));
    if (const std::optional<RegisterId> reg = findRegister(where)) {
        session().setRegister(*reg, word);
    } else {
        session().setMemory(static_cast<std::uint16_t>(std::stoi(where)), word);
    }
}

// What the editor's token at a line and byte column is, as the language
// server's hover says it (for an operation: from the instruction table).
std::string hover(int line, int column) {
    const auto found = Analysis::hoverAt(*editor(), line, column);
    return text(found ? json{{"markdown", found->markdown}} : json::object());
}

// Bytes for JavaScript as they are, where a string would be read as UTF-8.
emscripten::val bytes(const std::string& text) {
    return emscripten::val::global("Uint8Array")
        .new_(emscripten::typed_memory_view(text.size(),
                                            reinterpret_cast<const std::uint8_t*>(text.data())));
}

emscripten::val streams(const std::string& first, const char* firstName,
                        const std::string& errors) {
    emscripten::val result = emscripten::val::object();
    result.set(firstName, bytes(first));
    result.set("stderr", bytes(errors));
    return result;
}

// The differential test's two entry points take the file's bytes (a
// Uint8Array) and give bytes back.

// What `vornasm SOURCE IMAGE` writes: the image file and standard error.
emscripten::val assembleImage(const std::string& source) {
    const Assembly::Program program = Assembly::assembleProgram(source);
    std::ostringstream image;
    for (const Assembly::ProgramCell& cell : program.cells) {
        image << cell.word.value() << '\n';
    }
    std::ostringstream errors;
    if (program.error) {
        Tools::writeError(errors, *program.error);
    }
    return streams(image.str(), "image", errors.str());
}

// What `vornsim --source --max-steps LIMIT` writes for the source and input:
// the same runner, so the same warnings and the same sentences.
emscripten::val simulate(const std::string& source, const std::string& input, double limit) {
    const Program program = Program::fromSource(source);
    std::ostringstream errors;
    if (program.error()) {
        const Assembly::AssemblyError& error = *program.error();
        Tools::writeError(errors,
                          Tools::ToolError(error.message + ".", Analysis::hintFor(error, source)));
        return streams("", "stdout", errors.str());
    }
    std::istringstream in(input);
    std::ostringstream out;
    StreamIO io(in, out);
    Run::Limits limits;
    limits.steps = static_cast<std::uint64_t>(limit);
    Run::Observers observers;
    observers.warnings = &errors;
    Run::Runner runner(program, io, limits, observers);
    const Run::Outcome outcome = runner.run();
    if (outcome.end != Run::Outcome::End::Halted) {
        Tools::writeError(errors, outcome.message);
    }
    return streams(out.str(), "stdout", errors.str());
}

// A whole run of the source by the runner every tool shares, with the
// limits of `limitsJson` ({"steps": N, "outputLines": N, "strict": true}, each
// optional): how it ended, as JSON. The same-ending test compares it with
// vornsim, vorndbg and vorngrade.
std::string runToEnd(const std::string& source, const std::string& input,
                     const std::string& limitsJson) {
    const Program program = Program::fromSource(source);
    if (program.error()) {
        return text(json{{"end", "assembly-error"}, {"message", program.error()->message + "."}});
    }
    const json given = json::parse(limitsJson);
    Run::Limits limits;
    limits.steps = given.value("steps", Run::unlimited);
    limits.outputLines = given.value("outputLines", Run::unlimited);
    limits.strict = given.value("strict", false);
    std::istringstream in(input);
    std::ostringstream out;
    StreamIO io(in, out);
    Run::Runner runner(program, io, limits);
    const Run::Outcome outcome = runner.run();
    return text(json{{"end", Run::endName(outcome.end)},
                     {"steps", static_cast<double>(outcome.steps)},
                     {"address", outcome.address},
                     {"line", outcome.line},
                     {"message", outcome.message},
                     {"warning", runner.warning()},
                     {"output", out.str()}});
}

// How many times each cell and line ran, for the page's heat map: the
// source run as vornsim --profile runs it, the same JSON as
// --profile-format json ({"steps", "cells", "lines"}); for a source that does
// not assemble, {"error": message}.
std::string profile(const std::string& source, const std::string& input, double limit) {
    const Program program = Program::fromSource(source);
    if (program.error()) {
        return text(json{{"error", program.error()->message}});
    }
    std::istringstream in(input);
    std::ostringstream out;
    StreamIO io(in, out);
    Run::Limits limits;
    limits.steps = static_cast<std::uint64_t>(limit);
    Run::Profile counts;
    Run::Observers observers;
    observers.profile = &counts;
    Run::Runner runner(program, io, limits, observers);
    runner.run();
    std::ostringstream profileJson;
    Run::writeProfileJson(profileJson, counts, program);
    return profileJson.str();
}

const char* sourceName(Debug::OriginLink::Source source) {
    switch (source) {
        case Debug::OriginLink::Source::Step:
            return "step";
        case Debug::OriginLink::Source::Input:
            return "input";
        case Debug::OriginLink::Source::Image:
            return "image";
        case Debug::OriginLink::Source::Start:
            return "start";
        case Debug::OriginLink::Source::BeforeKept:
            return "before-kept";
        case Debug::OriginLink::Source::NotFollowed:
            return "not-followed";
    }
    return "";
}

// Where the value of a register ("A".."P") or a memory word ("[20]", or an
// address as a number) came from, at the session's current step: {"links":
// [{"depth", "location", "value", "source", "step", "line", "input", "text"}]},
// "text" being the debugger's words for the link; {"error": ...} for a
// location that is none.
std::string origin(const std::string& where) {
    const Program& program = session().program();
    Debug::Location location;
    if (const auto reg = findRegister(where)) {
        location = {Debug::Location::Kind::Register, *reg, 0};
    } else {
        std::string_view number = where;
        if (number.size() > 2 && number.front() == '[' && number.back() == ']') {
            number = number.substr(1, number.size() - 2);
        }
        const std::optional<std::uint16_t> address = Text::parseAddress(number);
        if (!address) {
            return text(json{{"error", "not a register or a memory address: " + where}});
        }
        location = {Debug::Location::Kind::Memory, RegisterId::A, *address};
    }
    json links = json::array();
    for (const Debug::OriginLink& link : session().origin(location)) {
        const std::uint16_t at =
            link.source == Debug::OriginLink::Source::Image ? link.location.address : link.address;
        links.push_back({{"depth", link.depth},
                         {"location", Debug::locationName(link.location)},
                         {"value", link.value.value()},
                         {"source", sourceName(link.source)},
                         {"step", static_cast<double>(link.step)},
                         {"line", program.lineOf(at)},
                         {"input", static_cast<double>(link.input)},
                         {"text", Debug::describeLink(program, link)}});
    }
    return text(json{{"links", links}});
}

// The operation and register names, for the editor's highlighting.
std::string names() {
    json operations = json::array();
    json reference = json::array();
    for (std::size_t i = 0; i < operationTable.size(); ++i) {
        const auto operation = static_cast<Operation>(i);
        operations.push_back(operationTable[i].name);
        reference.push_back({{"name", operationTable[i].name},
                             {"form", Analysis::operandForm(operation)},
                             {"effect", Analysis::operationEffect(operation)}});
    }
    json registers = json::array();
    json roles = json::array();
    for (std::size_t i = 0; i < registerNames.size(); ++i) {
        registers.push_back(registerNames[i]);
        roles.push_back(Analysis::registerRole(static_cast<RegisterId>(i)));
    }
    return text(json{{"operations", operations},
                     {"registers", registers},
                     {"reference", reference},
                     {"roles", roles}});
}

// A machine run outside any session, for comparing compiled runs with the
// run loop: the words from address 0, the input, a step limit and the
// addresses to stop at; the machine as the run left it (its memory as a
// digest, FNV-1a over the words' bits).
std::string runMachine(const std::string& wordsJson, const std::string& input, double limit,
                       const std::string& stopsJson) {
    const json words = json::parse(wordsJson);
    std::vector<Word> image;
    for (const json& word : words) {
        image.emplace_back(word.get<std::int32_t>());
    }
    std::vector<std::uint8_t> stops(Machine::memorySize, 0);
    bool anyStop = false;
    for (const json& address : json::parse(stopsJson)) {
        stops[address.get<std::uint16_t>()] = 1;
        anyStop = true;
    }
    std::istringstream in(input);
    std::ostringstream out;
    Machine machine(in, out);
    machine.load(image);
    const Machine::RunResult result =
        machine.runUntil(static_cast<std::uint64_t>(limit), anyStop ? stops.data() : nullptr);
    std::uint32_t digest = 2166136261u;
    for (std::size_t i = 0; i < Machine::memorySize; ++i) {
        digest = (digest ^ machine.memory[i].bits()) * 16777619u;
    }
    json registers = json::array();
    for (std::size_t i = 0; i < registerCount; ++i) {
        registers.push_back(machine.registers.at(static_cast<RegisterId>(i)).value());
    }
    static constexpr const char* ends[] = {"halted", "step-limit", "stopped", "fault",
                                           "io-stopped"};
    return text(json{{"end", ends[static_cast<int>(result.end)]},
                     {"steps", static_cast<double>(result.steps)},
                     {"pc", machine.programCounter},
                     {"registers", registers},
                     {"memory", digest},
                     {"output", out.str()}});
}

// Turns compiled runs on or off (for comparing the two) and says what they did.
std::string compiledRuns(bool on) {
    useCompiledRuns(on);
    const CompiledRunStats stats = compiledRunStats();
    return text(json{{"compiled", static_cast<double>(stats.compiled)},
                     {"steps", static_cast<double>(stats.steps)},
                     {"notCompiled", static_cast<double>(stats.notCompiled)}});
}

}  // namespace

EMSCRIPTEN_BINDINGS(vorn) {
    emscripten::function("names", &names);
    emscripten::function("assemble", &assemble);
    emscripten::function("listing", &listing);
    emscripten::function("load", &load);
    emscripten::function("restart", &restart);
    emscripten::function("setBreakpoints", &setBreakpoints);
    emscripten::function("continueRun", &continueRun);
    emscripten::function("step", &step);
    emscripten::function("back", &back);
    emscripten::function("reverseContinue", &reverseContinue);
    emscripten::function("machineState", &machineState);
    emscripten::function("memory", &memory);
    emscripten::function("resolveAddress", &resolveAddress);
    emscripten::function("stepLog", &stepLog);
    emscripten::function("setWatchpoints", &setWatchpoints);
    emscripten::function("goToStep", &goToStep);
    emscripten::function("setValue", &setValue);
    emscripten::function("hover", &hover);
    emscripten::function("assembleImage", &assembleImage);
    emscripten::function("simulate", &simulate);
    emscripten::function("runToEnd", &runToEnd);
    emscripten::function("profile", &profile);
    emscripten::function("origin", &origin);
    emscripten::function("compiledRuns", &compiledRuns);
    emscripten::function("runMachine", &runMachine);
}

}  // namespace Vorn::Web
