#include "debugger/Debugger.h"

#include <unistd.h>

#include <fstream>
#include <iostream>
#include <memory>
#include <new>
#include <sstream>

#include "dap/Server.h"
#include "debug/Commands.h"
#include "debug/Session.h"
#include "debugger/Options.h"
#include "debugger/Terminal.h"
#include "machine/Printable.h"
#include "tools/CommandLine.h"
#include "tools/ProgramFile.h"
#include "tools/ToolError.h"

namespace Vorn::Debugger {

namespace {

constexpr const char* prompt = "(vorndbg) ";

// vorndbg --dap: the editor's launch names the program and its input, read
// here as the command line's are.
int serveEditor(std::istream& in, std::ostream& out) {
    std::cin.tie(nullptr);  // the messages are read on a thread of their own
    Dap::Environment environment;
    environment.loadProgram = [](const std::string& path, bool image) {
        // Every line of a source is kept, for the views that show any of them.
        return Tools::loadProgramFile(
            path, image ? Program::Format::Image : Program::Format::Source, Tools::KeptLines::All);
    };
    environment.openInput = [](const std::string& path) -> std::function<InputResult()> {
        auto file = std::make_shared<std::ifstream>(Tools::openForReading(path, "input file"));
        auto unused = std::make_shared<std::ostringstream>();
        auto input = std::make_shared<StreamIO>(*file, *unused);
        return [file, unused, input] { return input->read(); };
    };
    return Dap::serve(in, out, std::move(environment));
}

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

// A command line longer than this ends the commands: a file without line
// ends (a device) would otherwise be read whole into one line.
constexpr std::size_t longestCommandLine = std::size_t{1} << 20;

enum class LineRead : std::uint8_t { Line, End, TooLong };

// The next line, without its line end; a last line without one is a line too.
LineRead readLine(std::istream& in, std::string& line) {
    line.clear();
    char c = 0;
    while (in.get(c)) {
        if (c == '\n') {
            return LineRead::Line;
        }
        if (line.size() == longestCommandLine) {
            return LineRead::TooLong;
        }
        line.push_back(c);
    }
    return line.empty() || in.bad() ? LineRead::End : LineRead::Line;
}

enum class Ending : std::uint8_t { Ended, Quit, Failed };

// Runs the lines of a stream, `name` in messages; Failed after an error line
// (a line too long, a stream or an output that failed).
Ending runLines(std::istream& lines, const std::string& name, Debug::CommandInterpreter& commands,
                std::ostream& out, std::ostream& errors) {
    std::string line;
    for (std::uint64_t number = 1;; ++number) {
        const LineRead read = readLine(lines, line);
        if (read == LineRead::TooLong) {
            Tools::writeError(errors, "line " + std::to_string(number) + " of " + name +
                                          " is longer than " + std::to_string(longestCommandLine) +
                                          " bytes.");
            return Ending::Failed;
        }
        if (read == LineRead::End) {
            break;
        }
        const auto result = commands.execute(line);
        if (Tools::finishOutput(out, errors) != 0) {
            return Ending::Failed;
        }
        if (result == Debug::CommandInterpreter::Result::Quit) {
            return Ending::Quit;
        }
    }
    if (lines.bad()) {
        Tools::writeError(errors, "cannot read " + name + ".");
        return Ending::Failed;
    }
    return Ending::Ended;
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
    // An output that cannot be written (a full disk, a pipe whose reader is
    // gone) stops the command at the write, and the commands then end.
    sessionOptions.output = [&out](std::int32_t value) {
        out << value << std::endl;
        if (!out) {
            throw MachineIO::Stop();
        }
    };
    if (options.history) {
        sessionOptions.historyLimit = *options.history;
    }
    sessionOptions.limits.steps = options.maxSteps.value_or(Run::unlimited);
    sessionOptions.limits.outputLines = options.maxOutput.value_or(Run::unlimited);
    sessionOptions.limits.strict = options.strict;
    sessionOptions.interrupt = &interruptFlag();

    std::vector<std::ifstream> scripts;
    for (const std::string& path : options.commandFiles) {
        scripts.push_back(Tools::openForReading(path, "command file"));
    }

    Debug::Session session(std::move(program), std::move(sessionOptions));
    Debug::CommandInterpreter commands(session, out, errors);
    // run < FILE: read takes the numbers of FILE as it takes those of --input.
    commands.openInputWith([](const std::string& path) {
        struct FileInput {
            std::ifstream file;
            std::ostringstream unused;
            StreamIO reader{file, unused};
        };
        auto opened = std::make_shared<FileInput>();
        opened->file = Tools::openForReading(path, "input file");
        return std::function<InputResult()>([opened] { return opened->reader.read(); });
    });
    for (std::size_t i = 0; i < scripts.size(); ++i) {
        const std::string name = "command file '" + printable(options.commandFiles[i]) + "'";
        if (const Ending ending = runLines(scripts[i], name, commands, out, errors);
            ending != Ending::Ended) {
            return ending == Ending::Failed ? 1 : 0;
        }
    }
    if (!interactive) {
        return runLines(in, "the standard input", commands, out, errors) == Ending::Failed ? 1 : 0;
    }
    catchInterrupts();
    useCompletions(commands);
    while (const std::optional<std::string> line = readCommandLine(prompt)) {
        interruptFlag().store(false);
        const auto result = commands.execute(*line);
        if (Tools::finishOutput(out, errors) != 0) {
            return 1;
        }
        if (result == Debug::CommandInterpreter::Result::Quit) {
            return 0;
        }
    }
    out << "quit" << std::endl;
    return Tools::finishOutput(out, errors);
}

}  // namespace

int runDebugger(int argc, const char* const* argv, std::istream& in, std::ostream& out,
                std::ostream& errors) {
    Options options;
    if (const auto status = parseOptions(argc, argv, options, out, errors)) {
        return *status;
    }
    if (options.dap) {
        return serveEditor(in, out);
    }
    try {
        return debug(options, in, out, errors);
    } catch (const Tools::ToolError& error) {
        Tools::writeError(errors, error);
        return 1;
    } catch (const std::bad_alloc&) {
        Tools::writeError(errors, "out of memory.");
        return 1;
    }
}

}  // namespace Vorn::Debugger
