#include "simulator/Options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <charconv>

#include "machine/Printable.h"
#include "text/Identifier.h"
#include "text/Number.h"
#include "tools/CommandLine.h"
#include "tools/ToolError.h"

namespace Vorn::Simulator {

namespace {

// Checks an option's text with a parser of ours, so that CLI11 only converts
// text that is known to be good.
template <typename Parse>
CLI::Validator acceptedBy(Parse parse, const std::string& what) {
    return CLI::Validator(
        [parse, what](std::string& text) {
            return parse(text) ? std::string() : "'" + printable(text) + "' is not " + what;
        },
        "");
}

}  // namespace

ParsedRange parseAddressRange(std::string_view text, const LabelLookup& labels) {
    const std::size_t colon = text.find(':');
    const std::string_view parts[2] = {
        text.substr(0, colon), colon == std::string_view::npos ? text : text.substr(colon + 1)};
    std::uint16_t addresses[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        const std::string_view part = parts[i];
        std::optional<std::uint16_t> address = Text::parseAddress(part);
        if (!address && Text::isIdentifier(part)) {
            if (!labels) {
                return {std::nullopt,
                        "'" + printable(part) + "' is a name, and an image has no labels"};
            }
            address = labels(part);
            if (!address) {
                return {std::nullopt, "'" + printable(part) + "' is not a label of the program"};
            }
        }
        if (!address) {
            return {std::nullopt,
                    "'" + printable(part) + "' is not an address from 0 to 65535 (or 0xFFFF)"};
        }
        addresses[i] = *address;
    }
    if (addresses[0] > addresses[1]) {
        return {std::nullopt, "'" + printable(text) + "' ends before it starts"};
    }
    return {AddressRange{addresses[0], addresses[1]}, ""};
}

std::optional<int> parseOptions(int argc, const char* const* argv, Options& options,
                                std::ostream& out, std::ostream& errors) {
    CLI::App app("Runs a program on the Vorn machine until it halts.", "vornsim");
    app.set_version_flag("--version", Tools::versionText("vornsim"));
    app.add_option("FILE", options.file, "Memory image as vornasm writes it (or a source, with -s)")
        ->required();
    app.add_flag("-s,--source", options.source, "FILE is an assembly source: assemble it first")
        ->disable_flag_override();
    app.add_option("--input", options.inputFile,
                   "Take the numbers for read from this file, not from standard input")
        ->type_name("FILE");
    app.add_option("--max-steps", options.maxSteps,
                   "Stop after N instructions if the program has not halted (exit status 2)")
        ->type_name("N")
        ->check(acceptedBy(Text::parseCount, "a whole number from 0 to 2^64 - 1"));
    app.add_option("--max-output", options.maxOutput,
                   "Stop at the write of line N + 1 if the program has not halted (exit status 2)")
        ->type_name("N")
        ->check(acceptedBy(Text::parseCount, "a whole number from 0 to 2^64 - 1"));
#if VORN_TRACE
    app.add_flag("--trace", options.trace,
                 "One line per instruction on standard error: step, address, instruction, effect")
        ->disable_flag_override();
#endif
    app.add_flag("--registers", options.registers,
                 "Print the registers and the program counter at the end")
        ->disable_flag_override();
    app.add_option("--memory", options.memoryRanges,
                   "Print the memory words at addresses A to B at the end (labels too, with -s; "
                   "repeatable)")
        ->type_name("A:B")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->expected(1)
        ->allow_extra_args(false);
    app.add_flag("--stats", options.stats,
                 "At the end, print on standard error the steps run and how the run ended")
        ->disable_flag_override();
    app.add_flag("--strict", options.strict,
                 "Running a data word or a cell no statement filled (for an image, a cell past "
                 "the image) is a fault (exit status 3); with -s, without it, a warning")
        ->disable_flag_override();
    app.add_option("--writes", options.writesFile,
                   "Log every memory write to FILE as CSV: step, instruction address, address, "
                   "old value, new value")
        ->type_name("FILE");
    app.add_option("--profile", options.profileFile,
                   "Write how many times each cell and each source line ran to FILE (CSV: "
                   "address, line, count, line_count; vornlist --profile shows it)")
        ->type_name("FILE");
    app.add_option("--profile-format", options.profileFormat,
                   "The --profile file's format: csv (the default) or json")
        ->type_name("FORMAT")
        ->check(CLI::IsMember({"csv", "json"}));
    app.add_flag("--check-reads", options.checkReads,
                 "Warn, once per address, when load or loadi reads a word that neither the "
                 "program's image nor the run has written (with --strict, a fault)")
        ->disable_flag_override();
    app.add_option("--random-memory", options.randomMemory,
                   "Fill the memory the program leaves unfilled with random words from SEED "
                   "instead of 0")
        ->type_name("SEED")
        ->check(acceptedBy(Text::parseCount, "a whole number from 0 to 2^64 - 1"));
    app.footer(
        "Exit status: 0 the program halted, 1 bad usage, an unreadable, malformed or wrong\n"
        "program file, an input error or an output that cannot be written, 2 the step or\n"
        "output limit was reached, 3 a run-time fault.");

    return Tools::parseCommandLine(app, argc, argv, out, errors);
}

}  // namespace Vorn::Simulator
