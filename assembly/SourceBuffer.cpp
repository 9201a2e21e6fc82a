#include "assembly/SourceBuffer.h"

#include <limits>

namespace Vorn::Assembly {

SourceBuffer::SourceBuffer(std::string_view text) {
    // The get area is only read, never written through.
    char* begin = const_cast<char*>(text.data());
    setg(begin, begin, begin + text.size());
}

void SourceBuffer::consume(std::size_t count) {
    // gbump steps by an int at most.
    constexpr std::size_t largestStep = std::numeric_limits<int>::max();
    for (; count > largestStep; count -= largestStep) {
        gbump(static_cast<int>(largestStep));
    }
    gbump(static_cast<int>(count));
}

}  // namespace Vorn::Assembly
