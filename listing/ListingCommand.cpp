#include "listing/ListingCommand.h"

#include <CLI/CLI.hpp>
#include <ios>
#include <new>
#include <optional>
#include <ostream>

#include "listing/Listing.h"
#include "machine/Printable.h"
#include "tools/CommandLine.h"
#include "tools/ProgramFile.h"
#include "tools/ToolError.h"

namespace Vorn::Listing {

int runListing(int argc, const char* const* argv, std::ostream& out, std::ostream& errors) {
    std::string file;
    bool source = false;
    CLI::App app("Lists a Vorn program: addresses, words, instructions, source lines, symbols.",
                 "vornlist");
    app.set_version_flag("--version", Tools::versionText("vornlist"));
    app.add_option("FILE", file, "Memory image as vornasm writes it (or a source, with -s)")
        ->required();
    app.add_flag("-s,--source", source, "FILE is an assembly source: assemble it and list it")
        ->disable_flag_override();
    bool flow = false;
    app.add_flag("--flow", flow,
                 "List the source in basic blocks with where each goes next, then what the "
                 "control flow shows: data that execution runs into, unreachable code, loops "
                 "that never end (needs -s)")
        ->disable_flag_override();
    std::optional<std::string> profileFile;
    app.add_option("--profile", profileFile,
                   "Show how many times each line ran, and its share of the steps, from a "
                   "profile that vornsim --profile wrote (CSV; needs -s)")
        ->type_name("PROFILE");
    app.footer("Exit status: 0 listed, 1 bad usage or an unreadable, malformed or wrong file.");
    if (const auto status = Tools::parseCommandLine(app, argc, argv, out, errors)) {
        return *status;
    }
    if ((flow || profileFile) && !source) {
        Tools::writeError(errors,
                          std::string(flow ? "--flow" : "--profile") + " needs a source: add -s.");
        return 1;
    }
    try {
        if (profileFile) {
            std::ifstream in = Tools::openForReading(*profileFile, "profile");
            std::string problem;
            const auto profile = Run::readProfileCsv(in, problem);
            if (!profile) {
                throw Tools::ToolError("profile '" + printable(*profileFile) + "': " + problem +
                                       ".");
            }
            writeProfiledListing(out, Tools::loadProgramFile(file, Program::Format::Source),
                                 *profile);
        } else if (flow) {
            writeFlowListing(
                out, Tools::loadProgramFile(file, Program::Format::Source, Tools::KeptLines::All));
        } else {
            writeListing(out, Tools::loadProgramFile(
                                  file, source ? Program::Format::Source : Program::Format::Image));
        }
    } catch (const Tools::ToolError& error) {
        Tools::writeError(errors, error);
        return 1;
    } catch (const std::bad_alloc&) {
        Tools::writeError(errors, "out of memory.");
        return 1;
    } catch (const std::ios_base::failure&) {
        Tools::writeError(errors, "cannot read " + std::string(source ? "source" : "image") +
                                      " file '" + printable(file) + "'.");
        return 1;
    }
    return Tools::finishOutput(out, errors);
}

}  // namespace Vorn::Listing
