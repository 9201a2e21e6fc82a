#include "driver/SourceFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>

namespace Vorn {

namespace {

// Everything the stream holds from its position on; large requests go
// straight from the file into the string.
std::string readAll(std::istream& stream) {
    std::string text;
    std::streambuf* buffer = stream.rdbuf();
    std::size_t used = 0;
    for (std::size_t size = std::size_t{1} << 16; buffer != nullptr; size *= 2) {
        text.resize(size);
        used += static_cast<std::size_t>(
            buffer->sgetn(text.data() + used, static_cast<std::streamsize>(size - used)));
        if (used < size) {
            break;
        }
    }
    text.resize(used);
    return text;
}

}  // namespace

SourceFile::SourceFile(const char* path, std::istream& stream) {
    // Not blocking: a pipe whose writer is done would never open again.
    const int descriptor = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (descriptor >= 0) {
        struct stat info {};
        if (::fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
            const auto size = static_cast<std::size_t>(info.st_size);
            void* mapping = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, descriptor, 0);
            if (mapping != MAP_FAILED) {
                ::madvise(mapping, size, MADV_SEQUENTIAL);
                mapping_ = mapping;
                text_ = std::string_view(static_cast<const char*>(mapping), size);
            }
        }
        ::close(descriptor);
    }
    if (mapping_ == nullptr) {
        read_ = readAll(stream);
        text_ = read_;
    }
}

SourceFile::~SourceFile() {
    if (mapping_ != nullptr) {
        ::munmap(mapping_, text_.size());
    }
}

}  // namespace Vorn
