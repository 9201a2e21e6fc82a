#include "debugger/Debugger.h"

#include <unistd.h>

#include <fstream>
#include <iostream>
#include <sstream>

#include "debug/Commands.h"
#include "debug/Session.h"
#include "debugger/Options.h"
#include "debugger/Terminal.h"
#include "tools/ProgramFile.h"
#include "tools/ToolError.h"

namespace Vorn::Debugger {

namespace {

constexpr const char* prompt = "(vorndbg) ";

// A number typed at the terminal for read; Ctrl-D ends the input, Ctrl-C
// stops the command.
InputResult askForNumber(std::ostream& errors) {
    while (true) {
        const std::optional<std::string> line = readInputLine("read: ");
        if (!line) {
            return {InputResult::Kind::Ended, 0};
        }
        if (interruptFlag().load()) {
            throw MachineIO::Stop();
        }
        std::istringstream text(*line);
        StreamIO parse(text, errors);
        const InputResult result = parse.read();
        if (result.kind == InputResult::Kind::Number) {
            return result;
        }
        if (line->find_first_not_of(" \t") == std::string::npos && !line->empty()) {
            continue;
        }
        errors << "Type a whole number from -2147483648 to 2147483647 (Ctrl-D: end of input)."
               << std::endl;
    }
}

// Runs the lines of a stream; true after quit.
bool runLines(std::istream& lines, Debug::CommandInterpreter& commands) {
    std::string line;
    while (std::getline(lines, line)) {
        if (commands.execute(line) == Debug::CommandInterpreter::Result::Quit) {
            return true;
        }
    }
    return false;
}

int debug(const Options& options, std::istream& in, std::ostream& out, std::ostream& errors) {
    // Every line of a source is kept: list shows any of them.
    Program program = Tools::loadProgramFile(
        options.file, options.source ? Program::Format::Source : Program::Format::Image,
        Tools::KeptLines::All);
    const bool interactive = !options.batch && isatty(STDIN_FILENO) != 0;

    std::ifstream inputFile;
    std::ostringstream unused;
    std::optional<StreamIO> input;
    Debug::Session::Options sessionOptions;
    if (options.inputFile) {
        inputFile = Tools::openForReading(*options.inputFile, "input file");
        input.emplace(inputFile, unused);
        sessionOptions.input = [&input] { return input->read(); };
    } else if (interactive) {
        sessionOptions.ask = [&out, &errors] {
            out.flush();
            return askForNumber(errors);
        };
    }
    sessionOptions.output = [&out](std::int32_t value) { out << value << std::endl; };
    if (options.history) {
        sessionOptions.historyLimit = *options.history;
    }
    sessionOptions.interrupt = &interruptFlag();

    std::vector<std::ifstream> scripts;
    for (const std::string& path : options.commandFiles) {
        scripts.push_back(Tools::openForReading(path, "command file"));
    }

    Debug::Session session(std::move(program), std::move(sessionOptions));
    Debug::CommandInterpreter commands(session, out, errors);
    for (std::ifstream& script : scripts) {
        if (runLines(script, commands)) {
            return 0;
        }
    }
    if (!interactive) {
        runLines(in, commands);
        return 0;
    }
    catchInterrupts();
    useCompletions(commands);
    while (const std::optional<std::string> line = readCommandLine(prompt)) {
        interruptFlag().store(false);
        if (commands.execute(*line) == Debug::CommandInterpreter::Result::Quit) {
            return 0;
        }
    }
    out << "quit" << std::endl;
    return 0;
}

}  // namespace

int runDebugger(int argc, const char* const* argv, std::istream& in, std::ostream& out,
                std::ostream& errors) {
    Options options;
    if (const auto status = parseOptions(argc, argv, options, out, errors)) {
        return *status;
    }
    try {
        return debug(options, in, out, errors);
    } catch (const Tools::ToolError& error) {
        Tools::writeError(errors, error.what());
        return 1;
    }
}

}  // namespace Vorn::Debugger
