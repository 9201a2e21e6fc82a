// The debug adapter over two streams: messages read on a thread of their
// own while the machine runs, the adapter's answers and events written as
// they come. Ends after disconnect or at the end of the input.
#pragma once

#include <cstddef>
#include <iosfwd>

#include "dap/Adapter.h"
#include "protocol/MessageReader.h"

namespace Vorn::Dap {

// Returns the exit status: 0 after disconnect, 1 when the input ended first
// or the output could not be written.
int serve(std::istream& in, std::ostream& out, Environment environment,
          std::size_t bodyLimit = Protocol::MessageReader::defaultBodyLimit);

}  // namespace Vorn::Dap
