#include "assembly/SourceBuffer.h"

namespace Vorn::Assembly {

SourceBuffer::SourceBuffer(std::string_view text) {
    // The get area is only read, never written through.
    char* begin = const_cast<char*>(text.data());
    setg(begin, begin, begin + text.size());
}

}  // namespace Vorn::Assembly
