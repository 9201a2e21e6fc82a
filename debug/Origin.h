// The words for a value's origin chain (Session::origin), as the debugger's
// `info origin` and the playground show it:
//
//   [20] = 20 written by store A total at step 41 (line 11)
//   ← A = 20 by add D at step 39 (line 7)
//     ← A = 15 by add D at step 35 (line 7)
//     ...
//     ← D = 5 by loadi D B at step 37 (line 6)
//       ← [17] = 5 from the program's image (line 18)
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "debug/Session.h"

namespace Vorn::Debug {

// How many links `info origin` follows.
inline constexpr std::size_t originLinks = 20;

// "A" or "[20]".
std::string locationName(const Location& location);
// One link without its "← ": "A = 20 by add D at step 39 (line 7)".
std::string describeLink(const Program& program, const OriginLink& link);
// The chain, one link a line, each source under what it produced.
void writeOrigin(std::ostream& out, const Program& program, const std::vector<OriginLink>& links);

}  // namespace Vorn::Debug
