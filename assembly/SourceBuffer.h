// A stream buffer over a source held whole in memory. Reading it through an
// input stream behaves as reading any other stream; the lexer's TokenStream
// recognises it and scans its characters in place, without a call per
// character.
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
    // Marks the first `count` unread characters as read.
    void consume(std::size_t count);
};

}  // namespace Vorn::Assembly
