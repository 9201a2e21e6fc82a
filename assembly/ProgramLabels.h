// A program's names for memory addresses, to show its instructions as its
// source wrote them (a trace, a listing, a debugger's view).
#pragma once

#include "assembly/Program.h"
#include "machine/AddressNames.h"

namespace Vorn::Assembly {

// A name for each address that one of the program's symbols resolves to: a
// label before a definition, a name before an alias of it, and among equals
// the first in name order. "end" names 65535.
AddressNames labelsOf(const Program& program);

}  // namespace Vorn::Assembly
