#include "tools/ProgramFile.h"

#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include "analysis/Hints.h"
#include "machine/ImageFile.h"
#include "machine/Printable.h"
#include "tools/FileChecks.h"
#include "tools/ToolError.h"

namespace Vorn::Tools {

namespace {

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

template <typename Error>
std::string messageOf(const Error& error) {
    std::ostringstream message;
    message << error;
    return message.str();
}

}  // namespace

std::ifstream openForReading(const std::string& path, const std::string& what) {
    std::ifstream in(path, std::ios::binary);
    std::error_code ignored;
    if (!in || std::filesystem::is_directory(path, ignored)) {
        throw ToolError("cannot read " + what + " '" + printable(path) + "'.");
    }
    return in;
}

namespace {

// The analysis's hint for an assembly error, from the text of the line it
// names, read again from the file (only after an error, and only from a
// regular file: a pipe or a device cannot be read twice). The lines before
// it are skipped without keeping them; the line itself is cut at 4 KB.
std::string hintOf(const Assembly::AssemblyError& error, const std::string& path) {
    constexpr std::size_t longestLine = 4096;
    std::string line;
    std::error_code ignored;
    if (error.position.line > 0 && std::filesystem::is_regular_file(path, ignored)) {
        std::ifstream file(path, std::ios::binary);
        for (std::int32_t skipped = 1; skipped < error.position.line && file; ++skipped) {
            file.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
        }
        char c = 0;
        while (line.size() < longestLine && file.get(c) && c != '\n') {
            line += c;
        }
    }
    return Analysis::hintForLine(error, line);
}

}  // namespace

void refuseSpecialFile(const std::string& path, const std::string& what) {
    // A FIFO without a writer would block the open until one came.
    if (const char* kind = notAFile(path.c_str())) {
        throw ToolError("cannot read " + what + " '" + printable(path) + "' (" + kind +
                        ", not a regular file).");
    }
}

Program loadProgramFile(const std::string& path, Program::Format format, KeptLines kept) {
    const bool image = format == Program::Format::Image;
    const std::string what = image ? "image file" : "source file";
    refuseSpecialFile(path, what);
    std::ifstream file = openForReading(path, what);
    Program program;
    try {
        // Read from the file as it comes: an image stops at its first bad
        // line, a source at its first error (an endless device too).
        program = Program::load(file, format, kept == KeptLines::All);
    } catch (const ImageError& error) {
        std::string message = printable(path) + ", " + messageOf(error);
        if (endsWith(path, ".vorn")) {
            message += " (an assembly source needs --source)";
        }
        throw ToolError(message + ".");
    } catch (const Program::ReadFailed&) {
        throw ToolError("cannot read " + std::string(image ? "image" : "source") + " file '" +
                        printable(path) + "'.");
    }
    if (program.error()) {
        throw ToolError(program.error()->message + ".", hintOf(*program.error(), path));
    }
    return program;
}

}  // namespace Vorn::Tools
