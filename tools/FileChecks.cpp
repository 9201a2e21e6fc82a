#include "tools/FileChecks.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

bool sameFile(const char* first, const char* second) {
    struct stat one {};
    struct stat other {};
    return ::stat(first, &one) == 0 && ::stat(second, &other) == 0 && one.st_dev == other.st_dev &&
           one.st_ino == other.st_ino;
}

}  // namespace Vorn::Tools
