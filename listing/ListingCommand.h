// The vornlist command: `vornlist [--source] FILE`.
#pragma once

#include <iosfwd>

namespace Vorn::Listing {

// Writes the listing of FILE on `out` and reports failures on `errors`.
// Returns the exit status: 0, or 1 for bad usage, an unreadable or malformed
// file, or an assembly error.
int runListing(int argc, const char* const* argv, std::ostream& out, std::ostream& errors);

}  // namespace Vorn::Listing
