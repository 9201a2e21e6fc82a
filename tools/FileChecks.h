// Checks made on a path before a tool opens it for good.
#pragma once

#include <string>

namespace Vorn::Tools {

// What `path` is when it is not something a tool reads a program from: "a
// FIFO", "a socket" or "a block device". Null for anything else: a regular
// file, a character device such as /dev/null, a directory, or a path that
// does not open (the tool's own open reports those). Looking does not block:
// an open for reading of a FIFO without a writer would wait for one.
const char* notAFile(const char* path);

// Whether two paths name one file: the same device and inode (another
// spelling, a symbolic link or a hard link), or, when neither exists yet, the
// same place once the folders on the way are resolved ("out.csv" and
// "./out.csv"). A path that exists and one that does not are two files.
bool sameFile(const std::string& first, const std::string& second);

}  // namespace Vorn::Tools
