#include "debugger/Options.h"

#include <CLI/CLI.hpp>
#include <charconv>

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
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    app.add_flag("--batch", options.batch,
                 "Run the commands of -x and of standard input, then exit: no prompt, no line "
                 "editing (also when standard input is not a terminal)");
    app.add_option("--history", options.history,
                   "Keep at most STEPS steps to go back over (default: the whole run; 0: none)")
        ->type_name("STEPS")
        ->check(CLI::Validator(
            [](std::string& text) {
                std::uint64_t steps = 0;
                const char* const end = text.data() + text.size();
                const auto [stop, problem] = std::from_chars(text.data(), end, steps);
                return problem == std::errc{} && stop == end && !text.empty()
                           ? std::string()
                           : "'" + text + "' is not a whole number of steps";
            },
            ""));
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
        "Exit status: 0 after quit or the end of the commands, 1 bad usage or an\n"
        "unreadable, malformed or wrong program file.");
    return Tools::parseCommandLine(app, argc, argv, out, errors);
}

}  // namespace Vorn::Debugger
