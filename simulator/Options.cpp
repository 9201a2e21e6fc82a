#include "simulator/Options.h"

#include <CLI/CLI.hpp>
#include <charconv>

#include "tools/CommandLine.h"

namespace Vorn::Simulator {

namespace {

std::optional<std::uint16_t> parseAddress(std::string_view text) {
    int base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
        base = 16;
    }
    std::uint16_t address = 0;
    const char* const end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, address, base);
    if (text.empty() || error != std::errc{} || stop != end) {
        return std::nullopt;
    }
    return address;
}

std::optional<std::uint64_t> parseStepCount(const std::string& text) {
    std::uint64_t count = 0;
    const char* const end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, count);
    if (error != std::errc{} || stop != end) {
        return std::nullopt;
    }
    return count;
}

// Checks an option's text with a parser of ours, so that CLI11 only converts
// text that is known to be good.
template <typename Parse>
CLI::Validator acceptedBy(Parse parse, const std::string& what) {
    return CLI::Validator(
        [parse, what](std::string& text) {
            return parse(text) ? std::string() : "'" + text + "' is not " + what;
        },
        "");
}

}  // namespace

std::optional<AddressRange> parseAddressRange(const std::string& text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos) {
        return std::nullopt;
    }
    const std::string_view whole(text);
    const auto first = parseAddress(whole.substr(0, colon));
    const auto last = parseAddress(whole.substr(colon + 1));
    if (!first || !last || *first > *last) {
        return std::nullopt;
    }
    return AddressRange{*first, *last};
}

std::optional<int> parseOptions(int argc, const char* const* argv, Options& options,
                                std::ostream& out, std::ostream& errors) {
    CLI::App app("Runs a program on the Vorn machine until it halts.", "vornsim");
    app.set_version_flag("--version", Tools::versionText("vornsim"));
    app.add_option("FILE", options.file, "Memory image as vornasm writes it (or a source, with -s)")
        ->required();
    app.add_flag("-s,--source", options.source, "FILE is an assembly source: assemble it first");
    app.add_option("--input", options.inputFile,
                   "Take the numbers for read from this file, not from standard input")
        ->type_name("FILE");
    app.add_option("--max-steps", options.maxSteps,
                   "Stop after N instructions if the program has not halted (exit status 2)")
        ->type_name("N")
        ->check(acceptedBy(parseStepCount, "a whole number from 0 to 2^64 - 1"));
    app.add_flag("--trace", options.trace,
                 "One line per instruction on standard error: step, address, instruction, effect");
    app.add_flag("--registers", options.registers,
                 "Print the registers and the program counter at the end");
    std::vector<std::string> ranges;
    app.add_option("--memory", ranges,
                   "Print the memory words at addresses A to B at the end (repeatable)")
        ->type_name("A:B")
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->check(acceptedBy(parseAddressRange, "A:B with 0 <= A <= B <= 65535"));
    app.footer(
        "Exit status: 0 the program halted, 1 bad usage or an unreadable, malformed or\n"
        "wrong program file, 2 the step limit was reached, 3 a run-time fault.");

    if (const auto status = Tools::parseCommandLine(app, argc, argv, out, errors)) {
        return status;
    }
    for (const std::string& text : ranges) {
        options.memoryRanges.push_back(*parseAddressRange(text));
    }
    return std::nullopt;
}

}  // namespace Vorn::Simulator
