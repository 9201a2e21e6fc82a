#include "debugger/Options.h"

#include <CLI/CLI.hpp>

#include "text/Number.h"
#include "tools/CommandLine.h"

namespace Vorn::Debugger {

std::optional<int> parseOptions(int argc, const char* const* argv, Options& options,
                                std::ostream& out, std::ostream& errors) {
    CLI::App app(
        "Debugs a program on the Vorn machine: breakpoints, watchpoints, stepping, and\n"
        "running backwards over the recorded run. \"help\" at the prompt lists the commands.",
        "vorndbg");
    app.set_version_flag("--version", Tools::versionText("vorndbg"));
    CLI::Option* file = app.add_option("FILE", options.file,
                                       "Memory image as vornasm writes it (or a source, with -s)");
    app.add_flag("--dap", options.dap,
                 "Serve an editor: the Debug Adapter Protocol on standard input and output "
                 "(the editor's launch request names the program)");
    app.add_flag("-s,--source", options.source,
                 "FILE is an assembly source: assemble it, and show its lines and names");
    app.add_option("--input", options.inputFile, "Take the numbers for read from this file")
        ->type_name("FILE");
    app.add_option("-x,--command", options.commandFiles,
                   "Run the commands in SCRIPT first (repeatable)")
        ->type_name("SCRIPT")
        ->expected(1)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    app.add_flag("--batch", options.batch,
                 "Run the commands of -x and of standard input, then exit: no prompt, no line "
                 "editing (also when standard input is not a terminal)");
    const auto count = [](const char* what) {
        return CLI::Validator(
            [what](std::string& text) {
                return Text::parseCount(text) ? std::string()
                                              : "'" + text + "' is not a whole number of " + what;
            },
            "");
    };
    app.add_option("--history", options.history,
                   "Keep at most STEPS steps to go back over (default: the whole run; 0: none)")
        ->type_name("STEPS")
        ->check(count("steps"));
    app.add_option("--max-steps", options.maxSteps,
                   "The run stops after N instructions if the program has not halted")
        ->type_name("N")
        ->check(count("steps"));
    app.add_option("--max-output", options.maxOutput,
                   "The run stops at the write of line N + 1, before it writes")
        ->type_name("N")
        ->check(count("lines"));
    app.add_flag("--strict", options.strict,
                 "Running a data word or a cell no statement filled (for an image, a cell past "
                 "the image) is a fault; with -s, without it, a warning");
    app.final_callback([&options, file] {
        if (!options.dap && file->count() == 0) {
            throw CLI::RequiredError("FILE");
        }
        if (options.dap && file->count() != 0) {
            throw CLI::ValidationError(
                "--dap takes no FILE: the editor's launch request names the program");
        }
    });
    app.footer(
        "Without --input, a program that reads at a terminal is asked for each number.\n"
        "Exit status: 0 after quit or the end of the commands, 1 bad usage, an\n"
        "unreadable, malformed or wrong program file, a command file that cannot be\n"
        "read, a command line longer than 1048576 bytes, or an output that cannot be\n"
        "written.");
    return Tools::parseCommandLine(app, argc, argv, out, errors);
}

}  // namespace Vorn::Debugger
