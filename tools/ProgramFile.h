// The program files the commands take: a memory image as vornasm writes it,
// or an assembly source assembled in memory by the same assembler. The files
// are opened here; what a program is, is program/Program.h.
#pragma once

#include <fstream>
#include <string>

#include "program/Program.h"

namespace Vorn::Tools {

// Opens a file to read; throws ToolError "cannot read WHAT 'PATH'." for a
// file that cannot be opened or is a directory.
std::ifstream openForReading(const std::string& path, const std::string& what);

// Throws ToolError "cannot read WHAT 'PATH' (a FIFO, not a regular file)."
// (or a socket, a block device), which opening to read could block on or
// which is no program: only a regular file or a character device (/dev/null)
// is read. Looks without blocking; a path that does not exist passes.
void refuseSpecialFile(const std::string& path, const std::string& what);

// Which source lines a loaded program keeps the text of (see SourceLines).
enum class KeptLines : bool { Filled, All };

// Loads the program in the file, read as it comes. Throws ToolError with the
// line every command prints after "Error: " for a file that cannot be read
// (a FIFO, a socket or a block device, refused without waiting for a writer,
// included), a line of an image that is not a word, or an assembly error (as
// vornasm prints it).
Program loadProgramFile(const std::string& path, Program::Format format,
                        KeptLines kept = KeptLines::Filled);

}  // namespace Vorn::Tools
