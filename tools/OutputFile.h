// Files a tool writes: never one of its inputs, never left cut short.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>

namespace Vorn::Tools {

// Whether two paths name one file: the same device and inode (another
// spelling, a symbolic link or a hard link), or, when neither exists yet, the
// same place once the folders on the way are resolved ("out.csv" and
// "./out.csv"). A path that exists and one that does not are two files.
bool sameFile(const std::string& first, const std::string& second);

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
