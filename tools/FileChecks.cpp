#include "tools/FileChecks.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace Vorn::Tools {

namespace {

const char* kindName(mode_t mode) {
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    if (S_ISBLK(mode)) {
        return "a block device";
    }
    return nullptr;
}

}  // namespace

const char* notAFile(const char* path) {
    struct stat info {};
    const int descriptor = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        // A socket does not open at all.
        return ::stat(path, &info) == 0 ? kindName(info.st_mode) : nullptr;
    }
    const bool known = ::fstat(descriptor, &info) == 0;
    ::close(descriptor);
    return known ? kindName(info.st_mode) : nullptr;
}

bool sameFile(const std::string& first, const std::string& second) {
    struct stat one {};
    struct stat other {};
    const bool firstExists = ::stat(first.c_str(), &one) == 0;
    const bool secondExists = ::stat(second.c_str(), &other) == 0;
    if (firstExists || secondExists) {
        return firstExists && secondExists && one.st_dev == other.st_dev &&
               one.st_ino == other.st_ino;
    }
    std::error_code error;
    const std::filesystem::path firstPlace = std::filesystem::weakly_canonical(first, error);
    const std::filesystem::path secondPlace =
        error ? std::filesystem::path() : std::filesystem::weakly_canonical(second, error);
    return !error && firstPlace == secondPlace;
}

}  // namespace Vorn::Tools
