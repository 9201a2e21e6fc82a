#include "tools/CommandLine.h"

#include <CLI/CLI.hpp>
#include <ostream>
#include <string_view>

#include "machine/Printable.h"
#include "tools/ToolError.h"

namespace Vorn::Tools {

namespace {

// The option a CLI11 message names: the text before its first ": " or " ".
std::string optionNamed(const std::string& message) {
    const std::size_t colon = message.find(": ");
    return message.substr(0, colon != std::string::npos ? colon : message.find(' '));
}

// The option given as "--name=" with nothing after the "=": CLI11 would take
// the next argument as its value and blame that one.
std::optional<std::string> emptyValue(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--") {
            break;
        }
        if (argument.starts_with("--") && argument.size() > 3 && argument.ends_with('=') &&
            argument.find('=') == argument.size() - 1) {
            return std::string(argument.substr(0, argument.size() - 1));
        }
    }
    return std::nullopt;
}

// What is wrong, in our words, naming the argument at fault.
std::string describe(const CLI::App& app, const CLI::ParseError& error) {
    const std::string message = error.what();
    if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr) {
        const std::vector<std::string> extras = app.remaining();
        const std::string first = extras.empty() ? std::string() : extras.front();
        if (first.size() > 1 && first.front() == '-') {
            return "unknown option '" + printable(first) + "'";
        }
        return "unexpected argument '" + printable(first) + "'";
    }
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr) {
        const std::string name = optionNamed(message);
        if (message.find("At Most") != std::string::npos) {
            return name + " is given more than once";
        }
        if (message.find("flag override") != std::string::npos) {
            return (name.starts_with('-') ? "" : "--") + name + " takes no value";
        }
        return name + " needs a value";
    }
    if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr) {
        return "no " + optionNamed(message) + " given";
    }
    // Our own validators' messages, which escape the value they name.
    return message;
}

}  // namespace

std::string versionText(const std::string& name) {
    return name + " " + VORN_VERSION;
}

std::optional<int> parseCommandLine(CLI::App& app, int argc, const char* const* argv,
                                    std::ostream& out, std::ostream& errors) {
    const std::string hint = " (" + app.get_name() + " --help lists the options).";
    if (const auto option = emptyValue(argc, argv)) {
        writeError(errors, printable(*option) + ": the value after '=' is empty" + hint);
        return 1;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        const std::string help = app.help();
        out << help << (help.ends_with('\n') ? "" : "\n");
        return finishOutput(out, errors);
    } catch (const CLI::CallForVersion& version) {
        out << version.what() << '\n';
        return finishOutput(out, errors);
    } catch (const CLI::ParseError& error) {
        writeError(errors, describe(app, error) + hint);
        return 1;
    }
    return std::nullopt;
}

int finishOutput(std::ostream& out, std::ostream& errors) {
    out.flush();
    if (!out) {
        writeError(errors, "cannot write the standard output.");
        return 1;
    }
    return 0;
}

}  // namespace Vorn::Tools
