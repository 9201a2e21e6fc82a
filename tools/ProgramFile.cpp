#include "tools/ProgramFile.h"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "machine/ImageFile.h"
#include "machine/Printable.h"
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

void refuseSpecialFile(const std::string& path, const std::string& what) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISCHR(info.st_mode) &&
        !S_ISDIR(info.st_mode)) {
        throw ToolError("cannot read " + what + " '" + printable(path) + "' (not a regular file).");
    }
}

Program loadProgramFile(const std::string& path, Program::Format format, KeptLines kept) {
    const bool image = format == Program::Format::Image;
    std::ifstream file = openForReading(path, image ? "image file" : "source file");
    Program program;
    try {
        if (kept == KeptLines::All && !image) {
            const std::string text{std::istreambuf_iterator<char>(file),
                                   std::istreambuf_iterator<char>()};
            if (file.bad()) {
                throw Program::ReadFailed();
            }
            program = Program::fromSource(text);
        } else {
            // Read from the file as it comes: an image stops at its first bad line.
            program = Program::load(file, format);
        }
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
        throw ToolError(program.error()->message + ".");
    }
    return program;
}

}  // namespace Vorn::Tools
