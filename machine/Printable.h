// Text from outside (a file name, an option's value, a line of a file) as a
// one-line message shows it: printable ASCII as it is, every other byte as
// \xNN, so that a newline cannot split the message and a terminal escape
// sequence cannot act.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>

namespace Vorn {

// Writes at most `limit` bytes of `text`, escaped.
void writePrintable(std::ostream& out, std::string_view text,
                    std::size_t limit = std::string_view::npos);

std::string printable(std::string_view text);

}  // namespace Vorn
