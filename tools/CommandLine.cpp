#include "tools/CommandLine.h"

#include <CLI/CLI.hpp>
#include <ostream>

namespace Vorn::Tools {

std::string versionText(const std::string& name) {
    return name + " " + VORN_VERSION;
}

std::optional<int> parseCommandLine(CLI::App& app, int argc, const char* const* argv,
                                    std::ostream& out, std::ostream& errors) {
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        const std::string help = app.help();
        out << help << (help.ends_with('\n') ? "" : "\n") << std::flush;
        return 0;
    } catch (const CLI::CallForVersion& version) {
        out << version.what() << std::endl;
        return 0;
    } catch (const CLI::ParseError& error) {
        errors << "Error: " << error.what() << " (" << app.get_name()
               << " --help lists the options)." << std::endl;
        return 1;
    }
    return std::nullopt;
}

}  // namespace Vorn::Tools
