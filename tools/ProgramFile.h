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

// Throws ToolError for a file that cannot be read or a line that is not a word.
// A FIFO, a socket or a block device is refused without waiting for a writer.
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

// Throws ToolError for a file that cannot be read (a FIFO, a socket or a block
// device included, as for an image), and for an assembly error with the
// message vornasm prints for it. The source is read as the assembler goes, so
// an endless file (a device) stops at its first error. `everyLine` keeps the
// text of every line, not only of those that filled cells.
AssembledSource assembleSourceFile(const std::string& path, bool everyLine = false);

}  // namespace Vorn::Tools
