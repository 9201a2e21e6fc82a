// Files a tool writes: never one of its inputs, never left cut short.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>

namespace Vorn::Tools {

// Writes the file at `path` whole or not at all. `write` writes it into a new
// file beside it (the target of a symbolic link), which then replaces it with
// the same permissions; when `write` leaves the stream failed, or the file
// cannot be written or replaced (a full disk), the temporary file is removed
// and the old file, if any, is as it was. What is not a regular file (a
// device, a pipe), and a path under /dev or /proc (/dev/stdout), is written
// in place. Returns false on any
// failure.
bool writeWholeFile(const std::string& path, const std::function<void(std::ostream&)>& write);

}  // namespace Vorn::Tools
