// The source file's text, whole in memory for the lexer, when it is an
// ordinary file of a sensible size. Anything else (a pipe, a device, a file
// of gigabytes) is read through the stream as it comes, so that an endless or
// huge input never has to fit in memory at once.
#pragma once

#include <cstddef>
#include <istream>
#include <string_view>

namespace Vorn {

class SourceFile {
  public:
    // Files larger than this are read as a stream.
    static constexpr std::size_t largestInMemory = std::size_t{256} << 20;

    // `path` was opened as `stream`; reads the whole file now when it fits.
    SourceFile(const char* path, std::istream& stream);
    ~SourceFile();
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;

    bool inMemory() const { return memory_ != nullptr; }
    std::string_view text() const { return {memory_, size_}; }

  private:
    char* memory_ = nullptr;
    std::size_t capacity_ = 0;
    std::size_t size_ = 0;
};

}  // namespace Vorn
