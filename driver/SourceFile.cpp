#include "driver/SourceFile.h"

#include <sys/mman.h>
#include <sys/stat.h>

namespace Vorn {

namespace {

// Memory for the text whose pages are all made at once, which costs far less
// than a fault per page while the file is copied in.
char* allocatePopulated(std::size_t size) {
    void* memory = ::mmap(nullptr, size, PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    return memory == MAP_FAILED ? nullptr : static_cast<char*>(memory);
}

}  // namespace

// The file is copied, not mapped: a mapped file that another program cuts
// short while it is read (an editor saving it again) would end the run with a
// bus error.
SourceFile::SourceFile(const char* path, std::istream& stream) {
    struct stat info {};
    if (::stat(path, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0 ||
        static_cast<std::size_t>(info.st_size) >= largestInMemory || stream.rdbuf() == nullptr) {
        return;
    }
    // One byte more than the size, to see the end in the same read. A file
    // that grew since is read as a stream, from its start.
    const std::size_t capacity = static_cast<std::size_t>(info.st_size) + 1;
    char* memory = allocatePopulated(capacity);
    if (memory == nullptr) {
        return;
    }
    const auto used = static_cast<std::size_t>(
        stream.rdbuf()->sgetn(memory, static_cast<std::streamsize>(capacity)));
    if (used == capacity) {
        ::munmap(memory, capacity);
        stream.clear();
        stream.seekg(0);
        return;
    }
    memory_ = memory;
    capacity_ = capacity;
    size_ = used;
}

SourceFile::~SourceFile() {
    if (memory_ != nullptr) {
        ::munmap(memory_, capacity_);
    }
}

}  // namespace Vorn
