// Listings for people: every filled memory cell with its address and word,
// and for a source also the line that filled it and the symbol table.
//
//   addr     hex        word      decimal  instruction    line  source
//      0  0x0000  0xE0000000   -268435456  read              2          read
//      9  0x0009  0x00000000            0                   10  :count  0
#pragma once

#include <iosfwd>
#include <vector>

#include "machine/Word.h"
#include "tools/ProgramFile.h"

namespace Vorn::Listing {

// Each cell with its source line, then every symbol with its value.
void writeSourceListing(std::ostream& out, const Tools::AssembledSource& source);

// Each word with its mnemonic form; an image does not tell instructions from data.
void writeImageListing(std::ostream& out, const std::vector<Word>& words);

}  // namespace Vorn::Listing
