#include "listing/ListingCommand.h"

#include <CLI/CLI.hpp>
#include <ostream>

#include "listing/Listing.h"
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
    app.add_flag("-s,--source", source, "FILE is an assembly source: assemble it and list it");
    app.footer("Exit status: 0 listed, 1 bad usage or an unreadable, malformed or wrong file.");
    if (const auto status = Tools::parseCommandLine(app, argc, argv, out, errors)) {
        return *status;
    }
    try {
        if (source) {
            writeSourceListing(out, Tools::assembleSourceFile(file));
        } else {
            writeImageListing(out, Tools::readImageFile(file));
        }
    } catch (const Tools::ToolError& error) {
        errors << "Error: " << error.what() << std::endl;
        return 1;
    }
    out.flush();
    if (!out) {
        errors << "Error: cannot write the standard output." << std::endl;
        return 1;
    }
    return 0;
}

}  // namespace Vorn::Listing
