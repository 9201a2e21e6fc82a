// Listings for people: every filled memory cell with its address and word,
// and for a source also the line that filled it and the symbol table.
//
//   addr     hex        word      decimal  instruction    line  source
//      0  0x0000  0xE0000000   -268435456  read              2          read
//      9  0x0009  0x00000000            0                   10  :count  0
#pragma once

#include <iosfwd>

#include "program/Program.h"
#include "run/Profile.h"

namespace Vorn::Listing {

// For a source, each cell with its source line, then every symbol with its
// value; for an image, each word with its mnemonic form (an image does not
// tell instructions from data).
void writeListing(std::ostream& out, const Program& program);

// A source's listing in basic blocks: a line before each block that says
// whether execution reaches it, one after it with where execution goes next,
// then the symbols and the control flow's findings, line by line, as an
// editor shows them. The program keeps the text of every line.
void writeFlowListing(std::ostream& out, const Program& program);

// A source's listing with how many times each cell ran in a profile
// (vornsim --profile) and its share of all the steps, then the step count.
void writeProfiledListing(std::ostream& out, const Program& program, const Run::Profile& profile);

}  // namespace Vorn::Listing
