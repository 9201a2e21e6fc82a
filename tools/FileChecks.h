// Checks made on a path before a tool opens it for good.
#pragma once

namespace Vorn::Tools {

// What `path` is when it is not something a tool reads a program from: "a
// FIFO", "a socket" or "a block device". Null for anything else: a regular
// file, a character device such as /dev/null, a directory, or a path that
// does not open (the tool's own open reports those). Looking does not block:
// an open for reading of a FIFO without a writer would wait for one.
const char* notAFile(const char* path);

// Whether both paths name one file (the same device and inode): another
// spelling of the path, a symbolic link or a hard link to it.
bool sameFile(const char* first, const char* second);

}  // namespace Vorn::Tools
