// A failure that ends a run of vornsim or vornlist with exit status 1; the
// tool prints "Error: " and the message.
#pragma once

#include <stdexcept>

namespace Vorn::Tools {

class ToolError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

}  // namespace Vorn::Tools
