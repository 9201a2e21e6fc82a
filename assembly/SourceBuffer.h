// A stream buffer over a source held whole in memory: its get area is the
// whole text, which the lexer scans in place, as it scans the get area of any
// stream buffer.
#pragma once

#include <cstddef>
#include <streambuf>
#include <string_view>

namespace Vorn::Assembly {

class SourceBuffer : public std::streambuf {
  public:
    // Borrows the text, which must outlive the buffer.
    explicit SourceBuffer(std::string_view text);
    SourceBuffer(const SourceBuffer&) = delete;
    SourceBuffer& operator=(const SourceBuffer&) = delete;

    // The characters not read yet.
    std::string_view unread() const { return {gptr(), static_cast<std::size_t>(egptr() - gptr())}; }
};

}  // namespace Vorn::Assembly
