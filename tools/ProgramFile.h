// The program files vornsim and vornlist take: a memory image as vornasm
// writes it, or an assembly source assembled in memory by the same assembler.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "assembly/Program.h"
#include "machine/Word.h"

namespace Vorn::Tools {

// Opens a file to read; throws ToolError "cannot read WHAT 'PATH'." for a
// file that cannot be opened or is a directory.
std::ifstream openForReading(const std::string& path, const std::string& what);

// Throws ToolError "cannot read WHAT 'PATH' (not a regular file)." for a
// FIFO, a socket or a block device, which opening to read could block on or
// which is no program: only a regular file or a character device (/dev/null)
// is read. Looks without opening; a path that does not exist passes.
void refuseSpecialFile(const std::string& path, const std::string& what);

// Throws ToolError for a file that cannot be read or a line that is not a word.
std::vector<Word> readImageFile(const std::string& path);

// The text of the source lines a listing shows: those that filled cells.
// Indexed as the lines are numbered less one; size() counts every line.
class SourceLines {
  public:
    std::size_t size() const { return count_; }
    // The line's text without its line end; empty for a line not kept.
    std::string_view operator[](std::size_t index) const;

    // Lines are kept in increasing order.
    void keep(std::size_t index, std::string text);
    void setSize(std::size_t count) { count_ = count; }

  private:
    std::vector<std::pair<std::size_t, std::string>> kept_;
    std::size_t count_ = 0;
};

// The cells and symbols are the program's own, not copies: a source of a
// million names would otherwise hold each name twice.
struct AssembledSource {
    SourceLines lines;          // the text of source line N at index N - 1
    Assembly::Program program;  // the whole program, as assembleProgram made it
};

// Throws ToolError for a file that cannot be read, and for an assembly error
// with the message vornasm prints for it.
AssembledSource assembleSourceFile(const std::string& path);

}  // namespace Vorn::Tools
