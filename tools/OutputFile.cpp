#include "tools/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace Vorn::Tools {

namespace {

// A new file beside `path`, made with the permissions a new file gets (those
// of `path` when it exists); its name, or empty when none could be made.
std::string temporaryBeside(const std::string& path, const struct stat* existing) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name =
            path + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        const int descriptor = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor >= 0) {
            if (existing != nullptr) {
                static_cast<void>(::fchmod(descriptor, existing->st_mode & 07777));
            }
            ::close(descriptor);
            return name;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    return "";
}

}  // namespace

bool writeWholeFile(const std::string& path, const std::function<void(std::ostream&)>& write) {
    struct stat info {};
    const bool exists = ::stat(path.c_str(), &info) == 0;
    // /dev/stdout names a stream even where it leads to a regular file (the
    // shell's redirection): replacing that file would lose what was written.
    const bool stream = path.starts_with("/dev/") || path.starts_with("/proc/");
    if (exists && (!S_ISREG(info.st_mode) || stream)) {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        if (file) {
            write(file);
            file.close();
        }
        return static_cast<bool>(file);
    }
    // Through a symbolic link, the file it names is the one replaced.
    std::error_code error;
    const std::string target =
        exists ? std::filesystem::canonical(path, error).string() : std::string(path);
    const std::string temporary = error ? "" : temporaryBeside(target, exists ? &info : nullptr);
    if (temporary.empty()) {
        return false;
    }
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    if (file) {
        write(file);
        file.close();
    }
    if (!file || std::rename(temporary.c_str(), target.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace Vorn::Tools
